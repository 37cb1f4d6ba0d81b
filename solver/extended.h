#pragma once

// Every expression of the calculation is evaluated with a 64-bit mantissa and rounded to a
// double only where a value is stored; its transcendental functions are correctly rounded, so
// every x86-64 processor computes the same bits. On x86-64 `long double` is the x87 extended format,
// which is exactly that; a platform whose long double is narrower would print different
// digits in a few percent of realistic cases, so the build refuses it.
//
// Faults: invalid operation, division by zero and overflow must end a run instead of flowing
// on as nan or inf. The x87 status flags record them; each stage clears nothing and checks the
// flags before it hands its results on (CheckFloatingPoint), so a fault never reaches a stored
// result that anything later reads, nor the report.

#include "extended_math.h"

#include <cmath>
#include <limits>

namespace karrow {

using Extended = long double;
static_assert(std::numeric_limits<Extended>::digits == 64,
    "the calculation needs a 64-bit-mantissa long double (x87 extended)");

// The formulas' own spelling of Extended, kept short because they are full of it: X(q) widens a
// stored double before the operation that follows, so that the operation is evaluated in the
// extended format (a double times a double would round to double first), and X declares an
// intermediate that must not be rounded to double. The one alias; files do not define their own.
using X = Extended;

// The transcendental functions of the calculation, correctly rounded (extended_math.h): libm's
// extended ones use x87 instructions whose last bit differs between processors.
inline Extended Ln(Extended x)
{
    return CorrectlyRoundedLn(x);
}
inline Extended Exp(Extended x)
{
    return CorrectlyRoundedExp(x);
}
inline Extended Atan(Extended x)
{
    return CorrectlyRoundedAtan(x);
}
inline Extended Sin(Extended x)
{
    return CorrectlyRoundedSin(x);
}
inline Extended Cos(Extended x)
{
    return CorrectlyRoundedCos(x);
}

// A real power, always through the logarithm: a non-positive base is an invalid operation.
inline Extended RealPower(Extended base, Extended exponent)
{
    return Exp(exponent * Ln(base));
}

// pi and pi/12 as the extended constants the formulas were written with.
inline constexpr Extended Pi = 3.14159265358979323851L;
inline constexpr Extended PiOver12 = 0.26179938779914943653L;

// Round to nearest, 64-bit mantissa on the x87 unit, all fault flags cleared. Called at the
// start of every run, so nothing a window toolkit did before can change the arithmetic.
void PrepareFloatingPoint();

// Clears the fault flags (invalid, division by zero, overflow).
void ClearFloatingPointFaults();

// Throws ArithmeticFault naming `stage` when a fault flag is set.
void CheckFloatingPoint(const char* stage);

// Saves the fault flags on construction and restores them on destruction, so that code run in
// between (a message box, a dialog) neither sees nor leaves faults of its own.
class FloatingPointFlagsKeeper {
public:
    FloatingPointFlagsKeeper();
    ~FloatingPointFlagsKeeper();
    FloatingPointFlagsKeeper(const FloatingPointFlagsKeeper&) = delete;
    FloatingPointFlagsKeeper& operator=(const FloatingPointFlagsKeeper&) = delete;

private:
    int saved_;
};

} // namespace karrow
