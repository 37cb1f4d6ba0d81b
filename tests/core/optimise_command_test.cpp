// karrow-cli optimise as a user runs it: what it refuses, its exit statuses, and the files it
// writes (the documents, the input sets that reopen its designs, the classic report).

#include "cli_runner.h"
#include "run/input_set.h"
#include "test_support.h"

#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <thread>

namespace karrow {
namespace {

    using test::RunCli;

    std::vector<std::string> Optimise(const std::vector<std::string>& arguments)
    {
        std::vector<std::string> all { "optimise" };
        all.insert(all.end(), arguments.begin(), arguments.end());
        return all;
    }

    TEST(OptimiseCommand, RefusesALimitWithoutItsUnitNamingTheOption)
    {
        const test::ScratchFolder folder;
        const std::vector<std::pair<std::string, std::string>> refused {
            { "--max-head-pressure", "300" },
            { "--max-head-pressure", "300psi" },
            { "--max-wall-shear-stress", "0.2" },
            { "--max-wall-shear-rate", "2000 Hz" },
            { "--max-residence-time", "-5s" },
            { "--min-gap", "0.1in" },
        };
        for (const auto& [option, value] : refused) {
            const auto outcome =
                RunCli(Optimise({ "--vary", "channel-width=1:1.4", option, value }));
            EXPECT_EQ(outcome.Status, 64) << option << ' ' << value;
            EXPECT_NE(outcome.Err.find(option + " \"" + value + "\""), std::string::npos)
                << outcome.Err;
        }
        for (const char* vary : { "spiral-height=10:12", "channel-width=1.4:1.2",
                 "number-of-channels=2:30", "channel-width=1" }) {
            const auto outcome = RunCli(Optimise({ "--vary", vary }));
            EXPECT_EQ(outcome.Status, 64) << vary;
            EXPECT_NE(outcome.Err.find("--vary"), std::string::npos) << outcome.Err;
        }
        EXPECT_TRUE(std::filesystem::is_empty("."));
    }

    TEST(OptimiseCommand, NamesTheBindingLimitWhenNoDesignKeepsIt)
    {
        const test::ScratchFolder folder;
        const auto outcome = RunCli(Optimise({ "--vary", "channel-width=1:1.4",
            "--max-head-pressure", "1bar", "--json", "search.json" }));
        EXPECT_EQ(outcome.Status, 6);
        EXPECT_NE(outcome.Err.find("head pressure is above its limit"), std::string::npos)
            << outcome.Err;
        const auto document = nlohmann::json::parse(test::ReadFile("search.json"));
        EXPECT_FALSE(document["feasible"].get<bool>());
        EXPECT_TRUE(document["classic"].is_null());
    }

    TEST(OptimiseCommand, SavesTheBestDesignThatReopensToTheSameReport)
    {
        const test::ScratchFolder folder;
        const auto outcome = RunCli(Optimise({ "--vary", "total-increments=36:42",
            "--max-head-pressure", "3000kgf/cm2", "--json", "search.json", "--csv", "best.csv",
            "--save-inputs", "best.karrow", "--report", "best.txt" }));
        ASSERT_EQ(outcome.Status, 0) << outcome.Err;
        const auto document = nlohmann::json::parse(test::ReadFile("search.json"));
        EXPECT_TRUE(document["feasible"].get<bool>());
        EXPECT_EQ(document["classic"]["end"], "finished");
        const InputSetReading set = ReadInputSet("best.karrow", '.');
        ASSERT_TRUE(set.Set) << set.Problem;
        const std::string increments = set.Set->Texts[13];
        EXPECT_EQ(document["best"]["inputs"]["total-increments"], increments);
        EXPECT_GE(std::stoi(increments), 36);
        EXPECT_LE(std::stoi(increments), 42);
        const std::string csv = test::ReadFile("best.csv");
        EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 2) << csv;
        // The report is the one the saved design gives by itself.
        const auto again = RunCli({ "--inputs", "best.karrow", "--output", "again.txt" });
        ASSERT_EQ(again.Status, 0) << again.Err;
        EXPECT_EQ(test::ReadFile("best.txt"), test::ReadFile("again.txt"));
        EXPECT_NE(outcome.Out.find("exact network"), std::string::npos) << outcome.Out;
    }

    TEST(OptimiseCommand, WritesEachDesignOfTheFrontAsAnInputSet)
    {
        const test::ScratchFolder folder;
        const auto outcome = RunCli(Optimise({ "--vary", "outlet-slit-height=0.1:0.3", "--front",
            "3", "--csv", "front.csv", "--save-inputs", "front.karrow" }));
        ASSERT_EQ(outcome.Status, 0) << outcome.Err;
        const std::string csv = test::ReadFile("front.csv");
        EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 4) << csv;
        for (const char* name : { "front-1.karrow", "front-2.karrow", "front-3.karrow" })
            EXPECT_TRUE(ReadInputSet(name, '.').Set) << name;
        EXPECT_FALSE(std::filesystem::exists("front.karrow"));
    }

    TEST(OptimiseCommand, StopsOnInterruptWithTheBestDesignSoFar)
    {
        const test::ScratchFolder folder;
        const pid_t pid = test::StartCli(Optimise(
            { "--vary", "inlet-slit-height=0:0.05", "--vary", "outlet-slit-height=0.05:0.3",
                "--vary", "inlet-channel-depth=0.5:1.6", "--vary", "outlet-channel-depth=0.05:0.5",
                "--vary", "channel-width=0.8:1.4", "--front", "50", "--jobs", "1" }));
        ASSERT_GT(pid, 0);
        std::this_thread::sleep_for(std::chrono::seconds(2));
        ::kill(pid, SIGINT);
        const auto outcome = test::FinishCli(pid);
        EXPECT_EQ(outcome.Status, 130) << outcome.Err;
        EXPECT_NE(outcome.Out.find("the best design so far"), std::string::npos) << outcome.Out;
    }

} // namespace
} // namespace karrow
