// The report when its file or folder misbehaves: every case ends as the run driver says, shows
// the message of that end, and leaves every other entry of the folder exactly as it was (kind,
// size, permissions, modification time and content). Only the run's own regular report file may
// appear, change or go, and only as the end state says.
//
// Permission cases run in a child process that has given up root (uid and gid 65534), since root
// writes through read-only permission bits. Cases that act between two sections of the report
// call the report steps as the driver calls them, with the action in between.

#include "report/result_file.h"
#include "run/run_json.h"
#include "run/file_lock.h"
#include "run/input_reading.h"
#include "run/run_driver.h"
#include "run/whole_file.h"
#include "solver/fault.h"
#include "solver/flow_balance.h"
#include "solver/geometry.h"
#include "test_support.h"

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <grp.h>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

namespace karrow {
namespace {

    namespace fs = std::filesystem;

    constexpr uid_t NobodyId = 65534;
    constexpr const char* NotConvergingChannels = "5";
    constexpr const char* NotConvergingSpiralHeight = "6";
    constexpr const char* NotConvergingChannelWidth = "0.6";
    constexpr const char* OlderReport = "an older report\r\n";

    // What lstat and the content say about one entry; equal snapshots mean untouched entries.
    struct Entry {
        mode_t Mode = 0; // kind and permission bits
        dev_t Device = 0; // of a device node: which device it is
        uid_t Owner = 0;
        off_t Size = 0;
        timespec Modified {};
        std::string Content; // of a regular file; the target of a link
        bool operator==(const Entry& other) const
        {
            return Mode == other.Mode && Device == other.Device && Owner == other.Owner
                && Size == other.Size && Modified.tv_sec == other.Modified.tv_sec
                && Modified.tv_nsec == other.Modified.tv_nsec && Content == other.Content;
        }
    };
    using Snapshot = std::map<std::string, Entry>;

    Entry EntryOf(const fs::path& path)
    {
        struct stat info { };
        if (::lstat(path.c_str(), &info) != 0)
            ADD_FAILURE() << "cannot lstat " << path;
        Entry entry { info.st_mode, info.st_rdev, info.st_uid, info.st_size, info.st_mtim, "" };
        if (S_ISREG(info.st_mode))
            entry.Content = test::ReadFile(path);
        else if (S_ISLNK(info.st_mode))
            entry.Content = fs::read_symlink(path).string();
        return entry;
    }

    Snapshot SnapshotOf(const fs::path& folder)
    {
        Snapshot entries;
        for (const auto& item : fs::recursive_directory_iterator(folder))
            entries[item.path().lexically_relative(folder).string()] = EntryOf(item.path());
        return entries;
    }

    // How a run ended, by the core's name of its end state or the fault that ended it, with
    // what it showed; passed back from a child process.
    struct Outcome {
        std::string End;
        std::vector<std::string> Messages;
        int FinishDialogs = 0;
        int Rereads = 0;
    };

    // Runs `scenario`, catching the faults a run may throw, and names the end.
    Outcome Capture(const std::function<std::string(test::RecordingInterface&)>& scenario)
    {
        test::RecordingInterface ui;
        Outcome outcome;
        try {
            outcome.End = scenario(ui);
        } catch (const ArithmeticFault&) {
            outcome.End = "ArithmeticFault";
        } catch (const IoFault&) {
            outcome.End = "IoFault";
        } catch (const std::exception& e) {
            outcome.End = std::string("unexpected exception: ") + e.what();
        }
        outcome.Messages = ui.messages;
        outcome.FinishDialogs = ui.finishDialogs;
        outcome.Rereads = ui.rereads;
        return outcome;
    }

    std::string Encode(const Outcome& outcome)
    {
        std::string text = outcome.End + "\n" + std::to_string(outcome.FinishDialogs) + "\n"
            + std::to_string(outcome.Rereads) + "\n";
        for (std::string message : outcome.Messages) {
            std::replace(message.begin(), message.end(), '\n', '\t');
            text += message + "\n";
        }
        return text;
    }

