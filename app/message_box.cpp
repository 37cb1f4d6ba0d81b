#include "message_box.h"

#include "run/kept_texts.h"

#include <QMessageBox>
#include <QString>
#include <QWidget>

namespace karrow {

namespace {

    struct BoxLook {
        const char* ObjectName;
        QMessageBox::Icon Icon;
        QMessageBox::StandardButtons Buttons;
    };

    BoxLook LookOf(MessageBoxKind kind)
    {
        switch (kind) {
        case MessageBoxKind::Error:
            return { "ErrorBox", QMessageBox::Critical, QMessageBox::Ok };
        case MessageBoxKind::Message:
            return { "MessageBox", QMessageBox::Warning, QMessageBox::Ok };
        case MessageBoxKind::ReplaceQuestion:
            return { "ReplaceQuestion", QMessageBox::Question, QMessageBox::Yes | QMessageBox::No };
        }
        return { "MessageBox", QMessageBox::Warning, QMessageBox::Ok };
    }

} // namespace

bool ShowMessageBox(QWidget* parent, MessageBoxKind kind, const QString& text)
{
    const BoxLook look = LookOf(kind);
    QMessageBox box(look.Icon, QString::fromUtf8(WindowCaption), text, look.Buttons,
        parent ? parent->window() : nullptr);
    box.setObjectName(QString::fromLatin1(look.ObjectName));
    const int answer = box.exec();
    return answer == QMessageBox::Ok || answer == QMessageBox::Yes;
}

} // namespace karrow
