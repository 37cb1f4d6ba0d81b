#pragma once

#include "posix_file.h"

#include <string>
#include <string_view>

namespace karrow {

// A file a study writes row by row, straight into its place: rows that are written stay when
// the run is killed, and there is never a temporary file beside it. "-" is standard output.
//
// An output goes through three steps so that a run refused before its first row leaves every
// existing file as it was: Open (every output, nothing changed yet), then Start (an existing
// regular file is emptied), then Write. A device or FIFO is written as a stream and never
// emptied; a symlink is followed and its target written.
class RowFile {
public:
    RowFile() = default;
    RowFile(const RowFile&) = delete;
    RowFile& operator=(const RowFile&) = delete;
    ~RowFile() = default;

    // 0 or the errno that stopped it: EWOULDBLOCK when another Karrow run holds the file's lock.
    int Open(const std::string& path);
    int Start();
    int Write(std::string_view text);
    // Closes the file, reporting a failure of the last writes that close reveals.
    int Close();

    // Undoes Open after a refusal: removes the file if Open created it (it is still empty and
    // this run's own), and leaves every other file alone.
    void Abandon();

    // Whether both name one file (the same output twice).
    bool SameFileAs(const RowFile& other) const;
    const std::string& Path() const { return path_; }

private:
    // The descriptor written: standard output's, or the file's own (-1 once closed).
    int Descriptor() const;

    std::string path_;
    FileDescriptor file_; // never standard output, which the process keeps open
    bool created_ = false;
    bool regular_ = false;
    bool standardOutput_ = false;
};

} // namespace karrow
