#include "window_under_test.h"

#include "calc_finished.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

namespace karrow::test {

ModalDialogCloser::ModalDialogCloser(const TForm1* form)
    : form_(form)
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
    if (form_)
        seen.FilesListedMeanwhile = Items(form_->FileListBox1);
    auto* box = qobject_cast<QMessageBox*>(dialog);
    auto* finishForm = qobject_cast<TFinishForm*>(dialog);
    if (box) {
        seen.Text = box->text();
        seen.ButtonCount = static_cast<int>(box->buttons().size());
    } else if (finishForm) {
        seen.Text = finishForm->Label1->text();
        seen.ButtonCount = 1;
    }
    seen_.append(seen);

    if (act_)
        act_(dialog);
    if (dialog->isVisible()) {
        if (box && box->button(QMessageBox::Ok))
            QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
        else if (finishForm)
            QTest::mouseClick(finishForm->BitBtn1, Qt::LeftButton);
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
    form_ = new TForm1(decimalSeparator);
    form_->SetFinishForm(new TFinishForm(form_));
    form_->show();
    form_->activateWindow();
    active_ = QTest::qWaitForWindowActive(form_);
}

WindowUnderTest::~WindowUnderTest()
{
    delete form_.data();
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
