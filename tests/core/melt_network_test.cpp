// The exact network with a real melt:
//  - a power-law melt through the general laws gives today's power-law network answer;
//  - every node balances, the outlets carry the flow rate, and the wall values lie on the melt's
//    flow curve at the element's temperature;
//  - heated without a wall, the flow-weighted outlet temperature is the inlet's raised by the
//    whole dissipation, head pressure x flow rate / (rho c), whatever the flows: the energy
//    balance of the die, independent of how the temperatures were marched;
//  - a hot wall with a large coefficient brings the melt to the wall's temperature;
//  - a Cross melt of the power law's viscosity solves every generated design the power-law
//    network solves;
//  - nonsense ends without convergence, in words, without throwing.

#include "design_generator.h"
#include "solver/fault.h"
#include "solver/melt_network.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <random>

namespace karrow {
namespace {

    Melt CrossWlfMelt()
    {
        Melt m;
        m.Model = ViscosityModel::CrossWlf;
        m.FlowIndex = 0.3;
        m.CriticalStress = 30000;
        m.D1 = 2e12;
        m.D2 = 100;
        m.A1 = 26;
        m.A2 = 51.6;
        m.Density = 760;
        m.HeatCapacity = 2600;
        return m;
    }

    // A Cross melt whose viscosity at the design's standard shear rate is the power law's there.
    Melt CrossLike(const Inputs& in)
    {
        Melt m;
        m.Model = ViscosityModel::Cross;
        m.FlowIndex = in.PowerLawIndex;
        m.CriticalStress = 20000;
        m.Density = 800;
        m.HeatCapacity = 2300;
        const double target = in.StandardViscosity * PascalPerGramForce;
        double low = std::log(target);
        double high = low + 40;
        for (int k = 0; k < 200; ++k) {
            m.ZeroShearViscosity = std::exp((low + high) / 2);
            (Viscosity(m, in.StandardShearRate, 0) < target ? low : high) =
                std::log(m.ZeroShearViscosity);
        }
        return m;
    }

    MeltConditions At(double celsius, ThermalMode mode = ThermalMode::Isothermal)
    {
        MeltConditions c;
        c.MeltTemperature = celsius;
        c.Thermal = mode;
        return c;
    }

    double OutletSum(const MeltNetworkSolution& s, int K)
    {
        return std::accumulate(s.Network.SlitFlow.begin() + K, s.Network.SlitFlow.end(), 0.0);
    }

    TEST(MeltNetwork, PowerLawMeltGivesTodaysNetwork)
    {
        for (const double n : { 0.35, 0.69, 1.0 }) {
            Inputs in = test::DesignFromTexts();
            in.PowerLawIndex = n;
            const test::Elements e = test::ElementsOf(in);
            const NetworkSolution today = SolveNetwork(NetworkElementsOf(in, e.Geo, e.Laws));
            Melt melt = PowerLawMeltOf(in);
            melt.Density = 800;
            melt.HeatCapacity = 2000;
            const MeltNetworkSolution s = SolveMeltNetwork(in, e.Geo, e.Laws, melt, At(200));
            ASSERT_TRUE(today.Converged);
            ASSERT_TRUE(s.Network.Converged) << s.Network.Failure;
            EXPECT_NEAR(s.Network.InletPressure, today.InletPressure, 1e-9 * today.InletPressure);
            for (std::size_t j = 0; j < today.SlitFlow.size(); ++j) {
                EXPECT_NEAR(s.Network.SlitFlow[j], today.SlitFlow[j], 1e-9 * in.FlowRatePerChannel);
                EXPECT_NEAR(s.Network.Pressure[j], today.Pressure[j], 1e-9 * today.InletPressure);
            }
        }
    }

    TEST(MeltNetwork, IsothermalCrossWlfBalancesAndLiesOnTheFlowCurve)
    {
        const Inputs in = test::DesignFromTexts();
        const test::Elements e = test::ElementsOf(in);
        const Melt melt = CrossWlfMelt();
        const MeltNetworkSolution s = SolveMeltNetwork(in, e.Geo, e.Laws, melt, At(230));
        ASSERT_TRUE(s.Network.Converged) << s.Network.Failure;
        EXPECT_LE(s.Network.Residual, NetworkToleranceFor(e.Geo.EffectiveIncrements));
        EXPECT_NEAR(OutletSum(s, e.Geo.TransferIncrements), in.FlowRatePerChannel,
            1e-10 * in.FlowRatePerChannel);
        for (std::size_t j = 0; j < s.ChannelWallStress.size(); ++j) {
            const double rate = s.ChannelWallShearRate[j];
            EXPECT_NEAR(Viscosity(melt, rate, 230) * rate, s.ChannelWallStress[j],
                1e-9 * s.ChannelWallStress[j]);
        }
        // Isothermal: every temperature is the melt's.
        for (const double t : s.OutletTemperature)
            EXPECT_EQ(t, 230);
        // Hotter melt, thinner: a lower head pressure.
        const MeltNetworkSolution hotter = SolveMeltNetwork(in, e.Geo, e.Laws, melt, At(250));
        ASSERT_TRUE(hotter.Network.Converged);
        EXPECT_LT(hotter.Network.InletPressure, s.Network.InletPressure);
    }

