#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace karrow {

// A descriptor that is always closed. Close() reports a failed close (a late write error on a
// network file system or a full disk), which the destructor cannot.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) noexcept;
    ~FileDescriptor();
    FileDescriptor(FileDescriptor&& other) noexcept;
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int Get() const noexcept { return fd_; }
    bool IsOpen() const noexcept { return fd_ >= 0; }
    // Closes now: 0 or the errno of the failed close.
    int Close() noexcept;

private:
    int fd_;
};

// Writes all of `text` to `fd`, again after an interrupted or short write: 0 or the errno that
// stopped it (EIO for a write that takes nothing without saying why).
int WriteAll(int fd, std::string_view text) noexcept;

// The kind of file a name denotes, following links; Missing when nothing is there.
enum class FileKind {
    Missing,
    Regular,
    Directory,
    CharacterDevice,
    BlockDevice,
    Fifo,
    Socket,
    Other
};
FileKind KindOf(const std::string& path) noexcept;

// Whether `path` (not following a link) names the same file as the open descriptor `fd`.
bool NamesOpenFile(const std::string& path, int fd) noexcept;

// Whether two open descriptors are of one file.
bool SameOpenFile(int a, int b) noexcept;

} // namespace karrow
