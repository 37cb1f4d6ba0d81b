#pragma once

#include "run/user_interface.h"

#include <string>

namespace karrow {

class MainWindow;

// What a run needs from the window: the field texts, the message boxes, the finish dialog and
// the file list of the folder chooser.
class WindowUserInterface : public UserInterface {
public:
    explicit WindowUserInterface(MainWindow& window)
        : window_(window)
    {
    }

    std::string FieldText(Field field) const override;
    void ShowMessage(const std::string& text) override;
    void ShowFinishDialog() override;
    void RereadFileList() override;

private:
    MainWindow& window_;
};

} // namespace karrow
