#pragma once

#include "extended.h"
#include "flow_relations.h"
#include "flows.h"
#include "geometry.h"
#include "inputs.h"
#include "pressure_profile.h"

namespace karrow {

inline constexpr Extended BalanceTolerance = 0.03L; // relative change of a slit flow that passes
inline constexpr int BalanceStepLimit = 10000;

// How one flow-balance step ended.
enum class BalanceOutcome {
    Settled, // every slit flow from m + 1 on agrees with the flow its pressure drives
    CorrectionDue, // the transfer increments agree; the outlet zone needs the pressure correction
    Relaxed, // the flows moved a relaxed step towards the driven ones
    StepLimit, // relaxed past the step limit: the iteration ends without convergence
};

// The largest relative change |new - current| / current of the slit flows that a step measured,
// over the transfer increments m + 1..K and over the outlet increments; 0 where there are none.
struct SlitFlowChange {
    double Transfer = 0;
    double Outlet = 0;
};

// One step of the outer iteration: the pressure profile of the current flows, the slit flows
// it drives, and then either convergence, the hand-over of the outlet zone to the pressure
// correction, or an under-relaxed update that keeps mass balance exact. Keeps its working arrays
// between steps.
class FlowBalancer {
public:
    explicit FlowBalancer(const Geometry& g);

    // `stepsBefore` is the number of steps the iteration has completed before this one.
    BalanceOutcome Step(const Inputs& in, const Geometry& g, const ElementLaws& laws, Flows& flows,
        PressureProfile& profile, int stepsBefore);

    // The slit flows that the profile of the last step drives.
    const IncrementArray& NewSlitFlows() const { return newSlitFlow_; }
    const SlitFlowChange& LastChange() const { return change_; }

private:
    PressureProfiler profiler_;
    IncrementArray newSlitFlow_;
    IncrementArray relaxedSlitFlow_;
    IncrementArray relaxedChannelFlow_;
    SlitFlowChange change_;
};

// Slit flows driven by a pressure profile: over each land by the difference to the turn above, at
// the outlet by the channel pressure itself. The outlet flows are scaled so that they carry the
// whole flow rate.
void ComputeNewSlitFlows(const Inputs& in, const Geometry& g, const ElementLaws& laws,
    const PressureProfile& profile, IncrementArray& newSlitFlow);

} // namespace karrow
