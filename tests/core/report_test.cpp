#include "report/result_file.h"
#include "run/input_reading.h"
#include "test_support.h"

#include <cmath>
#include <gtest/gtest.h>

namespace karrow {
namespace {

    RunState DefaultInputs(char separator = '.')
    {
        test::RecordingInterface ui;
        for (int field = 1; field <= InputFieldCount; ++field)
            ui.Set(field, DefaultFieldText(field, separator));
        RunState st;
        ReadInputs(st, ui, separator);
        EXPECT_TRUE(st.InputOk);
        return st;
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

    // A state with N channels and M increments whose flows and pressures are simple to check.
    RunState TableState(int channels, int increments)
    {
        RunState st;
        st.NumberOfChannels = channels;
        st.PitchIncrements = 24 / channels;
        st.EffectiveIncrements = increments;
        st.SizeArrays(increments, st.PitchIncrements);
        for (int i = 1; i <= increments; ++i) {
            st.SlitFlow(i) = 0.1 * i;
            st.ChannelFlow(i) = 5.0 - 0.1 * i;
            st.ChannelPressure[i] = 123456.0;
        }
        return st;
    }

    TEST(FlowTable, RowsHeaderAndFooter)
    {
        RunState st = TableState(4, 12);
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
        EXPECT_EQ(st.ChannelFlow(12), 0.0);
        EXPECT_EQ(st.ChannelPressure[1], 123.456);
    }

    struct OutletMarking {
        int Channels;
        int MarkedRows;
    };

    class FlowTableMarking : public testing::TestWithParam<OutletMarking> { };

    TEST_P(FlowTableMarking, MarksTheOutletIncrementsOfTheSolver)
    {
        RunState st = TableState(GetParam().Channels, 30);
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
        RunState st = TableState(4, 7);
        st.SlitFlow(1) = 12345.678;
        st.SlitFlow(2) = 99999999.5;
        const auto lines = test::CrLfLines(FlowTableText(st, '.'));
        EXPECT_EQ(lines[4], "       1        12345.6780         4.9000         123.46");
        EXPECT_EQ(lines[5], "       2*         1E0008         4.8000         123.46");
    }

    TEST(FlowTable, NeverPrintsANonFiniteNumber)
    {
        RunState st = TableState(4, 7);
        st.ChannelPressure[3] = std::nan("");
        EXPECT_THROW(FlowTableText(st, '.'), ArithmeticFault);
        RunState inputs = DefaultInputs();
        inputs.DieRadius = INFINITY;
        EXPECT_THROW(InputSectionText(inputs, '.'), ArithmeticFault);
    }

} // namespace
} // namespace karrow
