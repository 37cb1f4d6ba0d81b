#include "row_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace karrow {

int RowFile::Open(const std::string& path)
{
    path_ = path;
    if (path == "-") {
        standardOutput_ = true;
    } else {
        // Without O_TRUNC: an existing file keeps its contents until Start. O_EXCL tells a file
        // this run created (and may remove again) from one that was there.
        file_ = FileDescriptor(::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY));
        if (!file_.IsOpen() && errno == ENOENT) {
            file_ = FileDescriptor(
                ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
            created_ = file_.IsOpen();
        }
        if (!file_.IsOpen() && errno == EEXIST) // a symlink to a file not there yet
            file_ = FileDescriptor(
                ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666));
        if (!file_.IsOpen())
            return errno;
    }
    struct stat status { };
    if (::fstat(Descriptor(), &status) != 0)
        return errno;
    regular_ = S_ISREG(status.st_mode);
    if (S_ISDIR(status.st_mode))
        return EISDIR;
    // The advisory lock of every Karrow run (see file_lock.h), taken on the open descriptor
    // before anything is changed and held until it is closed: a second study or run on the same
    // file is refused. A device or FIFO is a stream that several writers may share.
    if (regular_ && !standardOutput_) {
        int result = -1;
        do
            result = ::flock(Descriptor(), LOCK_EX | LOCK_NB);
        while (result != 0 && errno == EINTR);
        if (result != 0 && errno == EWOULDBLOCK)
            return EWOULDBLOCK;
    }
    return 0;
}

int RowFile::Start()
{
    if (regular_ && !created_ && ::ftruncate(Descriptor(), 0) != 0)
        return errno;
    return 0;
}

int RowFile::Write(std::string_view text)
{
    return WriteAll(Descriptor(), text);
}

int RowFile::Close()
{
    return standardOutput_ ? 0 : file_.Close();
}

void RowFile::Abandon()
{
    // Only the file this run made, still under its name.
    if (created_ && NamesOpenFile(path_, Descriptor()))
        ::unlink(path_.c_str());
    Close();
}

bool RowFile::SameFileAs(const RowFile& other) const
{
    // Two streams into one device or FIFO are the user's choice; into one file they would mix.
    const bool file = regular_ || standardOutput_;
    return file && SameOpenFile(Descriptor(), other.Descriptor());
}

int RowFile::Descriptor() const
{
    return standardOutput_ ? STDOUT_FILENO : file_.Get();
}

} // namespace karrow
