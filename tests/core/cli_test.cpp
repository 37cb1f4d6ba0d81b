#include "test_support.h"

#include <array>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace karrow {
namespace {

    namespace fs = std::filesystem;

    struct Outcome {
        int Status = -1;
        std::string Out;
        std::string Err;
    };

    // Runs karrow-cli with the given arguments in the current folder.
    Outcome RunCli(const std::vector<std::string>& arguments)
    {
        std::vector<char*> argv { const_cast<char*>(KARROW_CLI) };
        for (const std::string& a : arguments)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(
            &actions, 1, "cli.out", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(
            &actions, 2, "cli.err", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        pid_t pid = 0;
        Outcome outcome;
        if (posix_spawn(&pid, KARROW_CLI, &actions, nullptr, argv.data(), environ) == 0) {
            int status = 0;
            waitpid(pid, &status, 0);
            outcome.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        outcome.Out = test::ReadFile("cli.out");
        outcome.Err = test::ReadFile("cli.err");
        fs::remove("cli.out");
        fs::remove("cli.err");
        return outcome;
    }

    struct CliCase {
        const char* Name;
        std::vector<std::string> Arguments;
        int Status;
        const char* Stderr; // the start of what stderr must say
    };

    class CommandLine : public testing::TestWithParam<CliCase> { };

    TEST_P(CommandLine, EndsWithTheStatusOfItsEndState)
    {
        test::ScratchFolder folder;
        const Outcome outcome = RunCli(GetParam().Arguments);
        EXPECT_EQ(outcome.Status, GetParam().Status) << outcome.Err;
        EXPECT_EQ(outcome.Err.rfind(GetParam().Stderr, 0), 0U) << outcome.Err;
    }

    INSTANTIATE_TEST_SUITE_P(EndStates, CommandLine,
        testing::Values(CliCase { "BadField", { "--lip-height=1..0" }, 2,
                            "Input data is not proper, change and try again!\n" },
            CliCase {
                "EmptyTextPassedThrough", { "--spiral-height=" }, 2, "Input data is not proper" },
            CliCase { "TrailingBlankOfAnInteger", { "--number-of-channels=4 " }, 2,
                "Input data is not proper" },
            CliCase { "OutOfModel", { "--number-of-channels=25" }, 2, "Input data is not proper" },
            CliCase {
                "MissingFolder", { "--output=no/such/folder.txt" }, 3, "File can not open!\n" },
            CliCase { "NotConverged",
                { "--number-of-channels=5", "--channel-width=0.6", "--spiral-height=6" }, 4,
                "This case does not congerge, power law parameter <n> may be too small.\n" },
            CliCase { "ArithmeticFault", { "--standard-viscosity=1e-300" }, 5,
                "Karrow: The calculation stopped" },
            CliCase { "UnknownOption", { "--colour=red" }, 64, "" },
            CliCase { "StrayArgument", { "extra" }, 64, "" }),
        [](const testing::TestParamInfo<CliCase>& row) { return row.param.Name; });

    TEST(CommandLine, DefaultRunWritesTheReportAndSaysWhere)
    {
        test::ScratchFolder folder;
        const Outcome outcome = RunCli({});
        ASSERT_EQ(outcome.Status, 0) << outcome.Err;
        EXPECT_EQ(outcome.Err, "");
        EXPECT_EQ(outcome.Out,
            "Calculation is successfully finished !\n" + (folder.Path() / "result.txt").string()
                + "\n");
        EXPECT_EQ(test::ReadFile("result.txt"),
            test::ReadFile(fs::path(KARROW_TEST_DATA) / "default_report.txt"));
    }

    TEST(CommandLine, TextsPassThroughUnchanged)
    {
        test::ScratchFolder folder;
        // Leading blanks, a sign, hex for integers and trailing blanks for reals are the field's
        // own grammar, not the command line's.
        const Outcome outcome = RunCli({ "--number-of-channels=  $4", "--spiral-height=12.38  ",
            "--flow-rate-per-channel=+4.12", "--output=other report.txt" });
        ASSERT_EQ(outcome.Status, 0) << outcome.Err;
        EXPECT_EQ(test::ReadFile("other report.txt"),
            test::ReadFile(fs::path(KARROW_TEST_DATA) / "default_report.txt"));
        const Outcome negative = RunCli({ "--flow-rate-per-channel=-4.12" });
        EXPECT_EQ(negative.Status, 2) << "a negative flow is outside the model";
    }

    TEST(CommandLine, HelpExplainsOptionsAndExitStatuses)
    {
        test::ScratchFolder folder;
        const Outcome outcome = RunCli({ "--help" });
        EXPECT_EQ(outcome.Status, 0);
        for (const char* text :
            { "--number-of-channels", "--total-increments", "--output", "Exit status", "64" })
            EXPECT_NE(outcome.Out.find(text), std::string::npos) << text;
    }

} // namespace
} // namespace karrow
