#include "run/run_driver.h"
#include "solver/fault.h"
#include "test_support.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace karrow {
namespace {

    namespace fs = std::filesystem;

    // The end states with what each leaves on disk are one table: the driver table of
    // tests/reliability/report_files_test.cpp. These are the driver's other behaviours.

    // The system's own text, typed here rather than taken from the core, so that a change of it
    // is caught.
    constexpr const char* InputMessage = "Input data is not proper, change and try again!";

    class RunDriver : public testing::Test {
    protected:
        test::ScratchFolder folder;
        test::RecordingInterface ui;
    };

    TEST_F(RunDriver, CommaSeparatorRunsAndPrintsCommas)
    {
        ui.texts = DefaultFieldTexts(',');
        ASSERT_EQ(RunCalculation(ui, ',').End, RunEnd::Finished);
        std::string expected = test::GoldenReport();
        for (std::size_t at = 0; (at = expected.find('.', at)) != std::string::npos; ++at)
            if (at > 0 && std::isdigit(static_cast<unsigned char>(expected[at - 1])))
                expected[at] = ',';
        EXPECT_EQ(test::ReadFile("result.txt"), expected);
    }

    struct LimitCase {
        const char* Name;
        std::vector<std::pair<Field, const char*>> Fields;
        const char* Reason; // a part of the second line of the message
    };

    class ModelLimits : public testing::TestWithParam<LimitCase> { };

    TEST_P(ModelLimits, AreRejectedBeforeTheReportIsTouched)
    {
        test::ScratchFolder folder;
        test::RecordingInterface ui;
        test::WriteFile("result.txt", "an older report");
        for (const auto& [field, text] : GetParam().Fields)
            ui.Set(field, text);
        EXPECT_EQ(RunCalculation(ui, '.').End, RunEnd::InputsRejected);
        ASSERT_EQ(ui.messages.size(), 1U);
        EXPECT_EQ(ui.messages[0].rfind(std::string(InputMessage) + "\n", 0), 0U) << ui.messages[0];
        EXPECT_NE(ui.messages[0].find(GetParam().Reason), std::string::npos) << ui.messages[0];
        EXPECT_EQ(test::ReadFile("result.txt"), "an older report");
        EXPECT_EQ(ui.rereads, 0);
    }

