#include "output_checks.h"

#include "exit_status.h"
#include "run/design_run.h"
#include "run/fields.h"
#include "run/input_set.h"
#include "run/posix_file.h"
#include "run/whole_file.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <system_error>
#include <unistd.h>

namespace karrow {

// Writes `text` to standard output now, so that a full disk or a closed stdout is seen: 0 or
// the errno.
int WriteStandardOutput(const std::string& text)
{
    std::cout.flush();
    if (std::fflush(stdout) != 0)
        return errno;
    return WriteAll(STDOUT_FILENO, text);
}

// Writes `text` to `path` ("-": stdout) as an output file: 0, ExitUsage for a file that cannot
// be used, ExitFault for an I/O error on stdout.
int WriteOutputStatus(const std::string& path, const std::string& text, const char* what)
{
    if (path == "-") {
        if (const int error = WriteStandardOutput(text)) {
            std::cerr << "karrow-cli: cannot write the " << what
                      << " to standard output: " << std::generic_category().message(error) << '\n';
            return ExitFault;
        }
        return 0;
    }
    if (const auto reason = WriteOutputFile(path, text)) {
        std::error_code ignored;
        std::cerr << "karrow-cli: cannot write the " << what << " \""
                  << std::filesystem::absolute(path, ignored).string() << "\": " << *reason << '\n';
        return ExitUsage;
    }
    return 0;
}

bool WriteOutput(const std::string& path, const std::string& text, const char* what)
{
    return WriteOutputStatus(path, text, what) == 0;
}

// An option given twice is refused: which one wins would be a guess.
bool RefuseRepeatedOption(const std::string& name, std::size_t count)
{
    if (count <= 1)
        return true;
    std::cerr << "karrow-cli: " << name << " is given " << count << " times; give it once\n";
    return false;
}

// Two outputs on standard output would interleave there.
bool RefuseSharedStandardOutput(const std::string& csv, const std::string& json)
{
    if (csv != "-" || json != "-")
        return true;
    std::cerr << "karrow-cli: --csv - and --json - would both write to standard output; "
                 "give one of them a file\n";
    return false;
}

// An input set is a file to come back to: "-" is not taken as a file name.
bool RefuseInputSetOnStandardOutput(const std::string& saveInputs)
{
    if (saveInputs != "-")
        return true;
    std::cerr << "karrow-cli: --save-inputs - : an input set is saved to a file; give its name\n";
    return false;
}

// A JSON document holds UTF-8 text only: a field text that is not is refused before the run
// writes anything, naming the field.
bool RefuseTextsJsonCannotHold(const FieldTexts& texts)
{
    for (const Field field : AllFields)
        if (const auto problem = JsonTextProblem(field, texts[field])) {
            std::cerr << "karrow-cli: " << *problem << " A JSON document holds UTF-8 text only.\n";
            return false;
        }
    return true;
}

// Two outputs of one run written to one file would destroy each other (and the run's own lock
// would refuse the second as "another run").
bool RefuseOneFileForTwoOutputs(const std::vector<std::pair<const char*, std::string>>& outputs)
{
    namespace fs = std::filesystem;
    std::vector<std::pair<const char*, fs::path>> files;
    for (const auto& [option, path] : outputs) {
        // A device or FIFO takes any number of streams (a null device, most often).
        const FileKind kind = path.empty() || path == "-" ? FileKind::Fifo : KindOf(path);
        if (kind == FileKind::Fifo || kind == FileKind::CharacterDevice)
            continue;
        std::error_code ignored;
        const fs::path file = fs::weakly_canonical(fs::absolute(path, ignored), ignored);
        for (const auto& [other, otherFile] : files)
            if (otherFile == file) {
                std::cerr << "karrow-cli: " << other << " and " << option
                          << " name the same file \"" << file.string() << "\"\n";
                return false;
            }
        files.emplace_back(option, file);
    }
    return true;
}

// The lock of an existing output file for the whole run; a file another run holds is refused
// before anything is written.
std::optional<FileLock> ClaimOutput(const std::string& path, const char* what)
{
    if (path.empty() || path == "-")
        return FileLock();
    FileLock lock = LockExistingFile(path);
    if (lock.Result() != FileLock::State::Busy)
        return lock;
    std::error_code ignored;
    std::cerr << "karrow-cli: cannot write the " << what << " \""
              << std::filesystem::absolute(path, ignored).string() << "\": " << AnotherRunIsWriting
              << '\n';
    return std::nullopt;
}

// Standard output is checked once more at the end: what is still buffered, and its close.
int FinishStandardOutput(int status)
{
    std::cout.flush();
    const bool failed = std::cout.fail() || std::fflush(stdout) != 0 || std::ferror(stdout);
    const int error = errno;
    if (!failed && std::fclose(stdout) == 0)
        return status;
    std::cerr << "karrow-cli: cannot write to standard output: "
              << std::generic_category().message(failed ? error : errno) << '\n';
    return status == ExitFinished ? ExitFault : status;
}

} // namespace karrow
