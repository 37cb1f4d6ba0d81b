#include "folder_chooser.h"

#include "message_box.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QListWidget>
#include <QPainter>
#include <QScrollBar>
#include <QSet>
#include <QStorageInfo>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QVector>
#include <algorithm>

namespace karrow {

namespace {

    // Rows of a fixed height, shifted right by their indentation level (folder list) or not at
    // all (file list).
    class RowDelegate : public QStyledItemDelegate {
    public:
        RowDelegate(int rowHeight, int indentStep, QObject* parent)
            : QStyledItemDelegate(parent)
            , rowHeight_(rowHeight)
            , indentStep_(indentStep)
        {
        }

        void paint(QPainter* painter, const QStyleOptionViewItem& option,
            const QModelIndex& index) const override
        {
            QStyleOptionViewItem shifted(option);
            shifted.rect.setLeft(option.rect.left() + Indent(index));
            QStyledItemDelegate::paint(painter, shifted, index);
        }

        QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
        {
            const QSize natural = QStyledItemDelegate::sizeHint(option, index);
            return { natural.width() + Indent(index), rowHeight_ };
        }

    private:
        int Indent(const QModelIndex& index) const
        {
            return indentStep_ * index.data(FolderChooser::LevelRole).toInt();
        }

        int rowHeight_;
        int indentStep_;
    };

    QString DriveKind(const QStorageInfo& volume)
    {
        static const QSet<QByteArray> network { "nfs", "nfs4", "cifs", "smb3", "smbfs", "sshfs",
            "fuse.sshfs", "9p", "afs" };
        static const QSet<QByteArray> optical { "iso9660", "udf" };
        if (network.contains(volume.fileSystemType()))
            return QStringLiteral("network");
        if (optical.contains(volume.fileSystemType()))
            return QStringLiteral("optical");
        return QStringLiteral("fixed");
    }

    QString WhyNotEnterable(const QString& path)
    {
        const QFileInfo info(path);
        if (!info.exists())
            return QStringLiteral("it does not exist");
        if (!info.isDir())
            return QStringLiteral("it is not a folder");
        return QStringLiteral("access is denied");
    }

    // Changes on disk come in bursts (a program writing a file, a tree being removed); one
    // listing after the burst is enough.
    constexpr int RefreshDelayMs = 100;

    // Keeps a list's scroll position and its highlighted entry (found again by its text)
    // across a listing of the same folder.
    class ListPosition {
    public:
        explicit ListPosition(const QListWidget* list)
            : list_(list)
            , scroll_(list->verticalScrollBar()->value())
            , current_(list->currentItem() ? list->currentItem()->text() : QString())
        {
        }

        void RestoreScroll() const { list_->verticalScrollBar()->setValue(scroll_); }
        const QString& Current() const { return current_; }

    private:
        const QListWidget* list_;
        int scroll_;
        QString current_;
    };

