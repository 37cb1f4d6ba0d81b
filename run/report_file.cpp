#include "report_file.h"

#include "../report/result_file.h"
#include "../solver/fault.h"
#include "posix_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace karrow {

namespace {

    // Why a report could not be opened, in the words a user looks for.
    std::string ReasonOf(const std::string& name, int error)
    {
        namespace fs = std::filesystem;
        if (name.empty())
            return "the file name is empty";
        std::error_code ignored;
        const fs::path folder = fs::absolute(name, ignored).parent_path();
        switch (error) {
        case ENOENT:
            if (!fs::is_directory(folder, ignored))
                return "the folder " + folder.string() + " does not exist";
            return "the file cannot be created there";
        case ENOTDIR:
            return "a part of the folder path is not a folder";
        case EACCES:
        case EPERM:
            return "permission denied";
        case EISDIR:
            return "it is a folder";
        case EROFS:
            return "the file system is read-only";
        case ENOTSUP:
            return "it is a block device, not a file";
        case ENXIO:
            return "it is a pipe or device that nothing reads";
        default:
            return std::strerror(error);
        }
    }

    FileProblem ProblemOf(const std::string& name, int error)
    {
        std::error_code ignored;
        const std::string path = name.empty()
            ? std::filesystem::current_path(ignored).string() + "/"
            : std::filesystem::absolute(name, ignored).string();
        return { path, ReasonOf(name, error) };
    }

    [[noreturn]] void ThrowIoFault(int error, const std::string& name)
    {
        throw IoFault("I/O error " + std::to_string(error) + " (" + std::strerror(error)
            + ") while writing the report \"" + name + "\"; it is left as far as it was written.");
    }

    // Opens the report for writing. O_NONBLOCK keeps a FIFO without a reader from hanging the run;
    // a block device is refused, since writing a report over a disk would destroy a file system.
    int OpenReport(const std::string& name, int flags)
    {
        const int fd =
            ::open(name.c_str(), flags | O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd < 0)
            return -1;
        struct stat info { };
        if (::fstat(fd, &info) != 0 || S_ISBLK(info.st_mode)
            || ::fcntl(fd, F_SETFL, flags & O_APPEND) != 0) {
            const int error = S_ISBLK(info.st_mode) ? ENOTSUP : errno;
            ::close(fd);
            errno = error;
            return -1;
        }
        return fd;
    }

    // Writes `text` and closes `fd`, so that a late write error (NFS, a full disk) is seen.
    void WriteSection(FileDescriptor& fd, const std::string& text, const std::string& name)
    {
        if (const int error = WriteAll(fd.Get(), text))
            ThrowIoFault(error, name);
        if (const int error = fd.Close())
            ThrowIoFault(error, name);
    }

    std::optional<FileProblem> AppendSection(const ReportFile& file, const std::string& text)
    {
        const int raw = OpenReport(file.ResultFileName, O_APPEND);
        if (raw < 0)
            return ProblemOf(file.ResultFileName, errno);
        FileDescriptor fd(raw);
        WriteSection(fd, text, file.ResultFileName);
        return std::nullopt;
    }

} // namespace

std::optional<FileProblem> WriteInputSection(const Inputs& in, ReportFile& file)
{
    const std::string text = InputSectionText(in, file.DecimalSeparator);
    file.Lock = FileLock();
    FileDescriptor fd(OpenReport(file.ResultFileName, O_CREAT));
    struct stat info { };
    if (!fd.IsOpen() || ::fstat(fd.Get(), &info) != 0)
        return ProblemOf(file.ResultFileName, errno);
    if (S_ISREG(info.st_mode)) {
        // The lock keeps a descriptor of its own for the whole run; the section is written
        // through a second one, whose close shows a late write error.
        FileLock lock { FileDescriptor(::fcntl(fd.Get(), F_DUPFD_CLOEXEC, 0)) };
        if (lock.Result() == FileLock::State::Busy) {
            const FileProblem refused = ProblemOf(file.ResultFileName, 0);
            return FileProblem { refused.Path, AnotherRunIsWriting };
        }
        if (lock.Descriptor() < 0 || ::ftruncate(fd.Get(), 0) != 0)
            return ProblemOf(file.ResultFileName, lock.Descriptor() < 0 ? lock.Error() : errno);
        file.Lock = std::move(lock);
    }
    WriteSection(fd, text, file.ResultFileName);
    return std::nullopt;
}

std::optional<FileProblem> AppendModifiedCondition(const Geometry& g, const ReportFile& file)
{
    return AppendSection(file, ModifiedConditionText(g, file.DecimalSeparator));
}

std::optional<FileProblem> AppendFlowTable(const Solution& s, const ReportFile& file)
{
    return AppendSection(file, FlowTableText(s, file.DecimalSeparator));
}

void DeleteReport(const ReportFile& file)
{
    if (NamesOpenFile(file.ResultFileName, file.Lock.Descriptor()))
        ::unlink(file.ResultFileName.c_str());
}

} // namespace karrow