    TEST(MeltNetwork, HeatedAdiabaticDieKeepsTheEnergyBalance)
    {
        const Inputs in = test::DesignFromTexts();
        const test::Elements e = test::ElementsOf(in);
        const Melt melt = CrossWlfMelt();
        const MeltNetworkSolution isothermal = SolveMeltNetwork(in, e.Geo, e.Laws, melt, At(220));
        const MeltNetworkSolution s =
            SolveMeltNetwork(in, e.Geo, e.Laws, melt, At(220, ThermalMode::Heated));
        ASSERT_TRUE(s.Network.Converged) << s.Network.Failure;
        EXPECT_GT(s.ThermalIterations, 1);
        EXPECT_LE(s.ThermalResidual, ThermalTolerance);
        const double rise = s.Network.InletPressure * PascalPerGramForce
            / (melt.Density * melt.HeatCapacity);
        EXPECT_GT(rise, 0.5);
        EXPECT_NEAR(s.MeanOutletTemperature - 220, rise, 1e-9 * rise + 1e-9);
        // The melt warms along the channel, and warmer melt lowers the head pressure.
        EXPECT_GT(s.NodeTemperature.back(), s.NodeTemperature.front());
        EXPECT_LT(s.Network.InletPressure, isothermal.Network.InletPressure);
        EXPECT_GE(s.OutletTemperatureSpread, 0);
        const auto [low, high] =
            std::minmax_element(s.OutletTemperature.begin(), s.OutletTemperature.end());
        EXPECT_DOUBLE_EQ(*high - *low, s.OutletTemperatureSpread);
    }

    TEST(MeltNetwork, StrongWallExchangeBringsTheMeltToTheWall)
    {
        const Inputs in = test::DesignFromTexts();
        const test::Elements e = test::ElementsOf(in);
        MeltConditions c = At(220, ThermalMode::Heated);
        c.WallTemperature = 240;
        c.HeatTransferCoefficient = 1e7;
        const MeltNetworkSolution s = SolveMeltNetwork(in, e.Geo, e.Laws, CrossWlfMelt(), c);
        ASSERT_TRUE(s.Network.Converged) << s.Network.Failure;
        for (const double t : s.OutletTemperature)
            EXPECT_NEAR(t, 240, 0.05);
        // A moderate coefficient and a wall at the melt's temperature: between that and the
        // adiabatic die.
        c.WallTemperature = 220;
        c.HeatTransferCoefficient = 500;
        const MeltNetworkSolution cooled = SolveMeltNetwork(in, e.Geo, e.Laws, CrossWlfMelt(), c);
        const MeltNetworkSolution adiabatic =
            SolveMeltNetwork(in, e.Geo, e.Laws, CrossWlfMelt(), At(220, ThermalMode::Heated));
        ASSERT_TRUE(cooled.Network.Converged);
        EXPECT_GT(cooled.MeanOutletTemperature, 220);
        EXPECT_LT(cooled.MeanOutletTemperature, adiabatic.MeanOutletTemperature);
    }

    TEST(MeltNetwork, CrossMeltSolvesTheDesignsThePowerLawNetworkSolves)
    {
        std::mt19937_64 random(20261209);
        int solved = 0;
        for (int channels : { 2, 4, 6, 8 })
            for (int k = 0; k < 6; ++k) {
                const Inputs in = test::DrawDesign(random, channels, { 0.3, 0.9 });
                const std::optional<NetworkElements> elements = test::NetworkOf(in);
                if (!elements || !SolveNetwork(*elements).Converged)
                    continue;
                const test::Elements e = test::ElementsOf(in);
                for (const ThermalMode mode : { ThermalMode::Isothermal, ThermalMode::Heated }) {
                    const MeltNetworkSolution s =
                        SolveMeltNetwork(in, e.Geo, e.Laws, CrossLike(in), At(200, mode));
                    EXPECT_TRUE(s.Network.Converged) << s.Network.Failure;
                    EXPECT_NEAR(OutletSum(s, e.Geo.TransferIncrements), in.FlowRatePerChannel,
                        1e-10 * in.FlowRatePerChannel);
                }
                ++solved;
            }
        EXPECT_GT(solved, 12);
    }

    TEST(MeltNetwork, NonsenseEndsInWordsWithoutThrowing)
    {
        const Inputs in = test::DesignFromTexts();
        const test::Elements e = test::ElementsOf(in);
        Melt melt = CrossWlfMelt();
        melt.D1 = -5;
        MeltNetworkSolution s = SolveMeltNetwork(in, e.Geo, e.Laws, melt, At(230));
        EXPECT_FALSE(s.Network.Converged);
        EXPECT_NE(s.Network.Failure.find("D1"), std::string::npos) << s.Network.Failure;

        s = SolveMeltNetwork(in, e.Geo, e.Laws, CrossWlfMelt(), At(std::nan("")));
        EXPECT_FALSE(s.Network.Converged);
        EXPECT_FALSE(s.Network.Failure.empty());

        MeltConditions c = At(230, ThermalMode::Heated);
        c.HeatTransferCoefficient = -1;
        s = SolveMeltNetwork(in, e.Geo, e.Laws, CrossWlfMelt(), c);
        EXPECT_NE(s.Network.Failure.find("heat-transfer"), std::string::npos);
        // A wall below the law's own limit.
        c.HeatTransferCoefficient = 100;
        c.WallTemperature = 90;
        s = SolveMeltNetwork(in, e.Geo, e.Laws, CrossWlfMelt(), c);
        EXPECT_NE(s.Network.Failure.find("wall temperature"), std::string::npos);

        Inputs broken = in;
        broken.FlowRatePerChannel = -1;
        s = SolveMeltNetwork(broken, e.Geo, e.Laws, CrossWlfMelt(), At(230));
        EXPECT_FALSE(s.Network.Converged);
        EXPECT_NE(s.Network.Failure.find("flow rate"), std::string::npos);
    }

} // namespace
} // namespace karrow
