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
        const auto fixed
            = RunCli(Optimise({ "--vary", "channel-width=1:1.4", "--lip-height=x" }));
        EXPECT_EQ(fixed.Status, 2);
        EXPECT_NE(fixed.Err.find("Lip Height"), std::string::npos) << fixed.Err;
        const auto twice = RunCli(
            Optimise({ "--vary", "channel-width=1:1.4", "--json", "one.out", "--csv", "one.out" }));
        EXPECT_EQ(twice.Status, 64);
        EXPECT_TRUE(std::filesystem::is_empty("."));
    }

    // A limit as the JSON document records it, in the report's units, for the text given.
    double RecordedLimit(const std::string& option, const std::string& text, const char* key)
    {
        const auto outcome = RunCli(Optimise({ "--vary", "channel-width=1.2:1.2", option, text,
            "--json", "search.json", "--jobs", "1" }));
        EXPECT_TRUE(outcome.Status == 0 || outcome.Status == 6) << outcome.Err;
        const auto document = nlohmann::json::parse(test::ReadFile("search.json"));
        return document["limits"][key].get<double>();
    }

    TEST(OptimiseCommand, ReadsEveryUnitIntoTheReportsUnits)
    {
        const test::ScratchFolder folder;
        struct Case {
            const char* Option;
            const char* Text;
            const char* Key;
            double Expected;
        };
        const double bar = 1e5 / 98.0665; // gf/cm2
        for (const Case& c : {
                 Case { "--max-head-pressure", "200bar", "head_pressure_gf_cm2", 200 * bar },
                 Case { "--max-head-pressure", "20MPa", "head_pressure_gf_cm2", 200 * bar },
                 Case { "--max-head-pressure", "2e4 kPa", "head_pressure_gf_cm2", 200 * bar },
                 Case { "--max-head-pressure", "150kgf/cm2", "head_pressure_gf_cm2", 150000 },
                 Case { "--max-wall-shear-stress", "0.3MPa", "wall_shear_stress_gf_cm2", 3 * bar },
                 Case { "--max-wall-shear-stress", "3000gf/cm2", "wall_shear_stress_gf_cm2", 3000 },
                 Case { "--max-wall-shear-rate", "800/s", "wall_shear_rate_per_sec", 800 },
                 Case { "--max-wall-shear-rate", "800 1/sec", "wall_shear_rate_per_sec", 800 },
                 Case { "--max-residence-time", "0.5min", "mean_residence_time_sec", 30 },
                 Case { "--max-residence-time", "30s", "mean_residence_time_sec", 30 },
                 Case { "--min-gap", "0.2mm", "smallest_gap_cm", 0.02 },
                 Case { "--min-gap", "200um", "smallest_gap_cm", 0.02 },
             })
            EXPECT_DOUBLE_EQ(RecordedLimit(c.Option, c.Text, c.Key), c.Expected)
                << c.Option << ' ' << c.Text;
    }

    TEST(OptimiseCommand, WritesTheFrontInOrderOfItsSecondFigure)
    {
        const test::ScratchFolder folder;
        const auto outcome = RunCli(Optimise({ "--vary", "outlet-channel-depth=0.05:0.5", "--front",
            "4", "--front-against", "wall-shear-rate", "--json", "front.json" }));
        ASSERT_EQ(outcome.Status, 0) << outcome.Err;
        const auto front = nlohmann::json::parse(test::ReadFile("front.json"))["front"];
        EXPECT_EQ(front["against"], "largest wall shear rate");
        ASSERT_GE(front["points"].size(), 2U);
        double previous = 0;
        for (const auto& point : front["points"]) {
            const double rate = point["figures"]["wall_shear_rate_per_sec"].get<double>();
            EXPECT_GE(rate, previous);
            previous = rate;
            EXPECT_TRUE(point["feasible"].get<bool>());
            EXPECT_EQ(point["inputs"]["outlet-channel-depth"].get<std::string>().empty(), false);
        }
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
        const std::string increments = set.Set->Texts[Field::TotalIncrements];
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

    // A Cross melt written as a user's melt file, as fit-melt writes one.
    void WriteCrossMelt(const std::string& path)
    {
        test::WriteFile(path, R"({
          "format": "karrow-material", "version": 1, "name": "cross-test", "family": "PP",
          "viscosity": { "model": "cross", "eta0": 5000, "tau_star": 30000, "n": 0.3 },
          "shift": { "model": "arrhenius", "activation_energy": 40000,
                     "reference_temperature": 220 },
          "density": 740, "heat_capacity": 2700,
          "processing_temperature": { "low": 200, "high": 260 },
          "source": "test data" })");
    }

    TEST(OptimiseCommand, RefusesTemperatureLimitsWithoutAHeatedMeltNamingTheOption)
    {
        const test::ScratchFolder folder;
        WriteCrossMelt("pp.json");
        const std::vector<std::vector<std::string>> melts { {},
            { "--melt", "pp.json", "--melt-temperature", "230" },
            { "--melt", "pp.json", "--thermal", "isothermal" } };
        for (const char* option : { "--max-temperature-rise", "--max-temperature-spread" })
            for (const auto& melt : melts) {
                std::vector<std::string> arguments { "--vary", "channel-width=1:1.4", option,
                    "2K" };
                arguments.insert(arguments.end(), melt.begin(), melt.end());
                const auto outcome = RunCli(Optimise(arguments));
                EXPECT_EQ(outcome.Status, 64) << option << ' ' << melt.size();
                EXPECT_NE(outcome.Err.find(std::string(option)
                              + ": a temperature limit needs a "
                                "melt heated by its own flow"),
                    std::string::npos)
                    << outcome.Err;
            }
        const auto unitless = RunCli(Optimise({ "--vary", "channel-width=1:1.4", "--melt",
            "pp.json", "--thermal", "heated", "--max-temperature-rise", "2" }));
        EXPECT_EQ(unitless.Status, 64);
        EXPECT_NE(unitless.Err.find("--max-temperature-rise \"2\""), std::string::npos)
            << unitless.Err;
        const auto badMelt = RunCli(Optimise(
            { "--vary", "channel-width=1:1.4", "--melt", "pp.json", "--thermal", "warm" }));
        EXPECT_EQ(badMelt.Status, 64);
        EXPECT_TRUE(std::filesystem::is_empty(".") || std::filesystem::exists("pp.json"));
    }

    TEST(OptimiseCommand, JudgesDesignsWithTheMeltOfTheRun)
    {
        const test::ScratchFolder folder;
        WriteCrossMelt("pp.json");
        const auto outcome = RunCli(Optimise({ "--vary", "outlet-slit-height=0.05:0.3", "--melt",
            "pp.json", "--melt-temperature", "230", "--thermal", "heated", "--max-temperature-rise",
            "50K", "--json", "search.json", "--csv", "best.csv", "--jobs", "1" }));
        ASSERT_EQ(outcome.Status, 0) << outcome.Err;
        const auto document = nlohmann::json::parse(test::ReadFile("search.json"));
        EXPECT_DOUBLE_EQ(document["limits"]["temperature_rise_K"].get<double>(), 50);
        const auto& best = document["best"]["figures"];
        const auto& melt = document["melt"];
        EXPECT_EQ(melt["name"], "pp.json");
        EXPECT_EQ(melt["conditions"]["thermal"], "heated");
        // The best design's figures are those of that melt's own run of the design.
        EXPECT_EQ(best["head_pressure_gf_cm2"], melt["network"]["head_pressure_gf_cm2"]);
        EXPECT_EQ(best["cv_percent"], melt["network"]["outlet_cv_percent"]);
        EXPECT_EQ(best["temperature_spread_K"], melt["temperatures"]["outlet_spread_K"]);
        EXPECT_LE(best["temperature_rise_K"].get<double>(), 50);
        // The table carries the temperatures in their own columns.
        const std::string csv = test::ReadFile("best.csv");
        const std::string header = csv.substr(0, csv.find('\n'));
        EXPECT_NE(
            header.find(",temperature_rise_K,temperature_spread_K,feasible"), std::string::npos)
            << header;
        EXPECT_EQ(std::count(csv.begin(), csv.end(), ','),
            2 * std::count(header.begin(), header.end(), ','))
            << csv;
        EXPECT_NE(outcome.Out.find("Melt pp.json at 230.0 C, heated"), std::string::npos)
            << outcome.Out;
        EXPECT_NE(outcome.Out.find("K above the melt temperature"), std::string::npos)
            << outcome.Out;
    }

} // namespace
} // namespace karrow
