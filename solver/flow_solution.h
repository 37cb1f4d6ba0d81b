#pragma once

#include "flow_balance.h"
#include "flow_relations.h"
#include "flows.h"
#include "geometry.h"
#include "inputs.h"
#include "pressure_correction.h"
#include "pressure_profile.h"

#include <vector>

namespace karrow {

inline constexpr int CorrectionRunLimit = 10;

// Why the outer iteration stopped.
enum class IterationStop {
    Balanced, // a flow-balance step found every slit flow within the tolerance
    CorrectionLimit, // the tenth pressure correction ran
    StepLimit, // no convergence within the step limit
};

// How the calculation ended: the steps and corrections it took, and how far the slit flows still
// moved in its last flow-balance step.
struct IterationRecord {
    int BalanceSteps = 0;
    std::vector<CorrectionRecord> Corrections;
    IterationStop Stop = IterationStop::Balanced;
    SlitFlowChange FinalChange;
};

// The flow solution of a run whose geometry is computed.
struct FlowSolution {
    ElementLaws Laws;
    Flows Distribution;
    PressureProfile Profile;
    IterationRecord Record;
};

// The element laws and the initial distribution, before the outer iteration.
FlowSolution InitialFlowSolution(const Inputs& in, const Geometry& g);

// The element laws, the initial distribution, the outer iteration (flow-balance steps, with a
// pressure correction whenever a step hands the outlet zone over, until the flows balance, ten
// corrections have run, or the step limit is passed) and, after a pressure correction, the final
// pressures. Throws ArithmeticFault where a stage faults.
FlowSolution SolveFlows(const Inputs& in, const Geometry& g);

} // namespace karrow