    Outcome Decode(const std::string& text)
    {
        std::istringstream lines(text);
        Outcome outcome;
        std::string line;
        std::getline(lines, outcome.End);
        std::getline(lines, line);
        outcome.FinishDialogs = std::atoi(line.c_str());
        std::getline(lines, line);
        outcome.Rereads = std::atoi(line.c_str());
        while (std::getline(lines, line)) {
            std::replace(line.begin(), line.end(), '\t', '\n');
            outcome.Messages.push_back(line);
        }
        return outcome;
    }

    bool DropRoot()
    {
        return ::setgroups(0, nullptr) == 0 && ::setresgid(NobodyId, NobodyId, NobodyId) == 0
            && ::setresuid(NobodyId, NobodyId, NobodyId) == 0 && ::geteuid() == NobodyId;
    }

    // Runs the scenario in a child process without root's privileges. Nothing when the child
    // could not give them up.
    std::optional<Outcome> CaptureUnprivileged(
        const std::function<std::string(test::RecordingInterface&)>& scenario)
    {
        int channel[2];
        if (::pipe(channel) != 0)
            return std::nullopt;
        std::fflush(nullptr);
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(channel[0]);
            const std::string text = DropRoot() ? Encode(Capture(scenario)) : "";
            const ssize_t written = ::write(channel[1], text.data(), text.size());
            ::_exit(written == static_cast<ssize_t>(text.size()) ? 0 : 1);
        }
        ::close(channel[1]);
        std::string text;
        char buffer[4096];
        for (ssize_t n; (n = ::read(channel[0], buffer, sizeof buffer)) > 0;)
            text.append(buffer, static_cast<std::size_t>(n));
        ::close(channel[0]);
        int status = 0;
        ::waitpid(child, &status, 0);
        if (child < 0 || text.empty() || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
            return std::nullopt;
        return Decode(text);
    }

    // ---------------------------------------------------------------------------------------
    // Whole runs through the driver.

    enum class ReportAfter {
        Absent, // no entry of the report's name
        Unchanged, // the entry of that name is as it was
        Complete, // a finished report: 29 + N_eff lines
        TwoSections, // the input and modified-condition sections: 23 lines
        Replacement, // the file that took the report's name between two sections
    };

    enum class Privilege { Root, Nobody };

    constexpr const char* Replacement = "a file that is not the report\r\n";

    struct DriverCase {
        const char* Name;
        std::string ReportName; // the "Save File Name" text, relative to the folder
        std::string ReportEntry; // the folder entry it denotes ("" when none)
        std::function<void(const fs::path&)> Prepare; // runs as root, before the snapshot
        std::vector<std::pair<Field, std::string>> Fields; // texts other than the defaults
        Privilege RunAs;
        std::string End;
        std::vector<std::string> Messages;
        ReportAfter Report;
        bool LockedByAnotherRun = false; // another run holds the report's lock during the run
    };

    void PrintTo(const DriverCase& row, std::ostream* out)
    {
        *out << row.Name;
    }

    void PutOlderReport(const fs::path& folder)
    {
        test::WriteFile(folder / "result.txt", OlderReport);
    }

    void GiveFolderToNobody(const fs::path& folder)
    {
        ASSERT_EQ(::chown(folder.c_str(), NobodyId, NobodyId), 0);
    }

    // A node of the memory character device with this minor number (3 null, 7 full), as root.
    std::function<void(const fs::path&)> MakeDevice(const char* name, unsigned minor)
    {
        return [name, minor](const fs::path& folder) {
            ASSERT_EQ(::mknod((folder / name).c_str(), S_IFCHR | 0666, makedev(1, minor)), 0);
        };
    }

    const std::vector<std::pair<Field, std::string>> NotConverging { { Field::NumberOfChannels,
                                                                         NotConvergingChannels },
        { Field::SpiralHeight, NotConvergingSpiralHeight },
        { Field::ChannelWidth, NotConvergingChannelWidth } };

