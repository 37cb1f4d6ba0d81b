#include "tform1.h"

#include "calc_finished.h"
#include "error_box.h"
#include "folder_chooser.h"
#include "qt_user_interface.h"
#include "run/fields.h"
#include "run/run_driver.h"
#include "solver/fault.h"
#include "window_look.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <new>
#include <stdexcept>

namespace karrow {

namespace {

    // Top edges of the label and of the field of each input row, inside GroupBox1.
    struct RowPlace {
        int LabelTop;
        int FieldTop;
    };
    constexpr std::array<RowPlace, InputFieldCount> RowPlaces { {
        { 23, 23 },
        { 44, 42 },
        { 64, 61 },
        { 82, 79 },
        { 102, 99 },
        { 122, 118 },
        { 140, 137 },
        { 159, 156 },
        { 179, 175 },
        { 197, 194 },
        { 217, 213 },
        { 234, 231 },
        { 254, 249 },
        { 273, 268 },
    } };
    constexpr int LabelLeft = 12;
    constexpr int FieldLeft = 284;
    constexpr int FieldWidth = 79;
    constexpr int FieldHeight = 20;

    constexpr int ClientWidth = 635;
    constexpr int ClientHeight = 440;

    QString Name(const char* kind, int number)
    {
        return QLatin1String(kind) + QString::number(number);
    }

} // namespace

TForm1::TForm1(char decimalSeparator, QWidget* parent)
    : QMainWindow(parent)
    , decimalSeparator_(decimalSeparator)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Karrow"));
    setWindowIcon(QIcon(QStringLiteral(":/karrow/icon.png")));
    setFont(KarrowFont(12));
    UseButtonFaceBackground(this);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setCentralWidget(Panel1);

    GroupBox1 = new QGroupBox(QStringLiteral("Input Condition"), Panel1);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setFont(KarrowFont(15));
    GroupBox1->setGeometry(13, 14, 377, 318);
    CreateInputRows();

    Panel2 = new QFrame(Panel1);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel2->setGeometry(398, 13, 229, 271);

    // Drawn unscaled from its top-left corner: the last column and the bottom rows of the
    // picture fall outside the control.
    Image1 = new QLabel(Panel2);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(2, 2, 225, 267);
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Image1->setPixmap(QPixmap(QStringLiteral(":/karrow/die.bmp")));

    DriveComboBox1 = new QComboBox(Panel1);
    DriveComboBox1->setObjectName(QStringLiteral("DriveComboBox1"));
    DriveComboBox1->setGeometry(395, 295, 108, 18);
    DriveComboBox1->setFocusPolicy(Qt::ClickFocus);

    DirectoryListBox1 = new QListWidget(Panel1);
    DirectoryListBox1->setObjectName(QStringLiteral("DirectoryListBox1"));
    DirectoryListBox1->setGeometry(395, 319, 108, 113);
    DirectoryListBox1->setFocusPolicy(Qt::ClickFocus);

    FileListBox1 = new QListWidget(Panel1);
    FileListBox1->setObjectName(QStringLiteral("FileListBox1"));
    FileListBox1->setGeometry(512, 296, 120, 136);
    FileListBox1->setFocusPolicy(Qt::ClickFocus);

    chooser_ = new FolderChooser(DriveComboBox1, DirectoryListBox1, FileListBox1, this);

    GroupBox2 = new QGroupBox(QStringLiteral("Save File Name"), Panel1);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    GroupBox2->setGeometry(227, 349, 131, 53);
    SetTextColour(GroupBox2, CaptionRed);

    QLineEdit* edit15 = new QLineEdit(
        QString::fromStdString(DefaultFieldText(SaveFileNameField, decimalSeparator_)), GroupBox2);
    edit15->setObjectName(QStringLiteral("Edit15"));
    edit15->setGeometry(13, 20, 105, 20);
    edit15->setFocusPolicy(Qt::ClickFocus);
    QPalette black = edit15->palette();
    black.setColor(QPalette::Text, Qt::black);
    edit15->setPalette(black);
    edits_[SaveFileNameField - 1] = edit15;

