#pragma once

// Checks the correctly rounded extended functions against MPFR: argument streams that cover the
// ranges the calculation visits, the edges of the fast paths' table intervals and arguments whose
// value lies close to a rounding boundary, and a count of the results that differ from MPFR's.
// Shared by the core tests (10^6 arguments per function) and the long campaign program.

#include "solver/extended_math.h"

#include <cmath>
#include <cstdint>
#include <mpfr.h>
#include <random>
#include <stdexcept>
#include <string>

namespace karrow::test {

using MpfrFunction = int (*)(mpfr_ptr, mpfr_srcptr, mpfr_rnd_t);
using ExtendedFunction = long double (*)(long double);

struct RoundedFunction {
    std::string Name;
    ExtendedFunction Ours;
    MpfrFunction Reference;
    bool (*Fast)(long double, DoubleExtended&, int&); // null when there is no fast path
    long double FastBound;
};

inline const RoundedFunction& RoundedFunctionNamed(const std::string& name)
{
    static const RoundedFunction functions[] = {
        { "ln", CorrectlyRoundedLn, mpfr_log, FastLn, FastLnErrorBound },
        { "exp", CorrectlyRoundedExp, mpfr_exp, FastExp, FastExpErrorBound },
        { "atan", CorrectlyRoundedAtan, mpfr_atan, nullptr, 0 },
        { "sin", CorrectlyRoundedSin, mpfr_sin, nullptr, 0 },
        { "cos", CorrectlyRoundedCos, mpfr_cos, nullptr, 0 },
    };
    for (const RoundedFunction& f : functions)
        if (f.Name == name)
            return f;
    throw std::invalid_argument("no function " + name);
}

// An argument of the stream `kind` for function `name`; every stream mixes the ranges the
// calculation visits with the function's special neighbourhoods.
class ArgumentStream {
public:
    ArgumentStream(const std::string& name, std::uint64_t seed)
        : name_(name)
        , random_(seed)
    {
    }

    long double Next()
    {
        const std::uint64_t choice = random_() % 8;
        if (name_ == "ln")
            return NextLn(choice);
        if (name_ == "exp")
            return NextExp(choice);
        if (name_ == "atan")
            return Signed(std::ldexp(Mantissa(), Between(-40, 40)));
        // sin and cos: the helix angles (0 to pi/2) mostly, and some large arguments.
        return choice < 6 ? Mantissa() * 0.79L : Signed(std::ldexp(Mantissa(), Between(-30, 60)));
    }

private:
    // A random 64-bit mantissa in [1, 2).
    long double Mantissa() { return 1 + std::ldexp(static_cast<long double>(random_() >> 1), -63); }
    int Between(int low, int high)
    {
        return low + static_cast<int>(random_() % static_cast<std::uint64_t>(high - low + 1));
    }
    long double Signed(long double x) { return (random_() & 1) ? -x : x; }
    long double Ulps(long double x, int count)
    {
        for (int i = 0; i < count; ++i)
            x = std::nextafter(x, HUGE_VALL);
        for (int i = 0; i > count; --i)
            x = std::nextafter(x, -HUGE_VALL);
        return x;
    }

    long double NextLn(std::uint64_t choice)
    {
        switch (choice) {
        case 0: // near 1, where ln x is small
            return 1 + Signed(std::ldexp(Mantissa(), Between(-64, -2)));
        case 1: { // the edges of the table intervals: 1 + j/512, halved above 1.5
            const long double edge = 1 + Between(0, 512) / 512.0L;
            return Ulps(std::ldexp(edge, Between(-20, 20)), Between(-3, 3));
        }
        case 2: // the whole range
            return std::ldexp(Mantissa(), Between(-16380, 16380));
        default: // the calculation: heights, flows, conductances, resistances, shear rates
            return std::ldexp(Mantissa(), Between(-60, 60));
        }
    }

    long double NextExp(std::uint64_t choice)
    {
        constexpr long double Ln2Over512 = 0.693147180559945309417232121458176568L / 512;
        switch (choice) {
        case 0: // near 0
            return Signed(std::ldexp(Mantissa(), Between(-70, -6)));
        case 1: // the edges of the reduction: n ln2/512 and the midpoints between them
            return Ulps(
                (Between(-50000, 50000) + (random_() & 1) * 0.5L) * Ln2Over512, Between(-3, 3));
        case 2: // the whole range of normal results
            return Signed(Mantissa() * 5677) - 0.6L;
        default: // y ln x of the calculation's powers
            return Signed(std::ldexp(Mantissa(), Between(-30, 6)));
        }
    }

