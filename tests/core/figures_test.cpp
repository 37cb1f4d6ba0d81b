// Design figures against cases worked by hand: a slit of constant height against the analytic
// pressure drop, a symmetric outlet distribution, the default case's outlet flows and pressures
// against its report, and the temperature rise of a known head pressure.

#include "report/figures.h"
#include "run/assessment.h"
#include "run/run_driver.h"
#include "test_support.h"

#include <cmath>
#include <filesystem>
#include <algorithm>
#include <gtest/gtest.h>
#include <mutex>
#include <sstream>
#include <stdexcept>

namespace karrow {
namespace {

    Solution Solved(const test::RecordingInterface& ui = {})
    {
        PrepareFloatingPoint();
        return Calculate(test::InputsFrom(ui));
    }

    // Over a slit of height h and length L the wall stress balances the pressure drop:
    // tau = (h / 2) dP / L, whatever the melt. The land law gives dP for the flow; the figures give
    // tau from the flow through the power law. A constant slit needs no taper factor.
    TEST(WallShear, OfAConstantSlitBalancesTheAnalyticPressureDrop)
    {
        test::RecordingInterface ui;
        ui.Set(Field::InletSlitHeight, "0.1").Set(Field::OutletSlitHeight, "0.1").Set(Field::OutletChannelDepth, "0.1").Set(Field::TotalIncrements, "30");
        const test::Elements e = test::ElementsOf(test::InputsFrom(ui));
        const SlitPaths& p = e.Laws.Paths;
        const double width = e.Geo.IncrementLength * std::cos(e.Geo.HelixAngle);
        for (const double flow : { 0.01, 0.3, 2.0 }) {
            const int i = 1;
            ASSERT_EQ(p.StartHeight[i], p.EndHeight[i]);
            const double drop = std::pow(flow / e.Laws.SlitConductance[i], e.In.PowerLawIndex);
            const double h = p.StartHeight[i];
            EXPECT_NEAR(SlitWallShear(e.In, flow / width, h).Stress, h / 2 * drop / p.Length[i],
                1e-12 * drop)
                << "flow " << flow;
        }
    }

    // The channel element is a slit of the smaller side's height carrying its flow over the shape
    // factor, so its wall stress balances its own drop in the solved profile too.
    TEST(WallShear, OfTheChannelBalancesItsDropInTheDefaultSolution)
    {
        const Solution s = Solved();
        const DesignFigures f = ComputeFigures(s);
        for (int i = 2; i <= s.Geo.EffectiveIncrements; ++i) {
            const double h =
                std::min(s.Geo.EquivalentChannelDepth[i], s.Geo.ChannelOpeningWidth[i]);
            const double balance = h / 2 * s.Flow.Profile.ChannelDrop[i] / s.Geo.IncrementLength;
            EXPECT_NEAR(f.Increments[static_cast<std::size_t>(i - 1)].Channel.Stress, balance,
                1e-9 * balance)
                << "increment " << i;
        }
        EXPECT_GT(f.Shear.Land.Rate, f.Shear.Channel.Rate) << "the lands shear hardest";
        EXPECT_GT(f.Shear.LandIncrement, 0);
        EXPECT_LE(f.Shear.LandIncrement, s.Geo.TransferIncrements);
        EXPECT_GT(f.Shear.OutletPathIncrement, s.Geo.TransferIncrements);
    }

    // A land that narrows along its flow shears hardest at its far end.
    TEST(WallShear, OfANarrowingLandIsTakenAtItsNarrowerEnd)
    {
        test::RecordingInterface ui;
        ui.Set(Field::InletSlitHeight, "0.3");
        const Solution s = Solved(ui);
        const DesignFigures f = ComputeFigures(s);
        const SlitPaths& p = s.Flow.Laws.Paths;
        const double across = s.Geo.IncrementLength * std::cos(s.Geo.HelixAngle);
        for (int i = 1; i <= s.Geo.TransferIncrements; ++i) {
            ASSERT_LT(p.EndHeight[i], p.StartHeight[i]) << "increment " << i;
            const double far =
                SlitWallShear(s.In, s.Flow.Distribution.SlitFlow(i) / across, p.EndHeight[i]).Rate;
            EXPECT_DOUBLE_EQ(f.Increments[static_cast<std::size_t>(i - 1)].Slit.Rate, far)
                << "increment " << i;
        }
    }

