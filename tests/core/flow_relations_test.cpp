#include "run/input_reading.h"
#include "solver/flow_relations.h"
#include "solver/geometry.h"
#include "test_support.h"

#include <cmath>
#include <gtest/gtest.h>

namespace karrow {
namespace {

    TEST(ShapeFactor, FollowsTheQuadraticFit)
    {
        EXPECT_NEAR(ShapeFactor(0.0), 0.998, 1e-15);
        EXPECT_NEAR(ShapeFactor(0.5), 0.6843, 1e-15);
        EXPECT_NEAR(ShapeFactor(1.0), 0.4194, 1e-15);
        EXPECT_GT(ShapeFactor(0.2), ShapeFactor(0.8));
    }

    TEST(PowerLaw, FlowAndDropAreInverse)
    {
        const double n = 0.69;
        const double conductance = 0.37;
        const double resistance = 1 / std::pow(conductance, n);
        const Extended flow = FlowFromDrop(conductance, 1234.5, n);
        EXPECT_NEAR(static_cast<double>(DropFromFlow(resistance, flow, n)), 1234.5, 1e-9);
    }

    // The element laws of a run with the given field texts.
    test::Elements Conductances(const test::RecordingInterface& ui)
    {
        return test::ElementsOf(test::InputsFrom(ui));
    }

    TEST(Conductances, DoublingTheLipHeightHalvesTheLipFlowAtNewtonianViscosity)
    {
        // With n = 1 resistances add like lengths: doubling the lip doubles its resistance.
        test::RecordingInterface ui;
        ui.Set(Field::PowerLawIndex, "1");
        const test::Elements shortLip = Conductances(ui);
        ui.Set(Field::LipHeight, "2.0");
        const test::Elements longLip = Conductances(ui);
        const int last = shortLip.Geo.EffectiveIncrements;
        // Effective part and tapers are the same; only the lip's share of the resistance changes.
        ASSERT_EQ(longLip.Geo.EffectiveIncrements, last);
        const double lipShort =
            shortLip.Laws.SlitResistance[last] - shortLip.Laws.TaperResistance[last];
        const double lipLong =
            longLip.Laws.SlitResistance[last] - longLip.Laws.TaperResistance[last];
        EXPECT_NEAR(lipLong / lipShort, 2.0, 1e-12);
    }

    TEST(Conductances, NewtonianLipIsTheClassicalSlit)
    {
        // Q = w h^3 dP / (12 mu l) for n = 1: the lip's resistance is 12 mu l / (w h^3).
        test::RecordingInterface ui;
        ui.Set(Field::PowerLawIndex, "1");
        const test::Elements st = Conductances(ui);
        const int last = st.Geo.EffectiveIncrements;
        const double w = st.Geo.IncrementLength * std::cos(st.Geo.HelixAngle);
        const double lip = st.Laws.SlitResistance[last] - st.Laws.TaperResistance[last];
        EXPECT_NEAR(lip, 12 * 11.0 * 1.0 / (w * std::pow(0.165, 3)), 1e-9 * lip);
    }

    TEST(Conductances, EqualSlitHeightsUseTheConstantSlitLimit)
    {
        // Equal inlet and outlet slits make every land a constant slit: the tapered law would be
        // 0/0.
        test::RecordingInterface ui;
        ui.Set(Field::InletSlitHeight, "0.05")
            .Set(Field::OutletSlitHeight, "0.05")
            .Set(Field::OutletChannelDepth, "0.07");
        const test::Elements flat = Conductances(ui);
        for (int i = 1; i <= flat.Geo.TransferIncrements; ++i) {
            ASSERT_EQ(flat.Laws.Paths.StartHeight[i], flat.Laws.Paths.EndHeight[i]);
            EXPECT_TRUE(std::isfinite(flat.Laws.SlitConductance[i])) << "increment " << i;
            EXPECT_GT(flat.Laws.SlitConductance[i], 0) << "increment " << i;
        }
        // The limit joins the tapered law continuously: a slit rising by one part in 10^9 gives the
        // same conductance to about that order.
        ui.Set(Field::OutletSlitHeight, "0.050000001");
        const test::Elements tapered = Conductances(ui);
        ASSERT_EQ(tapered.Geo.EffectiveIncrements, flat.Geo.EffectiveIncrements);
        EXPECT_NEAR(tapered.Laws.SlitConductance[1] / flat.Laws.SlitConductance[1], 1.0, 1e-6);
    }

    TEST(Conductances, ZeroPowerLawIndexIsAnArithmeticFault)
    {
        test::RecordingInterface ui;
        ui.Set(Field::PowerLawIndex, "0");
        EXPECT_THROW(Conductances(ui), ArithmeticFault);
    }

} // namespace
} // namespace karrow
