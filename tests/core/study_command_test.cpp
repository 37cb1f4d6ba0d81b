// karrow-cli sweep as a user runs it: the files it writes, keeps and leaves, and its shards.

#include "run/file_lock.h"
#include "cli_runner.h"
#include "test_support.h"

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <set>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

extern char** environ;

namespace karrow {
namespace {

    namespace fs = std::filesystem;

    using Outcome = test::CliOutcome;
    using test::RunCli;
    using test::StartCli;

    std::vector<std::string> Concatenated(const std::vector<std::string>& arguments)
    {
        std::vector<std::string> all { "sweep", "--solver", "network" };
        all.insert(all.end(), arguments.begin(), arguments.end());
        return all;
    }

    std::set<std::string> FolderEntries()
    {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator("."))
            names.insert(entry.path().filename().string());
        return names;
    }

    TEST(StudyCommand, ShardsConcatenateToTheWholeStudy)
    {
        test::ScratchFolder folder;
        const std::vector<std::string> grid { "--vary", "channel-width=0.8:1.3:7", "--vary",
            "number-of-channels=3:5:3" };
        auto whole = Concatenated(grid);
        whole.insert(whole.end(), { "--csv", "whole.csv", "--json", "whole.jsonl" });
        ASSERT_EQ(RunCli(whole).Status, 0);
        std::string csv;
        std::string json;
        for (const char* shard : { "1/4", "2/4", "3/4", "4/4" }) {
            auto part = Concatenated(grid);
            part.insert(part.end(),
                { "--shard", shard, "--jobs", "2", "--csv", "part.csv", "--json", "part.jsonl" });
            const Outcome outcome = RunCli(part);
            ASSERT_EQ(outcome.Status, 0) << shard << outcome.Err;
            csv += test::ReadFile("part.csv");
            json += test::ReadFile("part.jsonl");
        }
        EXPECT_EQ(csv, test::ReadFile("whole.csv"));
        EXPECT_EQ(json, test::ReadFile("whole.jsonl"));
        EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 22) << "the header once, 21 rows";
    }

    TEST(StudyCommand, ARefusedStudyLeavesEveryFileAsItWas)
    {
        test::ScratchFolder folder;
        test::WriteFile("old.csv", "planted csv\n");
        test::WriteFile("old.jsonl", "planted json\n");
        const auto before = FolderEntries();
        const std::vector<std::vector<std::string>> refused {
            { "--vary", "channel-width=1:2:0" },
            { "--vary", "number-of-channels=1:2:5" },
            { "--vary", "channel-width=1:2:3", "--vary", "channel-width=1:2:2" },
            { "--vary", "channel-width=1:2:1000", "--vary", "spiral-height=10:12:101" },
            { "--vary", "channel-width=1:2:3", "--shard", "3/2" },
            // The JSON cannot be opened: the CSV, opened first, is neither emptied nor left.
            { "--vary", "channel-width=1:2:3", "--json", "no-folder/x.jsonl" },
            { "--vary", "channel-width=1:2:3", "--csv", "old.jsonl" },
        };
        for (auto arguments : refused) {
            auto all = Concatenated(arguments);
            if (std::find(all.begin(), all.end(), "--csv") == all.end())
                all.insert(all.end(), { "--csv", "old.csv" });
            if (std::find(all.begin(), all.end(), "--json") == all.end())
                all.insert(all.end(), { "--json", "old.jsonl" });
            const Outcome outcome = RunCli(all);
            EXPECT_EQ(outcome.Status, 64) << arguments.back();
            EXPECT_NE(outcome.Err, "") << arguments.back();
            EXPECT_EQ(test::ReadFile("old.csv"), "planted csv\n") << arguments.back();
            EXPECT_EQ(test::ReadFile("old.jsonl"), "planted json\n") << arguments.back();
            EXPECT_EQ(FolderEntries(), before) << arguments.back();
        }
        const Outcome created = RunCli(Concatenated(
            { "--vary", "channel-width=1:2:3", "--csv", "new.csv", "--json", "no-folder/x" }));
        EXPECT_EQ(created.Status, 64);
        EXPECT_FALSE(fs::exists("new.csv")) << "the empty file the refused run made is removed";
    }

    // Another run holds the CSV: the study is refused and neither file is touched.
    TEST(StudyCommand, AnOutputAnotherRunWritesIsRefusedUntouched)
    {
        test::ScratchFolder folder;
        test::WriteFile("old.csv", "planted csv\n");
        test::WriteFile("old.jsonl", "planted json\n");
        const FileLock otherRun = LockExistingFile("old.csv");
        ASSERT_TRUE(otherRun.Held());
        const Outcome outcome = RunCli(Concatenated(
            { "--vary", "channel-width=1:2:3", "--json", "old.jsonl", "--csv", "old.csv" }));
        EXPECT_EQ(outcome.Status, 64);
        EXPECT_NE(outcome.Err.find(AnotherRunIsWriting), std::string::npos) << outcome.Err;
        EXPECT_EQ(test::ReadFile("old.csv"), "planted csv\n");
        EXPECT_EQ(test::ReadFile("old.jsonl"), "planted json\n");
    }

    TEST(StudyCommand, ReplacesAnExistingFileAndWritesThroughASymlink)
    {
        test::ScratchFolder folder;
        test::WriteFile("old.csv", std::string(100000, 'x'));
        test::WriteFile("target.jsonl", "planted\n");
        fs::create_symlink("target.jsonl", "link.jsonl");
        const Outcome outcome = RunCli(Concatenated(
            { "--vary", "channel-width=1:2:3", "--csv", "old.csv", "--json", "link.jsonl" }));
        ASSERT_EQ(outcome.Status, 0) << outcome.Err;
        const std::string csv = test::ReadFile("old.csv");
        EXPECT_TRUE(csv.starts_with("number-of-channels,")) << "emptied, then written";
        EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 4);
        EXPECT_TRUE(fs::is_symlink("link.jsonl"));
        const std::string json = test::ReadFile("target.jsonl");
        EXPECT_EQ(std::count(json.begin(), json.end(), '\n'), 3);
        EXPECT_FALSE(json.starts_with("planted"));
    }

    TEST(StudyCommand, AKilledStudyLeavesItsCompletedRowsAndNoOtherFile)
    {
        test::ScratchFolder folder;
        ASSERT_EQ(mkfifo("rows.fifo", 0600), 0);
        const pid_t pid = StartCli(Concatenated({ "--vary", "channel-width=1:2:100000", "--jobs",
            "2", "--csv", "rows.csv", "--json", "rows.fifo" }));
        ASSERT_GT(pid, 0);
        // The JSON of a batch is written after its CSV rows: once five documents came through
        // the FIFO, at least five rows are in the CSV, and the study is blocked on the FIFO.
        const int reader = ::open("rows.fifo", O_RDONLY);
        ASSERT_GE(reader, 0);
        std::string documents;
        char buffer[4096];
        while (std::count(documents.begin(), documents.end(), '\n') < 5) {
            const ssize_t read = ::read(reader, buffer, sizeof buffer);
            ASSERT_GT(read, 0);
            documents.append(buffer, static_cast<std::size_t>(read));
        }
        ::kill(pid, SIGKILL);
        ::close(reader);
        test::FinishCli(pid);
        EXPECT_EQ(FolderEntries(), (std::set<std::string> { "rows.csv", "rows.fifo" }));
        EXPECT_TRUE(fs::is_fifo("rows.fifo")) << "written as a stream, never replaced";
        const std::string csv = test::ReadFile("rows.csv");
        ASSERT_TRUE(csv.ends_with('\n')) << "whole rows only";
        const auto rows = std::count(csv.begin(), csv.end(), '\n') - 1;
        EXPECT_GE(rows, 5);
        EXPECT_LT(rows, 100000);
        std::istringstream lines(csv);
        std::string row;
        std::getline(lines, row);
        std::getline(lines, row);
        std::istringstream cells(row);
        std::string cell;
        for (int field = 1; field <= 13; ++field) // channel-width
            std::getline(cells, cell, ',');
        EXPECT_EQ(cell, "1") << "the first row is the grid's first design: " << row;
    }

    TEST(StudyCommand, CsvCellsOfFieldTextsAreQuotedAndNeutralised)
    {
        test::ScratchFolder folder;
        const Outcome outcome = RunCli(
            Concatenated({ "--vary", "channel-width=1:2:2", "--lip-height==HYPERLINK(\"x\",\"y\")",
                "--die-radius=-11.25", "--spiral-height=@SUM(1,2)" }));
        ASSERT_EQ(outcome.Status, 0) << outcome.Err;
        std::istringstream lines(outcome.Out);
        std::string header;
        std::string row;
        std::getline(lines, header);
        std::getline(lines, row);
        EXPECT_TRUE(
            row.starts_with("4,\"'@SUM(1,2)\",\"'=HYPERLINK(\"\"x\"\",\"\"y\"\")\",-11.25,"))
            << row;
    }

    // Such a byte is refused before anything is written, naming the field: never an abort.
    TEST(StudyCommand, AByteThatIsNotUtf8IsRefusedBeforeAnyRow)
    {
        test::ScratchFolder folder;
        const Outcome outcome = RunCli(Concatenated({ "--vary", "channel-width=1:2:2",
            "--lip-height=1\xff", "--csv", "rows.csv", "--json", "rows.jsonl" }));
        EXPECT_EQ(outcome.Status, 64);
        EXPECT_NE(outcome.Err.find("lip-height"), std::string::npos) << outcome.Err;
        EXPECT_FALSE(std::filesystem::exists("rows.csv"));
        EXPECT_FALSE(std::filesystem::exists("rows.jsonl"));
    }

} // namespace
} // namespace karrow
