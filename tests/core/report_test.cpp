#include "report/result_file.h"
#include "run/input_reading.h"
#include "solver/solution.h"
#include "test_support.h"

#include <cmath>
#include <gtest/gtest.h>

namespace karrow {
namespace {

    Inputs DefaultInputs(char separator = '.')
    {
        test::RecordingInterface ui;
        ui.texts = DefaultFieldTexts(separator);
        return *ReadInputs([&ui](Field field) { return ui.FieldText(field); }, separator).Values;
    }

    TEST(InputSection, DefaultInputsGiveTheKnownValueTexts)
    {
        const auto lines = test::CrLfLines(InputSectionText(DefaultInputs(), '.'));
        ASSERT_EQ(lines.size(), 16U);
        EXPECT_EQ(lines[0], "");
        EXPECT_EQ(lines[1], "    [ Input data ] ");
        const char* values[] = { "4", "12.38", "1.00", "11.25", "4.12", "0.690", "11.00", "100.00",
            "0.010", "0.165", "1.000", "0.165", "1.20", "39" };
        for (std::size_t i = 0; i < 14; ++i) {
            EXPECT_EQ(lines[i + 2].size(), 51 + std::string(values[i]).size());
            EXPECT_EQ(lines[i + 2].substr(51), values[i]);
            EXPECT_EQ(lines[i + 2].substr(48, 3), "=  ");
        }
        EXPECT_EQ(lines[7], "    Power Law Parameter <n> (-)                 =  0.690");
    }

    TEST(InputSection, CommaSeparatorShowsInEveryReal)
    {
        const std::string text = InputSectionText(DefaultInputs(','), ',');
        EXPECT_NE(text.find("=  0,690\r\n"), std::string::npos);
        EXPECT_NE(text.find("=  12,38\r\n"), std::string::npos);
        EXPECT_EQ(text.find("=  0.690"), std::string::npos);
    }

    // A solution with N channels and M increments whose flows and pressures are simple to check.
    Solution TableState(int channels, int increments)
    {
        Solution s;
        s.In.NumberOfChannels = channels;
        s.Geo.PitchIncrements = 24 / channels;
        s.Geo.EffectiveIncrements = increments;
        s.Flow.Distribution = Flows(increments);
        s.Flow.Profile = SizedPressureProfile(s.Geo);
        for (int i = 1; i <= increments; ++i) {
            s.Flow.Distribution.SlitFlow(i) = 0.1 * i;
            s.Flow.Distribution.ChannelFlow(i) = 5.0 - 0.1 * i;
            s.Flow.Profile.ChannelPressure[i] = 123456.0;
        }
        return s;
    }

    TEST(FlowTable, RowsHeaderAndFooter)
    {
        const Solution st = TableState(4, 12);
        const Solution before = st;
        const auto lines = test::CrLfLines(FlowTableText(st, '.'));
        ASSERT_EQ(lines.size(), 4U + 12U + 2U);
        EXPECT_EQ(lines[1], "     [ Flow Rate and Pressure Drop ]");
        EXPECT_EQ(lines[2], "      No.       Slit Flow     Channel Flow     Pressure");
        EXPECT_EQ(lines[3], "                 cm3/sec        cm3/sec         kgf/cm2");
        EXPECT_EQ(lines[4], "       1          0.1000         4.9000         123.46");
        EXPECT_EQ(lines[9], "       6          0.6000         4.4000         123.46");
        EXPECT_EQ(lines[10], "       7*         0.7000         4.3000         123.46");
        EXPECT_EQ(lines[13], "      10*         1.0000         4.0000         123.46");
        EXPECT_EQ(lines[15], "      12*         1.2000         0.0000         123.46");
        EXPECT_EQ(lines[16], "");
        EXPECT_EQ(lines[17], "      *: Last 6 slit flows correspond to outlet flows");
        EXPECT_EQ(st.Flow.Distribution.ChannelFlow(12), before.Flow.Distribution.ChannelFlow(12))
            << "formatting changes nothing of the solution";
        EXPECT_EQ(st.Flow.Profile.ChannelPressure[1], 123456.0);
    }

    struct OutletMarking {
        int Channels;
        int MarkedRows;
    };

    class FlowTableMarking : public testing::TestWithParam<OutletMarking> { };

    TEST_P(FlowTableMarking, MarksTheOutletIncrementsOfTheSolver)
    {
        const Solution st = TableState(GetParam().Channels, 30);
        const auto lines = test::CrLfLines(FlowTableText(st, '.'));
        int marked = 0;
        for (int i = 1; i <= 30; ++i) {
            const bool isMarked = lines[static_cast<std::size_t>(3 + i)][8] == '*';
            EXPECT_EQ(isMarked, i > 30 - GetParam().MarkedRows) << "row " << i;
            marked += isMarked ? 1 : 0;
        }
        EXPECT_EQ(marked, GetParam().MarkedRows);
        EXPECT_EQ(lines.back(),
            "      *: Last " + std::to_string(GetParam().MarkedRows)
                + " slit flows correspond to outlet flows");
    }

    INSTANTIATE_TEST_SUITE_P(Channels, FlowTableMarking,
        testing::Values(OutletMarking { 4, 6 }, OutletMarking { 5, 4 }, OutletMarking { 9, 2 },
            OutletMarking { 16, 1 }, OutletMarking { 1, 24 }),
        [](const testing::TestParamInfo<OutletMarking>& row) {
            return "N" + std::to_string(row.param.Channels);
        });

    TEST(FlowTable, OverflowingNumbersWidenTheirRow)
    {
        Solution st = TableState(4, 7);
        st.Flow.Distribution.SlitFlow(1) = 12345.678;
        st.Flow.Distribution.SlitFlow(2) = 99999999.5;
        const auto lines = test::CrLfLines(FlowTableText(st, '.'));
        EXPECT_EQ(lines[4], "       1        12345.6780         4.9000         123.46");
        EXPECT_EQ(lines[5], "       2*         1E0008         4.8000         123.46");
    }

    TEST(FlowTable, NeverPrintsANonFiniteNumber)
    {
        Solution st = TableState(4, 7);
        st.Flow.Profile.ChannelPressure[3] = std::nan("");
        EXPECT_THROW(FlowTableText(st, '.'), ArithmeticFault);
        Inputs inputs = DefaultInputs();
        inputs.DieRadius = INFINITY;
        EXPECT_THROW(InputSectionText(inputs, '.'), ArithmeticFault);
    }

} // namespace
} // namespace karrow
