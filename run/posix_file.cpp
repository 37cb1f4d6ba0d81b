#include "posix_file.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace karrow {

FileDescriptor::FileDescriptor(int fd) noexcept
    : fd_(fd)
{
}

FileDescriptor::~FileDescriptor()
{
    if (fd_ >= 0)
        ::close(fd_);
}

FileDescriptor::FileDescriptor(FileDescriptor&& other) noexcept
    : fd_(std::exchange(other.fd_, -1))
{
}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

int FileDescriptor::Close() noexcept
{
    if (fd_ < 0)
        return 0;
    const int result = ::close(std::exchange(fd_, -1));
    return result == 0 ? 0 : errno;
}

int WriteAll(int fd, std::string_view text) noexcept
{
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t put = ::write(fd, text.data() + done, text.size() - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put < 0)
            return errno;
        if (put == 0)
            return EIO;
        done += static_cast<std::size_t>(put);
    }
    return 0;
}

FileKind KindOf(const std::string& path) noexcept
{
    struct stat info { };
    if (::stat(path.c_str(), &info) != 0)
        return FileKind::Missing;
    if (S_ISREG(info.st_mode))
        return FileKind::Regular;
    if (S_ISDIR(info.st_mode))
        return FileKind::Directory;
    if (S_ISCHR(info.st_mode))
        return FileKind::CharacterDevice;
    if (S_ISBLK(info.st_mode))
        return FileKind::BlockDevice;
    if (S_ISFIFO(info.st_mode))
        return FileKind::Fifo;
    return S_ISSOCK(info.st_mode) ? FileKind::Socket : FileKind::Other;
}

bool NamesOpenFile(const std::string& path, int fd) noexcept
{
    struct stat named { };
    struct stat open { };
    return fd >= 0 && ::lstat(path.c_str(), &named) == 0 && ::fstat(fd, &open) == 0
        && named.st_dev == open.st_dev && named.st_ino == open.st_ino;
}

bool SameOpenFile(int a, int b) noexcept
{
    struct stat first { };
    struct stat second { };
    return a >= 0 && b >= 0 && ::fstat(a, &first) == 0 && ::fstat(b, &second) == 0
        && first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

} // namespace karrow
