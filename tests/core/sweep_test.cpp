// The grid of a study, its shards, the rows it streams and the cells of its CSV.

#include "cli/exit_status.h"
#include "report/csv.h"
#include "run/fields.h"
#include "run/run_json.h"
#include "run/sweep.h"

#include <atomic>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

namespace karrow {
namespace {

    FieldTexts Defaults()
    {
        return DefaultFieldTexts('.');
    }

    Variation Parsed(const std::string& text)
    {
        std::string problem;
        const auto variation = ParseVariation(text, problem);
        if (!variation)
            throw std::runtime_error(problem);
        return *variation;
    }

    std::vector<std::string> ValuesOf(const std::string& text, char separator = '.')
    {
        const Variation v = Parsed(text);
        std::vector<std::string> values;
        for (std::int64_t k = 0; k < v.Count; ++k)
            values.push_back(ValueText(v, k, separator));
        return values;
    }

    using Values = std::vector<std::string>;

    TEST(StudyGrid, ValuesRunFromFromToExactlyTo)
    {
        // 0.27 + (4.28 - 0.27) is not 4.28 in doubles: the last point must still be TO.
        EXPECT_EQ(ValuesOf("channel-width=0.27:4.28:3").back(), "4.28");
        EXPECT_EQ(ValuesOf("channel-width=1:2:5"), (Values { "1", "1.25", "1.5", "1.75", "2" }));
        EXPECT_EQ(ValuesOf("channel-width=1:2:3", ','), (Values { "1", "1,5", "2" }));
        // No overflow where TO - FROM exceeds the largest double.
        EXPECT_EQ(ValuesOf("channel-width=-1e308:1e308:3"), (Values { "-1e+308", "0", "1e+308" }));
        EXPECT_EQ(ValuesOf("channel-width=1e300:1e300:1"), (Values { "1e+300" }));
        EXPECT_EQ(ValuesOf("number-of-channels=4:10:3"), (Values { "4", "7", "10" }));
        EXPECT_EQ(ValuesOf("total-increments=-2147483648:2147483647:2"),
            (Values { "-2147483648", "2147483647" }));
    }

    TEST(StudyGrid, RefusesWhatWouldNotBeTheRequestedRows)
    {
        for (const char* text : { "channel-width=1:2:0", "channel-width=1:2:-1",
                 "channel-width=1:2:2.5", "channel-width=1:2:1000001", "channel-width=1:2:",
                 "channel-width=a:2:3", "channel-width=1:inf:3", "channel-width=1e400:1:2",
                 "channel-width=1,5:2:3", "channel-width=1:2:3:4", "channel-width=1:2",
                 "channel-width=1:2:1", "colour=1:2:3", "number-of-channels=1:2:5",
                 "number-of-channels=1.5:2.5:2", "number-of-channels=1e300:1e300:1",
                 "total-increments=0:2147483648:2", "output=1:2:2" }) {
            std::string problem;
            EXPECT_FALSE(ParseVariation(text, problem)) << text;
            EXPECT_NE(problem, "") << text;
        }
        std::string problem;
        ParseVariation("number-of-channels=1:2:5", problem);
        EXPECT_NE(
            problem.find("TO - FROM (1) must be a multiple of COUNT - 1 (4)"), std::string::npos)
            << problem;
        EXPECT_TRUE(ParseVariation("channel-width=1:2:1000000", problem));
    }

