#include "file_lock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <utility>

namespace karrow {

FileLock::FileLock(FileDescriptor file) noexcept
    : file_(std::move(file))
{
    int result = -1;
    do
        result = ::flock(file_.Get(), LOCK_EX | LOCK_NB);
    while (result != 0 && errno == EINTR);
    if (result == 0) {
        state_ = State::Held;
        return;
    }
    error_ = errno;
    state_ = error_ == EWOULDBLOCK ? State::Busy : State::Failed;
    if (state_ == State::Busy)
        file_.Close();
}

FileLock LockExistingFile(const std::string& path) noexcept
{
    if (KindOf(path) != FileKind::Regular)
        return {};
    // Either access is enough for flock, and opening without O_TRUNC changes nothing;
    // O_NONBLOCK in case the name became a FIFO since.
    constexpr int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    FileDescriptor file(::open(path.c_str(), O_RDONLY | flags));
    if (!file.IsOpen())
        file = FileDescriptor(::open(path.c_str(), O_WRONLY | flags));
    if (!file.IsOpen())
        return {};
    return FileLock(std::move(file));
}

} // namespace karrow
