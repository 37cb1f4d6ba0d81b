#pragma once

#include "increment_array.h"

namespace karrow {

// The flow distribution of one channel, in cm3/sec: the slit flow of increment i (over its land,
// or out of the die in the outlet zone) and the channel flow leaving it. The last increment has
// no channel flow leaving it; its entry is kept but not used.
class Flows {
public:
    Flows() = default;
    explicit Flows(int effectiveIncrements)
        : values_(2 * effectiveIncrements)
    {
    }

    int Increments() const { return values_.Count() / 2; }

    double& SlitFlow(int i) { return values_[2 * i - 1]; }
    double SlitFlow(int i) const { return values_[2 * i - 1]; }
    double& ChannelFlow(int i) { return values_[2 * i]; }
    double ChannelFlow(int i) const { return values_[2 * i]; }

    // Slit flow of increment i at 2i - 1, channel flow at 2i, as the distribution formulas index.
    IncrementArray& Interleaved() { return values_; }

    void RequireIncrements(int count) const { values_.RequireCount(2 * count, "the flows"); }

private:
    IncrementArray values_;
};

} // namespace karrow