    std::vector<DriverCase> DriverCases()
    {
        const std::string name255(255, 'a');
        std::string twoByte255;
        for (int i = 0; i < 255; ++i)
            twoByte255 += "\xC3\xA9"; // 255 characters, 510 bytes: more than a name may have
        const auto noSetup = [](const fs::path&) {};
        return {
            { "DefaultRunWritesItsReport", "result.txt", "result.txt", noSetup, {}, Privilege::Root,
                EndName(RunEnd::Finished), {}, ReportAfter::Complete },
            { "OlderReportIsReplaced", "result.txt", "result.txt", PutOlderReport, {},
                Privilege::Root, EndName(RunEnd::Finished), {}, ReportAfter::Complete },
            { "RejectedInputsLeaveOlderReport", "result.txt", "result.txt", PutOlderReport,
                { { Field::LipHeight, "1,0" } }, Privilege::Root, EndName(RunEnd::InputsRejected),
                { InputErrorMessage }, ReportAfter::Unchanged },
            { "NotConvergingRunDeletesItsReport", "result.txt", "result.txt", PutOlderReport,
                NotConverging, Privilege::Root, EndName(RunEnd::NotConverged),
                { NonConvergenceMessage }, ReportAfter::Absent },
            { "ArithmeticFaultLeavesTwoSections", "result.txt", "result.txt", PutOlderReport,
                { { Field::NumberOfChannels, "2" }, { Field::OutletSlitHeight, "0.25" } },
                Privilege::Root, "ArithmeticFault", {}, ReportAfter::TwoSections },
            { "MissingFolder", "missing/result.txt", "", noSetup, {}, Privilege::Root,
                EndName(RunEnd::ReportNotCreated), { CannotOpenMessage }, ReportAfter::Absent },
            { "EmptyName", "", "", noSetup, {}, Privilege::Root, EndName(RunEnd::ReportNotCreated),
                { CannotOpenMessage }, ReportAfter::Absent },
            { "NameIsAFolder", "sub", "sub",
                [](const fs::path& folder) { fs::create_directory(folder / "sub"); }, {},
                Privilege::Root, EndName(RunEnd::ReportNotCreated), { CannotOpenMessage },
                ReportAfter::Unchanged },
            { "NameIsAFifoWithoutReader", "pipe", "pipe",
                [](const fs::path& folder) {
                    ASSERT_EQ(::mkfifo((folder / "pipe").c_str(), 0644), 0);
                },
                {}, Privilege::Root, EndName(RunEnd::ReportNotCreated), { CannotOpenMessage },
                ReportAfter::Unchanged },
            // Writing a report over a disk would destroy its file system: the node of a loop
            // device stands in for one.
            { "NameIsABlockDevice", "disk", "disk",
                [](const fs::path& folder) {
                    ASSERT_EQ(::mknod((folder / "disk").c_str(), S_IFBLK | 0600, makedev(7, 0)), 0);
                },
                {}, Privilege::Root, EndName(RunEnd::ReportNotCreated), { CannotOpenMessage },
                ReportAfter::Unchanged },
            // Nodes of the null and the full device, made in the folder, stand in for the
            // system's own null and full devices, which a test never writes to.
            { "NameIsANullDevice", "null", "null", MakeDevice("null", 3), {}, Privilege::Root,
                EndName(RunEnd::Finished), {}, ReportAfter::Unchanged },
            { "WriteFailsAfterOpening", "full", "full", MakeDevice("full", 7), {}, Privilege::Root,
                "IoFault", {}, ReportAfter::Unchanged },
            { "NotConvergingRunKeepsANullDevice", "null", "null", MakeDevice("null", 3),
                NotConverging, Privilege::Root, EndName(RunEnd::NotConverged),
                { NonConvergenceMessage }, ReportAfter::Unchanged },
            { "ReportLockedByAnotherRun", "result.txt", "result.txt", PutOlderReport, {},
                Privilege::Root, EndName(RunEnd::ReportNotCreated), { CannotOpenMessage },
                ReportAfter::Unchanged, true },
            { "NameOf255Characters", name255, name255, noSetup, {}, Privilege::Root,
                EndName(RunEnd::Finished), {}, ReportAfter::Complete },
            { "LongerNameIsCutTo255Characters", name255 + "bcd", name255, noSetup, {},
                Privilege::Root, EndName(RunEnd::Finished), {}, ReportAfter::Complete },
            { "NameOf255TwoByteCharacters", twoByte255, "", noSetup, {}, Privilege::Root,
                EndName(RunEnd::ReportNotCreated), { CannotOpenMessage }, ReportAfter::Absent },
            { "ReadOnlyFolder", "result.txt", "result.txt",
                [](const fs::path& folder) { fs::permissions(folder, fs::perms(0755)); }, {},
                Privilege::Nobody, EndName(RunEnd::ReportNotCreated), { CannotOpenMessage },
                ReportAfter::Absent },
            { "ReadOnlyFile", "result.txt", "result.txt",
                [](const fs::path& folder) {
                    GiveFolderToNobody(folder);
                    PutOlderReport(folder);
                    ASSERT_EQ(::chown((folder / "result.txt").c_str(), NobodyId, NobodyId), 0);
                    fs::permissions(folder / "result.txt", fs::perms(0444));
                },
                {}, Privilege::Nobody, EndName(RunEnd::ReportNotCreated), { CannotOpenMessage },
                ReportAfter::Unchanged },
            { "WritableFolderAsNobody", "result.txt", "result.txt", GiveFolderToNobody, {},
                Privilege::Nobody, EndName(RunEnd::Finished), {}, ReportAfter::Complete },
        };
    }

