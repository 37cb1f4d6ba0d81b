#pragma once

#include <optional>
#include <string>

namespace karrow {

// Writes `content` to the output file `path` (a JSON document, a CSV table, an input set) so
// that nothing is lost, and returns why it could not, in words, or nothing:
// - a regular file (or none yet) is replaced whole or not at all: the content goes into a new
//   temporary file beside it, made durable, which then takes the name by a rename, with the mode
//   and owner of the file it replaces; on failure only that temporary file is removed;
// - a file with several hard links, or one whose owner the replacement cannot keep, is written in
//   place instead (truncated, then written), so that every link and the owner stay;
// - a symbolic link is followed and its target written as above; the link stays;
// - a character device or a FIFO is written as a stream (a FIFO that nothing reads is refused);
//   a block device, a folder or a socket is refused;
// - the file is locked (FileLock) while it is written; another run holding it refuses the write.
std::optional<std::string> WriteOutputFile(const std::string& path, const std::string& content);

} // namespace karrow
