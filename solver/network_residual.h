#pragma once

// What the Newton solvers of the exact network (the power-law one and the real melt's) judge
// their steps by: the node imbalances of the mass balance.

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace karrow {

// The largest imbalance of a node relative to the flow rate Q; a non-finite imbalance makes it
// infinite, so that no step that produced one is ever taken.
inline double LargestImbalance(const std::vector<double>& residual, double Q)
{
    double largest = 0;
    for (const double r : residual)
        largest = std::isfinite(r) ? std::max(largest, std::fabs(r)) : HUGE_VAL;
    return largest / Q;
}

// The sum of the squared imbalances, which a damped step must lower.
inline double SquaredNorm(const std::vector<double>& residual)
{
    double sum = 0;
    for (const double r : residual)
        sum += r * r;
    return sum;
}

// How one run of Newton's method ended.
struct NewtonAttempt {
    bool Converged = false;
    double Residual = 0;
    std::string Failure;
};

} // namespace karrow
