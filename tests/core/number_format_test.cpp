#include "report/number_format.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace karrow {
namespace {

    struct FixedCase {
        const char* Name;
        double Value;
        int Precision;
        int Digits;
        const char* Expected;
    };

    class FormatFixedTable : public testing::TestWithParam<FixedCase> { };

    TEST_P(FormatFixedTable, GivesTheExpectedText)
    {
        const FixedCase& c = GetParam();
        EXPECT_EQ(FormatFixed(c.Value, c.Precision, c.Digits, '.'), c.Expected);
    }

    constexpr double Infinity = std::numeric_limits<double>::infinity();

    INSTANTIATE_TEST_SUITE_P(Examples, FormatFixedTable,
        testing::Values(FixedCase { "One", 1.0, 5, 2, "1.00" },
            FixedCase { "PowerLawIndex", 0.69, 5, 3, "0.690" },
            FixedCase { "InletSlit", 0.01, 6, 3, "0.010" },
            FixedCase { "ShearRate", 100.0, 8, 2, "100.00" },
            FixedCase { "HalfUpPositive", 0.125, 5, 2, "0.13" },
            FixedCase { "HalfUpNegative", -0.125, 5, 2, "-0.13" },
            FixedCase { "DoubleBelowTie", 2.675, 5, 2, "2.67" },
            FixedCase { "NegativeRoundsToZero", -0.004, 5, 2, "0.00" },
            FixedCase { "NegativeRoundsAway", -0.006, 5, 2, "-0.01" },
            FixedCase { "NegativeZero", -0.0, 5, 2, "0.00" },
            FixedCase { "TinyFourDigits", 0.00004, 8, 4, "0.0000" },
            FixedCase { "HalfUnitFourDigits", 0.00005, 8, 4, "0.0001" },
            FixedCase { "PrecisionCutsIntegerDigits", 1234.567, 5, 2, "1234.60" },
            FixedCase { "PrecisionSixWide", 12345.678, 6, 2, "12345.70" },
            FixedCase { "PrecisionEightWide", 12345.678, 8, 4, "12345.6780" },
            FixedCase { "ExponentForm", 123456.7, 5, 2, "1.2346E05" },
            FixedCase { "CarryIntoExponent", 99999.7, 5, 2, "1E05" },
            FixedCase { "ExponentFourDigits", 100000000.0, 8, 4, "1E0008" },
            FixedCase { "ExponentOneDigitWhenManyDecimals", 1e20, 5, 6, "1E20" },
            FixedCase { "PrecisionClampedToTwo", 123.0, 0, 1, "1.2E2" },
            FixedCase { "NoDecimals", 2.5, 5, 0, "3" },
            FixedCase { "NotANumber", std::nan(""), 5, 2, "NAN" },
            FixedCase { "PlusInfinity", Infinity, 5, 2, "INF" },
            FixedCase { "MinusInfinity", -Infinity, 5, 2, "-INF" }),
        [](const testing::TestParamInfo<FixedCase>& row) { return row.param.Name; });

    struct WidthCase {
        const char* Name;
        double Value;
        int Width;
        int Digits;
        const char* Expected;
    };

    class FormatFixedWidthTable : public testing::TestWithParam<WidthCase> { };

    TEST_P(FormatFixedWidthTable, GivesTheExpectedText)
    {
        const WidthCase& c = GetParam();
        EXPECT_EQ(FormatFixedWidth(c.Value, c.Width, c.Digits, '.'), c.Expected);
    }

    INSTANTIATE_TEST_SUITE_P(Examples, FormatFixedWidthTable,
        testing::Values(WidthCase { "FlowColumn", 4.12, 8, 4, "  4.1200" },
            WidthCase { "SmallNegativeFlow", -0.00005, 8, 4, " -0.0001" },
            WidthCase { "PressureColumn", 123.456, 7, 2, " 123.46" },
            WidthCase { "WiderThanColumnIsNotCut", 12345.6789, 8, 4, "12345.6790" },
            WidthCase { "ExponentPadded", 10000000.0, 7, 2, "   1E07" },
            WidthCase { "JustBelowExponent", 9999999.0, 7, 2, "9999999.00" },
            WidthCase { "FlowSwitchesAtHalfBelowTenToEight", 99999999.5, 8, 4, "  1E0008" },
            WidthCase { "ShortTextNotPadded", 5.0, 8, 0, "5" },
            WidthCase { "ZeroFlow", 0.0, 8, 4, "  0.0000" }),
        [](const testing::TestParamInfo<WidthCase>& row) { return row.param.Name; });

    TEST(FormatFixed, RegionalSeparatorShowsInFixedAndExponentFormsOnly)
    {
        EXPECT_EQ(FormatFixed(0.69, 5, 3, ','), "0,690");
        EXPECT_EQ(FormatFixed(123456.7, 5, 2, ','), "1,2346E05");
        EXPECT_EQ(FormatFixed(100000000.0, 8, 4, ','), "1E0008");
        EXPECT_EQ(FormatFixed(-0.0, 5, 2, ','), "0,00");
    }

    TEST(FormatFixed, KeepsEighteenSignificantDigitsAtMost)
    {
        EXPECT_EQ(FormatFixed(0.1, 18, 18, '.'), "0.100000000000000006");
        EXPECT_EQ(FormatFixed(1.0 / 3.0, 18, 5, '.'), "0.33333");
    }

    TEST(IntegerText, IsPlainDecimal)
    {
        EXPECT_EQ(IntegerText(0), "0");
        EXPECT_EQ(IntegerText(-2147483647 - 1), "-2147483648");
        EXPECT_EQ(IntegerText(39), "39");
    }

} // namespace
} // namespace karrow
