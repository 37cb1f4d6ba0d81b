// Reports frozen from the calculation as it was released, replayed through the run driver: every
// change of stored values, evaluation order or rounding shows up here as a changed report.
//
// named_cases.json holds hand-picked designs (1 to 24 channels, power-law indices from 0.25 to 1,
// long and short spirals, constant gaps, a channel section exactly on the switch between its two
// forms, non-convergence, an arithmetic fault, refusals), each with karrow-cli's exit status for
// its end, its messages and whether a report is left; a report left is frozen beside it whole, as
// <name>.txt. random_designs.txt holds 1500 generated designs, drawn within the model's limits so
// that each one runs the calculation, each with its exit status and a hash of its messages and
// report: a change of the last printed digit of one percent of designs is caught by it with near
// certainty.
//
// settling.json records, for every design, whether it is settled (the run's own settling check,
// computed when the table was frozen; a run that the step limit ends is settled when its
// neighbours do not converge either), and for each design that is not settled the range its
// report's numbers take when the flow rate moves by up to 64 units in the last place. Every
// design must reproduce its report byte for byte: the transcendental functions are correctly
// rounded, so every processor computes the same bits. A design that is not settled turns any
// change of the arithmetic's last bit into whole digits; its failure says whether the change
// stays within its range, to tell such a change from a fault of the method.
//
// tests/core/regression_freeze.cpp draws the generated designs and writes the settling record;
// the named cases were frozen from the released calculation. Regenerate them only on purpose, and
// read the differences of the named reports.

#include "regression_table.h"

#include <gtest/gtest.h>

namespace karrow::regression {
namespace {

    const SettlingRecord& Settling()
    {
        static const SettlingRecord record = ReadSettling();
        return record;
    }

    // What a failure should say of a design's settling: for one that is not settled, whether
    // the changed report stays within its range.
    std::string SettlingNote(const std::string& key, const std::string& report)
    {
        const auto settled = Settling().Settled.find(key);
        if (settled == Settling().Settled.end())
            return key + " has no settling record";
        if (settled->second)
            return key + " is settled";
        const std::string outside = OutsideRange(report, Settling().Ranges.at(key));
        return key + " is not settled; "
            + (outside.empty() ? "the report stays within its range" : outside);
    }

    // ---- named cases ----

    class NamedDesigns : public testing::TestWithParam<NamedCase> { };

    TEST_P(NamedDesigns, ReproduceTheirFrozenReport)
    {
        const NamedCase& c = GetParam();
        const Outcome outcome = RunDesign(c.Texts);
        EXPECT_EQ(outcome.ExitStatus, c.ExitStatus);
        EXPECT_EQ(outcome.Messages, c.Messages);
        ASSERT_EQ(outcome.Report.has_value(), c.HasReport);
        if (c.HasReport) {
            const std::string frozen = test::ReadFile(FrozenReportPath(c.Name));
            EXPECT_EQ(*outcome.Report, frozen) << SettlingNote(c.Name, *outcome.Report);
        }
        EXPECT_TRUE(Settling().Settled.count(c.Name)) << c.Name << " has no settling record";
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
            const std::string hash = outcome.Report ? Fnv1a64(*outcome.Report) : "-";
            EXPECT_EQ(hash, d.ReportHash)
                << d.Line << "\n"
                << (outcome.Report ? SettlingNote(RandomKey(k), *outcome.Report) : "");
            EXPECT_TRUE(Settling().Settled.count(RandomKey(k))) << RandomKey(k);
        }
    }

    INSTANTIATE_TEST_SUITE_P(Regression, RandomDesigns, testing::Range(0, Shards));

} // namespace
} // namespace karrow::regression
