// Properties of the solver over many generated die geometries within realistic ranges of every
// input, checked at every step of the outer iteration:
//  - every relaxed flow-balance step leaves every increment in mass balance (to rounding);
//  - the channel flow never rises along the transfer increments, and along the whole effective
//    part until a pressure correction has run (that iteration rebuilds the outlet channel flows
//    by mass balance and does not cap them against the flow before, so a rise there is the
//    method's own behaviour);
//  - the channel pressure falls strictly from increment to increment in every profile;
//  - the outlet slit flows of a finished run carry the flow rate, to rounding, unless the clamp
//    raised some of them (then by at most what it added).
// The outer iteration is driven here step by step exactly as the run driver drives it; a sample
// of the geometries also goes through the driver itself to show that both end alike.

#include "design_generator.h"
#include "report/result_file.h"
#include "run/model_limits.h"
#include "run/run_driver.h"
#include "solver/extended.h"
#include "solver/fault.h"
#include "solver/flow_balance.h"
#include "solver/flow_relations.h"
#include "solver/geometry.h"
#include "solver/initial_distribution.h"
#include "solver/pressure_correction.h"
#include "solver/pressure_profile.h"
#include "solver/solution.h"
#include "test_support.h"

#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <random>
#include <sstream>

namespace karrow {
namespace {

    constexpr int GeometriesPerChannelCount = 120;
    constexpr int DriverSampleEvery = 15;
    // A geometry still iterating after this many flow-balance steps is followed no further: its
    // steps so far were checked, and the run would most likely end without convergence.
    constexpr int FollowedSteps = 2000;
    // Rounding allowance of a balance, relative to the flow rate: a few units in the last place
    // of a double, summed over the increments of the longest spiral drawn here.
    constexpr double BalanceAllowance = 1e-13;

    // The inputs as field texts, with enough digits that the driver reads back the same doubles.
    std::string Text(double value)
    {
        std::array<char, 48> text {};
        std::snprintf(text.data(), text.size(), "%.25g", value);
        return text.data();
    }

    std::string Describe(const Inputs& st)
    {
        std::ostringstream text;
        text << "channels " << st.NumberOfChannels << ", spiral " << Text(st.SpiralHeight)
             << ", lip " << Text(st.LipHeight) << ", radius " << Text(st.DieRadius) << ", flow "
             << Text(st.FlowRatePerChannel) << ", n " << Text(st.PowerLawIndex) << ", viscosity "
             << Text(st.StandardViscosity) << ", shear rate " << Text(st.StandardShearRate)
             << ", slits " << Text(st.InletSlitHeight) << "/" << Text(st.OutletSlitHeight)
             << ", depths " << Text(st.InletChannelDepth) << "/" << Text(st.OutletChannelDepth)
             << ", width " << Text(st.ChannelWidth) << ", increments " << st.TotalIncrements;
        return text.str();
    }

    // One design on its way through the outer iteration.
    struct DesignRun {
        Inputs In;
        Geometry Geo;
        FlowSolution Flow;
        const Flows& F() const { return Flow.Distribution; }
    };

    // Channel flow leaving increment i, with the flow rate entering increment 1 and nothing
    // leaving the last one.
    X ChannelFlowAround(const DesignRun& st, int i)
    {
        if (i == 0)
            return st.In.FlowRatePerChannel;
        return i == st.Geo.EffectiveIncrements ? 0 : st.F().ChannelFlow(i);
    }

    // The first increment that does not balance, or 0.
    int FirstUnbalanced(const DesignRun& st)
    {
        const int m = st.Geo.PitchIncrements;
        for (int i = 1; i <= st.Geo.EffectiveIncrements; ++i) {
            const X inflow = ChannelFlowAround(st, i - 1) + (i > m ? X(st.F().SlitFlow(i - m)) : 0);
            const X outflow = ChannelFlowAround(st, i) + st.F().SlitFlow(i);
            if (!(std::fabs(inflow - outflow) <= BalanceAllowance * st.In.FlowRatePerChannel))
                return i;
        }
        return 0;
    }

    // The first increment in 2..last whose channel flow is above the one before, or 0.
    int FirstRise(const DesignRun& st, int last)
    {
        for (int i = 2; i <= last; ++i)
            if (!(st.F().ChannelFlow(i) <= st.F().ChannelFlow(i - 1)))
                return i;
        return 0;
    }

    // The first increment whose channel pressure is not below the one before, or 0.
    int FirstPressureNotFalling(const DesignRun& st)
    {
        const IncrementArray& p = st.Flow.Profile.ChannelPressure;
        for (int i = 2; i <= st.Geo.EffectiveIncrements; ++i)
            if (!(p[i] < p[i - 1]))
                return i;
        return 0;
    }

