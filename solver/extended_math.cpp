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

    // a + b = s + e exactly.
    DoubleExtended TwoSum(LD a, LD b)
    {
        const LD s = a + b;
        const LD bb = s - a;
        return { s, (a - (s - bb)) + (b - bb) };
    }

    // a + b = s + e exactly, provided |a| >= |b| or a = 0.
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

    // a b = p + e exactly (no fused multiply-add on the x87 unit: Dekker's product).
    DoubleExtended TwoProduct(LD a, LD b)
    {
        const LD p = a * b;
        const DoubleExtended x = Split(a);
        const DoubleExtended y = Split(b);
        return { p, ((x.Hi * y.Hi - p) + x.Hi * y.Lo + x.Lo * y.Hi) + x.Lo * y.Lo };
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

    // 2^k for a normal result.
    LD PowerOfTwo(int k)
    {
        return FromBits(std::uint64_t(1) << 63, static_cast<std::uint16_t>(ExponentBias + k));
    }

    // ---- the accurate path ----

    using MpfrFunction = int (*)(mpfr_ptr, mpfr_srcptr, mpfr_rnd_t);

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

    struct LnEntry {
        LD C; // about 1 / (middle of the interval); 1 on the two intervals next to 1
        DoubleExtended MinusLnC;
    };

    struct Tables {
        std::array<DoubleExtended, 64> TwoToJOver64; // 2^(j/64)
        std::array<DoubleExtended, 64> TwoToJOver4096; // 2^(j/4096)
        std::array<LnEntry, 256> Ln;
        // ln 2 / 4096 = L1 + L2 + L3: L1 and L2 with 37 bits, so that n L1 and n L2 are exact
        // for |n| < 2^27.
        LD L1 = 0;
        LD L2 = 0;
        LD L3 = 0;
        // ln 2 = Ln2Hi + Ln2Lo, Ln2Hi with 49 bits, so that e Ln2Hi is exact for |e| < 2^15.
        LD Ln2Hi = 0;
        LD Ln2Lo = 0;
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

    DoubleExtended TakeDoubleExtended(mpfr_ptr v)
    {
        const LD hi = TakeLeading(v, 64);
        return { hi, TakeLeading(v, 64) };
    }

    Tables BuildTables()
    {
        Tables t;
        BigFloat v;
        for (int j = 0; j < 64; ++j) {
            mpfr_set_si(*v, j, MPFR_RNDN);
            mpfr_div_ui(*v, *v, 64, MPFR_RNDN);
            mpfr_exp2(*v, *v, MPFR_RNDN);
            t.TwoToJOver64[static_cast<std::size_t>(j)] = TakeDoubleExtended(*v);
            mpfr_set_si(*v, j, MPFR_RNDN);
            mpfr_div_ui(*v, *v, 4096, MPFR_RNDN);
            mpfr_exp2(*v, *v, MPFR_RNDN);
            t.TwoToJOver4096[static_cast<std::size_t>(j)] = TakeDoubleExtended(*v);
        }
        for (int j = 0; j < 256; ++j) {
            LnEntry& e = t.Ln[static_cast<std::size_t>(j)];
            const LD middle = (1 + (j + 0.5L) / 256) / (j < 128 ? 1 : 2);
            e.C = (j == 0 || j == 255) ? 1 : 1 / middle;
            mpfr_set_ld(*v, e.C, MPFR_RNDN);
            mpfr_log(*v, *v, MPFR_RNDN);
            mpfr_neg(*v, *v, MPFR_RNDN);
            e.MinusLnC = TakeDoubleExtended(*v);
        }
        mpfr_const_log2(*v, MPFR_RNDN);
        mpfr_div_ui(*v, *v, 4096, MPFR_RNDN);
        t.L1 = TakeLeading(*v, 37);
        t.L2 = TakeLeading(*v, 37);
        t.L3 = TakeLeading(*v, 64);
        mpfr_const_log2(*v, MPFR_RNDN);
        t.Ln2Hi = TakeLeading(*v, 49);
        t.Ln2Lo = TakeLeading(*v, 64);
        mpfr_free_cache();
        return t;
    }

    const Tables& TheTables()
    {
        static const Tables tables = BuildTables();
        return tables;
    }

    // ---- the fast paths ----

    // Ziv's test: y.Hi + y.Lo is within bound |y.Hi| of f(x), so when both ends of that interval
    // round to the same extended number, f(x) does too (rounding is monotonic). y.Lo is at most
    // half an ulp of y.Hi; the rounding of y.Lo +- err is far below the margin in the bounds.
    bool RoundsSurely(const DoubleExtended& y, LD bound, LD& rounded)
    {
        const LD err = bound * std::fabs(y.Hi);
        const LD up = y.Hi + (y.Lo + err);
        const LD down = y.Hi + (y.Lo - err);
        if (up != down)
            return false;
        rounded = up;
        return true;
    }

    // Arguments whose exp is a normal extended number: up to just below ln(LDBL_MAX) =
    // 11356.523..., down to just above ln(2^-16382) = -11355.137...
    constexpr LD ExpFastHigh = 11356.5L;
    constexpr LD ExpFastLow = -11355.0L;

    // exp(x) = 2^k (y.Hi + y.Lo).
    //
    // x = n ln2/4096 + r with n = 4096 k + 64 j1 + j2 and |r| <= ln2/8192 < 2^-13.5, so
    // exp(x) = 2^k 2^(j1/64) 2^(j2/4096) exp(r). r is exact as rh + rl (n L1, n L2 exact; the
    // rest below 2^-120). exp(r) = 1 + r + r^2/2 + ... + r^6/720 leaves out less than 2^-107;
    // q = r^2/2 + ... is below 2^-28 and carries about 3 roundings of 2^-64 of it, < 2^-90; the
    // table values and their products are good to 2^-125. Relative error < 2^-89.5, bound 2^-80.
    bool FastExpUnscaled(LD x, DoubleExtended& y, int& k)
    {
        // isnan first: an ordered comparison with nan raises invalid.
        if (std::isnan(x) || !(x > ExpFastLow && x < ExpFastHigh))
            return false;
        const Tables& t = TheTables();
        constexpr LD FourThousandNinetySixOverLn2 = 5909.27888748119411654625149338375L;
        constexpr LD Shifter = 0x1.8p63L; // adding it rounds |v| < 2^62 to an integer
        const LD shifted = x * FourThousandNinetySixOverLn2 + Shifter;
        const LD nf = shifted - Shifter;
        const auto n = static_cast<std::int64_t>(BitsOf(shifted).Mantissa - (std::uint64_t(3) << 62));
        k = static_cast<int>(n >> 12);
        const auto j1 = static_cast<std::size_t>((n >> 6) & 63);
        const auto j2 = static_cast<std::size_t>(n & 63);

        const DoubleExtended a = TwoSum(x, -(nf * t.L1));
        const DoubleExtended b = TwoSum(a.Hi, -(nf * t.L2));
        const DoubleExtended r = FastTwoSum(b.Hi, (b.Lo + a.Lo) - nf * t.L3);

        const LD h = r.Hi;
        constexpr LD C3 = 1.0L / 6;
        constexpr LD C4 = 1.0L / 24;
        constexpr LD C5 = 1.0L / 120;
        constexpr LD C6 = 1.0L / 720;
        const LD q = h * h * (0.5L + h * (C3 + h * (C4 + h * (C5 + h * C6)))) + h * r.Lo;
        const DoubleExtended p = FastTwoSum(h, r.Lo + q);
        DoubleExtended s = FastTwoSum(1, p.Hi);
        s.Lo += p.Lo;

        const DoubleExtended& t1 = t.TwoToJOver64[j1];
        const DoubleExtended& t2 = t.TwoToJOver4096[j2];
        DoubleExtended table = TwoProduct(t1.Hi, t2.Hi);
        table.Lo += t1.Hi * t2.Lo + t1.Lo * t2.Hi;

        DoubleExtended product = TwoProduct(table.Hi, s.Hi);
        product.Lo += table.Hi * s.Lo + table.Lo * s.Hi;
        y = FastTwoSum(product.Hi, product.Lo);
        return true;
    }

    // Multiplies by 2^k in two exact steps (2^k alone may not be representable).
    LD Scale(LD v, int k)
    {
        const int half = k / 2;
        return v * PowerOfTwo(half) * PowerOfTwo(k - half);
    }

} // namespace

// ln x = e ln2 - ln c + log1p(z) with x = 2^e m, m in [0.75, 1.5), c from the interval of the
// 8 bits after m's leading bit, z = m c - 1 exact as zh + zl (Dekker's product; m c is near 1).
// |z| <= 2^-9, or 2^-8 on the two intervals next to 1, where c = 1 and z = m - 1 exactly.
// log1p(z) = z - z^2/2 + z^3 P(z) with P to z^8/11 leaves out less than 2^-91 |z|. z^2 is exact
// as a product; z^3 P carries a few roundings of 2^-64 of |z|^3/3 <= 2^-24.6 (< 2^-88.6).
// Where e and ln c vanish, every error is relative to |z|, < 2^-85; elsewhere |ln x| >= 2^-9
// and the sum of the exact leading parts adds roundings below 2^-100: < 2^-80. Bound 2^-78.
bool FastLn(long double x, DoubleExtended& y)
{
    const ExtendedBits bits = BitsOf(x);
    if (std::isnan(x) || !(x > 0) || bits.SignExponent == 0x7fff || bits.SignExponent == 0)
        return false; // nan, zero, negative, inf, subnormal
    const Tables& t = TheTables();
    int e = bits.SignExponent - ExponentBias;
    const auto j = static_cast<std::size_t>((bits.Mantissa >> 55) & 0xff);
    LD m = FromBits(bits.Mantissa, ExponentBias); // in [1, 2)
    if (j >= 128) {
        m = FromBits(bits.Mantissa, ExponentBias - 1); // in [0.75, 1)
        e += 1;
    }
    const LnEntry& entry = t.Ln[j];
    DoubleExtended z { m - 1, 0 };
    if (entry.C != 1) {
        const DoubleExtended mc = TwoProduct(m, entry.C);
        z = TwoSum(mc.Hi - 1, mc.Lo);
    }
    const LD zh = z.Hi;
    constexpr LD P[] = { 1.0L / 3, -1.0L / 4, 1.0L / 5, -1.0L / 6, 1.0L / 7, -1.0L / 8, 1.0L / 9,
        -1.0L / 10, 1.0L / 11 };
    LD poly = P[8];
    for (int i = 7; i >= 0; --i)
        poly = P[i] + zh * poly;
    const LD cubeTimesPoly = zh * zh * zh * poly;
    const DoubleExtended square = TwoProduct(zh, zh);

    const LD ed = e;
    const DoubleExtended s1 = TwoSum(ed * t.Ln2Hi, entry.MinusLnC.Hi);
    const DoubleExtended s2 = TwoSum(s1.Hi, zh);
    const DoubleExtended s3 = TwoSum(s2.Hi, -0.5L * square.Hi);
    const LD low = s1.Lo + s2.Lo + s3.Lo
        + (ed * t.Ln2Lo + entry.MinusLnC.Lo + z.Lo
            - (0.5L * square.Lo + zh * z.Lo) + cubeTimesPoly);
    y = FastTwoSum(s3.Hi, low);
    return true;
}

bool FastExp(long double x, DoubleExtended& y)
{
    int k = 0;
    if (!FastExpUnscaled(x, y, k))
        return false;
    y = { Scale(y.Hi, k), Scale(y.Lo, k) };
    return true;
}

long double CorrectlyRoundedLn(long double x)
{
    DoubleExtended y;
    LD rounded = 0;
    if (FastLn(x, y) && RoundsSurely(y, FastLnErrorBound, rounded))
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
    if (FastExpUnscaled(x, y, k) && RoundsSurely(y, FastExpErrorBound, rounded))
        return Scale(rounded, k);
    if (std::isnan(x))
        return x + x;
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