    TEST(StudyGrid, CountsAndOrdersEveryCombinationOnce)
    {
        const std::vector<Variation> variations { Parsed("channel-width=1:2:3"),
            Parsed("number-of-channels=4:5:2") };
        ASSERT_EQ(StudyGrid::Problem(variations), std::nullopt);
        const StudyGrid grid(Defaults(), variations, '.');
        ASSERT_EQ(grid.Size(), 6U);
        std::vector<std::pair<std::string, std::string>> designs;
        for (std::uint64_t k = 0; k < grid.Size(); ++k) {
            const auto texts = grid.DesignAt(k);
            designs.emplace_back(texts[Field::ChannelWidth], texts[Field::NumberOfChannels]);
            EXPECT_EQ(texts[Field::SpiralHeight], Defaults()[Field::SpiralHeight]);
        }
        const std::vector<std::pair<std::string, std::string>> expected { { "1", "4" },
            { "1", "5" }, { "1.5", "4" }, { "1.5", "5" }, { "2", "4" }, { "2", "5" } };
        EXPECT_EQ(designs, expected) << "the first variation changes slowest";
        EXPECT_EQ(StudyGrid(Defaults(), {}, '.').Size(), 1U);
    }

    // The melt temperature is an axis of its own: it changes no field text, keeps its place in
    // the order of the grid, and takes any real values, FROM and TO exactly.
    TEST(StudyGrid, VariesTheMeltTemperatureBesideTheFields)
    {
        const Variation melt = Parsed("melt-temperature=180:220:5");
        EXPECT_EQ(melt.Axis, SweepAxis::MeltTemperature);
        EXPECT_EQ(AxisName(melt), "melt-temperature");
        const StudyGrid grid(Defaults(), { melt, Parsed("number-of-channels=4:5:2") }, '.');
        ASSERT_EQ(grid.Size(), 10U);
        std::vector<double> temperatures;
        for (std::uint64_t k = 0; k < grid.Size(); ++k) {
            FieldTexts expected = Defaults();
            expected[Field::NumberOfChannels] = k % 2 == 0 ? "4" : "5";
            EXPECT_EQ(grid.DesignAt(k), expected) << k;
            temperatures.push_back(grid.MeltTemperatureAt(k).value_or(-1));
        }
        const std::vector<double> expected { 180, 180, 190, 190, 200, 200, 210, 210, 220, 220 };
        EXPECT_EQ(temperatures, expected);
        EXPECT_FALSE(StudyGrid(Defaults(), { Parsed("channel-width=1:2:3") }, '.')
                         .MeltTemperatureAt(0));
        EXPECT_EQ(ValueAt(Parsed("melt-temperature=190.1:230.7:7"), 6), 230.7);
        const auto twice = StudyGrid::Problem(
            { melt, Parsed("channel-width=1:2:3"), Parsed("melt-temperature=200:200:1") });
        ASSERT_TRUE(twice);
        EXPECT_NE(twice->find("melt-temperature is varied twice"), std::string::npos) << *twice;
        std::string problem;
        EXPECT_FALSE(ParseVariation("melt-temp=180:220:5", problem));
        EXPECT_NE(problem.find("nor melt-temperature"), std::string::npos) << problem;
    }

    TEST(StudyGrid, RefusesAFieldVariedTwiceAndACountBeyond64Bits)
    {
        const auto twice = StudyGrid::Problem({ Parsed("channel-width=1:2:3"),
            Parsed("spiral-height=10:12:2"), Parsed("channel-width=1:2:2") });
        ASSERT_TRUE(twice);
        EXPECT_NE(twice->find("channel-width is varied twice"), std::string::npos) << *twice;
        std::vector<Variation> huge;
        for (const char* field : { "channel-width", "spiral-height", "lip-height", "die-radius" })
            huge.push_back(Parsed(std::string(field) + "=1:2:1000000"));
        EXPECT_TRUE(StudyGrid::Problem(huge)) << "10^24 designs";
        huge.pop_back();
        EXPECT_EQ(StudyGrid::Problem(huge), std::nullopt) << "10^18 designs";
    }