    bool AnyOutletFlowBelowMinimum(const DesignRun& st)
    {
        for (int i = st.Geo.FirstOutletIncrement(); i <= st.Geo.EffectiveIncrements; ++i)
            if (st.F().SlitFlow(i) < st.Geo.MinimumFlow)
                return true;
        return false;
    }

    enum class Outcome { Rejected, Faulted, NotConverged, Slow, Finished };

    struct Tally {
        int Drawn = 0;
        int Rejected = 0;
        int Faulted = 0;
        int NotConverged = 0;
        int Slow = 0;
        int Finished = 0;
        int Clamped = 0;
        long long RelaxedSteps = 0;
        int ComparedWithDriver = 0;
    };

    // One geometry through the outer iteration, checking the properties after every step.
    // Returns how it ended; a broken property is reported through ADD_FAILURE.
    Outcome SolveAndCheck(DesignRun& st, Tally& tally)
    {
        PrepareFloatingPoint();
        if (CheckModelLimits(st.In))
            return Outcome::Rejected;
        const std::string where = Describe(st.In);
        bool clamped = false; // an outlet slit flow was raised by the clamp
        try {
            st.Geo = ComputeGeometry(st.In);
            const Geometry& g = st.Geo;
            st.Flow = InitialFlowSolution(st.In, g);
            FlowSolution& s = st.Flow;
            FlowBalancer balancer(g);
            OutletCorrector corrector(g);
            const int k = g.TransferIncrements;
            const int last = g.EffectiveIncrements;
            int corrections = 0;
            BalanceOutcome outcome = BalanceOutcome::Relaxed;
            for (int step = 1;; ++step) {
                if (step > FollowedSteps)
                    return Outcome::Slow;
                clamped = clamped || AnyOutletFlowBelowMinimum(st);
                outcome = balancer.Step(st.In, g, s.Laws, s.Distribution, s.Profile, step - 1);
                if (const int i = FirstPressureNotFalling(st)) {
                    ADD_FAILURE() << "step " << step << ": pressure does not fall at increment "
                                  << i << "; " << where;
                    return Outcome::Faulted;
                }
                if (outcome == BalanceOutcome::Relaxed || outcome == BalanceOutcome::StepLimit) {
                    ++tally.RelaxedSteps;
                    if (const int i = FirstUnbalanced(st)) {
                        ADD_FAILURE() << "relaxed step " << step << ": increment " << i
                                      << " out of balance; " << where;
                        return Outcome::Faulted;
                    }
                }
                if (const int i = FirstRise(st, corrections == 0 ? last - 1 : k)) {
                    ADD_FAILURE() << "step " << step << ": channel flow rises at increment " << i
                                  << " after " << corrections << " corrections; " << where;
                    return Outcome::Faulted;
                }
                if (outcome == BalanceOutcome::CorrectionDue) {
                    corrector.Correct(st.In, g, s.Laws, s.Distribution);
                    ++corrections;
                    if (const int i = FirstRise(st, k)) {
                        ADD_FAILURE() << "correction " << corrections << ": channel flow rises at "
                                      << "transfer increment " << i << "; " << where;
                        return Outcome::Faulted;
                    }
                }
                if (outcome == BalanceOutcome::Settled || corrections >= CorrectionRunLimit
                    || outcome == BalanceOutcome::StepLimit)
                    break;
            }
            if (outcome == BalanceOutcome::StepLimit)
                return Outcome::NotConverged;
            if (corrections >= 1) {
                clamped = clamped || AnyOutletFlowBelowMinimum(st);
                PressureProfiler(g).Compute(st.In, g, s.Laws, s.Distribution, s.Profile, true);
                if (const int i = FirstPressureNotFalling(st))
                    ADD_FAILURE() << "final pressure does not fall at increment " << i << "; "
                                  << where;
            }
        } catch (const ArithmeticFault&) {
            return Outcome::Faulted;
        }

        // The outlet slit flows carry the flow rate. The clamp of the pressure profile raises
        // an outlet slit flow below q_min (a negative one by more than q_min), which the method
        // does not take back out of the other flows: after it, the sum can only be larger.
        const X surplus = test::OutletSlitFlowSum(st.Geo, st.F()) - st.In.FlowRatePerChannel;
        const X allowance = BalanceAllowance * st.In.FlowRatePerChannel;
        tally.Clamped += clamped ? 1 : 0;
        if (clamped)
            EXPECT_GE(surplus, -allowance) << "outlet slit flows lost flow; " << where;
        else
            EXPECT_LE(std::fabs(surplus), allowance)
                << "outlet slit flows do not add up to the flow rate; " << where;
        return Outcome::Finished;
    }