    // The figures of the spread in relative terms: the same at any scale of the flows, finite at
    // the ends of double's range.
    TEST(OutletDistribution, OfASymmetricDistributionAtAnyScale)
    {
        for (const double scale : { 1.0, 1e300, 1e-300 }) {
            Solution s;
            s.In.FlowRatePerChannel = 4 * scale;
            s.Geo.PitchIncrements = 4;
            s.Geo.TransferIncrements = 2;
            s.Flow.Distribution = Flows(6);
            const double outlet[] = { 0.9, 1.1, 1.0, 1.0 };
            for (int k = 0; k < 4; ++k)
                s.Flow.Distribution.SlitFlow(3 + k) = outlet[k] * scale;
            const OutletDistribution d = OutletDistributionOf(s);
            EXPECT_DOUBLE_EQ(d.Mean, scale);
            EXPECT_TRUE(d.Resolved);
            EXPECT_NEAR(d.SpreadPercent, 20, 1e-12) << scale;
            EXPECT_NEAR(d.MaxDeviationPercent, 10, 1e-12) << scale;
            EXPECT_NEAR(d.CvPercent, 100 * std::sqrt(0.02 / 4), 1e-12) << scale;
            ASSERT_EQ(d.Flows.size(), 4U);
            EXPECT_EQ(d.Flows[0].Increment, 3);
            EXPECT_DOUBLE_EQ(d.Flows[3].AngleDegrees, 52.5);
            EXPECT_DOUBLE_EQ(d.Flows[1].Relative, 1.1);
        }
        // One outlet increment per channel has nothing to spread over.
        Solution one;
        one.In.FlowRatePerChannel = 2;
        one.Geo.PitchIncrements = 1;
        one.Geo.TransferIncrements = 1;
        one.Flow.Distribution = Flows(2);
        one.Flow.Distribution.SlitFlow(2) = 2;
        EXPECT_FALSE(OutletDistributionOf(one).Resolved);
    }

    TEST(HeadPressure, OfOneMegapascalHeatsTheDefaultMeltByItsRatio)
    {
        Solution s;
        s.Flow.Profile.InletPressure = 1e6 / 98.0665; // gf/cm2
        const HeadPressure head = HeadPressureOf(s);
        EXPECT_NEAR(head.MPa, 1.0, 1e-15);
        EXPECT_NEAR(head.Bar, 10.0, 1e-14);
        EXPECT_NEAR(TemperatureRiseOf(head, {}), 1e6 / (750.0 * 2300.0), 1e-15);
    }

    // The rows of the default report, as printed.
    std::vector<std::vector<double>> ReportRows()
    {
        const std::string report =
            test::GoldenReport();
        std::vector<std::vector<double>> rows;
        for (const std::string& line : test::CrLfLines(report)) {
            std::istringstream fields(line);
            std::string number;
            double slit = 0;
            double channel = 0;
            double pressure = 0;
            if (fields >> number >> slit >> channel >> pressure && std::isdigit(number[0]))
                rows.push_back({ slit, channel, pressure });
        }
        return rows;
    }

    TEST(DesignFigures, OfTheDefaultCaseAgreeWithItsReport)
    {
        const DesignFigures f = ComputeFigures(Solved());
        const auto rows = ReportRows();
        ASSERT_EQ(rows.size(), f.Increments.size());
        for (std::size_t k = 0; k < rows.size(); ++k) {
            EXPECT_NEAR(f.Increments[k].SlitFlow, rows[k][0], 0.5e-4) << "row " << k + 1;
            EXPECT_NEAR(f.Increments[k].ChannelFlow, rows[k][1], 0.5e-4) << "row " << k + 1;
            EXPECT_NEAR(f.Increments[k].PressureKgfCm2, rows[k][2], 0.5e-2) << "row " << k + 1;
        }
        ASSERT_EQ(f.Outlet.Flows.size(), 6U);
        for (std::size_t k = 0; k < 6; ++k)
            EXPECT_NEAR(f.Outlet.Flows[k].Flow, rows[28 + k][0], 0.5e-4) << "outlet " << k + 1;
        EXPECT_GT(f.Head.KgfCm2, rows[0][2]) << "the head lies half an increment before row 1";
    }

