#include "result_file.h"

#include "../solver/extended.h"
#include "../solver/fault.h"
#include "number_format.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace karrow {

namespace {

    constexpr const char* LineEnd = "\r\n";
    constexpr std::size_t LabelColumns = 44; // the label text and its padding, columns 5 to 48

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

    // A descriptor that is always closed; Close() reports a failed close, the destructor does not.
    class FileDescriptor {
    public:
        explicit FileDescriptor(int fd)
            : fd_(fd)
        {
        }
        ~FileDescriptor()
        {
            if (fd_ >= 0)
                ::close(fd_);
        }
        FileDescriptor(const FileDescriptor&) = delete;
        FileDescriptor& operator=(const FileDescriptor&) = delete;
        int Get() const { return fd_; }
        int Close()
        {
            const int result = ::close(fd_);
            fd_ = -1;
            return result;
        }

    private:
        int fd_;
    };

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
            ::close(fd);
            return -1;
        }
        return fd;
    }

    void WriteAll(FileDescriptor& fd, const std::string& text, const std::string& name)
    {
        std::size_t written = 0;
        while (written < text.size()) {
            const ssize_t n = ::write(fd.Get(), text.data() + written, text.size() - written);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                ThrowIoFault(n < 0 ? errno : EIO, name);
            written += static_cast<std::size_t>(n);
        }
        if (fd.Close() != 0)
            ThrowIoFault(errno, name);
    }

    bool AppendSection(const ReportFile& file, const std::string& text)
    {
        const int raw = OpenReport(file.ResultFileName, O_APPEND);
        if (raw < 0)
            return false;
        FileDescriptor fd(raw);
        WriteAll(fd, text, file.ResultFileName);
        return true;
    }

} // namespace

std::string InputSectionText(const RunState& st, char sep)
{
    return Line("") + Line("    [ Input data ] ")
        + ValueLine("Number of Channels (-)", IntegerText(st.NumberOfChannels))
        + ValueLine("Spiral Height (cm)", Number(st.SpiralHeight, 5, 2, sep))
        + ValueLine("Lip Height (cm)", Number(st.LipHeight, 5, 2, sep))
        + ValueLine("Die Radius (cm)", Number(st.DieRadius, 5, 2, sep))
        + ValueLine("Flow Rate / Channel (cm3/sec)", Number(st.FlowRatePerChannel, 6, 2, sep))
        + ValueLine("Power Law Parameter <n> (-)", Number(st.PowerLawIndex, 5, 3, sep))
        + ValueLine("Standard Viscosity (gf.sec/cm2)", Number(st.StandardViscosity, 7, 2, sep))
        + ValueLine("Standard Shear Rate (1/sec)", Number(st.StandardShearRate, 8, 2, sep))
        + ValueLine("Inlet Slit Height (cm)", Number(st.InletSlitHeight, 6, 3, sep))
        + ValueLine("Outlet Slit Height (cm)", Number(st.OutletSlitHeight, 6, 3, sep))
        + ValueLine("Inlet Channel Depth (cm)", Number(st.InletChannelDepth, 6, 3, sep))
        + ValueLine("Outlet Channel Depth (cm)", Number(st.OutletChannelDepth, 6, 3, sep))
        + ValueLine("Channel Width (cm)", Number(st.ChannelWidth, 5, 2, sep))
        + ValueLine("Total Increments <15 deg. each> (-)", IntegerText(st.TotalIncrements));
}

std::string ModifiedConditionText(const RunState& st, char sep)
{
    return Line("") + Line("    [ Modified Condition for Effective Part of Spiral Channel ] ")
        + ValueLine("Spiral Height (cm)", Number(st.ModifiedSpiralHeight, 5, 2, sep))
        + ValueLine("Lip Height (cm)", Number(st.ModifiedLipHeight, 5, 2, sep))
        + ValueLine("Outlet Slit Height (cm)", Number(st.ModifiedOutletSlitHeight, 6, 3, sep))
        + ValueLine("Outlet Channel Depth (cm)", Number(st.ModifiedOutletChannelDepth, 6, 3, sep))
        + ValueLine("Total Increments <15 deg. each> (-)", IntegerText(st.EffectiveIncrements));
}

std::string FlowTableText(RunState& st, char sep)
{
    const int last = st.EffectiveIncrements;
    // The rows marked as outlet flows are the m increments of the outlet zone, whose slit flow
    // leaves the die.
    const int outletRows = st.PitchIncrements;
    std::string text = Line("") + Line("     [ Flow Rate and Pressure Drop ]")
        + Line("      No.       Slit Flow     Channel Flow     Pressure")
        + Line("                 cm3/sec        cm3/sec         kgf/cm2");
    st.ChannelFlow(last) = 0;
    for (int i = 1; i <= last; ++i) {
        st.ChannelPressure[i] = Extended(st.ChannelPressure[i]) / 1000;
        std::string number = IntegerText(i);
        if (number.size() == 1)
            number.insert(0, " ");
        number += i > last - outletRows ? "*" : " ";
        text += Line("      " + number + "       " + Column(st.SlitFlow(i), 8, 4, sep) + "       "
            + Column(st.ChannelFlow(i), 8, 4, sep) + "        "
            + Column(st.ChannelPressure[i], 7, 2, sep));
    }
    return text + Line("")
        + Line(
            "      *: Last " + IntegerText(outletRows) + " slit flows correspond to outlet flows");
}

void WriteInputSection(RunState& st, ReportFile& file, MessageSink& messages)
{
    const std::string text = InputSectionText(st, file.DecimalSeparator);
    file.Created = false;
    const int raw = OpenReport(file.ResultFileName, O_CREAT);
    struct stat info { };
    if (raw >= 0 && ::fstat(raw, &info) == 0
        && (!S_ISREG(info.st_mode) || ::ftruncate(raw, 0) == 0)) {
        FileDescriptor fd(raw);
        file.Created = S_ISREG(info.st_mode);
        file.Device = info.st_dev;
        file.Inode = info.st_ino;
        WriteAll(fd, text, file.ResultFileName);
        st.FileOk = true;
        return;
    }
    if (raw >= 0)
        ::close(raw);
    st.FileOk = false;
    messages.ShowMessage(CannotOpenMessage);
}

void AppendModifiedCondition(RunState& st, const ReportFile& file, MessageSink& messages)
{
    st.FileOk = AppendSection(file, ModifiedConditionText(st, file.DecimalSeparator));
    if (!st.FileOk)
        messages.ShowMessage(CannotOpenMessage);
}

void AppendFlowTable(RunState& st, const ReportFile& file, MessageSink& messages)
{
    if (AppendSection(file, FlowTableText(st, file.DecimalSeparator)))
        return;
    st.FileOk = false;
    messages.ShowMessage(CannotWriteResultsMessage);
}

void DeleteReport(const ReportFile& file)
{
    struct stat info { };
    if (file.Created && ::lstat(file.ResultFileName.c_str(), &info) == 0 && S_ISREG(info.st_mode)
        && info.st_dev == file.Device && info.st_ino == file.Inode)
        ::unlink(file.ResultFileName.c_str());
}

} // namespace karrow