    RunEnd DriverEnd(const Inputs& inputs, std::string& report, bool& faulted)
    {
        const test::ScratchFolder folder;
        test::RecordingInterface ui;
        ui.Set(Field::NumberOfChannels, std::to_string(inputs.NumberOfChannels))
            .Set(Field::SpiralHeight, Text(inputs.SpiralHeight))
            .Set(Field::LipHeight, Text(inputs.LipHeight))
            .Set(Field::DieRadius, Text(inputs.DieRadius))
            .Set(Field::FlowRatePerChannel, Text(inputs.FlowRatePerChannel))
            .Set(Field::PowerLawIndex, Text(inputs.PowerLawIndex))
            .Set(Field::StandardViscosity, Text(inputs.StandardViscosity))
            .Set(Field::StandardShearRate, Text(inputs.StandardShearRate))
            .Set(Field::InletSlitHeight, Text(inputs.InletSlitHeight))
            .Set(Field::OutletSlitHeight, Text(inputs.OutletSlitHeight))
            .Set(Field::InletChannelDepth, Text(inputs.InletChannelDepth))
            .Set(Field::OutletChannelDepth, Text(inputs.OutletChannelDepth))
            .Set(Field::ChannelWidth, Text(inputs.ChannelWidth))
            .Set(Field::TotalIncrements, std::to_string(inputs.TotalIncrements));
        faulted = false;
        RunEnd end = RunEnd::InputsRejected;
        try {
            end = RunCalculation(ui, '.').End;
        } catch (const ArithmeticFault&) {
            faulted = true;
        }
        report = test::ReadFile(folder.Path() / "result.txt");
        return end;
    }

    // The driver, given the same inputs as texts, ends the same way and prints the same table.
    void CompareWithDriver(const Inputs& inputs, const DesignRun& solved, Outcome outcome)
    {
        std::string report;
        bool faulted = false;
        const RunEnd end = DriverEnd(inputs, report, faulted);
        const std::string where = Describe(inputs);
        switch (outcome) {
        case Outcome::Rejected:
            EXPECT_EQ(end, RunEnd::InputsRejected) << where;
            break;
        case Outcome::Faulted:
            EXPECT_TRUE(faulted) << where;
            break;
        case Outcome::NotConverged:
            EXPECT_EQ(end, RunEnd::NotConverged) << where;
            break;
        case Outcome::Slow:
            break;
        case Outcome::Finished:
            ASSERT_EQ(end, RunEnd::Finished) << where;
            const std::string table =
                FlowTableText(Solution { solved.In, solved.Geo, solved.Flow }, '.');
            ASSERT_GE(report.size(), table.size()) << where;
            EXPECT_EQ(report.substr(report.size() - table.size()), table) << where;
            break;
        }
    }

    class GeneratedGeometries : public testing::TestWithParam<int> { };

    TEST_P(GeneratedGeometries, KeepBalanceMonotonyAndFallingPressure)
    {
        const int channels = GetParam();
        std::mt19937_64 random(0x6b617272u + static_cast<unsigned>(channels));
        Tally tally;
        for (; tally.Drawn < GeometriesPerChannelCount; ++tally.Drawn) {
            const Inputs inputs = test::DrawDesign(random, channels);
            DesignRun st { inputs, {}, {} };
            const Outcome outcome = SolveAndCheck(st, tally);
            tally.Rejected += outcome == Outcome::Rejected ? 1 : 0;
            tally.Faulted += outcome == Outcome::Faulted ? 1 : 0;
            tally.NotConverged += outcome == Outcome::NotConverged ? 1 : 0;
            tally.Slow += outcome == Outcome::Slow ? 1 : 0;
            tally.Finished += outcome == Outcome::Finished ? 1 : 0;
            if (HasFailure())
                break;
            if (tally.Drawn % DriverSampleEvery == 0 && outcome != Outcome::Slow) {
                CompareWithDriver(inputs, st, outcome);
                ++tally.ComparedWithDriver;
            }
        }
        RecordProperty("finished", tally.Finished);
        std::printf("%d channels: %d geometries, %d finished (%d with clamped outlet flows), %d "
                    "rejected by the model limits, %d faulted, %d not converged, %d followed "
                    "for %d steps only; %lld relaxed steps; %d compared with the driver\n",
            channels, tally.Drawn, tally.Finished, tally.Clamped, tally.Rejected, tally.Faulted,
            tally.NotConverged, tally.Slow, FollowedSteps, tally.RelaxedSteps,
            tally.ComparedWithDriver);
        // The properties only mean something if most drawn geometries reach the iteration and a
        // good share of them a finished run.
        EXPECT_LT(tally.Rejected + tally.Faulted + tally.NotConverged, tally.Drawn / 2);
        EXPECT_GE(tally.Finished, tally.Drawn / 4);
    }

    INSTANTIATE_TEST_SUITE_P(Channels, GeneratedGeometries, testing::Range(2, 7),
        [](const testing::TestParamInfo<int>& row) {
            return std::to_string(row.param) + "Channels";
        });

} // namespace
} // namespace karrow