    // The current directory for the life of the object, as the folder chooser keeps it.
    class CurrentDirectory {
    public:
        explicit CurrentDirectory(const fs::path& folder)
            : previous_(fs::current_path())
        {
            fs::current_path(folder);
        }
        ~CurrentDirectory() { fs::current_path(previous_); }
        CurrentDirectory(const CurrentDirectory&) = delete;
        CurrentDirectory& operator=(const CurrentDirectory&) = delete;

    private:
        fs::path previous_;
    };

    std::optional<Outcome> RunScenario(
        Privilege privilege, const std::function<std::string(test::RecordingInterface&)>& scenario)
    {
        if (privilege == Privilege::Root)
            return Capture(scenario);
        return CaptureUnprivileged(scenario);
    }

    // The folder after a case: the report entry as `report` says, every other entry untouched.
    void ExpectFolder(const Snapshot& before, const Snapshot& after, const std::string& reportEntry,
        ReportAfter report)
    {
        for (const auto& [name, entry] : after) {
            if (name == reportEntry)
                continue;
            EXPECT_TRUE(before.contains(name) && before.at(name) == entry)
                << "entry \"" << name << "\" was created or changed";
        }
        for (const auto& [name, entry] : before) {
            if (name == reportEntry)
                continue;
            EXPECT_TRUE(after.contains(name)) << "entry \"" << name << "\" was deleted";
        }
        if (reportEntry.empty())
            return;
        const bool present = after.contains(reportEntry);
        switch (report) {
        case ReportAfter::Absent:
            EXPECT_FALSE(present) << "the report was left behind";
            break;
        case ReportAfter::Replacement:
            EXPECT_TRUE(present && after.at(reportEntry).Content == Replacement)
                << "the file that replaced the report was changed or deleted";
            break;
        case ReportAfter::Unchanged:
            EXPECT_TRUE(present && before.contains(reportEntry)
                && after.at(reportEntry) == before.at(reportEntry))
                << "the entry of the report's name was changed";
            break;
        case ReportAfter::Complete:
        case ReportAfter::TwoSections: {
            ASSERT_TRUE(present && S_ISREG(after.at(reportEntry).Mode)) << "no report file";
            const auto lines = test::CrLfLines(after.at(reportEntry).Content);
            if (report == ReportAfter::TwoSections) {
                EXPECT_EQ(lines.size(), 23U);
                break;
            }
            ASSERT_GE(lines.size(), 23U);
            EXPECT_EQ(lines.size(), 29U + std::stoul(lines[22].substr(51)));
            break;
        }
        }
    }

