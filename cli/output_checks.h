#pragma once

// Checks and writers of karrow-cli's outputs, shared by the single run and the study command:
// each check prints why it refuses (to stderr) and returns false, and each writer reports its
// failure with the exit status it calls for.

#include "run/fields.h"
#include "run/file_lock.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace karrow {

// Writes `text` to standard output now: 0 or the errno (a full disk, a closed stdout).
int WriteStandardOutput(const std::string& text);

// Writes `text` to `path` ("-": stdout) as an output file (WriteOutputFile): 0, ExitUsage for a
// file that cannot be used, ExitFault for an I/O error on stdout. `what` names the output in
// the message.
int WriteOutputStatus(const std::string& path, const std::string& text, const char* what);
bool WriteOutput(const std::string& path, const std::string& text, const char* what);

// Refuses an option given `count` > 1 times.
bool RefuseRepeatedOption(const std::string& name, std::size_t count);
// Refuses --csv - together with --json -.
bool RefuseSharedStandardOutput(const std::string& csv, const std::string& json);
// Refuses --save-inputs -.
bool RefuseInputSetOnStandardOutput(const std::string& saveInputs);
// Refuses field texts that a JSON document cannot hold (not UTF-8), naming the field.
bool RefuseTextsJsonCannotHold(const FieldTexts& texts);
// Refuses two outputs (option, path) that name one file; devices, FIFOs and "-" are not files.
bool RefuseOneFileForTwoOutputs(const std::vector<std::pair<const char*, std::string>>& outputs);

// The lock of the existing output file `path`, held for the run; nothing when another run holds
// it (said on stderr). "-" and "" give an empty lock.
std::optional<FileLock> ClaimOutput(const std::string& path, const char* what);

// Flushes and closes standard output at the end: `status`, or ExitFault (with a message) when
// a write or the close failed and the run had finished.
int FinishStandardOutput(int status);

} // namespace karrow
