// The output folder chooser: what its three lists show, that the process's current directory
// and the highlighted folder always follow the folder open in it, and that changes other
// programs make there show up by themselves.

#include "folder_chooser.h"
#include "main_window.h"
#include "window_under_test.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QScreen>
#include <QStorageInfo>
#include <QTest>
#include <memory>
#include <unistd.h>

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

QString HighlightedFolder(const MainWindow* form)
{
    const QListWidgetItem* current = Folders(form)->currentItem();
    return current ? current->data(FolderChooser::PathRole).toString() : QString();
}

// Long enough to notice a listing that comes with no prompt from the user.
constexpr int DiskChangeTimeoutMs = 5000;

constexpr uid_t NobodyId = 65534;

} // namespace

class FolderChooserTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void listsPathSubfoldersAndFiles();
    void openingAFolderMovesTheCurrentDirectory();
    void folderThatCannotBeEnteredChangesNothing_data();
    void folderThatCannotBeEnteredChangesNothing();
    void changesOnDiskAreListedWithoutNavigating();
    void removedOpenFolderFallsBackToItsParent();
    void entriesShowTheirFullNamesAsToolTips();
    void drivesStartWithTheRoot();
    void driveRemembersItsFolder();
    void drivePopupStaysInsideWindowAndScreen();

private:
    // Root enters any folder; a refusal for want of permission needs another user. The saved
    // user id stays root's, so cleanup() can take root's rights back.
    bool ActAsNobody();

    std::unique_ptr<WindowUnderTest> window_;
    bool actingAsNobody_ = false;
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
    QVERIFY(ChooserOf(window_->Window()).OpenFolder(window_->Folder()));
}

void FolderChooserTest::cleanup()
{
    if (actingAsNobody_ && ::seteuid(0) == 0)
        actingAsNobody_ = false;
    window_.reset();
}

bool FolderChooserTest::ActAsNobody()
{
    if (::geteuid() != 0)
        return true;
    actingAsNobody_ = ::seteuid(NobodyId) == 0;
    return actingAsNobody_;
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
    QCOMPARE(ChooserOf(form).OpenedFolder(), window_->PathOf("beta"));
    QCOMPARE(Items(Folders(form)), PathEntries(window_->PathOf("beta")) + QStringList({ "inner" }));
    QCOMPARE(Items(Files(form)), QStringList { "deep.txt" });

    // Back up through the path part of the list.
    DoubleClick(Folders(form), QDir(window_->Folder()).dirName());
    QCOMPARE(QDir::currentPath(), window_->Folder());
    QCOMPARE(Items(Files(form)), (QStringList { "A.txt", "b.txt", "c.TXT" }));
}

void FolderChooserTest::folderThatCannotBeEnteredChangesNothing_data()
{
    QTest::addColumn<bool>("removed");
    QTest::newRow("removed while listed") << true;
    QTest::newRow("no permission") << false;
}

void FolderChooserTest::folderThatCannotBeEnteredChangesNothing()
{
    QFETCH(bool, removed);
    MainWindow* form = window_->Window();
    QVERIFY(QDir(window_->Folder()).mkdir("refused"));
    ChooserOf(form).OpenFolder(window_->Folder());
    if (removed) {
        QVERIFY(QDir(window_->Folder()).rmdir("refused"));
    } else {
        QVERIFY(QFile::setPermissions(window_->Folder(),
            QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther
                | QFile::ExeOther));
        QVERIFY(QFile::setPermissions(window_->PathOf("refused"), {}));
        if (!ActAsNobody())
            QSKIP("cannot act as another user than root, and root enters any folder");
    }
    ModalDialogCloser closer(form);

    DoubleClick(Folders(form), "refused");

    QCOMPARE(closer.SeenNames(), QStringList { "ErrorBox" });
    QCOMPARE(closer.Seen()[0].Title, QStringLiteral("Karrow"));
    QVERIFY2(closer.Seen()[0].Text.contains(window_->PathOf("refused")),
        qPrintable(closer.Seen()[0].Text));
    QCOMPARE(QDir::currentPath(), window_->Folder());
    QCOMPARE(ChooserOf(form).OpenedFolder(), window_->Folder());
    // The highlight shows where a report goes, not the folder the click asked for.
    QCOMPARE(HighlightedFolder(form), window_->Folder());
    QCOMPARE(Items(Files(form)), (QStringList { "A.txt", "b.txt", "c.TXT" }));
}