    class ThroughTheDriver : public testing::TestWithParam<DriverCase> { };

    TEST_P(ThroughTheDriver, EndsAsTheDriverSaysAndTouchesNothingElse)
    {
        const DriverCase& row = GetParam();
        const test::TemporaryFolder folder("karrow-files");
        row.Prepare(folder.Path());
        if (HasFatalFailure())
            return;
        const Snapshot before = SnapshotOf(folder.Path());
        // Another run's lock: an open file of its own, as a second process would hold it.
        const FileLock otherRun = row.LockedByAnotherRun
            ? FileLock(FileDescriptor(::open((folder.Path() / row.ReportEntry).c_str(), O_RDONLY)))
            : FileLock();
        ASSERT_EQ(otherRun.Held(), row.LockedByAnotherRun);

        const auto outcome = RunScenario(row.RunAs, [&](test::RecordingInterface& ui) {
            for (const auto& [field, text] : row.Fields)
                ui.Set(field, text);
            ui.Set(Field::SaveFileName, row.ReportName);
            const CurrentDirectory inFolder(folder.Path());
            return EndName(RunCalculation(ui, '.').End);
        });
        if (!outcome)
            GTEST_SKIP() << "cannot run as uid " << NobodyId
                         << " (no CAP_SETUID or no fork), and root ignores permission bits";

        EXPECT_EQ(outcome->End, row.End);
        ASSERT_EQ(outcome->Messages.size(), row.Messages.size());
        for (std::size_t i = 0; i < row.Messages.size(); ++i)
            EXPECT_TRUE(outcome->Messages[i].starts_with(row.Messages[i])) << outcome->Messages[i];
        const bool finished = row.End == EndName(RunEnd::Finished);
        EXPECT_EQ(outcome->FinishDialogs, finished ? 1 : 0);
        // The file list is read again once the report is complete or deleted, never before.
        EXPECT_EQ(outcome->Rereads, finished || row.End == EndName(RunEnd::NotConverged) ? 1 : 0);
        if (row.LockedByAnotherRun) {
            EXPECT_NE(outcome->Messages.at(0).find(AnotherRunIsWriting), std::string::npos);
        }
        const Snapshot after = SnapshotOf(folder.Path());
        ExpectFolder(before, after, row.ReportEntry, row.Report);
        // The window's defaults give the golden report, whatever stood under the name before.
        if (row.Report == ReportAfter::Complete && row.Fields.empty()
            && after.contains(row.ReportEntry)) {
            EXPECT_EQ(after.at(row.ReportEntry).Content, test::GoldenReport());
        }
    }

    INSTANTIATE_TEST_SUITE_P(Files, ThroughTheDriver, testing::ValuesIn(DriverCases()),
        [](const testing::TestParamInfo<DriverCase>& row) { return row.param.Name; });

    // A link named like the report, pointing at a file in another folder: a failing run writes
    // through the link but deletes neither the link nor the file it points at.
    TEST(ReportThroughALink, FailingRunDeletesNeitherLinkNorTarget)
    {
        const test::TemporaryFolder folder("karrow-files");
        const test::TemporaryFolder elsewhere("karrow-files");
        test::WriteFile(elsewhere.Path() / "target.txt", OlderReport);
        fs::create_symlink(elsewhere.Path() / "target.txt", folder.Path() / "result.txt");
        const Snapshot before = SnapshotOf(folder.Path());

        const Outcome outcome = Capture([&](test::RecordingInterface& ui) {
            for (const auto& [field, text] : NotConverging)
                ui.Set(field, text);
            ui.Set(Field::SaveFileName, "result.txt");
            const CurrentDirectory inFolder(folder.Path());
            return EndName(RunCalculation(ui, '.').End);
        });

        EXPECT_EQ(outcome.End, EndName(RunEnd::NotConverged));
        EXPECT_EQ(SnapshotOf(folder.Path()), before);
        const auto target = SnapshotOf(elsewhere.Path());
        ASSERT_TRUE(target.contains("target.txt"));
        EXPECT_EQ(test::CrLfLines(target.at("target.txt").Content).size(), 23U);
    }

