#include "qt_user_interface.h"

#include "calc_finished.h"
#include "folder_chooser.h"
#include "solver/extended.h"
#include "tform1.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QString>

namespace karrow {

// Each call runs window-system code in the middle of a run. Whatever floating-point status
// that code leaves must not be taken for a fault of the calculation, so the flags are kept.

std::string QtUserInterface::FieldText(int field) const
{
    return form_.Edit(field)->text().toStdString();
}

void QtUserInterface::ShowMessage(const std::string& text)
{
    const FloatingPointFlagsKeeper keeper;
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Karrow"), QString::fromStdString(text),
        QMessageBox::Ok, &form_);
    box.setObjectName(QStringLiteral("MessageBox"));
    box.exec();
}

void QtUserInterface::ShowFinishDialog()
{
    const FloatingPointFlagsKeeper keeper;
    if (TFinishForm* finishForm = form_.FinishForm())
        finishForm->ShowModal();
}

void QtUserInterface::RereadFileList()
{
    const FloatingPointFlagsKeeper keeper;
    form_.Chooser().Reread();
}

} // namespace karrow
