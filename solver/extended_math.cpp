#include "extended_math.h"

#include <array>
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <mpfr.h>

namespace karrow {

namespace {

    using LD = long double;

    // ---- error-free transformations (exact in round-to-nearest with a 64-bit mantissa) ----

    // a + b = s + e exactly, provided a = 0 or a is a multiple of the unit in the last place of b
    // (as when |a| >= |b|).
    DoubleExtended FastTwoSum(LD a, LD b)
    {
        const LD s = a + b;
        return { s, b - (s - a) };
    }

    // a = hi + lo with 32 significant bits in each, so that products of halves are exact.
    DoubleExtended Split(LD a)
    {
        constexpr LD Splitter = 4294967297.0L; // 2^32 + 1
        const LD t = Splitter * a;
        const LD hi = t - (t - a);
        return { hi, a - hi };
    }

    // ---- the bits of the extended format ----

    struct ExtendedBits {
        std::uint64_t Mantissa; // with its explicit leading bit
        std::uint16_t SignExponent;
    };

    ExtendedBits BitsOf(LD x)
    {
        ExtendedBits bits {};
        std::memcpy(&bits.Mantissa, &x, 8);
        std::memcpy(&bits.SignExponent, reinterpret_cast<const unsigned char*>(&x) + 8, 2);
        return bits;
    }

    LD FromBits(std::uint64_t mantissa, std::uint16_t signExponent)
    {
        LD x = 0;
        std::memcpy(&x, &mantissa, 8);
        std::memcpy(reinterpret_cast<unsigned char*>(&x) + 8, &signExponent, 2);
        return x;
    }

    constexpr int ExponentBias = 16383;

    // 2^k for a normal result; through a double where one holds it (a faster load).
    inline LD PowerOfTwo(int k)
    {
        if (k > -1000 && k < 1000) {
            const std::uint64_t bits = static_cast<std::uint64_t>(1023 + k) << 52;
            double power = 0;
            std::memcpy(&power, &bits, 8);
            return power;
        }
        return FromBits(std::uint64_t(1) << 63, static_cast<std::uint16_t>(ExponentBias + k));
    }

    // ---- the accurate path ----

    using MpfrFunction = int (*)(mpfr_ptr, mpfr_srcptr, mpfr_rnd_t);

    // MPFR keeps the constants it computes (pi, ln 2) in caches of the calling thread, and nothing
    // frees them when a study's or a check's thread ends. Each thread that takes the accurate path
    // frees its own as it ends: computed once a thread, not once a call (the geometry's Atan
    // takes this path every time). The constants are exact at every precision asked, so an
    // answer never depends on what a thread computed before.
    struct MpfrConstantsRelease {
        MpfrConstantsRelease() = default;
        MpfrConstantsRelease(const MpfrConstantsRelease&) = delete;
        MpfrConstantsRelease& operator=(const MpfrConstantsRelease&) = delete;
        ~MpfrConstantsRelease() { mpfr_free_cache2(MPFR_FREE_LOCAL_CACHE); }
    };

    void ReleaseConstantsAtThreadEnd()
    {
        thread_local const MpfrConstantsRelease release;
    }

    // f(x) rounded once to the extended format, subnormals included, with the flags a hardware
    // evaluation would raise for an overflow or an underflow and no others.
    LD Accurate(MpfrFunction f, LD x)
    {
        std::fexcept_t flags;
        std::fegetexceptflag(&flags, FE_ALL_EXCEPT);
        const mpfr_exp_t emin = mpfr_get_emin();
        const mpfr_exp_t emax = mpfr_get_emax();
        // The exponent range of the extended format in MPFR's convention (0.1xxx times 2^e),
        // down to its smallest subnormal.
        mpfr_set_emin(-16444);
        mpfr_set_emax(16384);
        mpfr_clear_flags();
        mpfr_t a;
        mpfr_t y;
        mpfr_init2(a, 64);
        mpfr_init2(y, 64);
        mpfr_set_ld(a, x, MPFR_RNDN);
        mpfr_subnormalize(y, f(y, a, MPFR_RNDN), MPFR_RNDN);
        const bool overflow = mpfr_overflow_p() != 0;
        const bool underflow = mpfr_underflow_p() != 0;
        const LD result = mpfr_get_ld(y, MPFR_RNDN);
        mpfr_clear(a);
        mpfr_clear(y);
        ReleaseConstantsAtThreadEnd();
        mpfr_set_emin(emin);
        mpfr_set_emax(emax);
        std::fesetexceptflag(&flags, FE_ALL_EXCEPT);
        if (overflow)
            std::feraiseexcept(FE_OVERFLOW | FE_INEXACT);
        if (underflow)
            std::feraiseexcept(FE_UNDERFLOW | FE_INEXACT);
        return result;
    }