    std::string name_;
    std::mt19937_64 random_;
};

// What a run of the check found.
struct RoundingTally {
    long long Arguments = 0;
    long long Misrounded = 0;
    long long FastPathMisses = 0; // fast path with a larger error than its bound
    long long NearBoundary = 0; // values within the fast path's bound of a rounding boundary
    std::string FirstMisrounded;
    std::string FirstFastPathMiss;
};

class RoundingChecker {
public:
    explicit RoundingChecker(const RoundedFunction& f)
        : f_(f)
    {
        mpfr_inits2(64, argument_, rounded_, nullptr);
        mpfr_inits2(200, exact_, difference_, part_, nullptr);
    }
    ~RoundingChecker() { mpfr_clears(argument_, rounded_, exact_, difference_, part_, nullptr); }
    RoundingChecker(const RoundingChecker&) = delete;
    RoundingChecker& operator=(const RoundingChecker&) = delete;

    void Check(long double x, RoundingTally& tally)
    {
        ++tally.Arguments;
        mpfr_set_ld(argument_, x, MPFR_RNDN);
        DoubleExtended y;
        int twoPower = 0;
        const bool fast = f_.Fast && f_.Fast(x, y, twoPower);
        f_.Reference(rounded_, argument_, MPFR_RNDN);
        const long double expected = mpfr_get_ld(rounded_, MPFR_RNDN);
        const long double ours = f_.Ours(x);
        if (!(ours == expected && std::signbit(ours) == std::signbit(expected))) {
            if (tally.Misrounded++ == 0)
                tally.FirstMisrounded = Describe(x, ours, expected);
        }
        if (fast)
            CheckFastPath(x, y, twoPower, tally);
    }

private:
    // The fast path's value against the exact one, both before the scaling by a power of two,
    // and how close the exact one lies to a rounding boundary (the arguments where the accurate
    // path must decide). The differences are taken in MPFR: exact to far below the bound.
    void CheckFastPath(long double x, const DoubleExtended& y, int twoPower, RoundingTally& tally)
    {
        f_.Reference(exact_, argument_, MPFR_RNDN);
        mpfr_mul_2si(exact_, exact_, -twoPower, MPFR_RNDN);
        mpfr_set_ld(part_, y.Hi, MPFR_RNDN);
        mpfr_sub(difference_, exact_, part_, MPFR_RNDN);
        const long double residual = mpfr_get_ld(difference_, MPFR_RNDN);
        mpfr_set_ld(part_, y.Lo, MPFR_RNDN);
        mpfr_sub(difference_, difference_, part_, MPFR_RNDN);
        const long double bound = f_.FastBound * std::fabs(y.Hi);
        if (std::fabs(mpfr_get_ld(difference_, MPFR_RNDN)) > bound) {
            if (tally.FastPathMisses++ == 0)
                tally.FirstFastPathMiss = DescribeFastPath(x, y, twoPower);
        }
        const long double halfUlp = std::fabs(std::nextafter(y.Hi, HUGE_VALL) - y.Hi) / 2;
        if (std::fabs(std::fabs(residual) - halfUlp) < bound)
            ++tally.NearBoundary;
    }

    std::string Describe(long double x, long double ours, long double expected) const
    {
        char text[200];
        std::snprintf(text, sizeof text, "%s(%La) = %La, correctly rounded %La", f_.Name.c_str(), x,
            ours, expected);
        return text;
    }

    std::string DescribeFastPath(long double x, const DoubleExtended& y, int twoPower) const
    {
        char text[200];
        std::snprintf(text, sizeof text, "%s(%La): fast path 2^%d (%La + %La)", f_.Name.c_str(), x,
            twoPower, y.Hi, y.Lo);
        return text;
    }

    const RoundedFunction& f_;
    mpfr_t argument_, rounded_, exact_, difference_, part_;
};

inline RoundingTally CheckRounding(const std::string& name, std::uint64_t seed, long long count)
{
    const RoundedFunction& f = RoundedFunctionNamed(name);
    RoundingChecker checker(f);
    ArgumentStream arguments(name, seed);
    RoundingTally tally;
    for (long long i = 0; i < count; ++i)
        checker.Check(arguments.Next(), tally);
    return tally;
}

} // namespace karrow::test
