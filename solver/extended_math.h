#pragma once

// Correctly rounded (to nearest) ln, exp, atan, sin and cos of the x87 extended format, built
// from the IEEE basic operations alone, which every x86-64 processor computes to the same bit.
// libm computes its extended functions with the x87 transcendental instructions, whose last bit
// differs between processors; a design that is not settled turns that bit into whole digits of
// its report. See extended.h for the arithmetic they run in.
//
// Ln and Exp, the powers of every element law, take a fast path: an exact table-driven reduction
// (tables of 512) and a short polynomial in double-extended arithmetic (a value as the
// unevaluated sum of two long doubles) with a proven bound of its error; when the bound does not
// decide the rounding (about once in 10^4 arguments) an accurate evaluation with MPFR decides it. Atan, Sin and Cos are
// called a few times per run by the geometry and always take the accurate evaluation.
//
// Special values and flags as the run driver expects of libm's: Ln of 0 is -inf and raises
// division by zero, Ln of a negative number is nan and raises invalid, Exp overflows to inf and
// raises overflow, Sin and Cos of inf raise invalid; nan flows through without a flag.

namespace karrow {

long double CorrectlyRoundedLn(long double x);
long double CorrectlyRoundedExp(long double x);
long double CorrectlyRoundedAtan(long double x);
long double CorrectlyRoundedSin(long double x);
long double CorrectlyRoundedCos(long double x);

// For the tests: the fast path's value as 2^twoPower (hi + lo) and its error bound relative to
// |hi|, or false where the fast path does not apply (special values, results out of the normal
// range). The bound holds for hi + lo as the rounding test sees it, before the scaling: scaled
// to the bottom of the normal range, lo would become subnormal and lose its last bits.
struct DoubleExtended {
    long double Hi = 0;
    long double Lo = 0;
};
bool FastLn(long double x, DoubleExtended& y, int& twoPower);
bool FastExp(long double x, DoubleExtended& y, int& twoPower);
inline constexpr long double FastLnErrorBound = 0x1p-77L;
inline constexpr long double FastExpErrorBound = 0x1p-78L;

} // namespace karrow
