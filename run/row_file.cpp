#include "row_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace karrow {

RowFile::~RowFile()
{
    if (descriptor_ >= 0 && !standardOutput_)
        ::close(descriptor_);
}

int RowFile::Open(const std::string& path)
{
    path_ = path;
    if (path == "-") {
        standardOutput_ = true;
        descriptor_ = STDOUT_FILENO;
    } else {
        // Without O_TRUNC: an existing file keeps its contents until Start. O_EXCL tells a file
        // this run created (and may remove again) from one that was there.
        descriptor_ = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
        if (descriptor_ < 0 && errno == ENOENT) {
            descriptor_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            created_ = descriptor_ >= 0;
        }
        if (descriptor_ < 0 && errno == EEXIST) // a symlink to a file not there yet
            descriptor_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666);
        if (descriptor_ < 0)
            return errno;
    }
    struct stat status { };
    if (::fstat(descriptor_, &status) != 0)
        return errno;
    regular_ = S_ISREG(status.st_mode);
    device_ = status.st_dev;
    inode_ = status.st_ino;
    if (S_ISDIR(status.st_mode))
        return EISDIR;
    // The advisory lock of every Karrow run (see file_lock.h), taken on the open descriptor
    // before anything is changed and held until it is closed: a second study or run on the same
    // file is refused. A device or FIFO is a stream that several writers may share.
    if (regular_ && !standardOutput_) {
        int result = -1;
        do
            result = ::flock(descriptor_, LOCK_EX | LOCK_NB);
        while (result != 0 && errno == EINTR);
        if (result != 0 && errno == EWOULDBLOCK)
            return EWOULDBLOCK;
    }
    return 0;
}

int RowFile::Start()
{
    if (regular_ && !created_ && ::ftruncate(descriptor_, 0) != 0)
        return errno;
    return 0;
}

int RowFile::Write(std::string_view text)
{
    while (!text.empty()) {
        const ssize_t written = ::write(descriptor_, text.data(), text.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

int RowFile::Close()
{
    if (descriptor_ < 0 || standardOutput_)
        return 0;
    const int descriptor = descriptor_;
    descriptor_ = -1;
    return ::close(descriptor) == 0 ? 0 : errno;
}

void RowFile::Abandon()
{
    if (created_ && descriptor_ >= 0) {
        // Only the file this run made, still under its name.
        struct stat status { };
        if (::lstat(path_.c_str(), &status) == 0 && status.st_dev == device_
            && status.st_ino == inode_)
            ::unlink(path_.c_str());
    }
    Close();
}

bool RowFile::SameFileAs(const RowFile& other) const
{
    // Two streams into one device or FIFO are the user's choice; into one file they would mix.
    const bool file = regular_ || standardOutput_;
    return file && descriptor_ >= 0 && other.descriptor_ >= 0 && device_ == other.device_
        && inode_ == other.inode_;
}

} // namespace karrow
