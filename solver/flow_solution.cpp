#include "flow_solution.h"

#include "initial_distribution.h"

namespace karrow {

namespace {

    void Iterate(const Inputs& in, const Geometry& g, FlowSolution& s)
    {
        FlowBalancer balancer(g);
        OutletCorrector corrector(g);
        IterationRecord& record = s.Record;
        for (;;) {
            const BalanceOutcome outcome =
                balancer.Step(in, g, s.Laws, s.Distribution, s.Profile, record.BalanceSteps);
            ++record.BalanceSteps;
            record.FinalChange = balancer.LastChange();
            if (outcome == BalanceOutcome::CorrectionDue)
                record.Corrections.push_back(corrector.Correct(in, g, s.Laws, s.Distribution));
            if (outcome == BalanceOutcome::Settled) {
                record.Stop = IterationStop::Balanced;
                return;
            }
            if (static_cast<int>(record.Corrections.size()) >= CorrectionRunLimit) {
                record.Stop = IterationStop::CorrectionLimit;
                return;
            }
            if (outcome == BalanceOutcome::StepLimit) {
                record.Stop = IterationStop::StepLimit;
                return;
            }
        }
    }

} // namespace

// The first estimate of the transfer flows is taken between the land and the outlet laws, so
// that a fault is named after the first stage that raised it.
FlowSolution InitialFlowSolution(const Inputs& in, const Geometry& g)
{
    FlowSolution s;
    s.Laws = SizedElementLaws(g);
    s.Distribution = Flows(g.EffectiveIncrements);
    s.Profile = SizedPressureProfile(g);
    ComputeChannelConductances(in, g, s.Laws);
    ComputeLandConductances(in, g, s.Laws);
    DistributeTransferFlows(in, g, s.Laws, s.Distribution);
    ComputeOutletConductances(in, g, s.Laws);
    DistributeOutletZoneFlows(in, g, s.Laws, s.Distribution);
    return s;
}

FlowSolution SolveFlows(const Inputs& in, const Geometry& g)
{
    FlowSolution s = InitialFlowSolution(in, g);
    Iterate(in, g, s);
    if (s.Record.Stop != IterationStop::StepLimit && !s.Record.Corrections.empty())
        PressureProfiler(g).Compute(in, g, s.Laws, s.Distribution, s.Profile, true);
    return s;
}

} // namespace karrow