    INSTANTIATE_TEST_SUITE_P(Inputs, ModelLimits,
        testing::Values(LimitCase { "ZeroChannels", { { Field::NumberOfChannels, "0" } }, "must be from 1 to 24" },
            LimitCase { "TwentyFiveChannels", { { Field::NumberOfChannels, "25" } }, "must be from 1 to 24" },
            LimitCase { "NegativeChannels", { { Field::NumberOfChannels, "$FFFFFFFF" } }, "must be from 1 to 24" },
            LimitCase { "ZeroIncrements", { { Field::TotalIncrements, "0" } }, "must be at least 1" },
            LimitCase { "NoCrossing", { { Field::InletSlitHeight, "0.01" }, { Field::OutletSlitHeight, "0.01" }, { Field::InletChannelDepth, "1" }, { Field::OutletChannelDepth, "1" } },
                "never becomes as shallow" },
            LimitCase { "TooFewEffectiveIncrements", { { Field::NumberOfChannels, "1" } }, "it needs at least 48" },
            LimitCase { "CrossingBeforeTheInlet", { { Field::InletChannelDepth, "0.01" } }, "has 0 increments" },
            LimitCase { "CrossingFarBeforeTheInlet", { { Field::OutletChannelDepth, "2.116342" }, { Field::TotalIncrements, "1882262065" } },
                "has 0 increments" },
            LimitCase { "TooManyEffectiveIncrements", { { Field::TotalIncrements, "2000" } }, "more than 1000" },
            LimitCase { "ChannelTooWideForItsLand", { { Field::NumberOfChannels, "8" } }, "land width" },
            LimitCase { "NegativeGroove",
                { { Field::NumberOfChannels, "24" }, { Field::InletSlitHeight, "0.01" }, { Field::OutletSlitHeight, "0.01" }, { Field::InletChannelDepth, "2.04" }, { Field::OutletChannelDepth, "-1.96" },
                    { Field::TotalIncrements, "2" } },
                "groove depth (channel depth less slit height) is not positive at increment 2" },
            LimitCase { "NegativeSlit", { { Field::InletSlitHeight, "-0.01" } }, "slit height is not positive at increment 1" },
            LimitCase { "NegativeChannelWidth", { { Field::ChannelWidth, "-1.2" } },
                "\"Channel Width (cm)\" must be greater than zero." },
            LimitCase { "NegativeDieRadius", { { Field::DieRadius, "-11.25" } }, "\"Die Radius (cm)\" must be" },
            LimitCase { "ZeroLipHeight", { { Field::LipHeight, "0" } }, "\"Lip Height (cm)\" must be" },
            LimitCase {
                "ZeroFlowRate", { { Field::FlowRatePerChannel, "0" } }, "\"Flow Rate / Channel (cm3/sec)\" must be" },
            LimitCase {
                "ZeroPowerLawIndex", { { Field::PowerLawIndex, "0" } }, "\"Power Law Parameter <n> (-)\" must be" },
            LimitCase { "NegativeViscosity", { { Field::StandardViscosity, "-11" } },
                "\"Standard Viscosity (gf.sec/cm2)\" must be" },
            LimitCase {
                "ZeroShearRate", { { Field::StandardShearRate, "0" } }, "\"Standard Shear Rate (1/sec)\" must be" },
            LimitCase { "ZeroSpiralHeight", { { Field::SpiralHeight, "0" } }, "\"Spiral Height (cm)\" must be" },
            LimitCase { "SpiralExtrapolatedPastTheLip", { { Field::OutletChannelDepth, "0.5" } }, "outlet taper length" }),
        [](const testing::TestParamInfo<LimitCase>& row) { return row.param.Name; });

    // Only the middles of the increments enter the model: a profile may start with no clearance
    // over the land, or end in a depth below zero past the effective part.
    class ProfileEnds : public testing::TestWithParam<std::vector<std::pair<Field, const char*>>> { };

    TEST_P(ProfileEnds, NeedOnlyBeFinite)
    {
        test::ScratchFolder folder;
        test::RecordingInterface ui;
        for (const auto& [field, text] : GetParam())
            ui.Set(field, text);
        EXPECT_EQ(RunCalculation(ui, '.').End, RunEnd::Finished);
        EXPECT_TRUE(ui.messages.empty()) << ui.messages.front();
    }

    INSTANTIATE_TEST_SUITE_P(Inputs, ProfileEnds,
        testing::Values(std::vector<std::pair<Field, const char*>> { { Field::InletSlitHeight, "0" } },
            std::vector<std::pair<Field, const char*>> { { Field::InletSlitHeight, "-0" } },
            std::vector<std::pair<Field, const char*>> { { Field::InletSlitHeight, "." } },
            std::vector<std::pair<Field, const char*>> { { Field::OutletChannelDepth, "-0.5" } }));

    // Each kind of floating-point fault ends the run after the sections written so far.
    struct FaultCase {
        const char* Name;
        std::vector<const char*> Texts; // fields 1.. as far as given
        const char* Kind;
    };

    class ArithmeticFaults : public testing::TestWithParam<FaultCase> { };

    TEST_P(ArithmeticFaults, EndTheRunAfterTheModifiedCondition)
    {
        test::ScratchFolder folder;
        test::RecordingInterface ui;
        for (std::size_t i = 0; i < GetParam().Texts.size(); ++i)
            ui.Set(InputFields[i], GetParam().Texts[i]);
        try {
            RunCalculation(ui, '.');
            FAIL() << "the run should have stopped on an arithmetic fault";
        } catch (const ArithmeticFault& fault) {
            EXPECT_NE(std::string(fault.what()).find(GetParam().Kind), std::string::npos)
                << fault.what();
        }
        const std::string report = test::ReadFile("result.txt");
        EXPECT_EQ(test::CrLfLines(report).size(), 23U);
        EXPECT_EQ(report.find("NAN"), std::string::npos);
        EXPECT_EQ(report.find("INF"), std::string::npos);
        EXPECT_TRUE(ui.messages.empty());
        EXPECT_EQ(ui.rereads, 0);
    }

