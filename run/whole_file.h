#pragma once

#include <string>

namespace karrow {

// Writes `content` to the file `path` whole or not at all: into a new temporary file beside it
// (never an existing file or a link planted under that name), made durable, then renamed over
// `path`. An existing file is replaced only by a complete new one; on failure the temporary
// file, the only file this wrote, is removed. Returns 0 or the errno that stopped it.
int ReplaceFileWhole(const std::string& path, const std::string& content);

} // namespace karrow
