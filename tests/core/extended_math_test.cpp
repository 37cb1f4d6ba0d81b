// The correctly rounded extended functions against MPFR, and their special values and flags as
// the run driver relies on them (a fault flag ends a run; nan and inf never pass silently).

#include "rounding_check.h"
#include "solver/extended.h"

#include <cfenv>
#include <gtest/gtest.h>
#include <limits>
#include <tuple>

namespace karrow {
namespace {

    // 10^6 arguments per function, in shards that ctest runs in parallel.
    constexpr int Shards = 4;
    constexpr long long ArgumentsPerShard = 250000;

    class CorrectRounding : public testing::TestWithParam<std::tuple<const char*, int>> { };

    TEST_P(CorrectRounding, AgreesWithMpfrOnEveryArgument)
    {
        const auto [name, shard] = GetParam();
        PrepareFloatingPoint();
        const test::RoundingTally tally =
            test::CheckRounding(name, 1000 + static_cast<std::uint64_t>(shard), ArgumentsPerShard);
        EXPECT_EQ(tally.Misrounded, 0) << tally.FirstMisrounded;
        EXPECT_EQ(tally.FastPathMisses, 0) << tally.FirstFastPathMiss;
        if (test::RoundedFunctionNamed(name).Fast) {
            // The stream reaches arguments whose rounding only the accurate path can decide.
            EXPECT_GT(tally.NearBoundary, 0);
        }
    }

    std::string ShardName(const testing::TestParamInfo<std::tuple<const char*, int>>& shard)
    {
        return std::string(std::get<0>(shard.param)) + "_"
            + std::to_string(std::get<1>(shard.param));
    }

    INSTANTIATE_TEST_SUITE_P(Extended, CorrectRounding,
        testing::Combine(
            testing::Values("ln", "exp", "atan", "sin", "cos"), testing::Range(0, Shards)),
        ShardName);

    // Every entry of the fast paths' tables, at the edges of its interval where the reduced
    // argument is largest: a wrong entry or a wrong interval bound shows here for certain,
    // where the random streams meet it by chance.
    TEST(ExtendedFunctions, RoundCorrectlyAtEveryTableEdge)
    {
        PrepareFloatingPoint();
        constexpr long double Ln2Over512 = 0.693147180559945309417232121458176568L / 512;
        test::RoundingChecker ln(test::RoundedFunctionNamed("ln"));
        test::RoundingChecker exp(test::RoundedFunctionNamed("exp"));
        test::RoundingTally lnTally;
        test::RoundingTally expTally;
        for (int j = 0; j <= 512; ++j) {
            const long double edge = 1 + j / 512.0L;
            // -1001 and 999 reach the ends of the range where Ln takes the exponent from the
            // nearest double, whose rounding up to a power of two it must correct.
            for (const int exponent : { -1001, -1000, -1, 0, 1, 30, 999 }) {
                const long double x = std::ldexp(edge, exponent);
                for (const long double near :
                    { std::nextafter(x, 0.0L), x, std::nextafter(x, HUGE_VALL) })
                    ln.Check(near, lnTally);
            }
            // -16381 and 16383: the ends of the normal range, where the fast path's value scaled
            // by 2^k would carry a subnormal low part.
            for (const long double k : { -16381.0L, -200.0L, -1.0L, 0.0L, 1.0L, 37.0L, 16383.0L }) {
                const long double middle = (k * 512 + j + 0.5L) * Ln2Over512;
                exp.Check(std::nextafter(middle, -HUGE_VALL), expTally);
                exp.Check(std::nextafter(middle, HUGE_VALL), expTally);
            }
        }
        // Around the bound below which Exp rounds to 1 without either path.
        for (const long double tiny : { 0x1p-64L, 0x1p-65L, 0x1p-66L })
            for (const long double x : { tiny, -tiny })
                for (const long double near :
                    { std::nextafter(x, -HUGE_VALL), x, std::nextafter(x, HUGE_VALL) })
                    exp.Check(near, expTally);
        EXPECT_EQ(lnTally.Misrounded, 0) << lnTally.FirstMisrounded;
        EXPECT_EQ(lnTally.FastPathMisses, 0) << lnTally.FirstFastPathMiss;
        EXPECT_EQ(expTally.Misrounded, 0) << expTally.FirstMisrounded;
        EXPECT_EQ(expTally.FastPathMisses, 0) << expTally.FirstFastPathMiss;
    }

    // The flags an expression raised, from a clean state.
    template <typename F> int FlagsOf(F expression, long double& value)
    {
        PrepareFloatingPoint();
        value = expression();
        const int raised = std::fetestexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
        std::feclearexcept(FE_ALL_EXCEPT);
        return raised;
    }

