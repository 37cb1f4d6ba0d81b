#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

class QComboBox;
class QFileSystemWatcher;
class QListWidget;
class QListWidgetItem;
class QTimer;

namespace karrow {

// The output folder chooser: links the drive selector, the folder list and the file list, and
// keeps the process's current directory equal to the folder that is open in the folder list,
// which is where a report name without a folder lands.
//
// Linux has no drive letters: the drive selector lists the mounted file systems (the root
// first, then the others in path order) and remembers, like a drive's current directory, the
// folder last opened on each of them. The folder list shows the path from the root down to the
// open folder, one indented entry per level, followed by the open folder's sub-folders; opening
// an entry (double-click or Enter) makes it the open folder. The file list shows the ordinary,
// non-hidden files of the open folder, sorted without regard to case. The highlighted folder
// entry is always the open folder, where a report is written.
//
// The open folder is watched: files and folders that other programs create or remove there
// show up without the user navigating. Should the open folder itself go, its nearest
// remaining ancestor is opened instead, and a message says where reports now go. Every entry
// carries its full name (full path for folders) as its tool tip, since the narrow lists cut
// long names.
class FolderChooser : public QObject {
    Q_OBJECT

public:
    // Fills the three controls and opens the process's current directory.
    FolderChooser(QComboBox* drives, QListWidget* folders, QListWidget* files, QObject* parent);

    // Makes `path` the open folder and the current directory. A folder that cannot be entered
    // shows an error box and changes nothing; the result says whether the folder was opened.
    bool OpenFolder(const QString& path);

    // Makes the open folder the current directory again and lists its files afresh.
    void Reread();

    // While a run is under way the lists change only when the run itself asks for it (the
    // file list is read again after the finish dialog closes); changes on disk seen meanwhile
    // are shown when the last hold ends.
    class HoldRefreshes {
    public:
        explicit HoldRefreshes(FolderChooser& chooser);
        ~HoldRefreshes();
        HoldRefreshes(const HoldRefreshes&) = delete;
        HoldRefreshes& operator=(const HoldRefreshes&) = delete;

    private:
        FolderChooser& chooser_;
    };

    const QString& OpenedFolder() const { return folder_; }

    // Item data: the full path of a drive or folder entry, and the indentation level of a
    // folder entry.
    static constexpr int PathRole = Qt::UserRole;
    static constexpr int LevelRole = Qt::UserRole + 1;

private:
    void ShowOpenedFolder();
    void ListDrives();
    void ListFolders();
    void ListFiles();
    void HighlightOpenFolder();
    void WatchOpenedFolder();
    void ChangedOnDisk(const QString& folder);
    void Refresh();
    void OpenNearestRemainingFolder();
    void SelectDriveOf(const QString& folder);
    QString DriveOf(const QString& folder) const;
    void DriveChosen(int index);
    void FolderActivated(QListWidgetItem* item);

    QComboBox* drives_;
    QListWidget* folders_;
    QListWidget* files_;
    QString folder_;
    int openRow_ = 0;
    QStringList driveRoots_;
    QFileSystemWatcher* watcher_;
    QTimer* refreshTimer_;
    int holds_ = 0;
    bool changedWhileHeld_ = false;
    QHash<QString, QString> lastFolderOfDrive_;
};

} // namespace karrow
