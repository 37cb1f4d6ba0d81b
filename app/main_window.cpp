#include "main_window.h"

#include "drive_box.h"
#include "file_dialogs.h"
#include "folder_chooser.h"
#include "melt_dialog.h"
#include "melt_results.h"
#include "message_box.h"
#include "results_window.h"
#include "run/assessment.h"
#include "run/design_run.h"
#include "run/fields.h"
#include "run/input_set.h"
#include "run/kept_texts.h"
#include "run/run_driver.h"
#include "solver/fault.h"
#include "window_look.h"
#include "window_user_interface.h"

#include <QApplication>
#include <QCloseEvent>
#include <QAction>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <new>
#include <optional>
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

MainWindow::MainWindow(char decimalSeparator, QWidget* parent)
    : QMainWindow(parent)
    , decimalSeparator_(decimalSeparator)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QString::fromUtf8(WindowCaption));
    setWindowIcon(QIcon(QStringLiteral(":/karrow/icon.png")));
    setFont(KarrowFont(12));
    UseButtonFaceBackground(this);
    CreateUi();
    CreateMenuBar();

    // The form keeps its size; the menu bar comes on top of it.
    resize(ClientWidth, ClientHeight + menuBar()->sizeHint().height());
    if (const QScreen* screen = QApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    ui_.fields[Field::NumberOfChannels]->setFocus();
}

void MainWindow::CreateUi()
{
    ui_.panel = new QFrame(this);
    ui_.panel->setObjectName(QStringLiteral("Panel1"));
    ui_.panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setCentralWidget(ui_.panel);

    ui_.inputs = new QGroupBox(QString::fromUtf8(InputConditionCaption), ui_.panel);
    ui_.inputs->setObjectName(QStringLiteral("GroupBox1"));
    ui_.inputs->setFont(KarrowFont(15));
    ui_.inputs->setGeometry(13, 14, 377, 318);
    CreateInputRows();
    CreatePicture();
    CreateFolderChooser();
    CreateReportName();
    CreateButtons();
}

void MainWindow::CreateInputRows()
{
    for (int row = 1; row <= static_cast<int>(InputFieldCount); ++row) {
        const Field field = InputFields[static_cast<std::size_t>(row - 1)];
        QLabel* label = new QLabel(QString::fromUtf8(InfoOf(field).Label), ui_.inputs);
        label->setObjectName(Name("Label", row));
        label->setFont(KarrowFont(12));
        SetTextColour(label, LabelBlue);
        label->move(LabelLeft, RowPlaces[static_cast<std::size_t>(row - 1)].LabelTop);
        label->adjustSize();
        ui_.labels[static_cast<std::size_t>(row - 1)] = label;
    }

    QLabel* note = new QLabel(QString::fromUtf8(ChannelDepthNote), ui_.inputs);
    note->setObjectName(QStringLiteral("Label15"));
    note->setFont(KarrowFont(12));
    SetTextColour(note, NoteGreen);
    note->setGeometry(8, 295, 358, 12);
    // The note was sized for the original face, which is narrower than the Gothic faces found
    // on Linux; rather than cut the sentence short, condense the font until it fits.
    CondenseToFit(note);
    ui_.labels[InputFieldCount] = note;

    QLineEdit* previous = nullptr;
    for (int row = 1; row <= static_cast<int>(InputFieldCount); ++row) {
        const Field field = InputFields[static_cast<std::size_t>(row - 1)];
        QLineEdit* edit = new QLineEdit(
            QString::fromStdString(DefaultFieldText(field, decimalSeparator_)), ui_.inputs);
        edit->setObjectName(Name("Edit", row));
        edit->setFont(KarrowFont(12));
        edit->setGeometry(FieldLeft, RowPlaces[static_cast<std::size_t>(row - 1)].FieldTop,
            FieldWidth, FieldHeight);
        // The rheology of the melt is shown but fixed.
        edit->setEnabled(InfoOf(field).Editable);
        if (previous)
            setTabOrder(previous, edit);
        previous = edit;
        ui_.fields[field] = edit;
    }
}

void MainWindow::CreatePicture()
{
    ui_.pictureFrame = new QFrame(ui_.panel);
    ui_.pictureFrame->setObjectName(QStringLiteral("Panel2"));
    ui_.pictureFrame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    ui_.pictureFrame->setGeometry(398, 13, 229, 271);

    // Drawn unscaled from its top-left corner: the last column and the bottom rows of the
    // picture fall outside the control.
    ui_.picture = new QLabel(ui_.pictureFrame);
    ui_.picture->setObjectName(QStringLiteral("Image1"));
    ui_.picture->setGeometry(2, 2, 225, 267);
    ui_.picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    ui_.picture->setPixmap(QPixmap(QStringLiteral(":/karrow/die.bmp")));
}