    constexpr long double Inf = std::numeric_limits<long double>::infinity();
    const long double NaN = std::numeric_limits<long double>::quiet_NaN();

    TEST(ExtendedFunctions, RaiseTheFaultsTheRunDriverStopsOn)
    {
        long double v = 0;
        EXPECT_EQ(FlagsOf([] { return Ln(0.0L); }, v), FE_DIVBYZERO);
        EXPECT_EQ(v, -Inf);
        EXPECT_EQ(FlagsOf([] { return Ln(-1e-300L); }, v), FE_INVALID);
        EXPECT_TRUE(std::isnan(v));
        EXPECT_EQ(FlagsOf([] { return Exp(11357.0L); }, v), FE_OVERFLOW);
        EXPECT_EQ(v, Inf);
        EXPECT_EQ(FlagsOf([] { return Sin(Inf); }, v), FE_INVALID);
        EXPECT_EQ(FlagsOf([] { return Cos(-Inf); }, v), FE_INVALID);
        // A power of a negative base, as the element laws would take it.
        EXPECT_EQ(FlagsOf([] { return RealPower(-2.0L, 0.5L); }, v), FE_INVALID);
        // ln(LDBL_MAX) itself does not overflow.
        EXPECT_EQ(FlagsOf([] { return Exp(11356.5234062941439L); }, v), 0);
        EXPECT_LT(v, Inf);
    }

    TEST(ExtendedFunctions, PassQuietValuesWithoutFaults)
    {
        long double v = 0;
        EXPECT_EQ(FlagsOf([&] { return Exp(NaN); }, v), 0);
        EXPECT_TRUE(std::isnan(v));
        EXPECT_EQ(FlagsOf([&] { return Ln(NaN); }, v), 0);
        EXPECT_EQ(FlagsOf([] { return Ln(Inf); }, v), 0);
        EXPECT_EQ(v, Inf);
        EXPECT_EQ(FlagsOf([] { return Exp(-Inf); }, v), 0);
        EXPECT_EQ(v, 0);
        EXPECT_EQ(FlagsOf([] { return Atan(-Inf); }, v), 0);
        EXPECT_EQ(v, -Atan(Inf));
        // Underflow is no fault: exp of a large negative number is subnormal or zero.
        EXPECT_EQ(FlagsOf([] { return Exp(-11390.0L); }, v), 0);
        EXPECT_GT(v, 0);
        EXPECT_LT(v, std::numeric_limits<long double>::min());
        EXPECT_EQ(FlagsOf([] { return Exp(-12000.0L); }, v), 0);
        EXPECT_EQ(v, 0);
    }

    // What a keeper found is what it leaves, whether the code in between raised nothing new, a
    // fault of its own, or cleared a flag that was set before.
    TEST(FloatingPointFlags, AreLeftAsTheKeeperFoundThem)
    {
        volatile long double zero = 0;
        PrepareFloatingPoint();
        {
            const FloatingPointFlagsKeeper keep;
            EXPECT_TRUE(std::isinf(1 / zero));
        }
        EXPECT_EQ(std::fetestexcept(FE_ALL_EXCEPT), 0);
        EXPECT_TRUE(std::isnan(zero / zero));
        {
            const FloatingPointFlagsKeeper keep;
            EXPECT_GT(Exp(1.0L), 2); // raises inexact, which was not set
        }
        EXPECT_EQ(std::fetestexcept(FE_ALL_EXCEPT), FE_INVALID);
        {
            const FloatingPointFlagsKeeper keep;
            ClearFloatingPointFaults();
        }
        EXPECT_EQ(std::fetestexcept(FE_ALL_EXCEPT), FE_INVALID);
        std::feclearexcept(FE_ALL_EXCEPT);
    }

    TEST(ExtendedFunctions, AreExactWhereTheValueIs)
    {
        EXPECT_EQ(Ln(1.0L), 0);
        EXPECT_FALSE(std::signbit(Ln(1.0L)));
        EXPECT_EQ(Exp(0.0L), 1);
        EXPECT_EQ(Exp(-0.0L), 1);
        EXPECT_EQ(Sin(-0.0L), 0);
        EXPECT_TRUE(std::signbit(Sin(-0.0L)));
        EXPECT_EQ(Cos(0.0L), 1);
        EXPECT_EQ(Atan(0.0L), 0);
        // Subnormal arguments and results take the accurate path.
        const long double tiny = std::numeric_limits<long double>::denorm_min();
        mpfr_t a;
        mpfr_init2(a, 64);
        mpfr_set_ld(a, tiny, MPFR_RNDN);
        mpfr_log(a, a, MPFR_RNDN);
        EXPECT_EQ(Ln(tiny), mpfr_get_ld(a, MPFR_RNDN));
        mpfr_clear(a);
    }

} // namespace
} // namespace karrow
