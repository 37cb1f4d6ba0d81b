#include "qt_user_interface.h"

#include "calc_finished.h"
#include "folder_chooser.h"
#include "tform1.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QString>

namespace karrow {

std::string QtUserInterface::FieldText(int field) const
{
    return form_.Edit(field)->text().toStdString();
}

void QtUserInterface::ShowMessage(const std::string& text)
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Karrow"), QString::fromStdString(text),
        QMessageBox::Ok, &form_);
    box.setObjectName(QStringLiteral("MessageBox"));
    box.exec();
}

void QtUserInterface::ShowFinishDialog()
{
    if (TFinishForm* finishForm = form_.FinishForm())
        finishForm->ShowModal();
}

void QtUserInterface::RereadFileList()
{
    form_.Chooser().Reread();
}

} // namespace karrow