    TEST(Shards, AreDisjointConsecutiveAndCoverTheGrid)
    {
        for (const std::uint64_t size : { 0ULL, 1ULL, 7ULL, 1000ULL, 18446744073709551615ULL })
            for (const std::uint64_t count : { 1ULL, 2ULL, 3ULL, 8ULL }) {
                std::uint64_t next = 0;
                for (std::uint64_t k = 1; k <= count; ++k) {
                    const DesignRange range = RangeOf({ k, count }, size);
                    EXPECT_EQ(range.First, next) << size << " " << k << "/" << count;
                    EXPECT_LE(range.First, range.End);
                    EXPECT_LE(range.Size() - size / count, 1U);
                    EXPECT_GE(range.Size(), size / count);
                    next = range.End;
                }
                EXPECT_EQ(next, size) << size << " in " << count;
            }
        std::string problem;
        const auto shard = ParseShard("2/3", problem);
        ASSERT_TRUE(shard);
        EXPECT_EQ(shard->Index, 2U);
        EXPECT_EQ(shard->Count, 3U);
        for (const char* text : { "0/3", "4/3", "1/0", "1", "/3", "1/", "-1/3", "1/3x", "a/b" })
            EXPECT_FALSE(ParseShard(text, problem)) << text;
    }

    TEST(CsvCells, AreQuotedAndNeverReadAsFormulas)
    {
        EXPECT_EQ(CsvCell("12.38"), "12.38");
        EXPECT_EQ(CsvCell(""), "");
        EXPECT_EQ(CsvCell("a,b"), "\"a,b\"");
        EXPECT_EQ(CsvCell("say \"hi\""), "\"say \"\"hi\"\"\"");
        EXPECT_EQ(CsvCell("two\nlines"), "\"two\nlines\"");
        EXPECT_EQ(CsvCell("cr\rhere"), "\"cr\rhere\"");
        for (const char* formula :
            { "=1+1", "+1+1", "-1+1", "@SUM(A1)", "=HYPERLINK(\"x\")", "-", "+", "-e5", "\tx" })
            EXPECT_EQ(CsvCell(formula).find('\''), CsvCell(formula).starts_with('"') ? 1U : 0U)
                << formula;
        EXPECT_EQ(CsvCell("=1,2"), "\"'=1,2\"");
        EXPECT_EQ(CsvCell("=\"a\""), "\"'=\"\"a\"\"\"");
        for (const char* number :
            { "-1.5", "+2", "-0", "-1e-05", "-1.5E+300", "-.5", "-5.", "-1,5" })
            EXPECT_EQ(CsvCell(number, '\t'), number) << "a number stays a number";
        EXPECT_EQ(CsvCell("1\t2", '\t'), "\"1\t2\"");
        EXPECT_EQ(CsvLine({ "a", "=b", "c,d" }), "a,'=b,\"c,d\"\n");
    }

    // The rows of a study, in the order Write received them.
    std::vector<SweepRow> Stream(const StudyGrid& grid, SolverChoice solver, int jobs)
    {
        std::vector<SweepRow> streamed;
        SweepSettings settings { solver, {}, jobs,
            [&](const SweptDesign& design) {
                const int status = ExitStatusOf(design.Record.End);
                return SweepRow { SweepCsvRow(design.Record, status),
                    RunJson(design.Record, status) };
            },
            [&](std::vector<SweepRow>& rows) {
                streamed.insert(streamed.end(), rows.begin(), rows.end());
                return true;
            },
            nullptr, {} };
        EXPECT_TRUE(RunSweep(grid, { 0, grid.Size() }, settings));
        return streamed;
    }

    TEST(Sweep, TwoJobsWriteTheRowsOfOneInGridOrder)
    {
        const StudyGrid grid(Defaults(),
            { Parsed("channel-width=1:1.2:3"), Parsed("number-of-channels=4:5:2") }, '.');
        const auto one = Stream(grid, SolverChoice::Both, 1);
        const auto two = Stream(grid, SolverChoice::Both, 2);
        ASSERT_EQ(one.size(), 6U);
        ASSERT_EQ(two.size(), 6U);
        for (std::size_t k = 0; k < one.size(); ++k) {
            EXPECT_EQ(one[k].Csv, two[k].Csv) << k;
            EXPECT_EQ(one[k].Json, two[k].Json) << k;
            const RunRecord alone = CalculateDesign(grid.DesignAt(k), SolverChoice::Both, {}, '.');
            EXPECT_EQ(one[k].Csv, SweepCsvRow(alone, ExitStatusOf(alone.End)))
                << "row " << k << " in grid order";
        }
    }

