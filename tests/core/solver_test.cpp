#include "run/input_reading.h"
#include "solver/clamp_flow.h"
#include "solver/flow_balance.h"
#include "solver/flow_relations.h"
#include "solver/flow_solution.h"
#include "solver/geometry.h"
#include "solver/initial_distribution.h"
#include "solver/pressure_correction.h"
#include "solver/pressure_profile.h"
#include "test_support.h"

#include <cmath>
#include <gtest/gtest.h>

namespace karrow {
namespace {

    struct ClampCase {
        const char* Name;
        double Value; // in units of the reference
        double Expected;
    };

    class ClampFlowTable : public testing::TestWithParam<ClampCase> { };

    TEST_P(ClampFlowTable, RaisesToTheNextRung)
    {
        // With a reference of 50 every rung times the reference is exact, in double and extended.
        const double reference = 50;
        const double value = GetParam().Value * reference;
        EXPECT_NEAR(ClampFlow(reference, GetParam().Value < 0 ? -1.0 : value),
            GetParam().Expected * reference, 1e-12);
    }

    INSTANTIATE_TEST_SUITE_P(Rungs, ClampFlowTable,
        testing::Values(ClampCase { "Negative", -1, 0.01 }, ClampCase { "Zero", 0, 0.01 },
            ClampCase { "OnFirstRung", 0.02, 0.02 },
            ClampCase { "JustAboveFirstRung", 0.021, 0.05 }, ClampCase { "Half", 0.5, 0.55 },
            ClampCase { "OnTopRung", 0.85, 0.85 }, ClampCase { "AboveTopRungUnchanged", 0.9, 0.9 }),
        [](const testing::TestParamInfo<ClampCase>& row) { return row.param.Name; });

    TEST(Power, FollowsItsCases)
    {
        EXPECT_EQ(Power(-3.0L, 0.0L), 1.0L);
        EXPECT_EQ(Power(0.0L, 1.45L), 0.0L);
        EXPECT_EQ(Power(-2.0L, 2.0L), 4.0L);
        EXPECT_EQ(Power(2.0L, -2.0L), 0.25L);
        EXPECT_EQ(Power(3.0L, 5.0L), 243.0L);
        EXPECT_NEAR(static_cast<double>(Power(2.0L, 0.5L)), std::sqrt(2.0), 1e-15);
    }

    // A design after its element laws and the initial distribution, and the working record the
    // outer iteration keeps for it.
    struct Stage {
        explicit Stage(const test::RecordingInterface& ui = {})
            : e(test::ElementsOf(test::InputsFrom(ui)))
            , flows(e.Geo.EffectiveIncrements)
            , profile(SizedPressureProfile(e.Geo))
            , balancer(e.Geo)
            , corrector(e.Geo)
        {
            DistributeTransferFlows(e.In, e.Geo, e.Laws, flows);
            DistributeOutletZoneFlows(e.In, e.Geo, e.Laws, flows);
        }
        BalanceOutcome Step(int stepsBefore = 0)
        {
            return balancer.Step(e.In, e.Geo, e.Laws, flows, profile, stepsBefore);
        }
        // Flow-balance steps until the first hand-over or convergence.
        BalanceOutcome BalanceUntilHandOver()
        {
            for (int step = 0; step < 20000; ++step)
                if (const BalanceOutcome outcome = Step(step); outcome != BalanceOutcome::Relaxed)
                    return outcome;
            return BalanceOutcome::Relaxed;
        }
        CorrectionRecord Correct() { return corrector.Correct(e.In, e.Geo, e.Laws, flows); }
        double OutletSum() const { return test::OutletSlitFlowSum(e.Geo, flows); }

        test::Elements e;
        Flows flows;
        PressureProfile profile;
        FlowBalancer balancer;
        OutletCorrector corrector;
    };

    TEST(InitialDistribution, OutletSlitFlowsCarryTheWholeFlowAndChannelFlowNeverRises)
    {
        const Stage st;
        EXPECT_NEAR(st.OutletSum(), 4.12, 1e-12);
        for (int i = 2; i <= st.e.Geo.EffectiveIncrements - 1; ++i)
            EXPECT_LE(st.flows.ChannelFlow(i), st.flows.ChannelFlow(i - 1)) << "increment " << i;
    }

    TEST(InitialDistribution, OneOutletIncrementSendsAllItReceivesOverItsLand)
    {
        test::RecordingInterface ui;
        ui.Set(Field::NumberOfChannels, "13").Set(Field::ChannelWidth, "0.3");
        const test::Elements e = test::ElementsOf(test::InputsFrom(ui));
        ASSERT_EQ(e.Geo.PitchIncrements, 1);
        Flows flows(e.Geo.EffectiveIncrements);
        DistributeTransferFlows(e.In, e.Geo, e.Laws, flows);
        const int k = e.Geo.TransferIncrements;
        const double expected = flows.ChannelFlow(k) + flows.SlitFlow(k);
        DistributeOutletZoneFlows(e.In, e.Geo, e.Laws, flows);
        EXPECT_EQ(flows.SlitFlow(e.Geo.EffectiveIncrements), expected);
    }

    // Mass balance of every increment: what arrives (channel flow from i - 1 and the land flow of
    // i - m) leaves as slit and channel flow; nothing leaves the last increment along the channel.
    void ExpectMassBalance(const Stage& st, double tolerance)
    {
        const int m = st.e.Geo.PitchIncrements;
        const int last = st.e.Geo.EffectiveIncrements;
        const Flows& f = st.flows;
        for (int i = 1; i <= last; ++i) {
            const double in = (i == 1 ? st.e.In.FlowRatePerChannel : f.ChannelFlow(i - 1))
                + (i > m ? f.SlitFlow(i - m) : 0.0);
            const double out = f.SlitFlow(i) + (i == last ? 0.0 : f.ChannelFlow(i));
            EXPECT_NEAR(in, out, tolerance) << "increment " << i;
        }
    }

