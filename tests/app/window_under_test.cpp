#include "window_under_test.h"

#include "finish_dialog.h"
#include "folder_chooser.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

namespace karrow::test {

ModalDialogCloser::ModalDialogCloser(const MainWindow* window)
    : window_(window)
{
    connect(&timer_, &QTimer::timeout, this, &ModalDialogCloser::Poll);
    timer_.start(10);
}

QStringList ModalDialogCloser::SeenNames() const
{
    QStringList names;
    for (const SeenDialog& dialog : seen_)
        names.append(dialog.ObjectName);
    return names;
}

void ModalDialogCloser::Poll()
{
    QWidget* dialog = QApplication::activeModalWidget();
    if (busy_ || !dialog || !dialog->isVisible())
        return;
    busy_ = true;
    SeenDialog seen;
    seen.ObjectName = dialog->objectName();
    seen.Title = dialog->windowTitle();
    if (window_)
        seen.FilesListedMeanwhile = Items(Files(window_));
    auto* box = qobject_cast<QMessageBox*>(dialog);
    auto* finishDialog = qobject_cast<FinishDialog*>(dialog);
    if (box) {
        seen.Text = box->text();
        seen.ButtonCount = static_cast<int>(box->buttons().size());
    } else if (finishDialog) {
        seen.Text = Message(finishDialog)->text();
        seen.ButtonCount = 1;
    }
    seen_.append(seen);

    if (act_)
        act_(dialog);
    if (dialog->isVisible()) {
        if (box && box->button(QMessageBox::Ok))
            QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
        else if (finishDialog)
            QTest::mouseClick(OkButtonOf(finishDialog), Qt::LeftButton);
        if (dialog->isVisible())
            if (auto* other = qobject_cast<QDialog*>(dialog))
                other->reject();
    }
    busy_ = false;
}

WindowUnderTest::WindowUnderTest(char decimalSeparator)
    : previousDirectory_(QDir::currentPath())
{
    if (!dir_.isValid())
        return;
    folder_ = QFileInfo(dir_.path()).canonicalFilePath();
    QDir::setCurrent(folder_);
    window_ = new MainWindow(decimalSeparator);
    window_->SetFinishDialog(new FinishDialog(window_));
    window_->show();
    window_->activateWindow();
    active_ = QTest::qWaitForWindowActive(window_);
}

WindowUnderTest::~WindowUnderTest()
{
    delete window_.data();
    QDir::setCurrent(previousDirectory_);
}

QString WindowUnderTest::PathOf(const QString& name) const
{
    return QDir(folder_).filePath(name);
}

void WindowUnderTest::Write(const QString& name, const QByteArray& contents) const
{
    QFile file(PathOf(name));
    if (file.open(QIODevice::WriteOnly))
        file.write(contents);
}

namespace {

    // Searched from the central panel: the finish dialog, also a child of the main window, has
    // controls of the same names.
    template <typename Control> Control* Named(const MainWindow* window, const QString& name)
    {
        return window->centralWidget()->findChild<Control*>(name);
    }

} // namespace

QLineEdit* Edit(const MainWindow* window, int field)
{
    return Named<QLineEdit>(window, QStringLiteral("Edit%1").arg(field));
}

QPushButton* OkButton(const MainWindow* window)
{
    return Named<QPushButton>(window, QStringLiteral("BitBtn1"));
}

QPushButton* CloseButton(const MainWindow* window)
{
    return Named<QPushButton>(window, QStringLiteral("BitBtn2"));
}

QComboBox* Drives(const MainWindow* window)
{
    return Named<QComboBox>(window, QStringLiteral("DriveComboBox1"));
}

QListWidget* Folders(const MainWindow* window)
{
    return Named<QListWidget>(window, QStringLiteral("DirectoryListBox1"));
}

QListWidget* Files(const MainWindow* window)
{
    return Named<QListWidget>(window, QStringLiteral("FileListBox1"));
}

FinishDialog* FinishDialogOf(const MainWindow* window)
{
    return window->findChild<FinishDialog*>(QString(), Qt::FindDirectChildrenOnly);
}

FolderChooser& ChooserOf(const MainWindow* window)
{
    return *window->findChild<FolderChooser*>(QString(), Qt::FindDirectChildrenOnly);
}

QLabel* Message(const QWidget* finishDialog)
{
    return finishDialog->findChild<QLabel*>(QStringLiteral("Label1"));
}

QPushButton* OkButtonOf(const QWidget* finishDialog)
{
    return finishDialog->findChild<QPushButton*>(QStringLiteral("BitBtn1"));
}

QStringList Items(const QListWidget* list)
{
    QStringList texts;
    for (int row = 0; row < list->count(); ++row)
        texts.append(list->item(row)->text());
    return texts;
}

QByteArray Contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool Exists(const QString& path)
{
    return QFileInfo::exists(path);
}

} // namespace karrow::test