    TEST(Sweep, RunsAsManyDesignsAtOnceAsItHasJobs)
    {
        const StudyGrid grid(Defaults(), { Parsed("channel-width=1:2:40") }, '.');
        for (const int jobs : { 1, 2, 3 }) {
            std::mutex mutex;
            std::condition_variable changed;
            int inFlight = 0;
            int peak = 0;
            bool gaveUp = false;
            SweepSettings settings { SolverChoice::Network, {}, jobs,
                [&](const SweptDesign&) {
                    std::unique_lock lock(mutex);
                    peak = std::max(peak, ++inFlight);
                    changed.notify_all();
                    // Hold each design until all jobs are busy, so a pool smaller than asked
                    // shows; give up once when it never fills.
                    if (!gaveUp && !changed.wait_for(lock, std::chrono::seconds(10), [&] {
                            return peak >= jobs;
                        }))
                        gaveUp = true;
                    --inFlight;
                    return SweepRow {};
                },
                [](std::vector<SweepRow>&) { return true; }, nullptr, {} };
            ASSERT_TRUE(RunSweep(grid, { 0, grid.Size() }, settings));
            EXPECT_EQ(peak, jobs);
            EXPECT_FALSE(gaveUp) << jobs << " jobs never all busy";
        }
    }

    TEST(Sweep, HoldsABoundedNumberOfRowsBehindASlowDesign)
    {
        const StudyGrid grid(Defaults(), { Parsed("channel-width=1:2:200") }, '.');
        constexpr int Jobs = 2;
        std::mutex mutex;
        std::condition_variable changed;
        int formatted = 0;
        int formattedBehindFirst = -1;
        const std::string first = grid.DesignAt(0)[Field::ChannelWidth];
        SweepSettings settings { SolverChoice::Network, {}, Jobs,
            [&](const SweptDesign& design) {
                std::unique_lock lock(mutex);
                if (design.Record.Texts[Field::ChannelWidth] == first) {
                    // The first design is slow: the other job may run ahead only as far as the
                    // window reaches. Without a bound it would finish all 199 in this time.
                    changed.wait_for(
                        lock, std::chrono::seconds(1), [&] { return formatted > 100; });
                    formattedBehindFirst = formatted;
                } else {
                    ++formatted;
                    changed.notify_all();
                }
                return SweepRow {};
            },
            [](std::vector<SweepRow>&) { return true; }, nullptr, {} };
        ASSERT_TRUE(RunSweep(grid, { 0, grid.Size() }, settings));
        EXPECT_GE(formattedBehindFirst, 1);
        EXPECT_LE(formattedBehindFirst, static_cast<int>(ReorderRowsPerJob * Jobs) - 1);
    }

    TEST(Sweep, StopsWhenAWriteFails)
    {
        const StudyGrid grid(Defaults(), { Parsed("channel-width=1:2:101") }, '.');
        std::atomic<int> formatted = 0;
        std::size_t written = 0;
        SweepSettings settings { SolverChoice::Network, {}, 2,
            [&](const SweptDesign&) {
                ++formatted;
                return SweepRow {};
            },
            [&](std::vector<SweepRow>& rows) {
                written += rows.size();
                return false;
            },
            nullptr, {} };
        EXPECT_FALSE(RunSweep(grid, { 0, grid.Size() }, settings));
        EXPECT_LT(formatted.load(), 101) << "no design starts after a failed write";
        EXPECT_GE(written, 1U);
    }

} // namespace
} // namespace karrow
