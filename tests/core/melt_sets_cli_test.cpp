// karrow-cli with a real melt in input sets and studies: --save-inputs keeps the melt and its
// conditions, --inputs restores them and the options given replace the set's; a sweep varies
// the melt temperature, refuses to without a melt, and gives the same rows in any number of
// jobs or shards.

#include "cli_runner.h"
#include "run/material_grade.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sstream>

namespace karrow {
namespace {

    using Json = nlohmann::json;
    using test::RunCli;

    // A melt file of the material format, in the current folder.
    void WriteMeltFile(const std::string& path)
    {
        MaterialGrade grade;
        grade.Name = "test-cross";
        grade.Family = "PE";
        Melt& m = grade.Melt;
        m.Model = ViscosityModel::Cross;
        m.FlowIndex = 0.35;
        m.ZeroShearViscosity = 8000;
        m.CriticalStress = 25000;
        m.Shift = TemperatureShift::Arrhenius;
        m.ActivationEnergy = 40000;
        m.ReferenceTemperature = 200;
        m.Density = 780;
        m.HeatCapacity = 2500;
        grade.Processing = { 180, 240 };
        grade.Source = "constants made up for a test";
        test::WriteFile(path, MaterialJson(grade));
    }

    Json MeltSection(const std::string& path)
    {
        return Json::parse(test::ReadFile(path)).at("melt");
    }

