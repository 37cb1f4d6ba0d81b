#pragma once

#include "fault.h"

#include <string>
#include <vector>

namespace karrow {

// A per-increment array indexed from 1, sized from the run.
//
// Indices are proven in range where a stage begins: each stage checks the sizes of the arrays it
// is handed (RequireCount) and its loops run within them by construction. The sanitizer build
// defines KARROW_CHECK_INDICES and checks every access as well, so a stage that strays is found
// by the tests; the normal build leaves the innermost loops free of that cost.
class IncrementArray {
public:
    IncrementArray() = default;
    explicit IncrementArray(int count) { Resize(count); }

    void Resize(int count) { values_.assign(static_cast<std::size_t>(count < 0 ? 0 : count), 0.0); }
    int Count() const { return static_cast<int>(values_.size()); }

    double& operator[](int i)
    {
#ifdef KARROW_CHECK_INDICES
        Check(i);
#endif
        return values_[static_cast<std::size_t>(i - 1)];
    }
    double operator[](int i) const
    {
#ifdef KARROW_CHECK_INDICES
        Check(i);
#endif
        return values_[static_cast<std::size_t>(i - 1)];
    }

    // Ends the run when the array does not hold exactly `count` values: a defect of the program.
    void RequireCount(int count, const char* what) const
    {
        if (Count() != count)
            throw IndexFault(std::string("internal error: ") + what + " holds "
                + std::to_string(Count()) + " values where " + std::to_string(count)
                + " are needed");
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