    // ---------------------------------------------------------------------------------------
    // Actions between the sections of the report, done while the driver runs.

    enum class Action {
        Remove, // the file is deleted
        MakeReadOnly, // its permission bits become r--r--r--
        ReplaceByReadOnly, // another, read-only file takes its name
    };

    struct SectionCase {
        const char* Name;
        int ActAfterSection; // 1 or 2
        Action Act;
        Privilege RunAs;
        std::string End;
        std::string Message;
        ReportAfter Report;
    };

    void PrintTo(const SectionCase& row, std::ostream* out)
    {
        *out << row.Name;
    }

    void Act(Action action, const fs::path& report)
    {
        switch (action) {
        case Action::Remove:
            fs::remove(report);
            break;
        case Action::MakeReadOnly:
            fs::permissions(report, fs::perms(0444));
            break;
        case Action::ReplaceByReadOnly: {
            const fs::path other = report.parent_path() / "other.tmp";
            test::WriteFile(other, Replacement);
            fs::permissions(other, fs::perms(0444));
            fs::rename(other, report);
            break;
        }
        }
    }

    // The default run through the driver, with the action done to its report once the driver says
    // that the given section is written.
    std::string RunSections(
        const SectionCase& row, const fs::path& folder, test::RecordingInterface& ui)
    {
        const fs::path report = folder / "result.txt";
        ui.Set(Field::SaveFileName, report.string());
        ui.onSectionWritten = [&](int section) {
            if (section == row.ActAfterSection)
                Act(row.Act, report);
        };
        return EndName(RunCalculation(ui, '.').End);
    }

    class BetweenSections : public testing::TestWithParam<SectionCase> { };

    TEST_P(BetweenSections, FailedAppendEndsTheRunAndDeletesOnlyItsOwnReport)
    {
        const SectionCase& row = GetParam();
        const test::TemporaryFolder folder("karrow-files");
        GiveFolderToNobody(folder.Path());
        test::WriteFile(folder.Path() / "notes.txt", "not a report\n");
        const Snapshot before = SnapshotOf(folder.Path());

        const auto outcome = RunScenario(row.RunAs,
            [&](test::RecordingInterface& ui) { return RunSections(row, folder.Path(), ui); });
        if (!outcome)
            GTEST_SKIP() << "cannot run as uid " << NobodyId
                         << " (no CAP_SETUID or no fork), and root ignores permission bits";

        EXPECT_EQ(outcome->End, row.End);
        ASSERT_EQ(outcome->Messages.size(), 1U);
        EXPECT_TRUE(outcome->Messages[0].starts_with(row.Message + "\n" + folder.Path().string()))
            << outcome->Messages[0];
        ExpectFolder(before, SnapshotOf(folder.Path()), "result.txt", row.Report);
    }

    INSTANTIATE_TEST_SUITE_P(Files, BetweenSections,
        testing::Values(SectionCase { "RemovedAfterInputSection", 1, Action::Remove,
                            Privilege::Root, EndName(RunEnd::ModifiedConditionNotAppended),
                            CannotOpenMessage, ReportAfter::Absent },
            SectionCase { "RemovedAfterModifiedCondition", 2, Action::Remove, Privilege::Root,
                EndName(RunEnd::TableNotAppended), CannotWriteResultsMessage, ReportAfter::Absent },
            SectionCase { "MadeReadOnlyAfterInputSection", 1, Action::MakeReadOnly,
                Privilege::Nobody, EndName(RunEnd::ModifiedConditionNotAppended), CannotOpenMessage,
                ReportAfter::Absent },
            SectionCase { "MadeReadOnlyAfterModifiedCondition", 2, Action::MakeReadOnly,
                Privilege::Nobody, EndName(RunEnd::TableNotAppended), CannotWriteResultsMessage,
                ReportAfter::Absent },
            SectionCase { "ReplacedAfterInputSection", 1, Action::ReplaceByReadOnly,
                Privilege::Nobody, EndName(RunEnd::ModifiedConditionNotAppended), CannotOpenMessage,
                ReportAfter::Replacement },
            SectionCase { "ReplacedAfterModifiedCondition", 2, Action::ReplaceByReadOnly,
                Privilege::Nobody, EndName(RunEnd::TableNotAppended), CannotWriteResultsMessage,
                ReportAfter::Replacement }),
        [](const testing::TestParamInfo<SectionCase>& row) { return row.param.Name; });

