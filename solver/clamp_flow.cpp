#include "clamp_flow.h"

#include "extended.h"

#include <array>

namespace karrow {

double ClampFlow(double reference, double value)
{
    if (value <= 0)
        return 0.01L * reference;
    static constexpr std::array<Extended, 10> Rungs { 0.02L, 0.05L, 0.15L, 0.25L, 0.35L, 0.45L,
        0.55L, 0.65L, 0.75L, 0.85L };
    for (const Extended rung : Rungs)
        if (value <= rung * reference)
            return rung * reference;
    return value;
}

} // namespace karrow
