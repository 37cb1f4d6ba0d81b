#pragma once

#include "fault.h"

#include <string>
#include <vector>

namespace karrow {

// A per-increment array indexed from 1, sized from the run. Every access is checked: an index
// outside the run's range is a defect that must end the run, never touch other memory.
class IncrementArray {
public:
    IncrementArray() = default;

    void Resize(int count) { values_.assign(static_cast<std::size_t>(count < 0 ? 0 : count), 0.0); }
    int Count() const { return static_cast<int>(values_.size()); }

    double& operator[](int i)
    {
        Check(i);
        return values_[static_cast<std::size_t>(i - 1)];
    }
    double operator[](int i) const
    {
        Check(i);
        return values_[static_cast<std::size_t>(i - 1)];
    }

private:
    void Check(int i) const
    {
        if (i < 1 || i > Count())
            throw IndexFault("internal error: increment index " + std::to_string(i) + " outside 1.."
                + std::to_string(Count()));
    }

    std::vector<double> values_;
};

} // namespace karrow