    bool IsInside(const QString& folder, const QString& root)
    {
        return root == QLatin1String("/") || folder == root
            || folder.startsWith(root + QLatin1Char('/'));
    }

} // namespace

FolderChooser::FolderChooser(
    QComboBox* drives, QListWidget* folders, QListWidget* files, QObject* parent)
    : QObject(parent)
    , drives_(drives)
    , folders_(folders)
    , files_(files)
    , folder_(QDir::currentPath())
    , watcher_(new QFileSystemWatcher(this))
    , refreshTimer_(new QTimer(this))
{
    folders_->setItemDelegate(new RowDelegate(16, 8, folders_));
    folders_->setUniformItemSizes(true);
    files_->setItemDelegate(new RowDelegate(12, 0, files_));
    files_->setUniformItemSizes(true);
    files_->setIconSize({ 10, 10 });
    folders_->setIconSize({ 14, 14 });

    ListDrives();
    SelectDriveOf(folder_);
    lastFolderOfDrive_.insert(DriveOf(folder_), folder_);
    ListFolders();
    ListFiles();
    WatchOpenedFolder();

    refreshTimer_->setSingleShot(true);
    refreshTimer_->setInterval(RefreshDelayMs);
    connect(refreshTimer_, &QTimer::timeout, this, &FolderChooser::Refresh);
    connect(watcher_, &QFileSystemWatcher::directoryChanged, this, &FolderChooser::ChangedOnDisk);
    connect(drives_, &QComboBox::activated, this, &FolderChooser::DriveChosen);
    connect(folders_, &QListWidget::itemActivated, this, &FolderChooser::FolderActivated);
}

bool FolderChooser::OpenFolder(const QString& path)
{
    const QString wanted = QDir(folder_).absoluteFilePath(path);
    if (!QDir::setCurrent(wanted)) {
        ShowMessageBox(folders_, MessageBoxKind::Error,
            QStringLiteral("The folder \"%1\" cannot be opened: %2.")
                .arg(QDir::toNativeSeparators(wanted), WhyNotEnterable(wanted)));
        // The click that asked for the folder moved the highlight onto it; the report still
        // goes to the open folder, so the highlight returns there.
        HighlightOpenFolder();
        return false;
    }
    ShowOpenedFolder();
    return true;
}

void FolderChooser::ShowOpenedFolder()
{
    folder_ = QDir::currentPath();
    lastFolderOfDrive_.insert(DriveOf(folder_), folder_);
    SelectDriveOf(folder_);
    ListFolders();
    ListFiles();
    WatchOpenedFolder();
}

FolderChooser::HoldRefreshes::HoldRefreshes(FolderChooser& chooser)
    : chooser_(chooser)
{
    ++chooser_.holds_;
}

FolderChooser::HoldRefreshes::~HoldRefreshes()
{
    if (--chooser_.holds_ == 0 && chooser_.changedWhileHeld_) {
        chooser_.changedWhileHeld_ = false;
        chooser_.refreshTimer_->start();
    }
}

void FolderChooser::WatchOpenedFolder()
{
    // The open folder for what is created or removed in it. Its removal, though, is reported
    // on the folder itself only once nothing uses it any more, and the process's current
    // directory does; the parent reports it at once.
    QStringList wanted { folder_ };
    if (const QString parent = QFileInfo(folder_).path(); parent != folder_)
        wanted.append(parent);
    QStringList watched = watcher_->directories();
    watched.sort();
    wanted.sort();
    if (watched == wanted)
        return;
    if (!watched.isEmpty())
        watcher_->removePaths(watched);
    // A folder that cannot be watched (no inotify watch left, no permission) is still listed
    // whenever the user opens it.
    watcher_->addPaths(wanted);
}

void FolderChooser::ChangedOnDisk(const QString& folder)
{
    if (folder != folder_ && QFileInfo(folder_).isDir())
        return;
    if (holds_ > 0) {
        changedWhileHeld_ = true;
        return;
    }
    refreshTimer_->start();
}

void FolderChooser::Refresh()
{
    if (holds_ > 0) {
        changedWhileHeld_ = true;
        return;
    }
    if (!QFileInfo(folder_).isDir() || !QDir::setCurrent(folder_)) {
        OpenNearestRemainingFolder();
        return;
    }
    const ListPosition folderPosition(folders_);
    const ListPosition filePosition(files_);
    ListFolders();
    ListFiles();
    folderPosition.RestoreScroll();
    filePosition.RestoreScroll();
    const QList<QListWidgetItem*> file =
        files_->findItems(filePosition.Current(), Qt::MatchExactly);
    if (!file.isEmpty())
        files_->setCurrentItem(file.first());
    // A folder can be unwatched by removal and re-creation under the same name.
    WatchOpenedFolder();
}

void FolderChooser::OpenNearestRemainingFolder()
{
    const QString removed = folder_;
    QString up = folder_;
    while (up != QLatin1String("/")) {
        up = QFileInfo(up).path();
        if (QDir::setCurrent(up)) {
            ShowOpenedFolder();
            // The next report goes elsewhere than the user chose: say so, not only in the list.
            ShowMessageBox(folders_, MessageBoxKind::Message,
                QStringLiteral("The report folder \"%1\" is no longer there. Reports are now "
                               "written to \"%2\".")
                    .arg(QDir::toNativeSeparators(removed), QDir::toNativeSeparators(folder_)));
            return;
        }
    }
}

void FolderChooser::Reread()
{
    if (!QDir::setCurrent(folder_)) {
        ShowMessageBox(files_, MessageBoxKind::Error,
            QStringLiteral("The folder \"%1\" cannot be listed again: %2.")
                .arg(QDir::toNativeSeparators(folder_), WhyNotEnterable(folder_)));
        return;
    }
    ListFiles();
}

void FolderChooser::ListDrives()
{
    QList<QStorageInfo> volumes = QStorageInfo::mountedVolumes();
    volumes.removeIf([](const QStorageInfo& volume) {
        return !volume.isValid() || !volume.isReady() || !QFileInfo(volume.rootPath()).isDir();
    });
    // The root first, then the others in path order; a path mounted twice is listed once.
    std::stable_sort(volumes.begin(), volumes.end(),
        [](const QStorageInfo& a, const QStorageInfo& b) { return a.rootPath() < b.rootPath(); });

    const QStyle* style = drives_->style();
    drives_->clear();
    driveRoots_.clear();
    for (const QStorageInfo& volume : volumes) {
        const QString root = volume.rootPath();
        if (driveRoots_.contains(root))
            continue;
        const QString name =
            volume.name().isEmpty() ? QString::fromLocal8Bit(volume.device()) : volume.name();
        const QString kind = DriveKind(volume);
        const QIcon icon =
            style->standardIcon(kind == QLatin1String("network") ? QStyle::SP_DriveNetIcon
                    : kind == QLatin1String("optical")           ? QStyle::SP_DriveCDIcon
                                                                 : QStyle::SP_DriveHDIcon);
        const QString text = QStringLiteral("%1 [%2]").arg(root, name);
        drives_->addItem(icon, text, root);
        drives_->setItemData(drives_->count() - 1, text, Qt::ToolTipRole);
        driveRoots_.append(root);
    }
}

QString FolderChooser::DriveOf(const QString& folder) const
{
    QString best = QStringLiteral("/");
    for (const QString& root : driveRoots_)
        if (IsInside(folder, root) && root.size() > best.size())
            best = root;
    return best;
}

void FolderChooser::SelectDriveOf(const QString& folder)
{
    drives_->setCurrentIndex(static_cast<int>(driveRoots_.indexOf(DriveOf(folder))));
}

void FolderChooser::ListFolders()
{
    const QStyle* style = folders_->style();
    const QIcon openIcon = style->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closedIcon = style->standardIcon(QStyle::SP_DirClosedIcon);
    auto add = [this](const QIcon& icon, const QString& text, const QString& path, int level) {
        auto* item = new QListWidgetItem(icon, text, folders_);
        item->setData(PathRole, path);
        item->setData(LevelRole, level);
        item->setToolTip(QDir::toNativeSeparators(path));
    };

    folders_->clear();
    QString path = QStringLiteral("/");
    add(openIcon, path, path, 0);
    const QStringList parts = folder_.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    int level = 0;
    for (const QString& part : parts) {
        path = QDir(path).filePath(part);
        add(openIcon, part, path, ++level);
    }
    openRow_ = level;
    const QDir dir(folder_);
    const QStringList subfolders =
        dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString& name : subfolders)
        add(closedIcon, name, dir.filePath(name), level + 1);
    HighlightOpenFolder();
}

void FolderChooser::HighlightOpenFolder()
{
    folders_->setCurrentRow(openRow_);
}

void FolderChooser::ListFiles()
{
    const QIcon icon = files_->style()->standardIcon(QStyle::SP_FileIcon);
    files_->clear();
    const QStringList names = QDir(folder_).entryList(QDir::Files, QDir::Name | QDir::IgnoreCase);
    for (const QString& name : names)
        (new QListWidgetItem(icon, name, files_))->setToolTip(name);
}

void FolderChooser::DriveChosen(int index)
{
    const QString root = drives_->itemData(index).toString();
    if (root == DriveOf(folder_))
        return;
    QString target = lastFolderOfDrive_.value(root);
    if (target.isEmpty() || !QFileInfo(target).isDir())
        target = root;
    if (!OpenFolder(target))
        SelectDriveOf(folder_);
}

void FolderChooser::FolderActivated(QListWidgetItem* item)
{
    OpenFolder(item->data(PathRole).toString());
}

} // namespace karrow