void FolderChooserTest::changesOnDiskAreListedWithoutNavigating()
{
    MainWindow* form = window_->Window();
    Files(form)->setCurrentRow(2);

    window_->Write("new.txt", "written by another program");
    QVERIFY(QFile::remove(window_->PathOf("b.txt")));
    QVERIFY(QDir(window_->Folder()).mkdir("gamma"));

    QTRY_COMPARE_WITH_TIMEOUT(
        Items(Files(form)), (QStringList { "A.txt", "c.TXT", "new.txt" }), DiskChangeTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(Items(Folders(form)),
        PathEntries(window_->Folder()) + QStringList({ "Alpha", "beta", "gamma" }),
        DiskChangeTimeoutMs);
    QCOMPARE(Files(form)->currentItem()->text(), QStringLiteral("c.TXT"));
    QCOMPARE(HighlightedFolder(form), window_->Folder());
    QCOMPARE(QDir::currentPath(), window_->Folder());
}

void FolderChooserTest::removedOpenFolderFallsBackToItsParent()
{
    MainWindow* form = window_->Window();
    QVERIFY(ChooserOf(form).OpenFolder(window_->PathOf("beta/inner")));
    ModalDialogCloser closer(form);

    QVERIFY(QDir(window_->PathOf("beta")).removeRecursively());

    QTRY_COMPARE_WITH_TIMEOUT(
        ChooserOf(form).OpenedFolder(), window_->Folder(), DiskChangeTimeoutMs);
    // The next report goes elsewhere than the user chose: a message says where.
    QTRY_COMPARE(closer.SeenNames(), QStringList { "MessageBox" });
    QVERIFY2(closer.Seen()[0].Text.contains(window_->PathOf("beta/inner"))
            && closer.Seen()[0].Text.contains("\"" + window_->Folder() + "\""),
        qPrintable(closer.Seen()[0].Text));
    QCOMPARE(QDir::currentPath(), window_->Folder());
    QCOMPARE(HighlightedFolder(form), window_->Folder());
    QCOMPARE(Items(Folders(form)), PathEntries(window_->Folder()) + QStringList({ "Alpha" }));
    QCOMPARE(Items(Files(form)), (QStringList { "A.txt", "b.txt", "c.TXT" }));
}

void FolderChooserTest::entriesShowTheirFullNamesAsToolTips()
{
    MainWindow* form = window_->Window();
    const QString longName =
        QStringLiteral("a folder whose name is far wider than the list ").repeated(3).trimmed();
    QVERIFY(QDir(window_->Folder()).mkdir(longName));
    window_->Write(longName + ".txt", "x");
    QVERIFY(ChooserOf(form).OpenFolder(window_->Folder()));

    const QListWidget* folders = Folders(form);
    QVERIFY(!folders->findItems(longName, Qt::MatchExactly).isEmpty());
    for (int row = 0; row < folders->count(); ++row)
        QCOMPARE(folders->item(row)->toolTip(),
            folders->item(row)->data(FolderChooser::PathRole).toString());
    QCOMPARE(folders->findItems(longName, Qt::MatchExactly).first()->toolTip(),
        window_->PathOf(longName));
    const QListWidget* files = Files(form);
    QVERIFY(!files->findItems(longName + ".txt", Qt::MatchExactly).isEmpty());
    for (int row = 0; row < files->count(); ++row)
        QCOMPARE(files->item(row)->toolTip(), files->item(row)->text());
    const QComboBox* drives = Drives(form);
    for (int index = 0; index < drives->count(); ++index)
        QCOMPARE(drives->itemData(index, Qt::ToolTipRole).toString(), drives->itemText(index));
    // The closed box cuts its entry shorter still.
    QComboBox* box = Drives(form);
    box->addItem(QStringLiteral("/mnt/").append(longName));
    box->setCurrentIndex(box->count() - 1);
    QCOMPARE(box->toolTip(), box->currentText());
    box->setCurrentIndex(0);
    QCOMPARE(box->toolTip(), box->itemText(0));
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

void FolderChooserTest::drivePopupStaysInsideWindowAndScreen()
{
    MainWindow* form = window_->Window();
    QComboBox* drives = Drives(form);
    // A mount point wider than any screen.
    drives->addItem(QStringLiteral("/mnt/").append(QString(400, QLatin1Char('m'))));

    drives->showPopup();
    QWidget* popup = drives->view()->window();
    QTRY_VERIFY(popup->isVisible());
    const QRect place = popup->geometry();
    const QRect screenArea = drives->screen()->availableGeometry();
    drives->hidePopup();

    QVERIFY2(screenArea.contains(place),
        qPrintable(QStringLiteral("popup from %1 to %2, screen to %3")
                       .arg(place.left())
                       .arg(place.right())
                       .arg(screenArea.right())));
    QVERIFY(place.right() <= form->geometry().right());
    QVERIFY(place.width() >= drives->width());
}

QTEST_MAIN(FolderChooserTest)
#include "folder_chooser_test.moc"
