#pragma once

#include "flow_relations.h"
#include "flows.h"
#include "geometry.h"
#include "inputs.h"

namespace karrow {

inline constexpr int CorrectionPassLimit = 100;

// How one pressure correction ended.
struct CorrectionRecord {
    int Passes = 0;
    bool PassLimitReached = false; // stopped at CorrectionPassLimit, not on the tolerance
};

// The inner iteration of the outlet zone: makes the pressure at the first outlet increment
// agree between the m slit paths to the outlet and under-relaxes the outlet slit flows towards
// the flows that pressure drives. Keeps its working arrays between corrections.
class OutletCorrector {
public:
    explicit OutletCorrector(const Geometry& g);

    CorrectionRecord Correct(
        const Inputs& in, const Geometry& g, const ElementLaws& laws, Flows& flows);

    // The scaled outlet slit flows of the last pass.
    const IncrementArray& NewSlitFlows() const { return newSlitFlow_; }

private:
    void ComputeCorrectedExitFlows(
        const Inputs& in, const Geometry& g, const ElementLaws& laws, const Flows& flows);

    IncrementArray exitChannelDrop_;
    IncrementArray exitSlitDrop_;
    IncrementArray exitPressureEstimate_;
    IncrementArray exitChannelPressure_;
    IncrementArray newSlitFlow_;
};

} // namespace karrow
