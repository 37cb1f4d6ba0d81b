#pragma once

#include "flow_relations.h"
#include "geometry.h"
#include "inputs.h"
#include "network.h"

#include <optional>
#include <string>
#include <vector>

namespace karrow {

// The grid of the exact network: k increments of 360/(N k) degrees per channel pitch, so that a
// land joins two points exactly one pitch apart for every channel count. The effective part ends
// with the increment that holds the crossing of channel depth and twice the slit height on the
// grid of CutIncrementsPerPitch increments per pitch, which divides k (0 takes k itself): a
// resolution study keeps its first level's cut, so that every level refines the same die.
struct NetworkResolution {
    int IncrementsPerPitch = 0;
    int CutIncrementsPerPitch = 0;

    int Cut() const
    {
        return CutIncrementsPerPitch > 0 ? CutIncrementsPerPitch : IncrementsPerPitch;
    }
};

// The pitch-exact grid nearest 15 degrees: 24/N rounded, at least 1. For N dividing 24 it is the
// classic grid, so the exact network's default answer is the classic method's network then.
int DefaultIncrementsPerPitch(int channels);

inline constexpr int MostIncrementsPerPitch = 100000;
// A run's network stays below about 200 000 nodes and 50 MB of factors, a few seconds at most.
inline constexpr int MostNetworkIncrements = 200000;
inline constexpr double MostJacobianEntries = 6e6;

// The grid of a resolution; the resolution must be one NetworkResolutionProblem accepts.
IncrementGrid NetworkGrid(const Inputs& in, const NetworkResolution& resolution);

// Why the design has no network at this resolution (an increment count out of range, no
// effective part, less than a pitch of it, a land narrower than zero, ...), in plain words that
// name the resolution; nothing when it has one. Leaves the caller's floating-point flags as
// they were.
std::optional<std::string> NetworkResolutionProblem(
    const Inputs& in, const NetworkResolution& resolution);

// The geometry, element laws and exact solution of the design at a resolution.
struct ResolvedNetwork {
    NetworkResolution Resolution;
    Geometry Geo;
    ElementLaws Laws;
    NetworkSolution Network;
};

// Throws karrow::Fault when the geometry or the element laws fault, and ArithmeticFault naming
// the reason when NetworkResolutionProblem refuses the resolution. `start`: node pressures to
// begin Newton's method from (an interpolated coarser solution), or empty.
ResolvedNetwork SolveNetworkAt(
    const Inputs& in, const NetworkResolution& resolution, const std::vector<double>& start = {});

// Whether a resolution is the classic grid of the inputs (15-degree increments, m = 24 / N, N
// dividing 24), on which the geometry and element laws are the classic run's, bit for bit.
bool IsClassicGrid(const Inputs& in, const NetworkResolution& resolution);

// As SolveNetworkAt, with the geometry and element laws already computed at this resolution (a
// classic run's on the classic grid): they are checked as SolveNetworkAt checks its own and
// taken as they are, not computed again.
ResolvedNetwork SolveNetworkWith(const Inputs& in, const NetworkResolution& resolution,
    const Geometry& g, const ElementLaws& laws);

// As SolveNetworkAt, on the geometry already `computed` at this resolution (nullptr: computed
// here), checked as SolveNetworkAt checks its own. Without the laws (`withLaws` false) only the
// slit paths of the element laws are computed and nothing is solved: a real melt's network takes
// nothing else of them.
ResolvedNetwork ResolveNetworkOn(
    const Inputs& in, const NetworkResolution& resolution, const Geometry* computed, bool withLaws);

// Node pressures of a network of M nodes carried to the grid twice as fine over the same
// effective part (2M nodes), by linear interpolation in angle; the first guess of the finer level.
std::vector<double> RefinedPressures(const std::vector<double>& pressure);

} // namespace karrow
