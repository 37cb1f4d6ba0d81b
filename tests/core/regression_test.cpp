// Reports frozen from the calculation as it was released, replayed through the run driver: every
// change of stored values, evaluation order or rounding shows up here as a changed report.
//
// named_cases.json holds hand-picked designs (1 to 24 channels, power-law indices from 0.25 to 1,
// long and short spirals, constant gaps, a channel section exactly on the switch between its two
// forms, non-convergence, an arithmetic fault, refusals), each with its messages and, where one
// is left, the whole report. random_designs.txt holds some 1500 generated designs with a hash of
// their messages and report: a change of the last printed digit of one percent of designs is
// caught by it with near certainty.
//
// settling.json records, for every design, whether its finished run is settled (the run's own
// settling check, computed when the table was frozen). A settled design must reproduce its report
// byte for byte. A design that is not settled turns a different last bit of a transcendental
// function into whole digits, so on another processor its report may differ: it must keep its
// end state and messages, its report's shape, and every number within the range that the number
// takes when the flow rate moves by up to 64 units in the last place.
//
// tests/core/regression_freeze.cpp wrote them; regenerate them only on purpose, and read the
// differences of the named reports.

#include "regression_table.h"

#include <gtest/gtest.h>

namespace karrow::regression {
namespace {

    const SettlingRecord& Settling()
    {
        static const SettlingRecord record = ReadSettling();
        return record;
    }

    // A report that differs from the frozen one: allowed only for a design that is not settled,
    // and only within its range.
    void ExpectWithinRange(const std::string& key, const std::string& report)
    {
        ASSERT_TRUE(Settling().Settled.count(key)) << key << " has no settling record";
        ASSERT_FALSE(Settling().Settled.at(key)) << key << " is settled and its report changed";
        EXPECT_EQ(OutsideRange(report, Settling().Ranges.at(key)), "") << key;
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
            const std::string frozen = test::ReadFile(Data / (c.Name + ".txt"));
            if (Settling().Settled.at(c.Name))
                EXPECT_EQ(*outcome.Report, frozen);
            else if (*outcome.Report != frozen)
                ExpectWithinRange(c.Name, *outcome.Report);
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
            ASSERT_EQ(hash == "-", d.ReportHash == "-") << d.Line;
            if (hash != d.ReportHash)
                ExpectWithinRange(RandomKey(k), *outcome.Report);
        }
    }

    INSTANTIATE_TEST_SUITE_P(Regression, RandomDesigns, testing::Range(0, Shards));

} // namespace
} // namespace karrow::regression
