#pragma once

#include "main_window.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace karrow {
class FinishDialog;
class FolderChooser;
}

namespace karrow::test {

// A modal dialog that opened while a test ran, as it was when it was closed.
struct SeenDialog {
    QString ObjectName; // "MessageBox" (a step's message), "ErrorBox", "FinishForm"
    QString Title;
    QString Text;
    int ButtonCount = 0;
    QStringList FilesListedMeanwhile; // the main window's file list while it was open
};

// Closes every modal dialog that opens while it exists (a message box with its OK button, the
// finish dialog with its BitBtn1, anything else by rejecting it) and records what it saw, so a
// run that shows an unexpected dialog fails its test instead of hanging it. `WhileOpen` lets a
// test act on each dialog before it is closed.
class ModalDialogCloser : public QObject {
public:
    explicit ModalDialogCloser(const MainWindow* window);

    void WhileOpen(std::function<void(QWidget* dialog)> act) { act_ = std::move(act); }
    const QList<SeenDialog>& Seen() const { return seen_; }
    QStringList SeenNames() const;

private:
    void Poll();

    QPointer<const MainWindow> window_;
    QTimer timer_;
    std::function<void(QWidget*)> act_;
    QList<SeenDialog> seen_;
    bool busy_ = false;
};

// A fresh main window (with its finish dialog) shown over a temporary folder of its own, which
// is the current directory when the window is created and so the folder open in its chooser.
// Destroying it closes the window and restores the previous current directory.
class WindowUnderTest {
public:
    explicit WindowUnderTest(char decimalSeparator = '.');
    ~WindowUnderTest();
    WindowUnderTest(const WindowUnderTest&) = delete;
    WindowUnderTest& operator=(const WindowUnderTest&) = delete;

    MainWindow* Window() const { return window_; }
    bool IsValid() const { return dir_.isValid() && window_ && active_; }
    const QString& Folder() const { return folder_; }
    QString PathOf(const QString& name) const;
    void Write(const QString& name, const QByteArray& contents) const;

private:
    QString previousDirectory_;
    QTemporaryDir dir_;
    QString folder_;
    QPointer<MainWindow> window_;
    bool active_ = false;
};

// The main window's controls, found by their object names as a user's script would.
QLineEdit* Edit(const MainWindow* window, int field);
QPushButton* OkButton(const MainWindow* window);
QPushButton* CloseButton(const MainWindow* window);
QComboBox* Drives(const MainWindow* window);
QListWidget* Folders(const MainWindow* window);
QListWidget* Files(const MainWindow* window);

// The main window's finish dialog and folder chooser, its children.
FinishDialog* FinishDialogOf(const MainWindow* window);
FolderChooser& ChooserOf(const MainWindow* window);

// The finish dialog's message and OK button.
QLabel* Message(const QWidget* finishDialog);
QPushButton* OkButtonOf(const QWidget* finishDialog);

QStringList Items(const QListWidget* list);
QByteArray Contents(const QString& path);
bool Exists(const QString& path);

} // namespace karrow::test
