#include "run/fields.h"
#include "run/input_reading.h"
#include "solver/geometry.h"
#include "test_support.h"

#include <cmath>
#include <gtest/gtest.h>

namespace karrow {
namespace {

    RunState DefaultGeometry(test::RecordingInterface ui = {})
    {
        RunState st = test::InputsFrom(ui);
        EXPECT_TRUE(st.InputOk);
        ComputeGeometry(st);
        ComputeLandPaths(st);
        ComputeOutletPaths(st);
        return st;
    }

    struct GeometryValue {
        const char* Name;
        double (*Read)(const RunState&);
        double Expected;
        double Tolerance;
    };

    class DefaultInputsGeometry : public testing::TestWithParam<GeometryValue> { };

    TEST_P(DefaultInputsGeometry, MatchesTheWorkedExample)
    {
        const RunState st = DefaultGeometry();
        EXPECT_NEAR(GetParam().Read(st), GetParam().Expected, GetParam().Tolerance);
    }

    INSTANTIATE_TEST_SUITE_P(Values, DefaultInputsGeometry,
        testing::Values(
            GeometryValue { "ModifiedSpiralHeight",
                [](const RunState& s) { return s.ModifiedSpiralHeight; }, 10.7928, 5e-5 },
            GeometryValue { "ModifiedLipHeight",
                [](const RunState& s) { return s.ModifiedLipHeight; }, 2.5872, 5e-5 },
            GeometryValue { "ModifiedOutletSlitHeight",
                [](const RunState& s) { return s.ModifiedOutletSlitHeight; }, 0.14513, 5e-6 },
            GeometryValue { "ModifiedOutletChannelDepth",
                [](const RunState& s) { return s.ModifiedOutletChannelDepth; }, 0.27205, 5e-6 },
            GeometryValue {
                "HelixAngle", [](const RunState& s) { return s.HelixAngle; }, 0.10736, 5e-6 },
            GeometryValue { "IncrementLength", [](const RunState& s) { return s.IncrementLength; },
                2.9623, 5e-5 },
            GeometryValue {
                "AxialPitch", [](const RunState& s) { return s.AxialPitch; }, 1.9046, 5e-5 },
            GeometryValue { "GrooveDepthAt34", [](const RunState& s) { return s.GrooveDepth[34]; },
                0.1396, 5e-5 },
            GeometryValue { "OpeningAt34",
                [](const RunState& s) { return s.ChannelOpeningWidth[34]; }, 0.7695, 5e-5 },
            GeometryValue {
                "LandWidthAt1", [](const RunState& s) { return s.LandWidth[1]; }, 0.6977, 5e-5 },
            GeometryValue {
                "MinimumFlow", [](const RunState& s) { return s.MinimumFlow; }, 0.000412, 1e-12 }),
        [](const testing::TestParamInfo<GeometryValue>& row) { return row.param.Name; });

    TEST(Geometry, DefaultInputsGiveTheEffectivePartAndPitch)
    {
        const RunState st = DefaultGeometry();
        EXPECT_EQ(st.EffectiveIncrements, 34);
        EXPECT_EQ(st.PitchIncrements, 6);
        EXPECT_EQ(st.TransferIncrements, 28);
        EXPECT_EQ(st.PenultimateIncrement, 33);
        for (int i = 1; i <= 15; ++i)
            EXPECT_EQ(st.ChannelOpeningWidth[i], 1.2) << "increment " << i;
        for (int i = 16; i <= 34; ++i)
            EXPECT_LT(st.ChannelOpeningWidth[i], 1.2) << "increment " << i;
    }

    TEST(Geometry, IncrementsAndPitchAgreeWithTheDieUpToRounding)
    {
        const RunState st = DefaultGeometry();
        EXPECT_NEAR(st.IncrementLength * std::cos(st.HelixAngle), 11.25 * M_PI / 12, 1e-12);
        EXPECT_NEAR(st.AxialPitch, 6 * st.ModifiedSpiralHeight / 34, 1e-12);
        EXPECT_NEAR(st.AxialPitch, 6 * 12.38 / 39, 1e-12);
    }