    // ---------------------------------------------------------------------------------------
    // Output files (JSON, CSV, input sets): written into what the name denotes, never replacing a
    // device, a FIFO or a link by a regular file, and never losing the old file on a failure.

    constexpr const char* NewContent = "{\"new\": true}\n";

    struct OutputCase {
        const char* Name;
        std::function<void(const fs::path&)> Prepare; // as root, in the folder, before the write
        const char* Output; // the name written, relative to the folder
        const char* Problem; // "" when the write must succeed, else a part of the reason
        std::vector<std::string> Written; // the entries that must then hold NewContent, with
                                          // their kind, mode and owner; the rest is unchanged
        Privilege RunAs = Privilege::Root;
    };

    void PrintTo(const OutputCase& row, std::ostream* out)
    {
        *out << row.Name;
    }

    void PutOlderOutput(const fs::path& folder)
    {
        test::WriteFile(folder / "out.json", OlderReport);
    }

    std::vector<OutputCase> OutputCases()
    {
        return {
            { "NewFile", [](const fs::path&) {}, "out.json", "", { "out.json" } },
            { "RegularFileReplacedKeepingModeAndOwner",
                [](const fs::path& folder) {
                    PutOlderOutput(folder);
                    fs::permissions(folder / "out.json", fs::perms(0640));
                    ASSERT_EQ(::chown((folder / "out.json").c_str(), NobodyId, NobodyId), 0);
                },
                "out.json", "", { "out.json" } },
            { "HardLinksKept",
                [](const fs::path& folder) {
                    PutOlderOutput(folder);
                    fs::create_directory(folder / "sub");
                    fs::create_hard_link(folder / "out.json", folder / "sub" / "second.json");
                },
                "out.json", "", { "out.json", "sub/second.json" } },
            { "LinkFollowedAndKept",
                [](const fs::path& folder) {
                    fs::create_directory(folder / "sub");
                    test::WriteFile(folder / "sub" / "target.json", OlderReport);
                    fs::create_symlink("sub/target.json", folder / "out.json");
                },
                "out.json", "", { "sub/target.json" } },
            { "DanglingLinkCreatesItsTarget",
                [](const fs::path& folder) {
                    fs::create_directory(folder / "sub");
                    fs::create_symlink("sub/target.json", folder / "out.json");
                },
                "out.json", "", { "sub/target.json" } },
            { "NullDeviceStaysADevice", MakeDevice("null", 3), "null", "", {} },
            { "FullDeviceReportsTheError", MakeDevice("full", 7), "full", "No space left", {} },
            { "FifoWithoutReaderRefused",
                [](const fs::path& folder) {
                    ASSERT_EQ(::mkfifo((folder / "pipe").c_str(), 0644), 0);
                },
                "pipe", "nothing reads", {} },
            { "BlockDeviceRefused",
                [](const fs::path& folder) {
                    ASSERT_EQ(::mknod((folder / "disk").c_str(), S_IFBLK | 0600, makedev(7, 0)), 0);
                },
                "disk", "block device", {} },
            { "FolderRefused", [](const fs::path& folder) { fs::create_directory(folder / "sub"); },
                "sub", "folder", {} },
            { "MissingFolderNamed", [](const fs::path&) {}, "missing/out.json", "does not exist",
                {} },
            // A writable file in a folder that is not: the new file cannot be made beside it.
            { "TemporaryFileCannotBeCreated",
                [](const fs::path& folder) {
                    PutOlderOutput(folder);
                    ASSERT_EQ(::chown((folder / "out.json").c_str(), NobodyId, NobodyId), 0);
                    fs::permissions(folder, fs::perms(0755));
                },
                "out.json", "temporary file", {}, Privilege::Nobody },
        };
    }

