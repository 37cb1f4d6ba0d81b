#include "error_box.h"

#include <QMessageBox>
#include <QString>
#include <QWidget>

namespace karrow {

void ShowErrorBox(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Karrow"), text, QMessageBox::Ok,
        parent ? parent->window() : nullptr);
    box.setObjectName(QStringLiteral("ErrorBox"));
    box.exec();
}

} // namespace karrow
