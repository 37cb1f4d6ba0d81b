#include "run/fields.h"
#include "run/input_grammar.h"
#include "run/input_reading.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>

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
            RealCase { "BelowExtendedUnderflowsQuietly", "1e-5000", '.', 0.0 },
            RealCase { "SmallestSubnormal", "5e-324", '.', 4.9406564584124654e-324 },
            RealCase { "HugeZero", "0e999999999999", '.', 0.0 }),
        [](const testing::TestParamInfo<RealCase>& row) { return row.param.Name; });

    // A text in the form of a number whose value the field cannot hold is told apart from one
    // that is no number; everything else about the texts is covered by the tables above.
    struct RefusalCase {
        const char* Name;
        const char* Text;
        bool Whole;
        char Separator;
        NumberRefusal Expected;
    };

    class Refusal : public testing::TestWithParam<RefusalCase> { };

    TEST_P(Refusal, SaysWhy)
    {
        const RefusalCase& c = GetParam();
        if (c.Whole) {
            const auto reading = ReadIntegerText(c.Text);
            EXPECT_FALSE(reading.Value);
            EXPECT_EQ(reading.Refusal, c.Expected);
        } else {
            const auto reading = ReadRealText(c.Text, c.Separator);
            EXPECT_FALSE(reading.Value);
            EXPECT_EQ(reading.Refusal, c.Expected);
        }
    }

    constexpr auto Above = NumberRefusal::AboveRange;
    constexpr auto Below = NumberRefusal::BelowRange;
    constexpr auto NotANumber = NumberRefusal::NotANumber;

    INSTANTIATE_TEST_SUITE_P(Texts, Refusal,
        testing::Values(RefusalCase { "WholeJustAbove", "2147483648", true, '.', Above },
            RefusalCase { "WholeFarAbove", "99999999999", true, '.', Above },
            RefusalCase { "WholeThirtyDigits", "123456789012345678901234567890", true, '.', Above },
            RefusalCase { "WholeJustBelow", "-2147483649", true, '.', Below },
            RefusalCase { "WholeFarBelow", " -99999999999", true, '.', Below },
            RefusalCase { "WholeLongThenLetter", "99999999999x", true, '.', NotANumber },
            RefusalCase { "WholeLongThenSeparator", "99999999999.0", true, '.', NotANumber },
            RefusalCase { "HexNineDigits", "$100000000", true, '.', NotANumber },
            RefusalCase { "RealBeyondDouble", "1e999", false, '.', Above },
            RefusalCase { "RealBeyondDoubleNegative", "-1e999", false, '.', Below },
            RefusalCase { "RealJustBeyondDouble", "1.8e308", false, '.', Above },
            RefusalCase { "RealBeyondExtended", "1e5000", false, '.', Above },
            RefusalCase { "RealHugeExponent", "1e99999999999999999999", false, '.', Above },
            RefusalCase { "RealCommaBeyondDouble", " 1,8e308 ", false, ',', Above },
            RefusalCase { "RealHugeThenLetter", "1e999x", false, '.', NotANumber }),
        [](const testing::TestParamInfo<RefusalCase>& row) { return row.param.Name; });

    // The line that follows the input error message, for the first field that is refused.
    struct ProblemCase {
        const char* Name;
        Field Refused;
        const char* Text;
        char Separator;
        const char* Expected;
    };

    class ProblemLine : public testing::TestWithParam<ProblemCase> { };

    TEST_P(ProblemLine, NamesFieldAndBound)
    {
        const ProblemCase& c = GetParam();
        const InputReading reading = ReadInputs(
            [&c](Field field) {
                return field == c.Refused ? std::string(c.Text)
                                          : DefaultFieldText(field, c.Separator);
            },
            c.Separator);
        EXPECT_FALSE(reading.Values);
        EXPECT_EQ(reading.Problem, c.Expected);
    }

    INSTANTIATE_TEST_SUITE_P(Fields, ProblemLine,
        testing::Values(ProblemCase { "RealTooLarge", Field::DieRadius, "1e999", '.',
                            "\"Die Radius (cm)\" is too large: at most about 1.8e308." },
            ProblemCase { "RealTooFarBelowZero", Field::DieRadius, "-1e999", '.',
                "\"Die Radius (cm)\" is too far below zero: at least about -1.8e308." },
            ProblemCase { "RealTooLargeUnderComma", Field::ChannelWidth, "2,5e400", ',',
                "\"Channel Width (cm)\" is too large: at most about 1,8e308." },
            ProblemCase { "RealNotANumber", Field::LipHeight, "1.0cm", '.',
                "\"Lip Height (cm)\" must be a number, such as 1.0." },
            ProblemCase { "RealNotANumberUnderComma", Field::LipHeight, "1.0", ',',
                "\"Lip Height (cm)\" must be a number, such as 1,0." },
            ProblemCase { "WholeTooLarge", Field::NumberOfChannels, "99999999999", '.',
                "\"Number of Channels (-)\" is too large: at most 2147483647." },
            ProblemCase { "WholeTooFarBelowZero", Field::TotalIncrements, "-2147483649", '.',
                "\"Total Increments <15 deg.=\xCF\x80/12 rad each> (-)\" is too far below zero: at "
                "least -2147483648." },
            ProblemCase { "WholeNotANumber", Field::NumberOfChannels, "4.0", '.',
                "\"Number of Channels (-)\" must be a whole number, such as 4." }),
        [](const testing::TestParamInfo<ProblemCase>& row) { return row.param.Name; });

} // namespace
} // namespace karrow