    // The volume of the spiral section summed from the geometry and the slit paths: the channels
    // with their strip of slit, and the gaps over the lands and in the outlet paths (trapezoids
    // of their two end heights, as wide as an increment across the flow).
    double SpiralVolumeFromGeometry(const Solution& s)
    {
        const Geometry& g = s.Geo;
        const SlitPaths& p = s.Flow.Laws.Paths;
        const double across = g.IncrementLength * std::cos(g.HelixAngle);
        double channels = 0;
        double gaps = 0;
        for (int i = 1; i <= g.EffectiveIncrements; ++i) {
            channels += g.ChannelArea[i] * g.IncrementLength;
            gaps += p.Length[i] * across * (p.StartHeight[i] + p.EndHeight[i]) / 2;
        }
        return s.In.NumberOfChannels * (channels + gaps);
    }

    Solution ExactSolution(const Inputs& in)
    {
        const ExactAnswer exact = SolveExactly(in, {});
        if (!exact.AsSolution)
            throw std::runtime_error("the network did not converge: " + exact.Network.Failure);
        return *exact.AsSolution;
    }

    // On the classic grid the exact network takes the classic run's geometry and element laws
    // instead of computing them; its answer must be the one it computes alone, bit for bit. Off
    // that grid (5 channels, or another resolution asked for) the classic Solution must not be
    // taken: its geometry is another grid's.
    TEST(ExactAnswer, GivenTheClassicSolutionIsTheOneComputedAlone)
    {
        struct Design {
            const char* Channels;
            const char* ChannelWidth;
            int PerPitch;
        };
        const Design designs[] = { { "3", "1.2", 0 }, { "4", "1.2", 0 }, { "5", "0.96", 0 },
            { "6", "0.8", 0 }, { "4", "1.2", 2 }, { "4", "1.2", 12 } };
        for (const auto& [channels, width, perPitch] : designs) {
            test::RecordingInterface ui;
            ui.Set(Field::NumberOfChannels, channels).Set(Field::ChannelWidth, width);
            const Solution classic = Solved(ui);
            const NetworkOptions options { perPitch };
            const ExactAnswer alone = SolveExactly(classic.In, {}, options);
            const ExactAnswer given = SolveExactly(classic.In, {}, options, &classic);
            const std::string design = std::string(channels) + " channels, "
                + std::to_string(alone.IncrementsPerPitch) + " per pitch";
            ASSERT_TRUE(alone.Network.Converged) << design << ": " << alone.Network.Failure;
            EXPECT_EQ(given.Network.Iterations, alone.Network.Iterations) << design;
            EXPECT_EQ(given.Network.Pressure, alone.Network.Pressure) << design;
            EXPECT_EQ(given.Network.SlitFlow, alone.Network.SlitFlow) << design;
            EXPECT_EQ(given.Network.InletPressure, alone.Network.InletPressure) << design;
            ASSERT_TRUE(given.AsSolution) << design;
            EXPECT_EQ(given.AsSolution->Geo.EffectiveIncrements,
                alone.AsSolution->Geo.EffectiveIncrements)
                << design;
        }
    }

