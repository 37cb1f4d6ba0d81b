#include "whole_file.h"

#include "file_lock.h"
#include "posix_file.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace karrow {

namespace {

    namespace fs = std::filesystem;

    constexpr int OpenFlags = O_WRONLY | O_CLOEXEC | O_NOCTTY;

    std::string SystemReason(int error)
    {
        return std::generic_category().message(error);
    }

    // The temporary file beside `target`, created new (O_EXCL: an existing file of that name,
    // or a symbolic link planted there, is never opened). Its name starts with "." so that the
    // file lists do not show it while it exists.
    FileDescriptor CreateTemporary(const fs::path& target, fs::path& temporary, int& error)
    {
        std::random_device entropy;
        const std::string base = target.filename().string().substr(0, 100);
        error = EEXIST;
        for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
            temporary = target.parent_path()
                / ("." + base + "." + std::to_string(entropy() % 1000000000U) + ".tmp");
            FileDescriptor fd(
                ::open(temporary.c_str(), OpenFlags | O_CREAT | O_EXCL | O_NOFOLLOW, 0666));
            if (fd.IsOpen())
                return fd;
            error = errno;
        }
        return FileDescriptor();
    }

    // The rename is durable only once the folder's entry is; failing that is no reason to call
    // the write failed, as the file is complete either way.
    void SyncFolder(const fs::path& folder)
    {
        FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (fd.IsOpen())
            (void)::fsync(fd.Get());
    }

    // Writes into an existing device or FIFO. O_NONBLOCK only for the open, so that a FIFO that
    // nothing reads is refused instead of hanging the run.
    std::optional<std::string> WriteStream(const fs::path& target, const std::string& content)
    {
        FileDescriptor fd(::open(target.c_str(), OpenFlags | O_NONBLOCK));
        if (!fd.IsOpen())
            return errno == ENXIO ? "it is a pipe that nothing reads" : SystemReason(errno);
        int error = ::fcntl(fd.Get(), F_SETFL, 0) == 0 ? 0 : errno;
        if (error == 0)
            error = WriteAll(fd.Get(), content);
        const int closed = fd.Close();
        if (error == 0)
            error = closed;
        if (error != 0)
            return SystemReason(error);
        return std::nullopt;
    }

    // Truncates and writes the existing file: every hard link and the owner stay, but a failure
    // leaves it partly written.
    std::optional<std::string> WriteInPlace(const fs::path& target, const std::string& content)
    {
        FileDescriptor fd(::open(target.c_str(), OpenFlags | O_NONBLOCK));
        int error = fd.IsOpen() ? 0 : errno;
        if (error == 0 && ::ftruncate(fd.Get(), 0) != 0)
            error = errno;
        if (error == 0)
            error = WriteAll(fd.Get(), content);
        if (error == 0 && ::fsync(fd.Get()) != 0)
            error = errno;
        const int closed = fd.Close();
        if (error == 0)
            error = closed;
        if (error != 0)
            return SystemReason(error);
        return std::nullopt;
    }

    // Gives the temporary file the mode and owner of the file it replaces: false when the owner
    // cannot be kept (a user may not give a file away).
    bool TakeOverAttributes(int fd, const struct stat& old)
    {
        if (old.st_uid != ::geteuid() || old.st_gid != ::getegid())
            if (::fchown(fd, old.st_uid, old.st_gid) != 0)
                return false;
        (void)::fchmod(fd, old.st_mode & 07777);
        return true;
    }

    std::optional<std::string> ReplaceWhole(
        const fs::path& target, const struct stat* old, const std::string& content)
    {
        fs::path temporary;
        int error = 0;
        FileDescriptor fd = CreateTemporary(target, temporary, error);
        if (!fd.IsOpen()) {
            const fs::path folder = target.parent_path().empty() ? "." : target.parent_path();
            std::error_code ignored;
            if (error == ENOENT && !fs::is_directory(folder, ignored))
                return "the folder " + fs::absolute(folder, ignored).string() + " does not exist";
            return "the temporary file that replaces it whole cannot be created in the folder "
                + fs::absolute(folder, ignored).lexically_normal().string() + " ("
                + SystemReason(error) + ")";
        }
        // The new file is locked before it takes the name, so that it is never seen unlocked
        // while this run writes it.
        const FileLock newLock(std::move(fd));
        const int raw = newLock.Descriptor();
        if (old != nullptr && !TakeOverAttributes(raw, *old)) {
            ::unlink(temporary.c_str());
            return WriteInPlace(target, content);
        }
        error = WriteAll(raw, content);
        if (error == 0 && ::fsync(raw) != 0)
            error = errno;
        if (error == 0 && ::rename(temporary.c_str(), target.c_str()) != 0)
            error = errno;
        if (error != 0) {
            ::unlink(temporary.c_str());
            return SystemReason(error);
        }
        SyncFolder(target.parent_path().empty() ? "." : target.parent_path());
        // The lock's descriptor closes with newLock; fsync has made the content durable, so a
        // late close error has nothing left to report.
        return std::nullopt;
    }

    // The file a name stands for: a symbolic link's target (even one that does not exist yet),
    // after every link in a chain, else the name itself.
    fs::path Resolved(const std::string& path, std::error_code& error)
    {
        fs::path name = path;
        for (int hop = 0; hop < 40; ++hop) {
            struct stat info { };
            if (::lstat(name.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
                return name;
            const fs::path target = fs::read_symlink(name, error);
            if (error)
                return name;
            name = target.is_absolute() ? target : name.parent_path() / target;
        }
        error = std::make_error_code(std::errc::too_many_symbolic_link_levels);
        return name;
    }

} // namespace

std::optional<std::string> WriteOutputFile(const std::string& path, const std::string& content)
{
    if (path.empty())
        return "the file name is empty";
    std::error_code problem;
    const fs::path target = Resolved(path, problem);
    if (problem)
        return "the symbolic link cannot be followed (" + problem.message() + ")";
    switch (KindOf(target)) {
    case FileKind::Directory:
        return "it is a folder";
    case FileKind::BlockDevice:
        return "it is a block device, not a file";
    case FileKind::Socket:
    case FileKind::Other:
        return "it is not a file that can be written";
    case FileKind::CharacterDevice:
    case FileKind::Fifo:
        return WriteStream(target, content);
    case FileKind::Missing:
    case FileKind::Regular:
        break;
    }
    const FileLock lock = LockExistingFile(target);
    if (lock.Result() == FileLock::State::Busy)
        return AnotherRunIsWriting;
    struct stat old { };
    const bool exists = ::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    if (exists && old.st_nlink > 1)
        return WriteInPlace(target, content);
    return ReplaceWhole(target, exists ? &old : nullptr, content);
}

} // namespace karrow
