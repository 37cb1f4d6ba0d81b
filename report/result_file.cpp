#include "result_file.h"

#include "../run/posix_file.h"
#include "../solver/extended.h"
#include "../solver/fault.h"
#include "../solver/solution.h"
#include "number_format.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace karrow {

namespace {

    constexpr const char* LineEnd = "\r\n";
    constexpr std::size_t LabelColumns = 44; // the label text and its padding, columns 5 to 48

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

    std::string Line(const std::string& text)
    {
        return text + LineEnd;
    }

    std::string ValueLine(const std::string& label, const std::string& value)
    {
        std::string field = "    " + label;
        field.resize(4 + LabelColumns, ' ');
        return Line(field + "=  " + value);
    }

    // A report never shows "NAN" or "INF": a value that is not finite is a fault of the run.
    double Finite(double value)
    {
        if (!std::isfinite(value))
            throw ArithmeticFault("The calculation produced a value that is not a finite number; "
                                  "the report was not completed.");
        return value;
    }

    std::string Number(double value, int precision, int digits, char separator)
    {
        return FormatFixed(Finite(value), precision, digits, separator);
    }

    std::string Column(double value, int width, int digits, char separator)
    {
        return FormatFixedWidth(Finite(value), width, digits, separator);
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

std::string InputSectionText(const Inputs& in, char sep)
{
    return Line("") + Line("    [ Input data ] ")
        + ValueLine("Number of Channels (-)", IntegerText(in.NumberOfChannels))
        + ValueLine("Spiral Height (cm)", Number(in.SpiralHeight, 5, 2, sep))
        + ValueLine("Lip Height (cm)", Number(in.LipHeight, 5, 2, sep))
        + ValueLine("Die Radius (cm)", Number(in.DieRadius, 5, 2, sep))
        + ValueLine("Flow Rate / Channel (cm3/sec)", Number(in.FlowRatePerChannel, 6, 2, sep))
        + ValueLine("Power Law Parameter <n> (-)", Number(in.PowerLawIndex, 5, 3, sep))
        + ValueLine("Standard Viscosity (gf.sec/cm2)", Number(in.StandardViscosity, 7, 2, sep))
        + ValueLine("Standard Shear Rate (1/sec)", Number(in.StandardShearRate, 8, 2, sep))
        + ValueLine("Inlet Slit Height (cm)", Number(in.InletSlitHeight, 6, 3, sep))
        + ValueLine("Outlet Slit Height (cm)", Number(in.OutletSlitHeight, 6, 3, sep))
        + ValueLine("Inlet Channel Depth (cm)", Number(in.InletChannelDepth, 6, 3, sep))
        + ValueLine("Outlet Channel Depth (cm)", Number(in.OutletChannelDepth, 6, 3, sep))
        + ValueLine("Channel Width (cm)", Number(in.ChannelWidth, 5, 2, sep))
        + ValueLine("Total Increments <15 deg. each> (-)", IntegerText(in.TotalIncrements));
}

std::string ModifiedConditionText(const Geometry& g, char sep)
{
    return Line("") + Line("    [ Modified Condition for Effective Part of Spiral Channel ] ")
        + ValueLine("Spiral Height (cm)", Number(g.ModifiedSpiralHeight, 5, 2, sep))
        + ValueLine("Lip Height (cm)", Number(g.ModifiedLipHeight, 5, 2, sep))
        + ValueLine("Outlet Slit Height (cm)", Number(g.ModifiedOutletSlitHeight, 6, 3, sep))
        + ValueLine("Outlet Channel Depth (cm)", Number(g.ModifiedOutletChannelDepth, 6, 3, sep))
        + ValueLine("Total Increments <15 deg. each> (-)", IntegerText(g.EffectiveIncrements));
}

double ReportedChannelFlow(const Solution& s, int i)
{
    return i == s.Geo.EffectiveIncrements ? 0.0 : s.Flow.Distribution.ChannelFlow(i);
}

double ReportedPressure(const Solution& s, int i)
{
    return Extended(s.Flow.Profile.ChannelPressure[i]) / 1000;
}

std::string FlowTableText(const Solution& s, char sep)
{
    const int last = s.Geo.EffectiveIncrements;
    // The rows marked as outlet flows are the m increments of the outlet zone, whose slit flow
    // leaves the die.
    const int outletRows = s.Geo.PitchIncrements;
    std::string text = Line("") + Line("     [ Flow Rate and Pressure Drop ]")
        + Line("      No.       Slit Flow     Channel Flow     Pressure")
        + Line("                 cm3/sec        cm3/sec         kgf/cm2");
    for (int i = 1; i <= last; ++i) {
        std::string number = IntegerText(i);
        if (number.size() == 1)
            number.insert(0, " ");
        number += i > last - outletRows ? "*" : " ";
        text +=
            Line("      " + number + "       " + Column(s.Flow.Distribution.SlitFlow(i), 8, 4, sep)
                + "       " + Column(ReportedChannelFlow(s, i), 8, 4, sep) + "        "
                + Column(ReportedPressure(s, i), 7, 2, sep));
    }
    return text + Line("")
        + Line(
            "      *: Last " + IntegerText(outletRows) + " slit flows correspond to outlet flows");
}

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