    TEST(Geometry, CrossingOnAWholeNumberStillAddsOneIncrement)
    {
        test::RecordingInterface ui;
        // A constant slit of 0.25 and a depth falling from 1.5 by 0.0625 per increment: the depth
        // reaches twice the slit after exactly 16 increments (all values are exact in binary).
        ui.Set(9, "0.25").Set(10, "0.25").Set(11, "1.5").Set(12, "1.0").Set(14, "8");
        RunState st;
        ReadInputs(st, ui, '.');
        ComputeGeometry(st);
        EXPECT_EQ(st.EffectiveIncrements, 17);
    }

    TEST(Geometry, GrooveExactlyHalfTheWidthTakesTheHalfCircleForm)
    {
        RunState st;
        st.ChannelWidth = 1.2;
        st.SizeArrays(2, 1);
        st.SlitHeight[1] = st.SlitHeight[2] = 0.1;
        st.GrooveDepth[1] = 0.6;
        st.GrooveDepth[2] = 0.59;
        ComputeChannelSection(st, 1);
        ComputeChannelSection(st, 2);
        EXPECT_EQ(st.ChannelOpeningWidth[1], 1.2);
        EXPECT_NEAR(st.ChannelArea[1], 0.6 * M_PI * 0.6 * 0.5 + 0.1 * 1.2, 1e-15);
        EXPECT_NEAR(st.EquivalentChannelDepth[1], st.ChannelArea[1] / 1.2, 1e-15);
        // Just below the radius the circular segment is nearly the half circle.
        EXPECT_LT(st.ChannelOpeningWidth[2], 1.2);
        EXPECT_NEAR(st.ChannelOpeningWidth[2], 2 * std::sqrt(0.36 - 0.0001), 1e-15);
        EXPECT_NEAR(st.ChannelArea[2], st.ChannelArea[1] - 0.01 * 1.2, 2e-4);
    }

    struct PitchCase {
        std::int32_t Channels;
        std::int32_t Pitch;
    };

    class ChannelSpacing : public testing::TestWithParam<PitchCase> { };

    TEST_P(ChannelSpacing, IsTwentyFourDivN)
    {
        test::RecordingInterface ui;
        ui.Set(1, std::to_string(GetParam().Channels)).Set(13, "0.3");
        RunState st;
        ReadInputs(st, ui, '.');
        ComputeGeometry(st);
        EXPECT_EQ(st.PitchIncrements, GetParam().Pitch);
        EXPECT_EQ(st.TransferIncrements, st.EffectiveIncrements - GetParam().Pitch);
    }

    INSTANTIATE_TEST_SUITE_P(Channels, ChannelSpacing,
        testing::Values(PitchCase { 1, 24 }, PitchCase { 4, 6 }, PitchCase { 5, 4 },
            PitchCase { 7, 3 }, PitchCase { 9, 2 }, PitchCase { 12, 2 }, PitchCase { 13, 1 },
            PitchCase { 24, 1 }),
        [](const testing::TestParamInfo<PitchCase>& row) {
            return "N" + std::to_string(row.param.Channels);
        });

    // 24 div 0 for zero channels; 0/0 in the increment length for a spiral of no height.
    TEST(Geometry, ZeroChannelsOrSpiralHeightIsAnArithmeticFault)
    {
        for (const auto& [field, text] : { std::pair { 1, "0" }, std::pair { 2, "0" } }) {
            test::RecordingInterface ui;
            ui.Set(field, text);
            RunState st = test::InputsFrom(ui);
            EXPECT_THROW(ComputeGeometry(st), ArithmeticFault) << "field " << field;
        }
    }

} // namespace
} // namespace karrow
