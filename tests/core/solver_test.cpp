#include "run/input_reading.h"
#include "solver/clamp_flow.h"
#include "solver/flow_balance.h"
#include "solver/flow_relations.h"
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

    // A run's state after the conductance stage and the initial distribution.
    RunState Initialised(test::RecordingInterface ui = {})
    {
        RunState st = test::InputsFrom(ui);
        EXPECT_TRUE(st.InputOk);
        ComputeGeometry(st);
        ComputeConductances(st);
        DistributeOutletZoneFlows(st);
        return st;
    }

    using test::OutletSlitFlowSum;

    TEST(InitialDistribution, OutletSlitFlowsCarryTheWholeFlowAndChannelFlowNeverRises)
    {
        const RunState st = Initialised();
        EXPECT_NEAR(OutletSlitFlowSum(st), 4.12, 1e-12);
        for (int i = 2; i <= st.EffectiveIncrements - 1; ++i)
            EXPECT_LE(st.ChannelFlow(i), st.ChannelFlow(i - 1)) << "increment " << i;
        EXPECT_EQ(st.FirstOutletIncrement, 29);
        EXPECT_EQ(st.TwicePitchPlus1, 13);
        EXPECT_EQ(st.TwiceTransferIncrements, 56);
        EXPECT_EQ(st.PitchIncrementsPlus1, 7);
        EXPECT_EQ(st.PitchIncrementsLess1, 5);
    }

    TEST(InitialDistribution, OneOutletIncrementSendsAllItReceivesOverItsLand)
    {
        test::RecordingInterface ui;
        ui.Set(1, "13").Set(13, "0.3");
        RunState st;
        ReadInputs(st, ui, '.');
        ComputeGeometry(st);
        ComputeConductances(st);
        ASSERT_EQ(st.PitchIncrements, 1);
        const int k = st.TransferIncrements;
        const double expected = st.ChannelFlow(k) + st.SlitFlow(k);
        DistributeOutletZoneFlows(st);
        EXPECT_EQ(st.SlitFlow(st.EffectiveIncrements), expected);
    }

    // Mass balance of every increment: what arrives (channel flow from i - 1 and the land flow of
    // i - m) leaves as slit and channel flow; nothing leaves the last increment along the channel.
    void ExpectMassBalance(const RunState& st, double tolerance)
    {
        const int m = st.PitchIncrements;
        const int last = st.EffectiveIncrements;
        for (int i = 1; i <= last; ++i) {
            const double in = (i == 1 ? st.FlowRatePerChannel : st.ChannelFlow(i - 1))
                + (i > m ? st.SlitFlow(i - m) : 0.0);
            const double out = st.SlitFlow(i) + (i == last ? 0.0 : st.ChannelFlow(i));
            EXPECT_NEAR(in, out, tolerance) << "increment " << i;
        }
    }

    class SilentMessages : public MessageSink {
    public:
        void ShowMessage(const std::string& text) override { shown = text; }
        std::string shown;
    };

    TEST(BalanceFlows, RelaxedStepKeepsMassBalanceAndTheFlags)
    {
        RunState st = Initialised();
        SilentMessages messages;
        st.BalanceStepCount = 0;
        BalanceFlows(st, messages);
        ASSERT_FALSE(st.BalanceConverged) << "the default case relaxes at first";
        EXPECT_FALSE(st.PressureCorrectionDue);
        EXPECT_TRUE(st.SolverOk);
        ExpectMassBalance(st, 1e-13);
        EXPECT_NEAR(OutletSlitFlowSum(st), 4.12, 1e-13);
    }

    TEST(BalanceFlows, PastTheStepLimitShowsTheMessageAndFails)
    {
        RunState st = Initialised();
        SilentMessages messages;
        st.BalanceStepCount = BalanceStepLimit;
        BalanceFlows(st, messages);
        EXPECT_TRUE(st.SolverOk) << "10000 steps completed are still allowed";
        EXPECT_TRUE(messages.shown.empty());
        st.BalanceStepCount = BalanceStepLimit + 1;
        BalanceFlows(st, messages);
        EXPECT_FALSE(st.SolverOk);
        EXPECT_FALSE(st.BalanceConverged);
        EXPECT_EQ(messages.shown,
            "This case does not congerge, power law parameter <n> may be too small.");
    }

    // Runs flow-balance steps until the first hand-over or convergence.
    RunState BalancedUntilHandOver(test::RecordingInterface ui = {})
    {
        RunState st = Initialised(ui);
        SilentMessages messages;
        for (st.BalanceStepCount = 0; st.BalanceStepCount < 20000; ++st.BalanceStepCount) {
            BalanceFlows(st, messages);
            if (st.BalanceConverged)
                break;
        }
        return st;
    }

    TEST(BalanceFlows, DefaultCaseHandsTheOutletZoneOverAfterTheTransferFlowsSettle)
    {
        const RunState st = BalancedUntilHandOver();
        EXPECT_TRUE(st.BalanceConverged);
        EXPECT_TRUE(st.PressureCorrectionDue);
        for (int i = st.PitchIncrements + 1; i <= st.TransferIncrements; ++i)
            EXPECT_LT(std::fabs(st.NewSlitFlow[i] / st.SlitFlow(i) - 1), 0.03) << "increment " << i;
    }

    TEST(PressureProfile, FinalPressuresReproduceTheStepsProfileAndFallAlongTheChannel)
    {
        RunState st = BalancedUntilHandOver();
        const RunState before = st;
        ComputeFinalPressures(st);
        for (int i = 1; i <= st.EffectiveIncrements; ++i) {
            EXPECT_EQ(st.ChannelPressure[i], before.ChannelPressure[i]) << "increment " << i;
            if (i > 1) {
                EXPECT_LT(st.ChannelPressure[i], st.ChannelPressure[i - 1]) << "increment " << i;
            }
        }
        double drops = 0;
        for (int i = 1; i <= st.EffectiveIncrements; ++i)
            drops += st.ChannelPressureDrop[i];
        EXPECT_NEAR(st.ChannelPressure[st.EffectiveIncrements], st.InletPressure - drops,
            1e-9 * st.InletPressure);
    }

    TEST(CorrectOutletFlows, ClearsBothFlagsAndKeepsTheTransferFlows)
    {
        RunState st = BalancedUntilHandOver();
        const RunState before = st;
        CorrectOutletFlows(st);
        EXPECT_FALSE(st.PressureCorrectionDue);
        EXPECT_FALSE(st.BalanceConverged);
        for (int i = 1; i <= st.TransferIncrements; ++i) {
            EXPECT_EQ(st.SlitFlow(i), before.SlitFlow(i));
            EXPECT_EQ(st.ChannelFlow(i), before.ChannelFlow(i));
        }
    }

    TEST(CorrectOutletFlows, FirstPassWithinOnePercentChangesNoFlow)
    {
        RunState st = BalancedUntilHandOver();
        const RunState before = st;
        CorrectOutletFlows(st);
        const int last = st.EffectiveIncrements;
        ASSERT_LT(std::fabs(st.NewSlitFlow[last] / st.SlitFlow(last) - 1), 0.01)
            << "the default case's last outlet flow is settled at its first hand-over";
        for (int i = 1; i <= last; ++i) {
            EXPECT_EQ(st.SlitFlow(i), before.SlitFlow(i)) << "increment " << i;
            EXPECT_EQ(st.ChannelFlow(i), before.ChannelFlow(i)) << "increment " << i;
        }
    }

    TEST(CorrectOutletFlows, RelaxesTowardsScaledFlowsThatCarryTheFlowRate)
    {
        // A disturbed outlet zone: the correction must move the outlet flows and keep their sum
        // between the old sum and the flow rate (each update is 0.1 new + 0.9 old).
        RunState st = BalancedUntilHandOver();
        const int s = st.FirstOutletIncrement;
        const int last = st.EffectiveIncrements;
        st.SlitFlow(last) *= 1.5;
        const double disturbed = OutletSlitFlowSum(st);
        CorrectOutletFlows(st);
        const double corrected = OutletSlitFlowSum(st);
        EXPECT_LT(corrected, disturbed);
        EXPECT_GT(corrected, 4.12 - 1e-12);
        double newSum = 0;
        for (int i = s; i <= last; ++i)
            newSum += st.NewSlitFlow[i];
        EXPECT_NEAR(newSum, 4.12, 1e-12);
    }

    TEST(CorrectOutletFlows, SingleOutletIncrementTakesTheWholeFlow)
    {
        test::RecordingInterface ui;
        ui.Set(1, "13").Set(13, "0.3");
        RunState st = BalancedUntilHandOver(ui);
        ASSERT_EQ(st.PitchIncrements, 1);
        st.BalanceConverged = st.PressureCorrectionDue = true;
        CorrectOutletFlows(st);
        EXPECT_NEAR(st.NewSlitFlow[st.EffectiveIncrements], 4.12, 1e-12);
    }

} // namespace
} // namespace karrow
