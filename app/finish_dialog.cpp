#include "finish_dialog.h"

#include "run/kept_texts.h"
#include "window_look.h"

#include <QApplication>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

namespace karrow {

FinishDialog::FinishDialog(QWidget* parent)
    // Without CustomizeWindowHint the platform decorates a dialog as it likes, on X11 with
    // minimise and maximise buttons; the hints then say exactly which buttons there are.
    : QDialog(parent,
        Qt::Dialog | Qt::CustomizeWindowHint | Qt::MSWindowsFixedSizeDialogHint
            | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
    , messageFrame_(new QFrame(this))
    , message_(new QLabel(QString::fromUtf8(FinishedMessage), messageFrame_))
    , date_(new QLabel(QString::fromUtf8(FinishDialogDate), this))
    , okButton_(new QPushButton(QStringLiteral("OK"), this))
{
    setObjectName(QStringLiteral("FinishForm"));
    setWindowTitle(QString::fromUtf8(FinishDialogTitle));
    setWindowIcon(QIcon(QStringLiteral(":/karrow/icon.png")));
    setFixedSize(305, 179);
    setFont(KarrowFont(12));
    UseButtonFaceBackground(this);

    messageFrame_->setObjectName(QStringLiteral("Panel1"));
    messageFrame_->setFrameStyle(QFrame::Panel | QFrame::Raised);
    messageFrame_->setGeometry(16, 16, 273, 49);

    message_->setObjectName(QStringLiteral("Label1"));
    message_->setFont(KarrowFont(16));
    SetTextColour(message_, LabelBlue);
    message_->adjustSize();
    // The message was laid out for a narrower face than the Gothic faces found on Linux; it
    // keeps its left margin, ends inside the frame's border and is condensed to fit there.
    const QRect inside = messageFrame_->contentsRect();
    message_->setGeometry(19, 16, inside.right() + 1 - 19, message_->height());
    CondenseToFit(message_);

    date_->setObjectName(QStringLiteral("Label2"));
    date_->setFont(KarrowFont(15));
    date_->move(114, 104);
    date_->adjustSize();

    okButton_->setObjectName(QStringLiteral("BitBtn1"));
    okButton_->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    okButton_->setGeometry(104, 136, 73, 25);
    okButton_->setDefault(true);
    connect(okButton_, &QPushButton::clicked, this, &QDialog::accept);
}

void FinishDialog::ShowModal()
{
    if (const QScreen* screen = QApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        move(available.center() - rect().center());
    }
    okButton_->setFocus();
    exec();
}

} // namespace karrow
