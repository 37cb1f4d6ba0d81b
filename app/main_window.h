#pragma once

#include "input_set_file.h"
#include "melt_choice.h"

#include <QMainWindow>
#include <QString>
#include <array>

class QAction;
class QCloseEvent;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace karrow {

class DriveBox;
class FinishDialog;
class FolderChooser;
class ResultsWindow;
struct RunOutcome;

// The main window (object name Form1): the fourteen input fields and their labels, the die
// picture, the report folder chooser, the report file name and the two buttons, with a menu bar
// above that form for the input sets and the results window. OK runs one calculation. The
// controls keep the object names users' scripts and the tests know them by (Edit1..Edit15,
// Label1..Label15, BitBtn1, DirectoryListBox1, ...). Its folder chooser, like the finish dialog
// at start-up, is a child object of it.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    // `decimalSeparator` is the regional one read at start-up; the default reals are shown
    // with it, and every run reads and writes numbers with it.
    explicit MainWindow(char decimalSeparator, QWidget* parent = nullptr);

    // The dialog that each successful run shows at its end.
    void SetFinishDialog(FinishDialog* dialog) { finishDialog_ = dialog; }

    // The texts of fields 1..15, as an input set holds them. Setting them fills the rheology
    // rows too: they stay disabled, and the next run uses what they show.
    using FieldTexts = karrow::WindowFieldTexts;
    FieldTexts AllFieldTexts() const;
    void SetFieldTexts(const FieldTexts& texts);

    // Input sets of the fields and the chosen melt, from the File menu before or after any run.
    // Opening reads an input set (its melt, or none, becomes the chosen one) or the inputs of a
    // run document (the melt chosen stays); a file that is neither shows a message naming it and the problem, and
    // changes nothing.
    bool SaveInputs(const QString& path);
    bool OpenInputs(const QString& path);

    // The results window, once a run has finished; null before.
    ResultsWindow* Results() const { return results_; }

    // The real melt the exact network runs with beside the classic power law, chosen in the
    // Melt dialog (File menu, or the results window); none until one is chosen.
    void ChooseMelt();
    void SetMelt(const std::optional<MeltChoice>& melt);
    const std::optional<MeltChoice>& MeltChosen() const { return melt_; }

    // OK: runs one calculation. An error that no step of the run handles is shown in the
    // error box; the window stays usable.
    void OkClicked();

signals:
    // The text of any field changed, by typing or by opening an input set.
    void FieldTextsChanged();
    // Another melt was chosen.
    void MeltChanged();

protected:
    // Closing frees the window; being the main window, that ends the program.
    void closeEvent(QCloseEvent* event) override;

private:
    // What a run needs of the window (the field texts, the message boxes, the finish dialog, the
    // folder chooser's file list), which nothing else may reach.
    class WindowUserInterface;

    struct Widgets {
        QFrame* panel = nullptr;
        QGroupBox* inputs = nullptr;
        std::array<QLabel*, InputFieldCount + 1> labels {}; // Label1..Label14 and the note
        FieldArray<QLineEdit*> fields;
        QFrame* pictureFrame = nullptr;
        QLabel* picture = nullptr;
        DriveBox* drives = nullptr;
        QListWidget* folders = nullptr;
        QListWidget* files = nullptr;
        QGroupBox* reportName = nullptr;
        QPushButton* okButton = nullptr;
        QPushButton* closeButton = nullptr;
        QAction* showResults = nullptr;
    };

    void CreateUi();
    void CreateMenuBar();
    void SaveInputsChosen();
    void OpenInputsChosen();
    void ShowResultsChosen();
    void CreateInputRows();
    void CreatePicture();
    void CreateFolderChooser();
    void CreateReportName();
    void CreateButtons();
    void ShowResults(const FieldTexts& texts, RunOutcome outcome);

    char decimalSeparator_;
    Widgets ui_;
    FolderChooser* chooser_ = nullptr;
    FinishDialog* finishDialog_ = nullptr;
    ResultsWindow* results_ = nullptr;
    std::optional<MeltChoice> melt_;
};

} // namespace karrow
