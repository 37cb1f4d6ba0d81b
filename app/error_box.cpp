#include "error_box.h"

#include <QMessageBox>
#include <QString>
#include <QWidget>

namespace karrow {

namespace {

    void ShowBox(QWidget* parent, QMessageBox::Icon icon, const QString& objectName,
        const QString& text)
    {
        QMessageBox box(icon, QStringLiteral("Karrow"), text, QMessageBox::Ok,
            parent ? parent->window() : nullptr);
        box.setObjectName(objectName);
        box.exec();
    }

} // namespace

void ShowErrorBox(QWidget* parent, const QString& text)
{
    ShowBox(parent, QMessageBox::Critical, QStringLiteral("ErrorBox"), text);
}

void ShowMessageBox(QWidget* parent, const QString& text)
{
    ShowBox(parent, QMessageBox::Warning, QStringLiteral("MessageBox"), text);
}

} // namespace karrow