    // In steady flow through plugs the flow-weighted mean age of what leaves equals the volume
    // over the flow, so the ages and the volume check each other where the flows balance.
    TEST(Residence, VolumeAndOutletAgeAgreeWithTheGeometry)
    {
        test::RecordingInterface threeChannels;
        threeChannels.Set(Field::NumberOfChannels, "3").Set(Field::OutletSlitHeight, "0.1");
        for (const Inputs& in : { test::InputsFrom({}), test::InputsFrom(threeChannels) }) {
            const Solution s = ExactSolution(in);
            const DesignFigures f = ComputeFigures(s);
            const double volume = SpiralVolumeFromGeometry(s);
            EXPECT_NEAR(f.Residence.SpiralVolume, volume, 1e-12 * volume);
            const double mean = volume / (in.NumberOfChannels * in.FlowRatePerChannel);
            EXPECT_NEAR(f.Residence.MeanTime, mean, 1e-12 * mean);
            ASSERT_TRUE(f.Residence.AgesKnown);
            EXPECT_NEAR(f.Residence.OutletMeanAge, mean, 1e-9 * mean);
            EXPECT_GT(f.Residence.OldestOutletAge, f.Residence.OutletMeanAge);
            // Ages grow along every element the melt passes.
            EXPECT_GT(f.Increments[0].NodeMeanAge, 0);
            for (const IncrementFigures& row : f.Increments)
                EXPECT_GT(row.PathMeanAge, row.NodeMeanAge) << "increment " << row.Increment;
        }
    }

    // A land that carries nothing holds its melt for ever: its gap is stagnant, and the node it
    // would feed takes its age from the channel alone.
    TEST(Residence, StillGapCountsAsStagnant)
    {
        Solution s = ExactSolution(test::InputsFrom({}));
        const DesignFigures moving = ComputeFigures(s);
        EXPECT_EQ(moving.Residence.StagnantVolume, 0);
        const int land = 3;
        s.Flow.Distribution.SlitFlow(land) = 0;
        const DesignFigures still = ComputeFigures(s);
        EXPECT_NEAR(still.Residence.StagnantVolume, s.In.NumberOfChannels * GapVolume(s, land),
            1e-12 * still.Residence.SpiralVolume);
        EXPECT_TRUE(std::isnan(still.Increments[land - 1].PathMeanAge));
        const int fed = land + s.Geo.PitchIncrements;
        EXPECT_TRUE(std::isfinite(still.Increments[fed - 1].NodeMeanAge));
    }

    // The probe calculates neighbours by a stand-in that returns the run itself with the flow
    // rate moved, so that a test decides which neighbour differs and by how much.
    struct Probe {
        Solution Base = Solved();
        double Slit5 = Base.Flow.Distribution.SlitFlow(5);
        std::function<void(Solution&, int ulps)> Change = [](Solution&, int) { };
        std::vector<int> Asked;

        int UlpsOf(double flowRate) const
        {
            const double q = Base.In.FlowRatePerChannel;
            for (int k = -ProbeReachUlps; k <= ProbeReachUlps; ++k)
                if (FlowRateOffset(q, k) == flowRate)
                    return k;
            throw std::logic_error("a flow rate outside the probe");
        }

        RepeatabilityCheck Check()
        {
            std::mutex lock;
            return CheckRepeatability(Base, nullptr, 2, [&](const Inputs& in, double q) {
                Solution neighbour = Base;
                neighbour.In = in;
                neighbour.In.FlowRatePerChannel = q;
                const int ulps = UlpsOf(q);
                {
                    const std::lock_guard<std::mutex> hold(lock);
                    Asked.push_back(ulps);
                }
                Change(neighbour, ulps);
                return neighbour;
            });
        }
    };

    // The printed slit flow of increment 5 has four decimals: a value that straddles the boundary
    // between two printed values by `percent` of the mean outlet flow flips its last digit.
    void Straddle(Probe& probe, double percent, int side)
    {
        const double meanOutlet =
            probe.Base.In.FlowRatePerChannel / probe.Base.Geo.PitchIncrements;
        const double boundary = std::round(probe.Slit5 * 1e4) / 1e4 + 0.5e-4;
        const double step = percent / 100 * meanOutlet;
        probe.Base.Flow.Distribution.SlitFlow(5) = boundary - step / 2;
        probe.Change = [=](Solution& s, int ulps) {
            if (ulps == side)
                s.Flow.Distribution.SlitFlow(5) = boundary + step / 2;
        };
    }

