// Design figures against cases worked by hand: a slit of constant height against the analytic
// pressure drop, a symmetric outlet distribution, the default case's outlet flows and pressures
// against its report, and the temperature rise of a known head pressure.

#include "report/figures.h"
#include "run/assessment.h"
#include "run/run_driver.h"
#include "test_support.h"

#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>

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
        ui.Set(9, "0.1").Set(10, "0.1").Set(12, "0.1").Set(14, "30");
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
        EXPECT_GT(f.Shear.Slit.Rate, f.Shear.Channel.Rate) << "the lands shear hardest";
    }

    TEST(OutletDistribution, OfASymmetricDistribution)
    {
        Solution s;
        s.In.FlowRatePerChannel = 4;
        s.Geo.PitchIncrements = 4;
        s.Geo.TransferIncrements = 2;
        s.Flow.Distribution = Flows(6);
        const double outlet[] = { 0.9, 1.1, 1.0, 1.0 };
        for (int k = 0; k < 4; ++k)
            s.Flow.Distribution.SlitFlow(3 + k) = outlet[k];
        const OutletDistribution d = OutletDistributionOf(s);
        EXPECT_DOUBLE_EQ(d.Mean, 1.0);
        EXPECT_NEAR(d.SpreadPercent, 20, 1e-12);
        EXPECT_NEAR(d.MaxDeviationPercent, 10, 1e-12);
        EXPECT_NEAR(d.CvPercent, 100 * std::sqrt(0.02 / 4), 1e-12);
        ASSERT_EQ(d.Flows.size(), 4U);
        EXPECT_EQ(d.Flows[0].Increment, 3);
        EXPECT_DOUBLE_EQ(d.Flows[3].AngleDegrees, 52.5);
        EXPECT_DOUBLE_EQ(d.Flows[1].Relative, 1.1);
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
            test::ReadFile(std::filesystem::path(KARROW_TEST_DATA) / "default_report.txt");
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
        EXPECT_GT(f.Residence.MeanTime, 0);
        EXPECT_EQ(f.Residence.LargestAt, 34) << "time along the channel adds up to the end";
    }

    TEST(SettlingCheck, FindsTheDefaultCaseSettled)
    {
        const SettlingCheck check = CheckSettling(Solved());
        EXPECT_TRUE(check.Settled) << check.Note;
        EXPECT_EQ(check.OutletDifferencePercent, 0);
    }

} // namespace
} // namespace karrow
