#pragma once

#include "run/user_interface.h"

#include <string>

namespace karrow {

class TForm1;

// What a run needs from the window: the field texts, the message boxes, the finish dialog and
// the file list of the folder chooser.
class QtUserInterface : public UserInterface {
public:
    explicit QtUserInterface(TForm1& form)
        : form_(form)
    {
    }

    std::string FieldText(int field) const override;
    void ShowMessage(const std::string& text) override;
    void ShowFinishDialog() override;
    void RereadFileList() override;

private:
    TForm1& form_;
};

} // namespace karrow
