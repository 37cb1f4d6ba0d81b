#pragma once

// Only for main_window.cpp and window_user_interface.cpp: the class is a private part of the
// main window.

#include "main_window.h"
#include "run/user_interface.h"

#include <string>

namespace karrow {

// The main window as the run driver sees it, for the length of one run.
class MainWindow::WindowUserInterface final : public UserInterface {
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