    INSTANTIATE_TEST_SUITE_P(Kinds, ArithmeticFaults,
        // Designs within the model's limits on which the classic method fails.
        testing::Values(
            FaultCase { "DivisionByZero",
                { "1", "4.26152", "1.7237", "22.4171", "16.5672", "0.751057", "18.2654", "66.4841",
                    "0.0228604", "0.285531", "1.8674", "0.23161", "0.316155", "117" },
                "division by zero" },
            FaultCase { "InvalidOperation",
                { "5", "12.5106", "2.2925", "24.7258", "18.7251", "0.229731", "22.516", "50.1854",
                    "0.0192759", "0.296183", "1.48239", "0.346518", "0.565081", "31" },
                "invalid floating-point operation" },
            FaultCase { "TinyViscosity", { "4", "12.38", "1.0", "11.25", "4.12", "0.69", "1e-300" },
                "overflow" }),
        [](const testing::TestParamInfo<FaultCase>& row) { return row.param.Name; });

    TEST_F(RunDriver, OneCorrectionCaseReportsThePressuresOfItsFinalFlows)
    {
        ui.Set(Field::NumberOfChannels, "3").Set(Field::ChannelWidth, "0.8").Set(Field::SpiralHeight, "14").Set(Field::DieRadius, "15");
        EXPECT_EQ(RunCalculation(ui, '.').End, RunEnd::Finished);
        const auto lines = test::CrLfLines(test::ReadFile("result.txt"));
        ASSERT_EQ(lines.size(), 29U + 34U);
        EXPECT_EQ(lines.back(), "      *: Last 8 slit flows correspond to outlet flows");
    }

    // The first line is the system's own; the second says which file and why.
    TEST_F(RunDriver, ReportThatCannotBeOpenedIsNamedWithItsReason)
    {
        fs::create_directory("a-folder");
        const std::string here = fs::current_path().string();
        const std::pair<const char*, std::string> cases[] = {
            { "", here + "/: the file name is empty." },
            { "no-such-folder/result.txt",
                here + "/no-such-folder/result.txt: the folder " + here
                    + "/no-such-folder does not exist." },
            { "a-folder", here + "/a-folder: it is a folder." },
        };
        for (const auto& [name, second] : cases) {
            test::RecordingInterface run;
            run.Set(Field::SaveFileName, name);
            EXPECT_EQ(RunCalculation(run, '.').End, RunEnd::ReportNotCreated);
            ASSERT_EQ(run.messages.size(), 1U);
            EXPECT_EQ(run.messages[0], std::string("File can not open!\n") + second);
            EXPECT_EQ(run.rereads, 0);
        }
        EXPECT_EQ(
            std::distance(fs::directory_iterator(folder.Path()), fs::directory_iterator()), 1);
    }

    TEST(ResultFileName, IsCutToTwoHundredFiftyFiveCharactersOnACharacterBoundary)
    {
        EXPECT_EQ(ResultFileNameFrom("result.txt"), "result.txt");
        EXPECT_EQ(ResultFileNameFrom(std::string(300, 'a')), std::string(255, 'a'));
        std::string greek;
        for (int i = 0; i < 300; ++i)
            greek += "\xCF\x80"; // pi, two bytes
        EXPECT_EQ(ResultFileNameFrom(greek), greek.substr(0, 510));
        const std::string mixed = std::string(254, 'a') + "\xE2\x82\xAC" + "tail";
        EXPECT_EQ(ResultFileNameFrom(mixed), std::string(254, 'a') + "\xE2\x82\xAC");
    }

} // namespace
} // namespace karrow