void MainWindow::CreateFolderChooser()
{
    ui_.drives = new DriveBox(ui_.panel);
    ui_.drives->setObjectName(QStringLiteral("DriveComboBox1"));
    ui_.drives->setGeometry(395, 295, 108, 18);
    ui_.drives->setFocusPolicy(Qt::ClickFocus);

    ui_.folders = new QListWidget(ui_.panel);
    ui_.folders->setObjectName(QStringLiteral("DirectoryListBox1"));
    ui_.folders->setGeometry(395, 319, 108, 113);
    ui_.folders->setFocusPolicy(Qt::ClickFocus);

    ui_.files = new QListWidget(ui_.panel);
    ui_.files->setObjectName(QStringLiteral("FileListBox1"));
    ui_.files->setGeometry(512, 296, 120, 136);
    ui_.files->setFocusPolicy(Qt::ClickFocus);

    chooser_ = new FolderChooser(ui_.drives, ui_.folders, ui_.files, this);
}

void MainWindow::CreateReportName()
{
    ui_.reportName = new QGroupBox(QString::fromUtf8(InfoOf(Field::SaveFileName).Label), ui_.panel);
    ui_.reportName->setObjectName(QStringLiteral("GroupBox2"));
    ui_.reportName->setGeometry(227, 349, 131, 53);
    SetTextColour(ui_.reportName, CaptionRed);

    QLineEdit* name = new QLineEdit(
        QString::fromStdString(DefaultFieldText(Field::SaveFileName, decimalSeparator_)),
        ui_.reportName);
    name->setObjectName(QStringLiteral("Edit15"));
    name->setGeometry(13, 20, 105, 20);
    name->setFocusPolicy(Qt::ClickFocus);
    QPalette black = name->palette();
    black.setColor(QPalette::Text, Qt::black);
    name->setPalette(black);
    ui_.fields[Field::SaveFileName] = name;
}

void MainWindow::CreateButtons()
{
    ui_.okButton = new QPushButton(
        style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("OK"), ui_.panel);
    ui_.okButton->setObjectName(QStringLiteral("BitBtn1"));
    ui_.okButton->setGeometry(71, 347, 90, 30);
    ui_.okButton->setFont(KarrowFont(15));
    ui_.okButton->setFocusPolicy(Qt::ClickFocus);
    ui_.okButton->setDefault(true);

    ui_.closeButton = new QPushButton(style()->standardIcon(QStyle::SP_DialogCloseButton),
        QString::fromUtf8(CloseButtonText), ui_.panel);
    ui_.closeButton->setObjectName(QStringLiteral("BitBtn2"));
    ui_.closeButton->setGeometry(72, 394, 90, 30);
    ui_.closeButton->setFont(KarrowFont(15));
    ui_.closeButton->setFocusPolicy(Qt::ClickFocus);

    connect(ui_.okButton, &QPushButton::clicked, this, &MainWindow::OkClicked);
    connect(ui_.closeButton, &QPushButton::clicked, this, &QWidget::close);
    // OK is the default button: Enter in any field clicks it. A main window has no
    // default-button handling of its own, so each field passes Enter on.
    for (QLineEdit* field : ui_.fields) {
        connect(field, &QLineEdit::returnPressed, ui_.okButton, &QPushButton::click);
        connect(field, &QLineEdit::textChanged, this, &MainWindow::FieldTextsChanged);
    }
}

// Above the form, which stays as it always was: what a designer does before a run (open a
// design) and between runs (save it, look at the results again).
void MainWindow::CreateMenuBar()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("FileMenu"));
    const auto item = [&](const QString& text, const QString& name, const QKeySequence& keys,
                          void (MainWindow::*chosen)()) {
        QAction* action = file->addAction(text);
        action->setObjectName(name);
        action->setShortcut(keys);
        connect(action, &QAction::triggered, this, chosen);
        return action;
    };
    item(QStringLiteral("&Open inputs\u2026"), QStringLiteral("OpenInputsAction"),
        QKeySequence::Open, &MainWindow::OpenInputsChosen);
    item(QStringLiteral("&Save inputs\u2026"), QStringLiteral("SaveInputsAction"),
        QKeySequence::Save, &MainWindow::SaveInputsChosen);
    file->addSeparator();
    ui_.showResults = item(QStringLiteral("Show &results"), QStringLiteral("ShowResultsAction"),
        QKeySequence(Qt::CTRL | Qt::Key_R), &MainWindow::ShowResultsChosen);
    ui_.showResults->setEnabled(false);
    item(QStringLiteral("&Melt\u2026"), QStringLiteral("MeltAction"),
        QKeySequence(Qt::CTRL | Qt::Key_M), &MainWindow::ChooseMelt);
}