    BitBtn1 = new QPushButton(
        style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("OK"), Panel1);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(71, 347, 90, 30);
    BitBtn1->setFont(KarrowFont(15));
    BitBtn1->setFocusPolicy(Qt::ClickFocus);
    BitBtn1->setDefault(true);

    BitBtn2 = new QPushButton(
        style()->standardIcon(QStyle::SP_DialogCloseButton), QStringLiteral("Close(&C)"), Panel1);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setGeometry(72, 394, 90, 30);
    BitBtn2->setFont(KarrowFont(15));
    BitBtn2->setFocusPolicy(Qt::ClickFocus);

    connect(BitBtn1, &QPushButton::clicked, this, &TForm1::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &QWidget::close);
    // BitBtn1 is the default button: Enter in any field clicks it. A main window has no
    // default-button handling of its own, so each field passes Enter on.
    for (QLineEdit* edit : edits_)
        connect(edit, &QLineEdit::returnPressed, BitBtn1, &QPushButton::click);

    resize(ClientWidth, ClientHeight);
    if (const QScreen* screen = QApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    edits_[0]->setFocus();
}

void TForm1::CreateInputRows()
{
    for (int row = 1; row <= InputFieldCount; ++row) {
        QLabel* label = new QLabel(QString::fromUtf8(Field(row).Label), GroupBox1);
        label->setObjectName(Name("Label", row));
        label->setFont(KarrowFont(12));
        SetTextColour(label, LabelBlue);
        label->move(LabelLeft, RowPlaces[static_cast<std::size_t>(row - 1)].LabelTop);
        label->adjustSize();
        labels_[static_cast<std::size_t>(row - 1)] = label;
    }

    QLabel* note = new QLabel(
        QStringLiteral("* Channel depth is the distance from channel bottom to body surface."),
        GroupBox1);
    note->setObjectName(QStringLiteral("Label15"));
    note->setFont(KarrowFont(12));
    SetTextColour(note, NoteGreen);
    note->setGeometry(8, 295, 358, 12);
    // The note was sized for the original face, which is narrower than the Gothic faces found
    // on Linux; rather than cut the sentence short, condense the font until it fits.
    const int noteWidth = QFontMetrics(note->font()).horizontalAdvance(note->text());
    if (noteWidth > note->width()) {
        QFont condensed = note->font();
        condensed.setStretch(100 * note->width() / noteWidth);
        note->setFont(condensed);
    }
    labels_[14] = note;

    QLineEdit* previous = nullptr;
    for (int row = 1; row <= InputFieldCount; ++row) {
        QLineEdit* edit = new QLineEdit(
            QString::fromStdString(DefaultFieldText(row, decimalSeparator_)), GroupBox1);
        edit->setObjectName(Name("Edit", row));
        edit->setFont(KarrowFont(12));
        edit->setGeometry(FieldLeft, RowPlaces[static_cast<std::size_t>(row - 1)].FieldTop,
            FieldWidth, FieldHeight);
        // The rheology of the melt is shown but fixed.
        edit->setEnabled(Field(row).Editable);
        if (previous)
            setTabOrder(previous, edit);
        previous = edit;
        edits_[static_cast<std::size_t>(row - 1)] = edit;
    }
}

QLineEdit* TForm1::Edit(int field) const
{
    return edits_.at(static_cast<std::size_t>(field - 1));
}

QLabel* TForm1::Label(int row) const
{
    return labels_.at(static_cast<std::size_t>(row - 1));
}

void TForm1::BitBtn1Click()
{
    QtUserInterface ui(*this);
    try {
        RunCalculation(ui, decimalSeparator_);
    } catch (const Fault& fault) {
        ShowErrorBox(this, QString::fromUtf8(fault.what()));
    } catch (const std::bad_alloc&) {
        ShowErrorBox(this, QStringLiteral("There is not enough memory to finish the calculation."));
    } catch (const std::exception& error) {
        ShowErrorBox(this,
            QStringLiteral("The calculation stopped because of an unexpected error: %1")
                .arg(QString::fromUtf8(error.what())));
    }
}

void TForm1::closeEvent(QCloseEvent* event)
{
    FormClose(event);
}

void TForm1::FormClose(QCloseEvent* event)
{
    setAttribute(Qt::WA_DeleteOnClose);
    event->accept();
}

} // namespace karrow
