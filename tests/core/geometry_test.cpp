#include "run/fields.h"
#include "run/input_reading.h"
#include "solver/geometry.h"
#include "test_support.h"

#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>

namespace karrow {
namespace {

    Geometry DefaultGeometry(const test::RecordingInterface& ui = {})
    {
        return ComputeGeometry(test::InputsFrom(ui));
    }

    struct GeometryValue {
        const char* Name;
        double (*Read)(const Geometry&);
        double Expected;
        double Tolerance;
    };

    class DefaultInputsGeometry : public testing::TestWithParam<GeometryValue> { };

    TEST_P(DefaultInputsGeometry, MatchesTheWorkedExample)
    {
        const Geometry st = DefaultGeometry();
        EXPECT_NEAR(GetParam().Read(st), GetParam().Expected, GetParam().Tolerance);
    }

    INSTANTIATE_TEST_SUITE_P(Values, DefaultInputsGeometry,
        testing::Values(
            GeometryValue { "ModifiedSpiralHeight",
                [](const Geometry& s) { return s.ModifiedSpiralHeight; }, 10.7928, 5e-5 },
            GeometryValue { "ModifiedLipHeight",
                [](const Geometry& s) { return s.ModifiedLipHeight; }, 2.5872, 5e-5 },
            GeometryValue { "ModifiedOutletSlitHeight",
                [](const Geometry& s) { return s.ModifiedOutletSlitHeight; }, 0.14513, 5e-6 },
            GeometryValue { "ModifiedOutletChannelDepth",
                [](const Geometry& s) { return s.ModifiedOutletChannelDepth; }, 0.27205, 5e-6 },
            GeometryValue {
                "HelixAngle", [](const Geometry& s) { return s.HelixAngle; }, 0.10736, 5e-6 },
            GeometryValue { "IncrementLength", [](const Geometry& s) { return s.IncrementLength; },
                2.9623, 5e-5 },
            GeometryValue {
                "AxialPitch", [](const Geometry& s) { return s.AxialPitch; }, 1.9046, 5e-5 },
            GeometryValue { "GrooveDepthAt34", [](const Geometry& s) { return s.GrooveDepth[34]; },
                0.1396, 5e-5 },
            GeometryValue { "OpeningAt34",
                [](const Geometry& s) { return s.ChannelOpeningWidth[34]; }, 0.7695, 5e-5 },
            GeometryValue {
                "LandWidthAt1", [](const Geometry& s) { return s.LandWidth[1]; }, 0.6977, 5e-5 },
            GeometryValue {
                "MinimumFlow", [](const Geometry& s) { return s.MinimumFlow; }, 0.000412, 1e-12 }),
        [](const testing::TestParamInfo<GeometryValue>& row) { return row.param.Name; });

    TEST(Geometry, DefaultInputsGiveTheEffectivePartAndPitch)
    {
        const Geometry st = DefaultGeometry();
        EXPECT_EQ(st.EffectiveIncrements, 34);
        EXPECT_EQ(st.PitchIncrements, 6);
        EXPECT_EQ(st.TransferIncrements, 28);
        for (int i = 1; i <= 15; ++i)
            EXPECT_EQ(st.ChannelOpeningWidth[i], 1.2) << "increment " << i;
        for (int i = 16; i <= 34; ++i)
            EXPECT_LT(st.ChannelOpeningWidth[i], 1.2) << "increment " << i;
    }

    TEST(Geometry, IncrementsAndPitchAgreeWithTheDieUpToRounding)
    {
        const Geometry st = DefaultGeometry();
        EXPECT_NEAR(st.IncrementLength * std::cos(st.HelixAngle), 11.25 * M_PI / 12, 1e-12);
        EXPECT_NEAR(st.AxialPitch, 6 * st.ModifiedSpiralHeight / 34, 1e-12);
        EXPECT_NEAR(st.AxialPitch, 6 * 12.38 / 39, 1e-12);
    }

    TEST(Geometry, CrossingOnAWholeNumberStillAddsOneIncrement)
    {
        test::RecordingInterface ui;
        // A constant slit of 0.25 and a depth falling from 1.5 by 0.0625 per increment: the depth
        // reaches twice the slit after exactly 16 increments (all values are exact in binary).
        ui.Set(Field::InletSlitHeight, "0.25")
            .Set(Field::OutletSlitHeight, "0.25")
            .Set(Field::InletChannelDepth, "1.5")
            .Set(Field::OutletChannelDepth, "1.0")
            .Set(Field::TotalIncrements, "8");
        EXPECT_EQ(ComputeGeometry(test::InputsFrom(ui)).EffectiveIncrements, 17);
    }

    // A channel width of exactly twice the groove depth of increment 16 puts that increment on the
    // switch between the two section forms: it takes the half circle with a rectangle of no
    // height, its neighbour towards the outlet the circular segment. The whole calculation of
    // this design is a case of the regression table ("section-switch-16").
    TEST(Geometry, GrooveExactlyHalfTheWidthTakesTheHalfCircleForm)
    {
        const double width = 2 * DefaultGeometry().GrooveDepth[16];
        test::RecordingInterface ui;
        char text[32];
        std::snprintf(text, sizeof text, "%.17g", width);
        ui.Set(Field::ChannelWidth, text);
        const Geometry g = DefaultGeometry(ui);
        const double r = width / 2;
        ASSERT_EQ(g.GrooveDepth[16], r);
        EXPECT_EQ(g.ChannelOpeningWidth[16], width);
        EXPECT_NEAR(g.ChannelArea[16], r * M_PI * r * 0.5 + g.SlitHeight[16] * width, 1e-15);
        EXPECT_LT(g.ChannelOpeningWidth[17], width);
        const double segment =
            2 * std::sqrt(r * r - (r - g.GrooveDepth[17]) * (r - g.GrooveDepth[17]));
        EXPECT_NEAR(g.ChannelOpeningWidth[17], segment, 1e-15);
    }

    struct PitchCase {
        std::int32_t Channels;
        std::int32_t Pitch;
    };

    class ChannelSpacing : public testing::TestWithParam<PitchCase> { };

    TEST_P(ChannelSpacing, IsTwentyFourDivN)
    {
        test::RecordingInterface ui;
        ui.Set(Field::NumberOfChannels, std::to_string(GetParam().Channels))
            .Set(Field::ChannelWidth, "0.3");
        const Geometry st = ComputeGeometry(test::InputsFrom(ui));
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
        for (const auto& [field, text] : { std::pair { Field::NumberOfChannels, "0" },
                 std::pair { Field::SpiralHeight, "0" } }) {
            test::RecordingInterface ui;
            ui.Set(field, text);
            EXPECT_THROW(ComputeGeometry(test::InputsFrom(ui)), ArithmeticFault)
                << QuotedLabel(field);
        }
    }

} // namespace
} // namespace karrow
