#include "window_user_interface.h"

#include "error_box.h"
#include "finish_dialog.h"
#include "folder_chooser.h"
#include "main_window.h"

#include <QString>

namespace karrow {

std::string WindowUserInterface::FieldText(Field field) const
{
    return window_.FieldText(field).toStdString();
}

void WindowUserInterface::ShowMessage(const std::string& text)
{
    ShowMessageBox(&window_, QString::fromStdString(text));
}

void WindowUserInterface::ShowFinishDialog()
{
    if (FinishDialog* dialog = window_.Finish())
        dialog->ShowModal();
}

void WindowUserInterface::RereadFileList()
{
    window_.Chooser().Reread();
}

} // namespace karrow