    TEST(BalanceFlows, RelaxedStepKeepsMassBalance)
    {
        Stage st;
        ASSERT_EQ(st.Step(), BalanceOutcome::Relaxed) << "the default case relaxes at first";
        ExpectMassBalance(st, 1e-13);
        EXPECT_NEAR(st.OutletSum(), 4.12, 1e-13);
    }

    TEST(BalanceFlows, RelaxingPastTheStepLimitEndsTheIteration)
    {
        Stage st;
        EXPECT_EQ(st.Step(BalanceStepLimit), BalanceOutcome::Relaxed)
            << "10000 steps completed are still allowed";
        EXPECT_EQ(st.Step(BalanceStepLimit + 1), BalanceOutcome::StepLimit);
    }

    TEST(BalanceFlows, DefaultCaseHandsTheOutletZoneOverAfterTheTransferFlowsSettle)
    {
        Stage st;
        ASSERT_EQ(st.BalanceUntilHandOver(), BalanceOutcome::CorrectionDue);
        const IncrementArray& q = st.balancer.NewSlitFlows();
        for (int i = st.e.Geo.PitchIncrements + 1; i <= st.e.Geo.TransferIncrements; ++i)
            EXPECT_LT(std::fabs(q[i] / st.flows.SlitFlow(i) - 1), 0.03) << "increment " << i;
        EXPECT_LT(st.balancer.LastChange().Transfer, 0.03);
        EXPECT_GE(st.balancer.LastChange().Outlet, 0.03);
    }

    TEST(PressureProfile, FinalPressuresReproduceTheStepsProfileAndFallAlongTheChannel)
    {
        Stage st;
        st.BalanceUntilHandOver();
        const PressureProfile before = st.profile;
        PressureProfiler(st.e.Geo).Compute(
            st.e.In, st.e.Geo, st.e.Laws, st.flows, st.profile, true);
        const IncrementArray& p = st.profile.ChannelPressure;
        double drops = 0;
        for (int i = 1; i <= st.e.Geo.EffectiveIncrements; ++i) {
            EXPECT_EQ(p[i], before.ChannelPressure[i]) << "increment " << i;
            if (i > 1) {
                EXPECT_LT(p[i], p[i - 1]) << "increment " << i;
            }
            drops += st.profile.ChannelDrop[i];
        }
        EXPECT_NEAR(p[st.e.Geo.EffectiveIncrements], st.profile.InletPressure - drops,
            1e-9 * st.profile.InletPressure);
    }

    TEST(CorrectOutletFlows, FirstPassWithinOnePercentChangesNoFlow)
    {
        Stage st;
        st.BalanceUntilHandOver();
        const Flows before = st.flows;
        const CorrectionRecord record = st.Correct();
        EXPECT_EQ(record.Passes, 1) << "the default case's last outlet flow is settled at once";
        EXPECT_FALSE(record.PassLimitReached);
        for (int i = 1; i <= st.e.Geo.EffectiveIncrements; ++i) {
            EXPECT_EQ(st.flows.SlitFlow(i), before.SlitFlow(i)) << "increment " << i;
            EXPECT_EQ(st.flows.ChannelFlow(i), before.ChannelFlow(i)) << "increment " << i;
        }
    }

    TEST(CorrectOutletFlows, RelaxesTowardsScaledFlowsThatCarryTheFlowRateAndKeepsTransferFlows)
    {
        // A disturbed outlet zone: the correction must move the outlet flows and keep their sum
        // between the old sum and the flow rate (each update is 0.1 new + 0.9 old).
        Stage st;
        st.BalanceUntilHandOver();
        const int last = st.e.Geo.EffectiveIncrements;
        st.flows.SlitFlow(last) *= 1.5;
        const Flows before = st.flows;
        const double disturbed = st.OutletSum();
        EXPECT_GT(st.Correct().Passes, 1);
        const double corrected = st.OutletSum();
        EXPECT_LT(corrected, disturbed);
        EXPECT_GT(corrected, 4.12 - 1e-12);
        double newSum = 0;
        for (int i = st.e.Geo.FirstOutletIncrement(); i <= last; ++i)
            newSum += st.corrector.NewSlitFlows()[i];
        EXPECT_NEAR(newSum, 4.12, 1e-12);
        for (int i = 1; i <= st.e.Geo.TransferIncrements; ++i) {
            EXPECT_EQ(st.flows.SlitFlow(i), before.SlitFlow(i));
            EXPECT_EQ(st.flows.ChannelFlow(i), before.ChannelFlow(i));
        }
    }

    TEST(CorrectOutletFlows, SingleOutletIncrementTakesTheWholeFlow)
    {
        test::RecordingInterface ui;
        ui.Set(Field::NumberOfChannels, "13").Set(Field::ChannelWidth, "0.3");
        Stage st(ui);
        st.BalanceUntilHandOver();
        ASSERT_EQ(st.e.Geo.PitchIncrements, 1);
        st.Correct();
        EXPECT_NEAR(st.corrector.NewSlitFlows()[st.e.Geo.EffectiveIncrements], 4.12, 1e-12);
    }

} // namespace
} // namespace karrow
