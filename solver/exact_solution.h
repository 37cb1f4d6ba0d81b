#pragma once

#include "network.h"
#include "solution.h"

namespace karrow {

// The network of a design, with the element values exactly as the element laws computed them.
NetworkElements NetworkElementsOf(const Inputs& in, const Geometry& g, const ElementLaws& laws);

// A converged network solution in the shape of a Solution, so that the design figures, the JSON
// and the charts read the exact answer with the same code as the classic one. Its iteration
// record is empty: the network has no flow-balance steps.
Solution SolutionOfNetwork(
    const Inputs& in, const Geometry& g, const ElementLaws& laws, const NetworkSolution& network);

} // namespace karrow
