// The words of a run's verdict that the command line and the window share: figures that read the
// same in every locale and never as inf or nan, and the settling warning with every one of its
// figures in the separator asked for.

#include "run/verdict_text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <limits>
#include <string>

namespace karrow {
namespace {

    TEST(FigureText, FixedWhereADesignerReadsAndExponentBeyond)
    {
        struct Case {
            double Value;
            int Decimals;
            const char* Dot;
        };
        const double infinity = std::numeric_limits<double>::infinity();
        for (const Case& c : {
                 Case { 0, 2, "0.00" },
                 Case { 1.005, 2, "1.00" }, // 1.00499999999999989...: rounded as it is stored
                 Case { 12.345678, 1, "12.3" },
                 Case { -0.25, 2, "-0.25" },
                 Case { 1e-3, 2, "0.00" },
                 Case { 9.99e-4, 2, "9.99e-04" },
                 Case { 1.5e7, 2, "1.50e+07" },
                 Case { 123456789, 0, "1.23e+08" },
                 Case { std::numeric_limits<double>::quiet_NaN(), 2, "undefined" },
                 Case { infinity, 2, "beyond 1.8e308" },
                 Case { -infinity, 2, "below -1.8e308" },
             }) {
            EXPECT_EQ(FigureText(c.Value, c.Decimals), c.Dot) << c.Value;
            std::string comma = c.Dot;
            if (comma.find_first_of("bu") == std::string::npos) // words keep their "."
                for (char& character : comma)
                    if (character == '.')
                        character = ',';
            EXPECT_EQ(FigureText(c.Value, c.Decimals, ','), comma) << c.Value;
        }
    }

    TEST(FigureText, IgnoresTheProgramsLocale)
    {
        const std::string before = std::setlocale(LC_NUMERIC, nullptr);
        if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8"))
            GTEST_SKIP() << "no de_DE.UTF-8 locale";
        const std::string figure = FigureText(3.25, 2);
        std::setlocale(LC_NUMERIC, before.c_str());
        EXPECT_EQ(figure, "3.25");
    }

    RepeatabilityCheck NotRepeating()
    {
        RepeatabilityCheck check;
        check.Repeatable = false;
        check.FlowChangePercentOfMeanOutlet = 3.5;
        check.PressureChangePercentOfHead = 0.125;
        check.ReachUlps = 64;
        check.Runs = 15;
        check.HeadKgfCm2 = { 101.5, 104.25 };
        check.OutletSpreadPercent = { 12, 17.5 };
        return check;
    }

    TEST(SettlingWarning, NothingForAReportThatRepeats)
    {
        RepeatabilityCheck check = NotRepeating();
        check.Repeatable = true;
        EXPECT_EQ(SettlingWarning(check), "");
    }

    TEST(SettlingWarning, GivesTheChangesAndTheRangesOfTheProbe)
    {
        const std::string warning = SettlingWarning(NotRepeating());
        EXPECT_EQ(warning,
            "Warning: the report of this design does not repeat to its last digit. The classic "
            "iteration stopped at its limits while the flows still moved: with the flow rate "
            "changed in its last digit the printed flows change by up to 3.50 % of the mean "
            "outlet flow and the pressures by up to 0.12 % of the head pressure. Going further, "
            "over flow rates within 64 units in the last place either side (15 runs) the head "
            "pressure ranges from 101.50 to 104.25 kgf/cm2 and the outlet spread from 12.00 % to "
            "17.50 %. These figures themselves, not only their last digits, are uncertain for "
            "this design; the exact network's answer does not depend on where the iteration "
            "stopped.");
        EXPECT_EQ(warning.find('\n'), std::string::npos);
    }

    TEST(SettlingWarning, ANeighbourThatEndedOtherwiseIsNamedInsteadOfTheChanges)
    {
        RepeatabilityCheck check = NotRepeating();
        check.Note = "the run 1 ulp below did not converge";
        check.RunsNotFinished = 2;
        const std::string warning = SettlingWarning(check);
        EXPECT_NE(warning.find("still moved: the run 1 ulp below did not converge. Going further"),
            std::string::npos)
            << warning;
        EXPECT_EQ(warning.find("printed flows change"), std::string::npos) << warning;
        EXPECT_NE(warning.find("(15 runs, 2 more did not finish)"), std::string::npos) << warning;
    }

    TEST(SettlingWarning, EveryFigureTakesTheSeparatorAskedFor)
    {
        const std::string warning = SettlingWarning(NotRepeating(), ',');
        for (const char* figure :
            { "3,50 %", "0,12 %", "101,50 to 104,25 kgf/cm2", "12,00 % to 17,50 %" })
            EXPECT_NE(warning.find(figure), std::string::npos) << figure << " not in " << warning;
        for (const char* dotted : { "3.50", "0.12", "101.50", "104.25", "12.00", "17.50" })
            EXPECT_EQ(warning.find(dotted), std::string::npos) << dotted << " in " << warning;
    }

} // namespace
} // namespace karrow
