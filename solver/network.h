#pragma once

#include <string>
#include <vector>

namespace karrow {

// The flow network of the effective part of one spiral channel, solved exactly: no clamps, caps
// or relaxation, only the element laws and mass balance at every node. Node i is the middle of
// increment i (i = 1..M); channel element i (i = 2..M) joins nodes i-1 and i, the land of a
// transfer increment i (i = 1..K, K = M - m) joins node i to node i+m, and the outlet path of
// an increment i > K joins node i to the die outlet at pressure 0. The flow rate Q enters node 1.
// Every element follows the power law, with the sign of its pressure drop:
//     channel:  P(i-1) - P(i) = R(i) f |f|^(n-1)
//     slit:     s = C(i) sign(D) |D|^(1/n)
// Units as in the run (cm3/sec, gf/cm2); the element values are those of the conductance stage.

struct NetworkElements {
    double PowerLawIndex = 0; // n
    int PitchIncrements = 0; // m, increments from a node to the one over the land
    int EffectiveIncrements = 0; // M
    double FlowRatePerChannel = 0; // Q
    std::vector<double> ChannelResistance; // [i - 1] for increment i
    std::vector<double> SlitConductance; // [i - 1]: the land for i <= K, the outlet path after
};

struct NetworkSolution {
    bool Converged = false;
    int Iterations = 0; // Newton steps, over every stage of the continuation
    double Residual = 0; // largest mass imbalance of a node, relative to Q
    std::vector<double> Pressure; // [i - 1]: node i
    std::vector<double> SlitFlow; // [i - 1]: over the land or out of the die from node i
    std::vector<double> ChannelFlow; // [i - 1]: leaving node i along the channel; 0 at M
    double InletPressure = 0; // head pressure: half a channel increment before node 1
    std::string Failure; // why not, in plain words, when not converged
};

// A solution is converged when no node is out of balance by more than this share of Q.
inline constexpr double NetworkTolerance = 1e-12;
// Above this many nodes the rounding of the pressure solve grows with the network's size; the
// tolerance grows in proportion, so that a fine grid is not refused for its rounding.
inline constexpr int NetworkToleranceNodes = 1000;
double NetworkToleranceFor(int effectiveIncrements);
// Newton steps allowed for one network, over all stages.
inline constexpr int NetworkIterationLimit = 400;

// What makes the elements unusable (sizes, non-positive or non-finite values), or empty.
std::string NetworkElementsProblem(const NetworkElements& elements);

// Newton's method on the node pressures. Never throws for bad numbers: an invalid network or
// one that does not converge ends with Converged false, a Failure text and finite numbers.
NetworkSolution SolveNetwork(const NetworkElements& elements);
// The same from `start` (node pressures, one per increment) when that converges, as a solution
// of a coarser grid interpolated to this one does within a few steps; otherwise as above.
NetworkSolution SolveNetwork(const NetworkElements& elements, const std::vector<double>& start);

// Half the band of the Jacobian the solver factors for M nodes with lands m nodes apart: nodes are
// taken pitch column by pitch column when that is narrower than m, so that a fine grid costs
// what its number of nodes does rather than that times m squared.
int NetworkBandwidth(int effectiveIncrements, int pitchIncrements);
// The Jacobian's row of every node in that order; empty when it is the natural one.
std::vector<int> NetworkNodeRows(int effectiveIncrements, int pitchIncrements);

} // namespace karrow
