#pragma once

#include "posix_file.h"

#include <string>

namespace karrow {

// What a second run is told when another one holds the file it wants to write.
inline constexpr const char* AnotherRunIsWriting = "another Karrow run is writing it";

// An advisory lock (flock) on one open file, held while the object lives. Every Karrow run (the
// window's and karrow-cli's, through the same driver and writers) takes it before it changes a
// report or an output file, so that a second run on the same file is refused instead of deleting
// or mixing it. Programs that take no lock are not stopped. The lock belongs to the open file,
// not to the process: a second lock taken in the same process on another descriptor is refused
// too.
class FileLock {
public:
    enum class State { None, Held, Busy, Failed };

    FileLock() = default;
    // Takes the lock on `file` without waiting. The descriptor stays open unless another run
    // holds the lock: a file system without locks (State Failed) leaves the file unprotected but
    // still writable.
    explicit FileLock(FileDescriptor file) noexcept;

    State Result() const noexcept { return state_; }
    bool Held() const noexcept { return state_ == State::Held; }
    // The locked file's descriptor (-1 for None and Busy).
    int Descriptor() const noexcept { return file_.Get(); }
    // The errno of a failed attempt (EWOULDBLOCK when another run holds the lock).
    int Error() const noexcept { return error_; }

private:
    FileDescriptor file_;
    State state_ = State::None;
    int error_ = 0;
};

// The lock of the existing regular file `path` (links followed). Its State is None when there is
// no such file (nothing to protect yet), Busy when another run holds it.
FileLock LockExistingFile(const std::string& path) noexcept;

} // namespace karrow
