#include "run/input_grammar.h"

#include <gtest/gtest.h>
#include <optional>

namespace karrow {
namespace {

    struct IntegerCase {
        const char* Name;
        const char* Text;
        std::optional<std::int32_t> Expected;
    };

    class IntegerGrammar : public testing::TestWithParam<IntegerCase> { };

    TEST_P(IntegerGrammar, ConvertsOrRejects)
    {
        EXPECT_EQ(ParseIntegerText(GetParam().Text), GetParam().Expected);
    }

    INSTANTIATE_TEST_SUITE_P(Texts, IntegerGrammar,
        testing::Values(IntegerCase { "Plain", "4", 4 }, IntegerCase { "LeadingBlank", " 4", 4 },
            IntegerCase { "ManyLeadingBlanks", "    39", 39 },
            IntegerCase { "TrailingBlank", "4 ", std::nullopt },
            IntegerCase { "Real", "4.0", std::nullopt }, IntegerCase { "Empty", "", std::nullopt },
            IntegerCase { "Blanks", "   ", std::nullopt },
            IntegerCase { "TabIsNoBlank", "\t4", std::nullopt }, IntegerCase { "Plus", "+4", 4 },
            IntegerCase { "Minus", "-4", -4 }, IntegerCase { "DoubleSign", "--4", std::nullopt },
            IntegerCase { "SignThenBlank", "- 4", std::nullopt },
            IntegerCase { "LoneSign", "-", std::nullopt },
            IntegerCase { "Maximum", "2147483647", 2147483647 },
            IntegerCase { "AboveMaximum", "2147483648", std::nullopt },
            IntegerCase { "Minimum", "-2147483648", -2147483647 - 1 },
            IntegerCase { "BelowMinimum", "-2147483649", std::nullopt },
            IntegerCase { "LongZeros", "000000000000000000004", 4 },
            IntegerCase { "DollarHex", "$10", 16 }, IntegerCase { "XHex", "x1F", 31 },
            IntegerCase { "UpperXHex", "XfF", 255 }, IntegerCase { "ZeroXHex", "0x10", 16 },
            IntegerCase { "ZeroUpperXHex", "0X10", 16 },
            IntegerCase { "EightFsIsMinusOne", "$FFFFFFFF", -1 },
            IntegerCase { "PatternTopBit", "$80000000", -2147483647 - 1 },
            IntegerCase { "NegatedHex", "-$10", -16 },
            IntegerCase { "NegatedTopBitWraps", "-$80000000", -2147483647 - 1 },
            IntegerCase { "NineHexDigits", "$100000000", std::nullopt },
            IntegerCase { "PrefixOnly", "$", std::nullopt },
            IntegerCase { "ZeroXOnly", "0x", std::nullopt },
            IntegerCase { "BadHexDigit", "$1G", std::nullopt },
            IntegerCase { "HexTrailingBlank", "$10 ", std::nullopt },
            IntegerCase { "Exponent", "1e2", std::nullopt }),
        [](const testing::TestParamInfo<IntegerCase>& row) { return row.param.Name; });

    struct RealCase {
        const char* Name;
        const char* Text;
        char Separator;
        std::optional<double> Expected;
    };

    class RealGrammar : public testing::TestWithParam<RealCase> { };

    TEST_P(RealGrammar, ConvertsOrRejects)
    {
        const RealCase& c = GetParam();
        EXPECT_EQ(ParseRealText(c.Text, c.Separator), c.Expected);
    }

    INSTANTIATE_TEST_SUITE_P(Texts, RealGrammar,
        testing::Values(RealCase { "Plain", "12.38", '.', 12.38 },
            RealCase { "Exponent", "1.5e1", '.', 15.0 },
            RealCase { "UpperExponent", "1.5E+1", '.', 15.0 },
            RealCase { "NegativeExponent", "15e-1", '.', 1.5 },
            RealCase { "ExponentWithoutDigits", "2E", '.', 2.0 },
            RealCase { "ExponentSignWithoutDigits", "2E-", '.', 2.0 },
            RealCase { "LoneSeparator", ".", '.', 0.0 },
            RealCase { "SeparatorFirst", ".5", '.', 0.5 },
            RealCase { "SeparatorLast", "5.", '.', 5.0 },
            RealCase { "SignedSeparatorFirst", "-.5", '.', -0.5 },
            RealCase { "LeadingAndTrailingBlanks", "  0.165  ", '.', 0.165 },
            RealCase { "CommaUnderFullStop", "1,5", '.', std::nullopt },
            RealCase { "CommaSeparator", "1,5", ',', 1.5 },
            RealCase { "FullStopUnderComma", "1.5", ',', std::nullopt },
            RealCase { "TwoSeparators", "1.2.3", '.', std::nullopt },
            RealCase { "ThousandsSeparator", "1,000.5", '.', std::nullopt },
            RealCase { "Empty", "", '.', std::nullopt },
            RealCase { "Blanks", "   ", '.', std::nullopt },
            RealCase { "LoneSign", "+", '.', std::nullopt },
            RealCase { "ExponentOnly", "E5", '.', std::nullopt },
            RealCase { "SeparatorWithExponent", ".E5", '.', 0.0 },
            RealCase { "TrailingLetter", "1.5x", '.', std::nullopt },
            RealCase { "BlankInside", "1 .5", '.', std::nullopt },
            RealCase { "TrailingTab", "1.5\t", '.', std::nullopt },
            RealCase { "Hex", "0x10", '.', std::nullopt },
            RealCase { "Infinity", "inf", '.', std::nullopt },
            RealCase { "NotANumber", "nan", '.', std::nullopt },
            RealCase { "BeyondDouble", "1e309", '.', std::nullopt },
            RealCase { "BeyondExtended", "1e5000", '.', std::nullopt },
            RealCase { "LargestDouble", "1.7976931348623157e308", '.', 1.7976931348623157e308 },
            RealCase { "UnderflowsQuietly", "1e-400", '.', 0.0 },
            RealCase { "HugeZero", "0e999999999999", '.', 0.0 }),
        [](const testing::TestParamInfo<RealCase>& row) { return row.param.Name; });

} // namespace
} // namespace karrow
