// The output folder chooser: what its three lists show, and that the process's current
// directory always follows the folder open in it.

#include "folder_chooser.h"
#include "main_window.h"
#include "window_under_test.h"

#include <QComboBox>
#include <QDir>
#include <QListWidget>
#include <QStorageInfo>
#include <QTest>
#include <memory>

using namespace karrow;
using namespace karrow::test;

namespace {

// Opens a folder list entry the way a user does: a click, then a double-click on it.
void DoubleClick(QListWidget* list, const QString& text)
{
    const QList<QListWidgetItem*> found = list->findItems(text, Qt::MatchExactly);
    if (found.isEmpty())
        return;
    list->scrollToItem(found.last());
    const QPoint centre = list->visualItemRect(found.last()).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, centre);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, centre);
}

QStringList PathEntries(const QString& folder)
{
    return QStringList { "/" } + folder.split('/', Qt::SkipEmptyParts);
}

} // namespace

class FolderChooserTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void listsPathSubfoldersAndFiles();
    void openingAFolderMovesTheCurrentDirectory();
    void folderThatCannotBeEnteredChangesNothing();
    void drivesStartWithTheRoot();
    void driveRemembersItsFolder();

private:
    std::unique_ptr<WindowUnderTest> window_;
};

void FolderChooserTest::init()
{
    window_ = std::make_unique<WindowUnderTest>();
    QVERIFY(window_->IsValid());
    QDir folder(window_->Folder());
    for (const char* name : { "beta", "Alpha", ".hidden-folder", "beta/inner" })
        QVERIFY(folder.mkdir(name));
    for (const char* name : { "b.txt", "A.txt", "c.TXT", ".hidden", "beta/deep.txt" })
        window_->Write(name, "x");
    QVERIFY(window_->Window()->Chooser().OpenFolder(window_->Folder()));
}

void FolderChooserTest::cleanup()
{
    window_.reset();
}

void FolderChooserTest::listsPathSubfoldersAndFiles()
{
    const MainWindow* form = window_->Window();
    const QListWidget* folders = Folders(form);
    const QStringList path = PathEntries(window_->Folder());

    QCOMPARE(Items(folders), path + QStringList({ "Alpha", "beta" }));
    QCOMPARE(folders->currentRow(), path.size() - 1);
    for (int row = 0; row < folders->count(); ++row)
        QCOMPARE(folders->item(row)->data(FolderChooser::LevelRole).toInt(),
            std::min(row, static_cast<int>(path.size())));
    QCOMPARE(folders->item(path.size())->data(FolderChooser::PathRole).toString(),
        window_->PathOf("Alpha"));
    QCOMPARE(Items(Files(form)), (QStringList { "A.txt", "b.txt", "c.TXT" }));
    QCOMPARE(QDir::currentPath(), window_->Folder());
}

void FolderChooserTest::openingAFolderMovesTheCurrentDirectory()
{
    MainWindow* form = window_->Window();

    DoubleClick(Folders(form), "beta");

    QCOMPARE(QDir::currentPath(), window_->PathOf("beta"));
    QCOMPARE(form->Chooser().OpenedFolder(), window_->PathOf("beta"));
    QCOMPARE(Items(Folders(form)), PathEntries(window_->PathOf("beta")) + QStringList({ "inner" }));
    QCOMPARE(Items(Files(form)), QStringList { "deep.txt" });

    // Back up through the path part of the list.
    DoubleClick(Folders(form), QDir(window_->Folder()).dirName());
    QCOMPARE(QDir::currentPath(), window_->Folder());
    QCOMPARE(Items(Files(form)), (QStringList { "A.txt", "b.txt", "c.TXT" }));
}

void FolderChooserTest::folderThatCannotBeEnteredChangesNothing()
{
    MainWindow* form = window_->Window();
    QVERIFY(QDir(window_->Folder()).mkdir("gone"));
    form->Chooser().OpenFolder(window_->Folder());
    QVERIFY(QDir(window_->Folder()).rmdir("gone"));
    const QStringList foldersBefore = Items(Folders(form));
    const QStringList filesBefore = Items(Files(form));
    ModalDialogCloser closer(form);

    DoubleClick(Folders(form), "gone");

    QCOMPARE(closer.SeenNames(), QStringList { "ErrorBox" });
    QCOMPARE(closer.Seen()[0].Title, QStringLiteral("Karrow"));
    QVERIFY2(
        closer.Seen()[0].Text.contains(window_->PathOf("gone")), qPrintable(closer.Seen()[0].Text));
    QCOMPARE(QDir::currentPath(), window_->Folder());
    QCOMPARE(form->Chooser().OpenedFolder(), window_->Folder());
    QCOMPARE(Items(Folders(form)), foldersBefore);
    QCOMPARE(Items(Files(form)), filesBefore);
}

void FolderChooserTest::drivesStartWithTheRoot()
{
    const QComboBox* drives = Drives(window_->Window());
    QStringList roots;
    for (int index = 0; index < drives->count(); ++index)
        roots.append(drives->itemData(index).toString());

    QVERIFY(!roots.isEmpty());
    QCOMPARE(roots.first(), QStringLiteral("/"));
    QStringList sorted = roots;
    sorted.sort();
    QCOMPARE(roots, sorted);
    QCOMPARE(roots.removeDuplicates(), 0);
    QCOMPARE(drives->currentData().toString(), QStorageInfo(window_->Folder()).rootPath());
}

void FolderChooserTest::driveRemembersItsFolder()
{
    MainWindow* form = window_->Window();
    QComboBox* drives = Drives(form);
    const int home = drives->currentIndex();
    int other = -1;
    for (int index = 0; index < drives->count() && other < 0; ++index)
        if (index != home && QFileInfo(drives->itemData(index).toString()).isExecutable())
            other = index;
    if (other < 0)
        QSKIP("only one enterable file system is mounted");
    const QString otherRoot = drives->itemData(other).toString();

    drives->setCurrentIndex(other);
    emit drives->activated(other);
    QCOMPARE(QDir::currentPath(), otherRoot);
    QCOMPARE(Items(Folders(form)).first(), QStringLiteral("/"));

    drives->setCurrentIndex(home);
    emit drives->activated(home);
    QCOMPARE(QDir::currentPath(), window_->Folder());
    QCOMPARE(Items(Files(form)), (QStringList { "A.txt", "b.txt", "c.TXT" }));
}

QTEST_MAIN(FolderChooserTest)
#include "folder_chooser_test.moc"