    class OutputFile : public testing::TestWithParam<OutputCase> { };

    TEST_P(OutputFile, IsWrittenIntoWhatItNamesAndLosesNothing)
    {
        const OutputCase& row = GetParam();
        const test::TemporaryFolder folder("karrow-files");
        row.Prepare(folder.Path());
        if (HasFatalFailure())
            return;
        const Snapshot before = SnapshotOf(folder.Path());

        const std::string path = (folder.Path() / row.Output).string();
        const auto outcome = RunScenario(row.RunAs, [&](test::RecordingInterface& ui) {
            const auto problem = WriteOutputFile(path, NewContent);
            if (problem)
                ui.ShowMessage(*problem);
            return std::string(problem ? "refused" : "written");
        });
        if (!outcome)
            GTEST_SKIP() << "cannot run as uid " << NobodyId;

        if (*row.Problem == '\0') {
            EXPECT_EQ(outcome->End, "written") << testing::PrintToString(outcome->Messages);
        } else {
            EXPECT_EQ(outcome->End, "refused");
            ASSERT_EQ(outcome->Messages.size(), 1U);
            EXPECT_NE(outcome->Messages[0].find(row.Problem), std::string::npos)
                << outcome->Messages[0];
        }
        Snapshot after = SnapshotOf(folder.Path());
        for (const std::string& name : row.Written) {
            ASSERT_TRUE(after.contains(name)) << name;
            EXPECT_EQ(after.at(name).Content, NewContent) << name;
            if (before.contains(name)) {
                EXPECT_EQ(after.at(name).Mode, before.at(name).Mode) << name;
                EXPECT_EQ(after.at(name).Owner, before.at(name).Owner) << name;
            }
            after.erase(name);
        }
        for (auto& [name, entry] : after)
            entry.Modified = before.contains(name) ? before.at(name).Modified : timespec {};
        Snapshot expected = before;
        for (const std::string& name : row.Written)
            expected.erase(name);
        EXPECT_EQ(after, expected) << "an entry other than the output was changed or left";
    }

    INSTANTIATE_TEST_SUITE_P(Files, OutputFile, testing::ValuesIn(OutputCases()),
        [](const testing::TestParamInfo<OutputCase>& row) { return row.param.Name; });

    // A FIFO that something reads gets the content as a stream; it stays a FIFO.
    TEST(OutputFile, FifoWithReaderGetsTheContent)
    {
        const test::TemporaryFolder folder("karrow-files");
        const fs::path pipe = folder.Path() / "pipe";
        ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
        const int reader = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
        ASSERT_GE(reader, 0);
        EXPECT_EQ(WriteOutputFile(pipe.string(), NewContent), std::nullopt);
        std::string got(64, '\0');
        const ssize_t n = ::read(reader, got.data(), got.size());
        ::close(reader);
        EXPECT_EQ(got.substr(0, n > 0 ? static_cast<std::size_t>(n) : 0), NewContent);
        EXPECT_TRUE(fs::is_fifo(fs::symlink_status(pipe)));
    }

    // Another run holding the file's lock: the write is refused and the file kept; once the
    // other run is done, the write goes through.
    TEST(OutputFile, LockedByAnotherRunIsRefusedUntouched)
    {
        const test::TemporaryFolder folder("karrow-files");
        PutOlderOutput(folder.Path());
        const std::string path = (folder.Path() / "out.json").string();
        {
            const FileLock otherRun = LockExistingFile(path);
            ASSERT_TRUE(otherRun.Held());
            EXPECT_EQ(WriteOutputFile(path, NewContent), std::string(AnotherRunIsWriting));
            EXPECT_EQ(test::ReadFile(path), OlderReport);
        }
        EXPECT_EQ(WriteOutputFile(path, NewContent), std::nullopt);
        EXPECT_EQ(test::ReadFile(path), NewContent);
    }

} // namespace
} // namespace karrow