    // ---- tables, computed once with MPFR from exactly stated values ----

    // Parts of the tables are held as doubles: exact where they carry 32 bits or fewer, and
    // loaded by the x87 unit as cheaply as its own format is not.

    // 2^(j/512) = Hi + Lo, Hi = A + B with 32 bits in each of A and B, so that Hi times a split
    // factor is exact without splitting Hi at run time; Lo is the rest rounded to 53 bits.
    struct ExpEntry {
        double A;
        double B;
        double Lo;
    };

    // On the interval j of the reduced mantissa: C, a short approximation of 1 / (middle of the
    // interval) (1 on the two intervals next to 1), and -ln C = Hi + Lo, Hi a multiple of 2^-50
    // like Ln2Hi, so that e Ln2Hi + Hi is exact; Lo is the rest rounded to 53 bits.
    struct LnEntry {
        double CHigh; // C 2^-51 (2^-52 for m < 1): times m's leading 52 bits as an integer
        double CLow; // C 2^-63 (2^-64 for m < 1): times m's last 12 bits as an integer
        double Hi;
        double Lo;
    };

    constexpr int ExpTableBits = 9;
    constexpr int ExpTableSize = 1 << ExpTableBits;
    constexpr int LnTableBits = 9;
    constexpr int LnTableSize = 1 << LnTableBits;

    struct Tables {
        std::array<ExpEntry, ExpTableSize> TwoToJOver512;
        std::array<LnEntry, LnTableSize> Ln;
        // ln2 / 512 = L1 + L2 + (below 2^-113): L1 with 40 bits, so that n L1 is exact for
        // |n| < 2^24.
        double L1 = 0;
        LD L2 = 0;
        // ln 2 = Ln2Hi + Ln2Lo, Ln2Hi a multiple of 2^-50 (e Ln2Hi exact for |e| < 2^14.5), Ln2Lo
        // rounded to 53 bits.
        double Ln2Hi = 0;
        double Ln2Lo = 0;
    };

    class BigFloat {
    public:
        BigFloat() { mpfr_init2(v_, 256); }
        ~BigFloat() { mpfr_clear(v_); }
        BigFloat(const BigFloat&) = delete;
        BigFloat& operator=(const BigFloat&) = delete;
        mpfr_ptr operator*() { return v_; }

    private:
        mpfr_t v_;
    };

    // The leading `bits` bits of v, removed from v.
    LD TakeLeading(mpfr_ptr v, mpfr_prec_t bits)
    {
        mpfr_t part;
        mpfr_init2(part, bits);
        mpfr_set(part, v, MPFR_RNDN);
        mpfr_sub(v, v, part, MPFR_RNDN);
        const LD leading = mpfr_get_ld(part, MPFR_RNDN);
        mpfr_clear(part);
        return leading;
    }

    // v rounded to a multiple of 2^-50, removed from v.
    LD TakeMultipleOfTwoToMinus50(mpfr_ptr v)
    {
        BigFloat part;
        mpfr_mul_2si(*part, v, 50, MPFR_RNDN);
        mpfr_rint(*part, *part, MPFR_RNDN);
        mpfr_div_2si(*part, *part, 50, MPFR_RNDN);
        mpfr_sub(v, v, *part, MPFR_RNDN);
        return mpfr_get_ld(*part, MPFR_RNDN);
    }

