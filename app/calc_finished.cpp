#include "calc_finished.h"

#include "window_look.h"

#include <QApplication>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

namespace karrow {

TFinishForm::TFinishForm(QWidget* parent)
    : QDialog(parent,
        Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
            | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
    , Panel1(new QFrame(this))
    , Label1(new QLabel(QStringLiteral("Calculation is successfully finished !"), Panel1))
    , Label2(new QLabel(QStringLiteral("2008.8.6"), this))
    , BitBtn1(new QPushButton(QStringLiteral("OK"), this))
{
    setObjectName(QStringLiteral("FinishForm"));
    setWindowTitle(QStringLiteral("Finsh"));
    setWindowIcon(QIcon(QStringLiteral(":/karrow/icon.png")));
    setFixedSize(305, 179);
    setFont(KarrowFont(12));
    UseButtonFaceBackground(this);

    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setGeometry(16, 16, 273, 49);

    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(KarrowFont(16));
    SetTextColour(Label1, LabelBlue);
    Label1->move(19, 16);
    Label1->adjustSize();

    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setFont(KarrowFont(15));
    Label2->move(114, 104);
    Label2->adjustSize();

    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    BitBtn1->setGeometry(104, 136, 73, 25);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &TFinishForm::BitBtn1Click);
}

void TFinishForm::ShowModal()
{
    if (const QScreen* screen = QApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        move(available.center() - rect().center());
    }
    BitBtn1->setFocus();
    exec();
}

void TFinishForm::BitBtn1Click()
{
    accept();
}

} // namespace karrow
