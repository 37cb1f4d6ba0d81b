#include "window_user_interface.h"

#include "finish_dialog.h"
#include "folder_chooser.h"
#include "message_box.h"

#include <QLineEdit>
#include <QString>

namespace karrow {

std::string MainWindow::WindowUserInterface::FieldText(Field field) const
{
    return window_.ui_.fields[field]->text().toStdString();
}

void MainWindow::WindowUserInterface::ShowMessage(const std::string& text)
{
    ShowMessageBox(&window_, MessageBoxKind::Message, QString::fromStdString(text));
}

void MainWindow::WindowUserInterface::ShowFinishDialog()
{
    if (window_.finishDialog_)
        window_.finishDialog_->ShowModal();
}

void MainWindow::WindowUserInterface::RereadFileList()
{
    window_.chooser_->Reread();
}

} // namespace karrow