    std::vector<std::vector<std::string>> CsvRows(const std::string& text)
    {
        std::vector<std::vector<std::string>> rows;
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);) {
            std::vector<std::string> cells;
            std::istringstream cellsOf(line);
            for (std::string cell; std::getline(cellsOf, cell, ',');)
                cells.push_back(cell);
            rows.push_back(cells);
        }
        return rows;
    }

    std::size_t Column(const std::vector<std::string>& header, const std::string& name)
    {
        return static_cast<std::size_t>(
            std::find(header.begin(), header.end(), name) - header.begin());
    }

    TEST(InputSetOnTheCommandLine, KeepsTheMeltAndItsConditionsAndOptionsReplaceThem)
    {
        test::ScratchFolder folder;
        WriteMeltFile("cross.json");
        ASSERT_EQ(RunCli({ "--melt", "cross.json", "--melt-temperature", "205", "--thermal",
                      "heated", "--wall-temperature", "200", "--heat-transfer-coefficient", "250",
                      "--channel-width=1.1", "--save-inputs", "die.karrow" })
                      .Status,
            0);
        ASSERT_EQ(RunCli({ "--melt", "cross.json", "--melt-temperature", "205", "--thermal",
                      "heated", "--wall-temperature", "200", "--heat-transfer-coefficient", "250",
                      "--channel-width=1.1", "--solver", "network", "--json", "direct.json" })
                      .Status,
            0);
        const auto fromSet =
            RunCli({ "--inputs", "die.karrow", "--solver", "network", "--json", "set.json" });
        ASSERT_EQ(fromSet.Status, 0) << fromSet.Err;
        EXPECT_EQ(MeltSection("set.json"), MeltSection("direct.json"))
            << "the set's melt runs as the options that saved it";
        EXPECT_NE(fromSet.Out.find("Melt cross.json at 205.0 C, heated"), std::string::npos)
            << fromSet.Out;

        // An option given replaces the set's: isothermal drops the die wall the set held.
        ASSERT_EQ(RunCli({ "--inputs", "die.karrow", "--solver", "network", "--melt-temperature",
                      "215", "--thermal", "isothermal", "--json", "over.json" })
                      .Status,
            0);
        const Json conditions = MeltSection("over.json").at("conditions");
        EXPECT_EQ(conditions.at("melt_temperature_C"), 215.0);
        EXPECT_EQ(conditions.at("thermal"), "isothermal");
        EXPECT_FALSE(conditions.contains("wall_temperature_C"));
    }

    TEST(InputSetOnTheCommandLine, ASetWithABadMeltIsRefusedNamingItsEntry)
    {
        test::ScratchFolder folder;
        WriteMeltFile("cross.json");
        ASSERT_EQ(RunCli({ "--melt", "cross.json", "--melt-temperature", "205", "--save-inputs",
                      "die.karrow" })
                      .Status,
            0);
        Json set = Json::parse(test::ReadFile("die.karrow"));
        set["melt"]["viscosity"]["tau_star"] = -1;
        test::WriteFile("die.karrow", set.dump());
        const auto refused = RunCli({ "--inputs", "die.karrow", "--solver", "network" });
        EXPECT_EQ(refused.Status, 64);
        EXPECT_NE(refused.Err.find("die.karrow: The melt entry \"melt.viscosity.tau_star\""),
            std::string::npos)
            << refused.Err;
    }

    TEST(SweepOverTheMeltTemperature, RowsRunFromFirstToLastInAnyJobsAndShards)
    {
        test::ScratchFolder folder;
        WriteMeltFile("cross.json");
        const std::vector<std::string> study { "sweep", "--solver", "network", "--melt",
            "cross.json", "--vary", "melt-temperature=185:225:5", "--vary",
            "channel-width=1:1.2:2" };
        auto whole = study;
        whole.insert(whole.end(), { "--jobs", "1", "--csv", "one.csv", "--json", "one.jsonl" });
        const auto one = RunCli(whole);
        ASSERT_EQ(one.Status, 0) << one.Err;
        const auto rows = CsvRows(test::ReadFile("one.csv"));
        ASSERT_EQ(rows.size(), 11U) << "a header and 5 x 2 designs";
        const std::size_t t = Column(rows[0], "melt_temperature_C");
        const std::size_t converged = Column(rows[0], "melt_converged");
        const std::size_t head = Column(rows[0], "melt_head_pressure_MPa");
        ASSERT_LT(head, rows[0].size());
        EXPECT_EQ(rows[1][t], "185");
        EXPECT_EQ(rows[2][t], "185");
        EXPECT_EQ(rows[3][t], "195");
        EXPECT_EQ(rows[10][t], "225");
        for (std::size_t r = 1; r < rows.size(); ++r)
            EXPECT_EQ(rows[r][converged], "yes") << r;
        EXPECT_GT(std::stod(rows[1][head]), std::stod(rows[9][head])) << "hotter is thinner";
        std::istringstream documents(test::ReadFile("one.jsonl"));
        std::string first;
        std::getline(documents, first);
        EXPECT_EQ(Json::parse(first).at("melt").at("conditions").at("melt_temperature_C"), 185.0);

        std::string csv;
        std::string json;
        for (const char* shard : { "1/2", "2/2" }) {
            auto part = study;
            part.insert(part.end(),
                { "--jobs", "2", "--shard", shard, "--csv", "part.csv", "--json", "part.jsonl" });
            ASSERT_EQ(RunCli(part).Status, 0) << shard;
            csv += test::ReadFile("part.csv");
            json += test::ReadFile("part.jsonl");
        }
        EXPECT_EQ(csv, test::ReadFile("one.csv"));
        EXPECT_EQ(json, test::ReadFile("one.jsonl"));
    }

    TEST(SweepOverTheMeltTemperature, IsRefusedWithoutAMeltOrBeyondTheLawsRange)
    {
        test::ScratchFolder folder;
        WriteMeltFile("cross.json");
        const auto none = RunCli({ "sweep", "--vary", "melt-temperature=185:225:5", "--csv",
            "rows.csv" });
        EXPECT_EQ(none.Status, 64);
        EXPECT_NE(none.Err.find("--vary melt-temperature needs a melt"), std::string::npos)
            << none.Err;
        const auto cold = RunCli({ "sweep", "--melt", "cross.json", "--vary",
            "melt-temperature=-300:200:3", "--csv", "rows.csv" });
        EXPECT_EQ(cold.Status, 64);
        EXPECT_NE(cold.Err.find("--vary melt-temperature: At a melt temperature of -300"),
            std::string::npos)
            << cold.Err;
        EXPECT_FALSE(std::filesystem::exists("rows.csv"));
    }

} // namespace
} // namespace karrow