    // The middle of interval j of the reduced mantissa m: [1 + j/1024, ...) below 256, where m
    // is in [1, 1.5), and [0.5 + j/1024, ...) from 256 on, where m is in [0.75, 1).
    LD LnIntervalMiddle(int j)
    {
        return j < LnTableSize / 2 ? 1 + (j + 0.5L) / 512 : 0.5L + (j + 0.5L) / 1024;
    }

    Tables BuildTables()
    {
        Tables t;
        BigFloat v;
        for (int j = 0; j < ExpTableSize; ++j) {
            mpfr_set_si(*v, j, MPFR_RNDN);
            mpfr_div_ui(*v, *v, ExpTableSize, MPFR_RNDN);
            mpfr_exp2(*v, *v, MPFR_RNDN);
            ExpEntry& e = t.TwoToJOver512[static_cast<std::size_t>(j)];
            // A and B from the 64-bit Hi, so that A + B is exactly Hi.
            BigFloat hi;
            mpfr_set_ld(*hi, TakeLeading(*v, 64), MPFR_RNDN);
            e.Lo = static_cast<double>(TakeLeading(*v, 53));
            e.A = static_cast<double>(TakeLeading(*hi, 32));
            e.B = static_cast<double>(TakeLeading(*hi, 32));
        }
        for (int j = 0; j < LnTableSize; ++j) {
            LnEntry& e = t.Ln[static_cast<std::size_t>(j)];
            // C with 10 bits after the point on [1, 1.5) and 9 on [0.75, 1): m C - 1 is then
            // a multiple of 2^-73 below 2^-9 in magnitude, exact in 64 bits.
            const LD scale = j < LnTableSize / 2 ? 1024 : 512;
            const bool nextToOne = j == 0 || j == LnTableSize - 1;
            const double c = nextToOne
                ? 1
                : static_cast<double>(std::nearbyint(scale / LnIntervalMiddle(j)) / scale);
            const int mantissaUnit = j < LnTableSize / 2 ? 63 : 64;
            e.CHigh = std::ldexp(c, 12 - mantissaUnit);
            e.CLow = std::ldexp(c, -mantissaUnit);
            mpfr_set_d(*v, c, MPFR_RNDN);
            mpfr_log(*v, *v, MPFR_RNDN);
            mpfr_neg(*v, *v, MPFR_RNDN);
            e.Hi = static_cast<double>(TakeMultipleOfTwoToMinus50(*v));
            e.Lo = static_cast<double>(TakeLeading(*v, 53));
        }
        mpfr_const_log2(*v, MPFR_RNDN);
        mpfr_div_ui(*v, *v, ExpTableSize, MPFR_RNDN);
        t.L1 = static_cast<double>(TakeLeading(*v, 40));
        t.L2 = TakeLeading(*v, 64);
        mpfr_const_log2(*v, MPFR_RNDN);
        t.Ln2Hi = static_cast<double>(TakeMultipleOfTwoToMinus50(*v));
        t.Ln2Lo = static_cast<double>(TakeLeading(*v, 53));
        mpfr_free_cache();
        return t;
    }

    // Inlined: after the first call, one predictable test of the guard.
    [[gnu::always_inline]] inline const Tables& TheTables()
    {
        static const Tables tables = BuildTables();
        return tables;
    }

    // ---- the fast paths ----

    // Ziv's test on the fast path's value big + small, with f(x) within err of it: when both
    // ends of that interval round to the same extended number, f(x) does too (rounding is
    // monotonic). The sum is not normalised first: small is below 2^-18 of big, so the roundings
    // of small +- err are below 2^-82 of the result, far below the margin between each proven
    // error and the err the test takes; and one addition less lies on the path to the result.
    inline bool RoundsSurely(LD big, LD small, LD err, LD& rounded)
    {
        const LD up = big + (small + err);
        const LD down = big + (small - err);
        if (up != down)
            return false;
        rounded = up;
        return true;
    }

    // Arguments whose exp is a normal extended number: up to just below ln(LDBL_MAX) =
    // 11356.523..., down to just above ln(2^-16382) = -11355.137...; 2^k is then normal too.
    constexpr LD ExpFastHigh = 11356.5L;
    constexpr LD ExpFastLow = -11355.0L;
    // Below it in magnitude exp(x) rounds to 1 (its distance from 1 is below a quarter ulp).
    constexpr LD ExpTiny = 0x1p-65L;