    TEST(RepeatabilityCheck, FindsTheDefaultCaseRepeatableWithoutWidening)
    {
        const RepeatabilityCheck check = CheckRepeatability(Solved());
        EXPECT_TRUE(check.Repeatable) << check.Note;
        EXPECT_EQ(check.FlowChangePercentOfMeanOutlet, 0);
        EXPECT_EQ(check.ReachUlps, 1);
        EXPECT_EQ(check.Runs, 3);
        EXPECT_NEAR(check.HeadKgfCm2.Low, check.HeadKgfCm2.High, 1e-9 * check.HeadKgfCm2.High);
    }

    TEST(RepeatabilityCheck, LooksBothWays)
    {
        for (const int side : { -1, 1 }) {
            Probe probe;
            Straddle(probe, 1e-3, side);
            const RepeatabilityCheck check = probe.Check();
            EXPECT_FALSE(check.Repeatable) << "only the neighbour at " << side << " ulp differs";
            EXPECT_NEAR(check.FlowChangePercentOfMeanOutlet, 1e-3, 1e-6);
        }
    }

    // A flipped last digit counts only when the values differ by more than rounding.
    TEST(RepeatabilityCheck, TellsRoundingFromMovingFlows)
    {
        for (const auto& [percent, repeatable] :
            { std::pair { 10 * RoundingPercent, false }, std::pair { RoundingPercent / 10, true } }) {
            Probe probe;
            Straddle(probe, percent, 1);
            EXPECT_EQ(probe.Check().Repeatable, repeatable) << percent << " % of the mean outlet";
        }
        EXPECT_EQ(RoundingPercent, 1e-6);
    }

    // Where the nearest neighbours differ, the probe goes out to 64 ulp on both sides, and its
    // ranges cover the run and every neighbour that finished.
    TEST(RepeatabilityCheck, WidensToTheWholeProbeWhenTheNearestDiffer)
    {
        Probe probe;
        const double head = probe.Base.Flow.Profile.InletPressure;
        probe.Change = [head](Solution& s, int ulps) {
            s.Flow.Profile.InletPressure = head * (1 + 1e-3 * ulps);
            s.Flow.Distribution.SlitFlow(s.Geo.TransferIncrements + 1) += 0.01 * ulps;
            if (ulps == 32)
                s.Flow.Record.Stop = IterationStop::StepLimit;
        };
        const RepeatabilityCheck check = probe.Check();
        EXPECT_FALSE(check.Repeatable);
        EXPECT_EQ(check.ReachUlps, 64);
        std::sort(probe.Asked.begin(), probe.Asked.end());
        EXPECT_EQ(probe.Asked,
            (std::vector<int> { -64, -32, -16, -8, -4, -2, -1, 1, 2, 4, 8, 16, 32, 64 }));
        EXPECT_EQ(check.Runs, 14);
        EXPECT_EQ(check.RunsNotFinished, 1);
        EXPECT_NEAR(check.HeadKgfCm2.Low, head / 1000 * (1 - 0.064), 1e-9 * head);
        EXPECT_NEAR(check.HeadKgfCm2.High, head / 1000 * (1 + 0.064), 1e-9 * head);
        EXPECT_GT(check.OutletSpreadPercent.High, check.OutletSpreadPercent.Low);
    }

    // Checks started beside the run give what the run's own checks give.
    TEST(RepeatabilityCheck, StartedBesideTheRunAgreesWithOneAfterIt)
    {
        const Inputs in = test::InputsFrom({});
        StartedChecks started(in, SolverChoice::Both, {});
        RunOutcome outcome;
        outcome.End = RunEnd::Finished;
        outcome.In = in;
        outcome.Result = Solved();
        const Assessment beside = Assess(outcome, SolverChoice::Both, {}, {}, &started);
        const Assessment after = Assess(outcome, SolverChoice::Both, {});
        ASSERT_TRUE(beside.Repeatability && beside.Exact && beside.Exact->Figures);
        EXPECT_EQ(beside.Repeatability->Runs, after.Repeatability->Runs);
        EXPECT_EQ(beside.Repeatability->HeadKgfCm2.High, after.Repeatability->HeadKgfCm2.High);
        EXPECT_EQ(
            beside.Exact->Figures->Head.GfCm2, after.Exact->Figures->Head.GfCm2);
    }

} // namespace
} // namespace karrow
