#pragma once

#include <QMainWindow>
#include <array>

class QCloseEvent;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace karrow {

class FolderChooser;
class TFinishForm;

// Form1, the main window: the fourteen input fields and their labels, the die picture, the
// output folder chooser, the report file name and the two buttons. OK runs one calculation.
class TForm1 : public QMainWindow {
    Q_OBJECT

public:
    // `decimalSeparator` is the regional one read at start-up; the default reals are shown
    // with it, and every run reads and writes numbers with it.
    explicit TForm1(char decimalSeparator, QWidget* parent = nullptr);

    // The dialog that each successful run shows at its end.
    void SetFinishForm(TFinishForm* finishForm) { finishForm_ = finishForm; }
    TFinishForm* FinishForm() const { return finishForm_; }

    // Field 1..15 (Edit1..Edit15) and its label (Label1..Label15; Label15 is the note line).
    QLineEdit* Edit(int field) const;
    QLabel* Label(int row) const;

    FolderChooser& Chooser() const { return *chooser_; }
    char DecimalSeparator() const { return decimalSeparator_; }

    // OK: runs one calculation. An error that no step of the run handles is shown in the
    // error box; the window stays usable.
    void BitBtn1Click();

    QFrame* Panel1;
    QGroupBox* GroupBox1;
    QFrame* Panel2;
    QLabel* Image1;
    QComboBox* DriveComboBox1;
    QListWidget* DirectoryListBox1;
    QListWidget* FileListBox1;
    QGroupBox* GroupBox2;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Closing frees the window; being the main window, that ends the program.
    void FormClose(QCloseEvent* event);

    void CreateInputRows();

    char decimalSeparator_;
    std::array<QLabel*, 15> labels_ {};
    std::array<QLineEdit*, 15> edits_ {};
    FolderChooser* chooser_ = nullptr;
    TFinishForm* finishForm_ = nullptr;
};

} // namespace karrow
