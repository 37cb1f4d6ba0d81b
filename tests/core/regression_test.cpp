// Reports frozen from the calculation as it was released, replayed through the run driver: every
// change of stored values, evaluation order or rounding shows up here as a changed report.
//
// named_cases.json holds hand-picked designs (1 to 24 channels, power-law indices from 0.25 to 1,
// long and short spirals, constant gaps, a channel section exactly on the switch between its two
// forms, non-convergence, an arithmetic fault, refusals), each with its messages and, where one
// is left, the whole report. random_designs.txt holds some 600 generated designs with a hash of
// their messages and report: a change of the last printed digit of one percent of designs is
// caught by it with near certainty.
//
// Both were written by running the released karrow-cli on each design; regenerate them only on
// purpose, and read the differences of the named reports.

#include "run/design_run.h"
#include "run/run_driver.h"
#include "solver/fault.h"
#include "test_support.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sstream>

namespace karrow {
namespace {

    namespace fs = std::filesystem;

    const fs::path Data = fs::path(KARROW_TEST_DATA) / "regression";

    struct Outcome {
        int ExitStatus = 0;
        std::string Messages; // as karrow-cli writes them to stderr
        std::optional<std::string> Report;
    };

    Outcome RunDesign(const std::vector<std::string>& texts)
    {
        test::ScratchFolder folder;
        test::RecordingInterface ui;
        for (int field = 1; field <= InputFieldCount; ++field)
            ui.Set(field, texts.at(static_cast<std::size_t>(field - 1)));
        Outcome outcome;
        try {
            outcome.ExitStatus = ExitStatusOf(RunCalculation(ui, '.').End);
        } catch (const Fault& fault) {
            ui.messages.push_back(std::string("Karrow: ") + fault.what());
            outcome.ExitStatus = ExitFault;
        }
        for (const std::string& message : ui.messages)
            outcome.Messages += message + "\n";
        if (fs::exists("result.txt"))
            outcome.Report = test::ReadFile("result.txt");
        return outcome;
    }

    std::string Fnv1a64(const std::string& bytes)
    {
        std::uint64_t hash = 0xcbf29ce484222325ULL;
        for (const char c : bytes) {
            hash ^= static_cast<unsigned char>(c);
            hash *= 0x100000001b3ULL;
        }
        std::ostringstream text;
        text << std::hex;
        text.width(16);
        text.fill('0');
        text << hash;
        return text.str();
    }

    // ---- named cases ----

    struct NamedCase {
        std::string Name;
        std::vector<std::string> Texts;
        int ExitStatus;
        std::string Messages;
        bool HasReport;
    };

    std::vector<NamedCase> NamedCases()
    {
        std::ifstream in(Data / "named_cases.json");
        std::vector<NamedCase> cases;
        for (const auto& entry : nlohmann::json::parse(in))
            cases.push_back({ entry.at("name"), entry.at("fields"), entry.at("exit"),
                entry.at("stderr"), entry.at("report") });
        return cases;
    }

    class NamedDesigns : public testing::TestWithParam<NamedCase> { };

    TEST_P(NamedDesigns, ReproduceTheirFrozenReport)
    {
        const NamedCase& c = GetParam();
        const Outcome outcome = RunDesign(c.Texts);
        EXPECT_EQ(outcome.ExitStatus, c.ExitStatus);
        EXPECT_EQ(outcome.Messages, c.Messages);
        ASSERT_EQ(outcome.Report.has_value(), c.HasReport);
        if (c.HasReport) {
            EXPECT_EQ(*outcome.Report, test::ReadFile(Data / (c.Name + ".txt")));
        }
    }

    std::string CaseName(const testing::TestParamInfo<NamedCase>& info)
    {
        std::string name = info.param.Name;
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c)))
                c = '_';
        return name;
    }

    INSTANTIATE_TEST_SUITE_P(Regression, NamedDesigns, testing::ValuesIn(NamedCases()), CaseName);

    // ---- random designs, in shards so that ctest runs them in parallel ----

    struct HashedDesign {
        std::vector<std::string> Texts;
        int ExitStatus;
        std::string MessagesHash;
        std::string ReportHash;
        std::string Line;
    };

    std::vector<HashedDesign> HashedDesigns()
    {
        std::ifstream in(Data / "random_designs.txt");
        std::vector<HashedDesign> designs;
        for (std::string line; std::getline(in, line);) {
            if (line.empty() || line[0] == '#')
                continue;
            std::istringstream fields(line);
            HashedDesign design;
            design.Line = line;
            design.Texts.resize(InputFieldCount);
            for (std::string& text : design.Texts)
                fields >> text;
            std::string bar;
            fields >> bar >> design.ExitStatus >> bar >> design.MessagesHash >> bar
                >> design.ReportHash;
            designs.push_back(design);
        }
        return designs;
    }

    constexpr int Shards = 12;

    class RandomDesigns : public testing::TestWithParam<int> { };

    TEST_P(RandomDesigns, ReproduceTheirFrozenHashes)
    {
        const std::vector<HashedDesign> designs = HashedDesigns();
        ASSERT_GE(designs.size(), 500U);
        for (std::size_t k = static_cast<std::size_t>(GetParam()); k < designs.size();
             k += Shards) {
            const HashedDesign& d = designs[k];
            const Outcome outcome = RunDesign(d.Texts);
            EXPECT_EQ(outcome.ExitStatus, d.ExitStatus) << d.Line;
            EXPECT_EQ(Fnv1a64(outcome.Messages), d.MessagesHash) << d.Line;
            EXPECT_EQ(outcome.Report ? Fnv1a64(*outcome.Report) : "-", d.ReportHash) << d.Line;
        }
    }

    INSTANTIATE_TEST_SUITE_P(Regression, RandomDesigns, testing::Range(0, Shards));

} // namespace
} // namespace karrow