    // exp(x) = 2^k (y.Hi + y.Lo), y not normalised: |y.Lo| < 2^-40 y.Hi, y.Hi in (0.99, 2).
    //
    // x = n ln2/512 + r with n = 512 k + j, |r| <= ln2/1024 (1 + 2^-40) < 2^-10.5, so
    // exp(x) = 2^k 2^(j/512) exp(r). n is the integer nearest to x 512/ln2 rounded to 64 bits,
    // so it differs from the nearest to the exact product only within 2^-40 of a midpoint.
    // x - n L1 is exact (both are multiples of the unit of the smaller of x and 2^-49, and the
    // difference is below 2^64 such units; n = 0 where |x| < 2^-11), so r = rh + rl exactly but
    // for n L2's rounding and the omitted part of ln2/512, together below 2^-90.
    // exp(r) = (1 + rh + rh^2/2 + t)(1 + rl) with t = rh^3/6 + ... + rh^6/720 leaves out less
    // than 2^-85.8 (the first omitted term) and rl rh < 2^-85. T = 2^(j/512) = Hi + Lo to 2^-117.
    // T exp(r) = Hi + Hi rh + (Lo + Hi ((rl + rh^2/2) + t) + Lo rh): Hi rh exact by Dekker's
    // product with Hi's halves from the table; every other term is below 2^-20 of the result
    // and carries at most one rounding of 2^-64 of it, t < 2^-33 only roundings far below
    // (seven in all, < 2^-81.2). Relative error < 2^-80.5, bound 2^-78. The high-degree terms
    // are added last, so that the polynomial is not on the path of the other additions.
    [[gnu::always_inline]] inline bool FastExpUnscaled(LD x, DoubleExtended& y, int& k)
    {
        // Quiet comparisons: an ordered one with nan would raise invalid. Tiny arguments, whose
        // exp rounds to 1, are left to the caller: x 512/ln2 would underflow for subnormals.
        if (!(__builtin_isgreater(x, ExpFastLow) && __builtin_isless(x, ExpFastHigh))
            || std::fabs(x) < ExpTiny)
            return false;
        const Tables& t = TheTables();
        // Adding 1.5 2^63 rounds |v| < 2^62 to an integer, which the mantissa then holds in
        // its low bits: on the x87 unit alone, without a conversion through memory.
        constexpr LD FiveHundredTwelveOverLn2 = 738.659860935148964568281436672969L;
        constexpr LD Shifter = 0x1.8p63L;
        const LD shifted = x * FiveHundredTwelveOverLn2 + Shifter;
        const LD nf = shifted - Shifter;
        const auto n = static_cast<std::int64_t>(BitsOf(shifted).Mantissa - 0xc000000000000000);
        k = static_cast<int>(n >> ExpTableBits);
        const ExpEntry& e = t.TwoToJOver512[static_cast<std::size_t>(n & (ExpTableSize - 1))];

        // Exact although the first term may be the smaller: for n != 0 it is a multiple of
        // x's unit (at least |n| 2^-75) or of 2^-49, the second's last bit is below |n| 2^-113.
        const DoubleExtended r = FastTwoSum(x - nf * LD(t.L1), -(nf * t.L2));
        const LD h = r.Hi;
        // Doubles suffice from r^3/6 on (below 2^-33 of the result) and load faster.
        constexpr double C3 = 1.0 / 6;
        constexpr double C4 = 1.0 / 24;
        constexpr double C5 = 1.0 / 120;
        constexpr double C6 = 1.0 / 720;
        const LD h2 = h * h;
        const LD cubicTail = (h2 * h) * ((LD(C3) + h * LD(C4)) + h2 * (LD(C5) + h * LD(C6)));

        // h = h1 + (h - h1) with 32 bits in h1: A h1 and B h1 are exact, and Hi (h - h1) < 2^-42
        // is rounded by less than 2^-106.
        const LD a = e.A;
        const LD b = e.B;
        const LD hi = a + b;
        const LD h1 = Split(h).Hi;
        const DoubleExtended s = FastTwoSum(hi, a * h1);
        const LD lo = e.Lo;
        const LD early =
            s.Lo + (b * h1 + (lo + (lo * h + hi * ((h - h1) + (r.Lo + 0.5L * h2)))));
        y = { s.Hi, early + hi * cubicTail };
        return true;
    }

} // namespace

// ln x = e ln2 - ln C + log1p(z) with x = 2^e m, m in [0.75, 1.5), C from a table of 512 for the
// interval of m (1 on the two intervals next to 1) and z = m C - 1. C has 10 bits after the
// point (9 for m < 1) and m's 64 bits end at 2^-63 (2^-64), so m C - 1 is a multiple of 2^-73
// below 2^-9 in magnitude: exact in 64 bits. It is computed exactly as (mh C - 1) + ml C with
// mh = m without its last 12 bits (52 bits times C's 11 are exact, and mh C is near 1) and ml
// the rest (ml C has 23 bits): both terms are multiples of 2^-73, so their sum is z itself.
// log1p(z) = z - z^2/2 + z^3 P(z) with P to z^6/9 leaves out less than z^10/10: relative to
// |z| where e = 0 and C = 1 (< 2^-84.3), and elsewhere, where |ln x| >= 2^-10, below 2^-83.3 of
// it. z^2 is exact through Dekker's product where e = 0; elsewhere |ln x| > 2^-1.8 and z^2/2's
// rounding (< 2^-83) is below 2^-81 of it. z^3 P < 2^-28.5 carries a few roundings of 2^-64
// of it (< 2^-90.5: below 2^-80.5 of |ln x| >= 2^-10, or 2^-82 of |z|). e Ln2Hi - ln C's Hi is
// exact (multiples of 2^-50 below 2^13.5), its sums with z and with -z^2/2 exact through
// FastTwoSum; the low parts, below 2^-18.5 of |ln x| (of |z| where e = 0 and C = 1: below
// 2^-18), add four roundings below 2^-82.5 of it. Relative error < 2^-79, bound 2^-77.
// Where 2^-1000 < x < 2^1000 the exponent comes from the double nearest to x.
namespace {
    [[gnu::always_inline]] inline bool FastLnInline(LD x, DoubleExtended& y)
    {
        const ExtendedBits bits = BitsOf(x);
        int e = 0;
        if (__builtin_isgreater(x, 0x1p-1000L) && __builtin_isless(x, 0x1p1000L)) {
            // The exponent from the double nearest to x, which holds x's exponent but where its
            // 53 bits round up to the next power of two, as they do from m >= 2^64 - 2^10 on:
            // a conversion in registers is quicker than x's two bytes of exponent in memory,
            // which the processor cannot pass on from the store of x that is still under way.
            const double nearest = static_cast<double>(x);
            std::uint64_t nearestBits = 0;
            std::memcpy(&nearestBits, &nearest, 8);
            e = static_cast<int>(nearestBits >> 52) - 1023
                - (bits.Mantissa >= 0xfffffffffffffc00 ? 1 : 0);
        } else {
            if (!__builtin_isgreater(x, 0) || bits.SignExponent == 0x7fff
                || bits.SignExponent == 0)
                return false; // nan, zero, negative, inf, subnormal
            e = bits.SignExponent - ExponentBias;
        }
        const Tables& t = TheTables();
        const auto j =
            static_cast<std::size_t>((bits.Mantissa >> (63 - LnTableBits)) & (LnTableSize - 1));
        if (j >= LnTableSize / 2)
            e += 1; // m in [0.75, 1)
        // m's leading 52 and last 12 bits as integers, exact as doubles; the table's C carries
        // their units.
        constexpr std::uint64_t LowBits = (std::uint64_t(1) << 12) - 1;
        const LD mh = static_cast<LD>(static_cast<std::int64_t>(bits.Mantissa >> 12));
        const LD ml = static_cast<LD>(static_cast<std::int64_t>(bits.Mantissa & LowBits));
        const LnEntry& entry = t.Ln[j];
        const LD z = (mh * LD(entry.CHigh) - 1) + ml * LD(entry.CLow);

        // z^2 = z2 + z2Lo exactly where e = 0. Elsewhere |ln x| > 2^-1.8, and z2's rounding,
        // below 2^-82, is below 2^-80 of it: z2Lo is left out.
        const LD z2 = z * z;
        LD z2Lo = 0;
        if (e == 0) {
            const DoubleExtended zs = Split(z);
            z2Lo = ((zs.Hi * zs.Hi - z2) + 2 * (zs.Hi * zs.Lo)) + zs.Lo * zs.Lo;
        }
        const LD z4 = z2 * z2;
        // Doubles suffice from z^5/5 on (below 2^-98) and load faster.
        constexpr LD P5 = 1.0 / 5;
        constexpr LD P6 = 1.0 / 6;
        constexpr LD P7 = 1.0 / 7;
        constexpr LD P9 = 1.0 / 9;
        const LD poly =
            ((1.0L / 3 - z * 0.25L) + z2 * (P5 - z * P6)) + z4 * ((P7 - z * 0.125L) + z2 * P9);
        const LD cubeTimesPoly = z * z2 * poly;

        // -ln C + e ln2 + z - z^2/2 as three exact sums, the last one's parts small: the
        // polynomial, which takes longest, is added last.
        const LD ed = e;
        // Exact: the first term is a multiple of 2^-50 below 2^13.5, the second's unit is
        // 2^-72 or finer.
        const DoubleExtended linear = FastTwoSum(ed * LD(t.Ln2Hi) + LD(entry.Hi), z);
        // Exact: |linear.Hi| >= |z|/2 where e = 0 and C = 1, and above 2^-11 elsewhere, while
        // z^2/2 < 2^-19.
        const DoubleExtended sum = FastTwoSum(linear.Hi, -0.5L * z2);
        y.Hi = sum.Hi;
        y.Lo = (sum.Lo + (linear.Lo + (ed * LD(t.Ln2Lo) + LD(entry.Lo))))
            + (cubeTimesPoly - 0.5L * z2Lo);
        return true;
    }
} // namespace

bool FastLn(long double x, DoubleExtended& y, int& twoPower)
{
    twoPower = 0;
    if (!FastLnInline(x, y))
        return false;
    y = FastTwoSum(y.Hi, y.Lo);
    return true;
}

bool FastExp(long double x, DoubleExtended& y, int& twoPower)
{
    if (!FastExpUnscaled(x, y, twoPower))
        return false;
    y = FastTwoSum(y.Hi, y.Lo);
    return true;
}

long double CorrectlyRoundedLn(long double x)
{
    DoubleExtended y;
    LD rounded = 0;
    if (FastLnInline(x, y) && RoundsSurely(y.Hi, y.Lo, FastLnErrorBound * std::fabs(y.Hi), rounded))
        return rounded;
    if (std::isnan(x))
        return x + x;
    if (x == 0)
        return -1 / std::fabs(x); // -inf, division by zero
    if (x < 0)
        return (x - x) / (x - x); // nan, invalid
    if (std::isinf(x))
        return x;
    return Accurate(mpfr_log, x);
}

long double CorrectlyRoundedExp(long double x)
{
    DoubleExtended y;
    int k = 0;
    LD rounded = 0;
    if (FastExpUnscaled(x, y, k) && RoundsSurely(y.Hi, y.Lo, FastExpErrorBound * y.Hi, rounded))
        return rounded * PowerOfTwo(k); // exact: 2^k and the result are normal
    if (std::isnan(x))
        return x + x;
    if (std::fabs(x) < ExpTiny)
        return 1 + x; // rounds to 1, inexact
    return Accurate(mpfr_exp, x);
}

long double CorrectlyRoundedAtan(long double x)
{
    if (std::isnan(x))
        return x + x;
    return Accurate(mpfr_atan, x);
}

long double CorrectlyRoundedSin(long double x)
{
    if (std::isnan(x))
        return x + x;
    if (std::isinf(x))
        return x - x; // nan, invalid
    return Accurate(mpfr_sin, x);
}

long double CorrectlyRoundedCos(long double x)
{
    if (std::isnan(x))
        return x + x;
    if (std::isinf(x))
        return x - x;
    return Accurate(mpfr_cos, x);
}

} // namespace karrow
