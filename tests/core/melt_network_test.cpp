// The exact network with a real melt:
//  - a power-law melt through the general laws gives the power-law network's answer;
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
#include "test_melts.h"
#include "report/figures.h"
#include "run/melt_run.h"
#include "solver/fault.h"
#include "solver/melt_network.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <numeric>
#include <random>
#include <variant>

namespace karrow {
namespace {

    using test::CrossWlfMelt;

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

    TEST(MeltNetwork, PowerLawMeltGivesThePowerLawNetwork)
    {
        // The second design's gaps narrow towards the outlet: its lands and outlet paths shear
        // hardest at their far ends, not at the channel edge.
        const std::vector<std::pair<Field, std::string>> narrowing { { Field::InletSlitHeight,
                                                                         "0.25" },
            { Field::OutletSlitHeight, "0.1" } };
        for (const auto& [n, changes] : { std::pair { 0.35, narrowing }, { 0.69, {} },
                 { 1.0, narrowing }, { 0.5, {} } }) {
            Inputs in = test::DesignFromTexts(changes);
            in.PowerLawIndex = n;
            const test::Elements e = test::ElementsOf(in);
            const NetworkSolution powerLaw = SolveNetwork(NetworkElementsOf(in, e.Geo, e.Laws));
            Melt melt = PowerLawMeltOf(in);
            melt.Density = 800;
            melt.HeatCapacity = 2000;
            const MeltNetworkSolution s = SolveMeltNetwork(in, e.Geo, e.Laws, melt, At(200));
            ASSERT_TRUE(powerLaw.Converged);
            ASSERT_TRUE(s.Network.Converged) << s.Network.Failure;
            EXPECT_NEAR(
                s.Network.InletPressure, powerLaw.InletPressure, 1e-9 * powerLaw.InletPressure);
            for (std::size_t j = 0; j < powerLaw.SlitFlow.size(); ++j) {
                EXPECT_NEAR(
                    s.Network.SlitFlow[j], powerLaw.SlitFlow[j], 1e-9 * in.FlowRatePerChannel);
                EXPECT_NEAR(
                    s.Network.Pressure[j], powerLaw.Pressure[j], 1e-9 * powerLaw.InletPressure);
            }
            // Each slit's wall shear where the power-law figures take it, at its narrowest: a
            // land at the narrower end, an outlet path at its lip.
            const SlitPaths& p = e.Laws.Paths;
            const double width = e.Geo.IncrementLength * std::cos(e.Geo.HelixAngle);
            for (int i = 1; i <= e.Geo.EffectiveIncrements; ++i) {
                double height = std::min(p.StartHeight[i], p.EndHeight[i]);
                if (i > e.Geo.TransferIncrements)
                    height = std::min(height, in.OutletSlitHeight);
                const auto j = static_cast<std::size_t>(i - 1);
                const double rate =
                    SlitWallShear(in, s.Network.SlitFlow[j] / width, height).Rate;
                EXPECT_NEAR(s.SlitWallShearRate[j], rate, 1e-9 * rate) << "increment " << i;
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
        const double rise =
            s.Network.InletPressure * PascalPerGramForce / (melt.Density * melt.HeatCapacity);
        EXPECT_GT(rise, 0.5);
        EXPECT_NEAR(s.MeanOutletTemperature - 220, rise, 1e-9 * rise + 1e-9);
        // The melt warms along the channel, and warmer melt lowers the head pressure.
        EXPECT_GT(s.NodeTemperature.back(), s.NodeTemperature.front());
        EXPECT_LT(s.Network.InletPressure, isothermal.Network.InletPressure);
        // Adiabatic, T + p / (rho c) is kept along every path and by mixing: every outlet leaves
        // at the same temperature.
        EXPECT_LT(s.OutletTemperatureSpread, 1e-9);
    }

    // The mean gauge pressure (Pa) of channel increment j + 1 of a solution: between its nodes,
    // the first half increment between the head and node 1.
    double ChannelMeanPressure(const MeltNetworkSolution& s, std::size_t j)
    {
        const auto& p = s.Network.Pressure;
        return (j == 0 ? s.Network.InletPressure + p[0] : p[j - 1] + p[j]) / 2 * PascalPerGramForce;
    }

    // Cross-WLF's T* = D2 + D3 p: the pressure thickens the melt, most near the head, so the head
    // pressure rises with D3; the outer steps settle, and at the answer every channel's wall
    // values lie on the flow curve at the melt's temperature less D3 times that channel's own
    // pressure. A vanishing D3 runs the outer step and changes nothing.
    TEST(MeltNetwork, PressureTermThickensTheMeltWhereThePressureIs)
    {
        const Inputs in = test::DesignFromTexts();
        const test::Elements e = test::ElementsOf(in);
        Melt melt = CrossWlfMelt();
        const MeltNetworkSolution plain = SolveMeltNetwork(in, e.Geo, e.Laws, melt, At(230));
        ASSERT_TRUE(plain.Network.Converged) << plain.Network.Failure;
        EXPECT_EQ(plain.ThermalIterations, 1);

        melt.D3 = 1e-300;
        const MeltNetworkSolution vanishing = SolveMeltNetwork(in, e.Geo, e.Laws, melt, At(230));
        ASSERT_TRUE(vanishing.Network.Converged) << vanishing.Network.Failure;
        EXPECT_EQ(vanishing.Network.InletPressure, plain.Network.InletPressure);
        EXPECT_EQ(vanishing.Network.SlitFlow, plain.Network.SlitFlow);

        double previous = plain.Network.InletPressure;
        for (const double d3 : { 2e-8, 1e-7, 4e-7 }) {
            melt.D3 = d3;
            const MeltNetworkSolution s = SolveMeltNetwork(in, e.Geo, e.Laws, melt, At(230));
            ASSERT_TRUE(s.Network.Converged) << d3 << ": " << s.Network.Failure;
            EXPECT_GT(s.ThermalIterations, 1);
            EXPECT_LE(s.ThermalResidual, ThermalTolerance);
            EXPECT_GT(s.Network.InletPressure, previous) << d3;
            previous = s.Network.InletPressure;
            EXPECT_NEAR(OutletSum(s, e.Geo.TransferIncrements), in.FlowRatePerChannel,
                1e-10 * in.FlowRatePerChannel);
            for (std::size_t j = 0; j < s.ChannelWallStress.size(); ++j) {
                const double rate = s.ChannelWallShearRate[j];
                const double seen = 230 - d3 * ChannelMeanPressure(s, j);
                EXPECT_NEAR(Viscosity(melt, rate, seen) * rate, s.ChannelWallStress[j],
                    1e-6 * s.ChannelWallStress[j])
                    << d3 << ", increment " << j + 1;
            }
            // Isothermal still: the pressure moves the law, not the melt's temperature.
            for (const double t : s.OutletTemperature)
                EXPECT_EQ(t, 230);
        }

        // Heated, the pressure term adds to the heating's outer steps and still thickens.
        melt.D3 = 0;
        const MeltNetworkSolution heated =
            SolveMeltNetwork(in, e.Geo, e.Laws, melt, At(230, ThermalMode::Heated));
        melt.D3 = 1e-7;
        const MeltNetworkSolution both =
            SolveMeltNetwork(in, e.Geo, e.Laws, melt, At(230, ThermalMode::Heated));
        ASSERT_TRUE(heated.Network.Converged && both.Network.Converged) << both.Network.Failure;
        EXPECT_GT(both.Network.InletPressure, heated.Network.InletPressure);
        EXPECT_GT(both.MeanOutletTemperature, heated.MeanOutletTemperature);
    }

    // A pressure term so strong that the head's pressure lifts T* above the melt: the law does
    // not hold there, and the run says so in words instead of diverging or throwing.
    TEST(MeltNetwork, PressureTermBeyondTheLawEndsInWords)
    {
        const Inputs in = test::DesignFromTexts();
        const test::Elements e = test::ElementsOf(in);
        Melt melt = CrossWlfMelt();
        melt.D3 = 1e-4;
        MeltNetworkSolution s;
        EXPECT_NO_THROW(s = SolveMeltNetwork(in, e.Geo, e.Laws, melt, At(230)));
        EXPECT_FALSE(s.Network.Converged);
        EXPECT_NE(s.Network.Failure.find("D3 p"), std::string::npos) << s.Network.Failure;
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
        // The wall makes the outlets differ: the streams spent different times against it.
        EXPECT_GT(cooled.OutletTemperatureSpread, 0.01);
        const auto [low, high] =
            std::minmax_element(cooled.OutletTemperature.begin(), cooled.OutletTemperature.end());
        EXPECT_DOUBLE_EQ(*high - *low, cooled.OutletTemperatureSpread);
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

    TEST(MeltRun, DocumentCarriesTheMeltConditionsAndTemperatures)
    {
        const Inputs in = test::DesignFromTexts();
        MeltConditions c = At(225, ThermalMode::Heated);
        c.WallTemperature = 230;
        c.HeatTransferCoefficient = 300;
        const MeltRun run = SolveMeltRun(in, CrossWlfMelt(), c);
        ASSERT_TRUE(run.Solved) << run.Failure;
        const nlohmann::json j = nlohmann::json::parse(MeltRunJson(CrossWlfMelt(), c, run));
        EXPECT_EQ(j["melt"]["model"], "cross-wlf");
        EXPECT_EQ(j["melt"]["constants"]["D1"], 2e12);
        EXPECT_EQ(j["melt"]["units"]["D2"], "C");
        EXPECT_EQ(j["conditions"]["thermal"], "heated");
        EXPECT_EQ(j["conditions"]["wall_temperature_C"], 230);
        EXPECT_TRUE(j["network"]["converged"].get<bool>());
        EXPECT_GT(j["network"]["thermal_steps"].get<int>(), 1);
        const auto& outlets = j["temperatures"]["outlets_C"];
        ASSERT_EQ(outlets.size(), j["network"]["outlet_flows_cm3_s"].size());
        EXPECT_EQ(outlets.size(), run.Answer.OutletTemperature.size());
        EXPECT_DOUBLE_EQ(
            j["temperatures"]["outlet_spread_K"].get<double>(), run.Answer.OutletTemperatureSpread);

        // A grid the design has no network at: refused in words, no answer.
        const MeltRun refused = SolveMeltRun(in, CrossWlfMelt(), c, { 0, 7 });
        EXPECT_FALSE(refused.Solved);
        EXPECT_FALSE(refused.Failure.empty());
        const nlohmann::json none = nlohmann::json::parse(MeltRunJson(CrossWlfMelt(), c, refused));
        EXPECT_FALSE(none["network"]["converged"].get<bool>());
        EXPECT_FALSE(none.contains("temperatures"));
    }

    TEST(MeltRun, ThroughputBecomesTheFlowRatePerChannel)
    {
        // 100 kg/h of a melt of 800 kg/m3 over 4 channels: 0.125 m3/h / 4 = 8.68 cm3/sec each.
        EXPECT_NEAR(FlowRatePerChannelOf(100, 800, 4), 1e8 / 800 / 3600 / 4, 1e-12);
        EXPECT_EQ(FlowRatePerChannelOf(100, 0, 4), 0);
        EXPECT_EQ(FlowRatePerChannelOf(-1, 800, 4), 0);
        EXPECT_EQ(FlowRatePerChannelOf(100, 800, 0), 0);
        EXPECT_EQ(FlowRatePerChannelOf(std::nan(""), 800, 4), 0);
    }

    TEST(MeltRun, SettingsBecomeConditionsOrAMessageNamingTheOption)
    {
        const Melt melt = CrossWlfMelt();
        const auto message = [&](const MeltRunSettings& o) {
            const auto result = MeltConditionsOf(o, melt);
            return std::holds_alternative<std::string>(result) ? std::get<std::string>(result)
                                                               : std::string();
        };
        MeltRunSettings o;
        EXPECT_FALSE(AnyMeltSetting(o));
        EXPECT_EQ(message(o).rfind("--melt-temperature", 0), 0u);
        o.MeltTemperature = 230;
        EXPECT_TRUE(AnyMeltSetting(o));
        ASSERT_TRUE(std::holds_alternative<MeltConditions>(MeltConditionsOf(o, melt)));
        EXPECT_EQ(
            std::get<MeltConditions>(MeltConditionsOf(o, melt)).Thermal, ThermalMode::Isothermal);
        o.MeltTemperature = 80; // below D2
        EXPECT_EQ(message(o).rfind("--melt-temperature", 0), 0u) << message(o);
        o.MeltTemperature = 230;
        o.WallTemperature = 240;
        EXPECT_NE(message(o).find("--thermal heated"), std::string::npos);
        o.Thermal = "heated";
        EXPECT_NE(message(o).find("go together"), std::string::npos);
        o.HeatTransferCoefficient = 200;
        const auto conditions = MeltConditionsOf(o, melt);
        ASSERT_TRUE(std::holds_alternative<MeltConditions>(conditions)) << message(o);
        EXPECT_EQ(std::get<MeltConditions>(conditions).WallTemperature, 240);
        EXPECT_EQ(std::get<MeltConditions>(conditions).HeatTransferCoefficient, 200);
        o.WallTemperature = 50;
        EXPECT_EQ(message(o).rfind("--wall-temperature", 0), 0u) << message(o);
        o.WallTemperature = 240;
        o.Throughput = 0;
        EXPECT_EQ(message(o).rfind("--throughput", 0), 0u);
        o.Throughput = 120;
        o.Thermal = "warm";
        EXPECT_EQ(message(o).rfind("--thermal", 0), 0u);
    }

} // namespace
} // namespace karrow