void MainWindow::ChooseMelt()
{
    const MaterialCatalogue grades = ListMaterials(WindowMaterialFolders());
    std::optional<ShearRateRange> designRates;
    if (results_)
        designRates = results_->MeltAnswers().DesignShearRates();
    MeltDialog dialog(grades, melt_, designRates, decimalSeparator_, this);
    if (dialog.exec() == QDialog::Accepted)
        SetMelt(dialog.Chosen());
}

void MainWindow::SetMelt(const std::optional<MeltChoice>& melt)
{
    melt_ = melt;
    emit MeltChanged();
}

bool MainWindow::SaveInputs(const QString& path)
{
    const std::optional<QString> problem =
        WriteFieldTexts(path, AllFieldTexts(), melt_, decimalSeparator_);
    if (problem)
        ShowMessageBox(this, MessageBoxKind::Message, *problem);
    return !problem;
}

bool MainWindow::OpenInputs(const QString& path)
{
    const FieldTextsReading reading = ReadFieldTexts(path, decimalSeparator_);
    if (!reading.Texts) {
        ShowMessageBox(this, MessageBoxKind::Message, reading.Problem);
        return false;
    }
    SetFieldTexts(*reading.Texts);
    // A set is the design as it was saved: without a melt, it was saved without one. A run
    // document without a melt may come from a run that took none or from a program that wrote
    // none: the melt chosen stays.
    if (reading.SaysMelt)
        SetMelt(reading.Melt);
    return true;
}

void MainWindow::SaveInputsChosen()
{
    const QString extension = QString::fromUtf8(InputSetExtension);
    const QString path = ChooseFileToWrite(this, QStringLiteral("Save inputs"),
        QStringLiteral("design") + extension,
        { QStringLiteral("Karrow input sets (*%1)").arg(extension) });
    if (!path.isEmpty())
        SaveInputs(path);
}

void MainWindow::OpenInputsChosen()
{
    const QString path = ChooseFileToRead(this, QStringLiteral("Open inputs"),
        { QStringLiteral("Karrow input sets (*%1)").arg(QString::fromUtf8(InputSetExtension)),
            QStringLiteral("Run documents (*.json)"), QStringLiteral("All files (*)") });
    if (!path.isEmpty())
        OpenInputs(path);
}

void MainWindow::ShowResultsChosen()
{
    if (!results_)
        return;
    results_->show();
    results_->raise();
    results_->activateWindow();
}

MainWindow::FieldTexts MainWindow::AllFieldTexts() const
{
    FieldTexts texts;
    for (const Field field : AllFields)
        texts[field] = ui_.fields[field]->text();
    return texts;
}

void MainWindow::SetFieldTexts(const FieldTexts& texts)
{
    for (const Field field : AllFields)
        ui_.fields[field]->setText(texts[field]);
}

void MainWindow::OkClicked()
{
    WindowUserInterface ui(*this);
    // The texts the run reads: the modal dialogs of a run keep the fields as they are.
    const FieldTexts texts = AllFieldTexts();
    std::optional<RunOutcome> finished;
    {
        const FolderChooser::HoldRefreshes hold(*chooser_);
        try {
            RunOutcome outcome = RunCalculation(ui, decimalSeparator_);
            if (outcome.End == RunEnd::Finished)
                finished = std::move(outcome);
        } catch (const Fault& fault) {
            ShowMessageBox(this, MessageBoxKind::Error, QString::fromUtf8(fault.what()));
        } catch (const std::bad_alloc&) {
            ShowMessageBox(this, MessageBoxKind::Error,
                QStringLiteral("There is not enough memory to finish the calculation."));
        } catch (const std::exception& error) {
            ShowMessageBox(this, MessageBoxKind::Error,
                QStringLiteral("The calculation stopped because of an unexpected error: %1")
                    .arg(QString::fromUtf8(error.what())));
        }
    }
    if (finished)
        ShowResults(texts, std::move(*finished));
    else if (results_)
        results_->MarkEarlierRun();
}

// After the finish dialog has been closed and the file list read again: the assessment runs
// calculations of its own, which the report must not wait for.
void MainWindow::ShowResults(const FieldTexts& texts, RunOutcome outcome)
{
    karrow::FieldTexts runTexts;
    for (const Field field : AllFields)
        runTexts[field] = texts[field].toStdString();
    RunRecord record;
    try {
        record = RecordOfRun(runTexts, SolverChoice::Both, MeltProperties {}, decimalSeparator_,
            std::move(outcome), {}, std::nullopt);
    } catch (const std::exception& error) {
        ShowMessageBox(this, MessageBoxKind::Error,
            QStringLiteral("The results cannot be shown: %1").arg(QString::fromUtf8(error.what())));
        if (results_)
            results_->MarkEarlierRun();
        return;
    }
    if (!results_)
        results_ = new ResultsWindow(*this, decimalSeparator_, this);
    results_->ShowRun(std::move(record));
    ui_.showResults->setEnabled(true);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    setAttribute(Qt::WA_DeleteOnClose);
    event->accept();
}

} // namespace karrow
