#pragma once

namespace karrow {

// The stepped clamp that keeps flows positive before they are raised to a real power. Called
// only with value < reference; a non-positive value becomes 0.01 x reference, a value below the
// reference the next rung of 0.02, 0.05, 0.15, 0.25 ... 0.85 x reference, and a value from
// 0.85 x reference up is returned unchanged.
double ClampFlow(double reference, double value);

} // namespace karrow
