#pragma once

#include "extended.h"
#include "flow_relations.h"
#include "flows.h"
#include "geometry.h"
#include "inputs.h"

namespace karrow {

// b^e: 1 for e = 0, 0 for b = 0 and e > 0, repeated multiplication (binary powering, 1/result
// for a negative power) for a whole-numbered e, Exp(e Ln b) otherwise.
Extended Power(Extended base, Extended exponent);

// First split of the flow over the transfer increments 1..K: each increment keeps the ratio of
// land flow to channel flow that one pressure difference over a pitch would give. Needs the
// channel and land laws.
void DistributeTransferFlows(
    const Inputs& in, const Geometry& g, const ElementLaws& laws, Flows& flows);

// First estimate of the outlet zone, K+1..N_eff, from the pressures that the slit paths to the
// outlet imply; then the channel flow is made not to rise along the channel.
void DistributeOutletZoneFlows(
    const Inputs& in, const Geometry& g, const ElementLaws& laws, Flows& flows);

} // namespace karrow
