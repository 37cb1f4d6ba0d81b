#include "run/file_lock.h"
#include "cli_runner.h"
#include "test_support.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <spawn.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>

extern char** environ;

namespace karrow {
namespace {

    namespace fs = std::filesystem;

    using Outcome = test::CliOutcome;
    using test::RunCli;

    struct CliCase {
        const char* Name;
        std::vector<std::string> Arguments;
        int Status;
        const char* Stderr; // the start of what stderr must say
    };

    class CommandLine : public testing::TestWithParam<CliCase> { };

    TEST_P(CommandLine, EndsWithTheStatusOfItsEndState)
    {
        test::ScratchFolder folder;
        const Outcome outcome = RunCli(GetParam().Arguments);
        EXPECT_EQ(outcome.Status, GetParam().Status) << outcome.Err;
        EXPECT_EQ(outcome.Err.rfind(GetParam().Stderr, 0), 0U) << outcome.Err;
        // Refused arguments and rejected inputs touch no file.
        if (GetParam().Status == 64 || GetParam().Status == 2) {
            EXPECT_TRUE(fs::is_empty(folder.Path()));
        }
    }

    INSTANTIATE_TEST_SUITE_P(EndStates, CommandLine,
        testing::Values(CliCase { "BadField", { "--lip-height=1..0" }, 2,
                            "Input data is not proper, change and try again!\n" },
            CliCase {
                "EmptyTextPassedThrough", { "--spiral-height=" }, 2, "Input data is not proper" },
            CliCase { "TrailingBlankOfAnInteger", { "--number-of-channels=4 " }, 2,
                "Input data is not proper" },
            CliCase { "OutOfModel", { "--number-of-channels=25" }, 2, "Input data is not proper" },
            CliCase {
                "MissingFolder", { "--output=no/such/folder.txt" }, 3, "File can not open!\n" },
            CliCase { "NotConverged",
                { "--number-of-channels=5", "--channel-width=0.6", "--spiral-height=6" }, 4,
                "This case does not congerge, power law parameter <n> may be too small.\n" },
            CliCase { "ArithmeticFault", { "--standard-viscosity=1e-300" }, 5,
                "Karrow: The calculation stopped" },
            CliCase { "UnknownOption", { "--colour=red" }, 64, "" },
            CliCase { "DensityNotANumber", { "--density=abc" }, 64,
                "karrow-cli: --density \"abc\": must be a positive number (g/cm3)\n" },
            CliCase { "DensityZero", { "--density=0" }, 64, "karrow-cli: --density \"0\": must" },
            CliCase { "DensityInfinite", { "--density=inf" }, 64, "karrow-cli: --density \"inf\"" },
            CliCase { "DensityNan", { "--density=nan" }, 64, "karrow-cli: --density \"nan\"" },
            CliCase { "DensityWithComma", { "--density", "0,8" }, 64,
                "karrow-cli: --density \"0,8\": must be a positive number (g/cm3)" },
            CliCase { "HeatCapacityNan", { "--heat-capacity=nan" }, 64,
                "karrow-cli: --heat-capacity \"nan\": must be a positive number (J/(g K))\n" },
            CliCase { "FieldGivenTwice", { "--lip-height", "3", "--lip-height=2" }, 64,
                "karrow-cli: --lip-height is given 2 times; give it once\n" },
            CliCase { "OutputGivenTwice", { "--output=a.txt", "--output=b.txt" }, 64,
                "karrow-cli: --output is given 2 times" },
            CliCase { "InputSetToStandardOutput", { "--save-inputs", "-" }, 64,
                "karrow-cli: --save-inputs - : an input set is saved to a file" },
            CliCase { "CsvAndJsonBothOnStandardOutput",
                { "sweep", "--vary", "lip-height=1:2:2", "--csv", "-", "--json", "-" }, 64,
                "karrow-cli: --csv - and --json - would both write to standard output" },
            CliCase { "JsonOntoTheReport", { "--json", "./result.txt" }, 64,
                "karrow-cli: --output and --json name the same file" },
            CliCase { "OutputLongerThanTheField", { "--output=" + std::string(252, 'a') + ".bak" },
                64, "karrow-cli: --output is longer than 255 characters" },
            CliCase { "FieldNotUtf8ForJson", { "--lip-height=1\xff", "--json", "out.json" }, 64,
                "karrow-cli: The field \"lip-height\" is not UTF-8 text." },
            CliCase { "ReportNameNotUtf8ForStudy",
                { "sweep", "--vary", "lip-height=1:2:2", "--output=r\xe9sultat.txt" }, 64,
                "karrow-cli: The field \"output\" is not UTF-8 text." },
            CliCase { "StrayArgument", { "extra" }, 64, "" }),
        [](const testing::TestParamInfo<CliCase>& row) { return row.param.Name; });

    std::vector<std::string> Lines(const std::string& text)
    {
        std::vector<std::string> lines;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

    TEST(CommandLine, DefaultRunWritesTheReportAndSaysWhereAndWhatItMeans)
    {
        test::ScratchFolder folder;
        const Outcome outcome = RunCli({});
        ASSERT_EQ(outcome.Status, 0) << outcome.Err;
        EXPECT_EQ(outcome.Err, "");
        const auto lines = Lines(outcome.Out);
        ASSERT_EQ(lines.size(), 6U) << outcome.Out;
        EXPECT_EQ(lines[0], "Calculation is successfully finished !");
        EXPECT_EQ(lines[1], (folder.Path() / "result.txt").string());
        // The exact answer leads; the report's method follows, with how far it is from the exact
        // answer and whether it repeats to its last digit.
        EXPECT_TRUE(lines[2].starts_with("exact network: outlet spread 22.70 %")) << lines[2];
        EXPECT_TRUE(lines[3].starts_with("report (classic method): outlet spread 14.31 %"))
            << lines[3];
        EXPECT_NE(lines[3].find("limit of pressure corrections after 1491 balance steps"),
            std::string::npos)
            << lines[3];
        EXPECT_NE(lines[4].find("the report's spread is 14.31 %, the exact solution's 22.70 %: "
                                "the report understates the non-uniformity"),
            std::string::npos)
            << lines[4];
        EXPECT_TRUE(lines[5].starts_with("repeatability: the report repeats to its last digit"))
            << lines[5];
        EXPECT_EQ(test::ReadFile("result.txt"),
            test::GoldenReport());
    }

    TEST(CommandLine, TextsPassThroughUnchanged)
    {
        test::ScratchFolder folder;
        // Leading blanks, a sign, hex for integers and trailing blanks for reals are the field's
        // own grammar, not the command line's.
        const Outcome outcome = RunCli({ "--number-of-channels=  $4", "--spiral-height=12.38  ",
            "--flow-rate-per-channel=+4.12", "--output=other report.txt" });
        ASSERT_EQ(outcome.Status, 0) << outcome.Err;
        EXPECT_EQ(test::ReadFile("other report.txt"),
            test::GoldenReport());
        const Outcome negative = RunCli({ "--flow-rate-per-channel=-4.12" });
        EXPECT_EQ(negative.Status, 2) << "a negative flow is outside the model";
    }

    using nlohmann::json;

    json JsonOf(const std::string& path)
    {
        return json::parse(test::ReadFile(path));
    }

    // The key paths that other programs rely on, after a finished run.
    TEST(JsonDocument, OfAFinishedRunHoldsTheFiguresAndAgreesWithTheReport)
    {
        test::ScratchFolder folder;
        ASSERT_EQ(RunCli({ "--json", "run.json" }).Status, 0);
        const json doc = JsonOf("run.json");
        EXPECT_EQ(doc.at("end"), "finished");
        EXPECT_EQ(doc.at("exit_status"), 0);
        EXPECT_EQ(doc.at("verdict").at("answer"), "network");
        EXPECT_EQ(doc.at("verdict").at("report_understates_nonuniformity"), true);
        const json& classic = doc.at("report");
        EXPECT_EQ(classic.at("outlet").at("relative").size(), 6U);
        for (const char* key : { "spread_percent", "max_deviation_percent", "cv_percent" })
            EXPECT_TRUE(classic.at("outlet").at(key).is_number()) << key;
        EXPECT_NEAR(classic.at("against_network").at("spread_points").get<double>(), 14.31 - 22.70,
            0.01);
        const json& head = classic.at("pressure");
        EXPECT_NEAR(head.at("head_bar").get<double>(),
            head.at("head_kgf_cm2").get<double>() * 0.980665, 1e-9);
        EXPECT_NEAR(
            head.at("head_mpa").get<double>(), head.at("head_bar").get<double>() / 10, 1e-12);
        EXPECT_EQ(classic.at("repeatability").at("repeatable"), true);
        EXPECT_EQ(classic.at("repeatability").at("flow_change_percent_of_mean_outlet"), 0.0);
        EXPECT_EQ(classic.at("iteration").at("balance_steps"), 1491);
        EXPECT_EQ(classic.at("iteration").at("stop"), "correction-limit");
        const json& rows = classic.at("increments");
        ASSERT_EQ(rows.size(), 34U);
        const auto report = test::CrLfLines(test::ReadFile("result.txt"));
        for (std::size_t k = 0; k < rows.size(); ++k) {
            std::istringstream printed(report[27 + k]);
            std::string number;
            double slit = 0;
            double channel = 0;
            double pressure = 0;
            printed >> number >> slit >> channel >> pressure;
            EXPECT_NEAR(rows[k].at("slit_flow").get<double>(), slit, 0.5e-4) << k;
            EXPECT_NEAR(rows[k].at("pressure_kgf_cm2").get<double>(), pressure, 0.5e-2) << k;
        }
        const json& network = doc.at("network");
        EXPECT_EQ(network.at("converged"), true);
        EXPECT_LE(network.at("residual").get<double>(), 1e-12);
        EXPECT_EQ(network.at("outlet").at("relative").size(), 6U);
        EXPECT_EQ(network.at("increments").size(), 34U);
        for (const char* key : { "slit_flow", "channel_flow", "pressure_kgf_cm2" })
            EXPECT_TRUE(network.at("increments")[0].at(key).is_number()) << key;
        EXPECT_TRUE(network.at("pressure").at("head_kgf_cm2").is_number());
    }

    TEST(JsonDocument, IsWrittenForEveryEndState)
    {
        test::ScratchFolder folder;
        ASSERT_EQ(RunCli({ "--lip-height=1..0", "--json", "rejected.json" }).Status, 2);
        const json rejected = JsonOf("rejected.json");
        EXPECT_EQ(rejected.at("end"), "inputs-rejected");
        EXPECT_EQ(rejected.at("messages").size(), 1U);
        EXPECT_FALSE(rejected.contains("network"));
        EXPECT_FALSE(fs::exists("result.txt"));

        // Where the classic method gives up, the network solution is all there is.
        const Outcome stuck = RunCli({ "--number-of-channels=5", "--channel-width=0.6",
            "--spiral-height=6", "--json", "-" });
        ASSERT_EQ(stuck.Status, 4);
        const json notConverged = json::parse(stuck.Out);
        EXPECT_EQ(notConverged.at("end"), "not-converged");
        EXPECT_FALSE(notConverged.contains("report"));
        EXPECT_EQ(notConverged.at("network").at("converged"), true);
        EXPECT_EQ(notConverged.at("verdict").at("answer"), "network");
        EXPECT_TRUE(notConverged.at("network").at("outlet").at("cv_percent").is_number());
        EXPECT_FALSE(fs::exists("result.txt"));
    }

    // A design whose iteration stops at its limits while the flows still move.
    const std::vector<std::string> NotSettled { "--number-of-channels=1", "--spiral-height=19.6087",
        "--lip-height=2.73488", "--die-radius=15.4823", "--flow-rate-per-channel=16.0734",
        "--power-law-index=0.559711", "--standard-viscosity=33.3026",
        "--standard-shear-rate=378.553", "--inlet-slit-height=0.024845",
        "--outlet-slit-height=0.270147", "--inlet-channel-depth=1.40093",
        "--outlet-channel-depth=0.115432", "--channel-width=1.71361", "--total-increments=174" };

    TEST(CommandLine, WarnsWhenTheReportDoesNotRepeat)
    {
        test::ScratchFolder folder;
        std::vector<std::string> arguments = NotSettled;
        arguments.insert(arguments.end(), { "--json", "run.json" });
        const Outcome outcome = RunCli(arguments);
        EXPECT_EQ(outcome.Status, 0) << "a finished run, if not a repeatable one";
        EXPECT_NE(outcome.Err.find("does not repeat to its last digit"), std::string::npos)
            << outcome.Err;
        EXPECT_NE(outcome.Err.find("These figures themselves, not only their last digits, are "
                                   "uncertain"),
            std::string::npos)
            << outcome.Err;
        EXPECT_NE(outcome.Out.find("does NOT repeat"), std::string::npos) << outcome.Out;
        const json check = JsonOf("run.json").at("report").at("repeatability");
        EXPECT_EQ(check.at("repeatable"), false);
        EXPECT_GT(check.at("flow_change_percent_of_mean_outlet").get<double>(), 1.0);
        EXPECT_EQ(check.at("probe_reach_ulp"), 64);
        const json range = check.at("head_kgf_cm2_range");
        EXPECT_LT(range[0].get<double>(), range[1].get<double>());
    }

    // Whether `word` stands in `text` as a whole word, in any case.
    bool HasWord(const std::string& text, const std::string& word)
    {
        const auto letter = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; };
        std::string lower(text.size(), ' ');
        std::transform(text.begin(), text.end(), lower.begin(),
            [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
        for (std::size_t at = lower.find(word); at != std::string::npos;
             at = lower.find(word, at + 1)) {
            const std::size_t end = at + word.size();
            if ((at == 0 || !letter(lower[at - 1])) && (end == lower.size() || !letter(lower[end])))
                return true;
        }
        return false;
    }

    // Figures at the ends of double's range print in exponent form, never as inf or nan or as a
    // run of hundreds of digits; one outlet increment per channel is said to be unresolved.
    TEST(CommandLine, SummaryStaysReadableForAnyDesign)
    {
        test::ScratchFolder folder;
        for (const char* flow : { "--flow-rate-per-channel=1e300", "--flow-rate-per-channel=1e-300" }) {
            const Outcome outcome = RunCli({ flow });
            ASSERT_EQ(outcome.Status, 0) << outcome.Err;
            EXPECT_FALSE(HasWord(outcome.Out, "inf")) << outcome.Out;
            EXPECT_FALSE(HasWord(outcome.Out, "nan")) << outcome.Out;
            std::size_t digits = 0;
            for (const char c : outcome.Out) {
                digits = std::isdigit(static_cast<unsigned char>(c)) ? digits + 1 : 0;
                ASSERT_LT(digits, 12U) << outcome.Out;
            }
            EXPECT_NE(outcome.Out.find("e+"), std::string::npos) << outcome.Out;
        }
        const Outcome many = RunCli({ "--number-of-channels=24", "--channel-width=0.2" });
        ASSERT_EQ(many.Status, 0) << many.Err;
        EXPECT_NE(many.Out.find("outlet spread not resolved"), std::string::npos) << many.Out;
        EXPECT_EQ(many.Out.find("spread 0.00 %"), std::string::npos) << many.Out;
    }

    TEST(CommandLine, NetworkSolverWritesNoReport)
    {
        test::ScratchFolder folder;
        const Outcome outcome = RunCli({ "--solver", "network", "--json", "run.json" });
        EXPECT_EQ(outcome.Status, 0) << outcome.Err;
        EXPECT_FALSE(fs::exists("result.txt"));
        const json doc = JsonOf("run.json");
        EXPECT_EQ(doc.at("end"), "network-solved");
        EXPECT_FALSE(doc.contains("report"));
        EXPECT_NEAR(doc.at("network").at("outlet").at("spread_percent").get<double>(), 22.7, 0.05);
        EXPECT_TRUE(outcome.Out.starts_with("exact network: ")) << outcome.Out;
    }

    // Each row of a study is what the single run of its inputs gives.
    TEST(Sweep, RowsEqualTheirSingleRuns)
    {
        test::ScratchFolder folder;
        const Outcome sweep = RunCli(
            { "sweep", "--vary", "channel-width=1.0:1.2:3", "--vary", "number-of-channels=4:5:2",
                "--jobs", "2", "--json", "sweep.jsonl", "--csv", "sweep.csv" });
        ASSERT_EQ(sweep.Status, 0) << sweep.Err;
        const auto documents = Lines(test::ReadFile("sweep.jsonl"));
        ASSERT_EQ(documents.size(), 6U);
        EXPECT_EQ(Lines(test::ReadFile("sweep.csv")).size(), 7U);
        EXPECT_FALSE(fs::exists("result.txt")) << "a study writes no reports";
        for (const std::string& line : documents) {
            const json row = json::parse(line);
            const json& texts = row.at("inputs").at("texts");
            const Outcome single =
                RunCli({ "--channel-width=" + texts.at("channel-width").get<std::string>(),
                    "--number-of-channels=" + texts.at("number-of-channels").get<std::string>(),
                    "--json", "single.json" });
            EXPECT_EQ(single.Status, row.at("exit_status"));
            EXPECT_EQ(JsonOf("single.json"), row) << line;
        }
    }

    TEST(Sweep, RefusesAVariationThatIsNoField)
    {
        test::ScratchFolder folder;
        const Outcome outcome = RunCli({ "sweep", "--vary", "colour=1:2:3" });
        EXPECT_EQ(outcome.Status, 64);
        EXPECT_NE(outcome.Err.find("\"colour\" is not an input field"), std::string::npos)
            << outcome.Err;
    }

    TEST(InputSets, SaveAndReadGiveTheSameRunAndOptionsOverrideThem)
    {
        test::ScratchFolder folder;
        test::WriteFile("saved.txt", "an older report");
        const Outcome saved = RunCli(
            { "--channel-width=1.0", "--output=saved.txt", "--save-inputs", "design.karrow" });
        ASSERT_EQ(saved.Status, 0) << saved.Err;
        EXPECT_EQ(test::ReadFile("saved.txt"), "an older report") << "saving alone runs nothing";
        EXPECT_EQ(saved.Out, "");
        ASSERT_EQ(RunCli({ "--channel-width=1.0", "--output=saved.txt", "--save-inputs",
                             "design.karrow", "--run" })
                      .Status,
            0);
        const std::string narrow = test::ReadFile("saved.txt");
        fs::remove("saved.txt");
        ASSERT_EQ(RunCli({ "--inputs", "design.karrow" }).Status, 0);
        EXPECT_EQ(test::ReadFile("saved.txt"), narrow);
        EXPECT_FALSE(fs::exists("result.txt")) << "the input set names its own report";
        ASSERT_EQ(RunCli({ "--inputs", "design.karrow", "--channel-width=1.2" }).Status, 0);
        EXPECT_EQ(test::ReadFile("saved.txt"),
            test::GoldenReport());

        test::WriteFile("broken.karrow", "{\"format\": 1");
        const Outcome refused = RunCli({ "--inputs", "broken.karrow", "--output=other.txt" });
        EXPECT_EQ(refused.Status, 64);
        EXPECT_NE(refused.Err.find("broken.karrow"), std::string::npos) << refused.Err;
        EXPECT_FALSE(fs::exists("other.txt"));
    }

    // Whatever was written to standard output, a full disk or a closed stdout is reported with
    // the status of an I/O error. The node of the full device is made in the test's folder.
    TEST(CommandLine, WriteErrorsOnStandardOutputAreReported)
    {
        test::ScratchFolder folder;
        const Outcome closed = RunCli({ "--solver=network" }, nullptr);
        EXPECT_EQ(closed.Status, 5);
        EXPECT_NE(closed.Err.find("karrow-cli: cannot write to standard output"), std::string::npos)
            << closed.Err;
        if (::mknod("full", S_IFCHR | 0666, makedev(1, 7)) != 0)
            GTEST_SKIP() << "making a device node needs root";
        const Outcome summary = RunCli({ "--solver=network" }, "full");
        EXPECT_EQ(summary.Status, 5);
        EXPECT_NE(summary.Err.find("cannot write to standard output: No space left on device"),
            std::string::npos)
            << summary.Err;
        const Outcome document = RunCli({ "--solver=network", "--json", "-" }, "full");
        EXPECT_EQ(document.Status, 5);
        EXPECT_NE(document.Err.find("cannot write the JSON document to standard output: No space"),
            std::string::npos)
            << document.Err;
    }

    // A JSON written onto a device node, a FIFO's stand-in or a link goes into it: the node and
    // the link stay what they are.
    TEST(JsonDocument, GoesIntoADeviceOrThroughALink)
    {
        test::ScratchFolder folder;
        fs::create_directory("kept");
        fs::create_symlink("kept/run.json", "link.json");
        ASSERT_EQ(RunCli({ "--solver=network", "--json", "link.json" }).Status, 0);
        EXPECT_TRUE(fs::is_symlink("link.json"));
        EXPECT_TRUE(JsonOf("kept/run.json").contains("end"));
        if (::mknod("null", S_IFCHR | 0666, makedev(1, 3)) != 0)
            GTEST_SKIP() << "making a device node needs root";
        ASSERT_EQ(
            RunCli({ "--solver=network", "--json", "null", "--save-inputs", "null" }).Status, 0);
        EXPECT_TRUE(fs::is_character_file(fs::symlink_status("null")));
    }

    // Two runs on one report: the second is refused before it touches the report, however the
    // first ends. The test holds the lock as the first run would.
    TEST(CommandLine, ASecondRunOnALockedFileIsRefused)
    {
        test::ScratchFolder folder;
        test::WriteFile("result.txt", "the first run's report\r\n");
        test::WriteFile("out.json", "the first run's JSON\n");
        {
            const FileLock firstRun = LockExistingFile("result.txt");
            ASSERT_TRUE(firstRun.Held());
            const Outcome second = RunCli({});
            EXPECT_EQ(second.Status, 3);
            EXPECT_EQ(second.Err,
                "File can not open!\n" + (folder.Path() / "result.txt").string()
                    + ": another Karrow run is writing it.\n");
            EXPECT_EQ(test::ReadFile("result.txt"), "the first run's report\r\n");
        }
        {
            const FileLock firstRun = LockExistingFile("out.json");
            const Outcome second = RunCli({ "--solver=network", "--json", "out.json" });
            EXPECT_EQ(second.Status, 64);
            EXPECT_NE(
                second.Err.find("out.json\": another Karrow run is writing it"), std::string::npos)
                << second.Err;
            EXPECT_EQ(test::ReadFile("out.json"), "the first run's JSON\n");
        }
        EXPECT_EQ(RunCli({}).Status, 0) << "the lock ends with the run that held it";
    }

    // An input set from someone else: refused, naming the set, when it would reach outside the
    // folder or holds a number no double holds; a field it gets wrong is named with the set.
    TEST(InputSets, FromSomeoneElseAreRefusedNamingTheSet)
    {
        test::ScratchFolder folder;
        ASSERT_EQ(RunCli({ "--save-inputs", "good.karrow" }).Status, 0);
        json set = JsonOf("good.karrow");
        fs::remove("result.txt");
        test::WriteFile("notes.txt", "kept\n");
        const auto refused = [](const std::string& name, const json& document) {
            test::WriteFile(name, document.dump());
            const Outcome outcome = RunCli({ "--inputs", name });
            EXPECT_EQ(outcome.Status, 64) << name;
            EXPECT_EQ(outcome.Err.rfind("karrow-cli: " + name + ": ", 0), 0U) << outcome.Err;
            return outcome.Err;
        };
        json outside = set;
        outside["fields"]["output"] = "../notes.txt";
        EXPECT_NE(refused("outside.karrow", outside).find("plain file name"), std::string::npos);
        outside["fields"]["output"] = std::string("a\0b.txt", 7);
        EXPECT_NE(refused("nul.karrow", outside).find("plain file name"), std::string::npos);
        test::WriteFile("huge.karrow", "{\"format\": \"karrow-inputs\", \"version\": 1e400}");
        const Outcome huge = RunCli({ "--inputs", "huge.karrow" });
        EXPECT_EQ(huge.Status, 64);
        EXPECT_NE(huge.Err.find("huge.karrow: The document holds a number beyond the range"),
            std::string::npos)
            << huge.Err;
        EXPECT_FALSE(fs::exists("a"));
        EXPECT_FALSE(fs::exists("result.txt"));
        EXPECT_EQ(test::ReadFile("notes.txt"), "kept\n");

        set["fields"]["lip-height"] = "abc";
        test::WriteFile("wrong.karrow", set.dump());
        const Outcome wrong = RunCli({ "--inputs", "wrong.karrow" });
        EXPECT_EQ(wrong.Status, 2);
        EXPECT_NE(wrong.Err.find("read from the input set \"wrong.karrow\""), std::string::npos)
            << wrong.Err;
    }

    TEST(CommandLine, HelpExplainsOptionsAndExitStatuses)
    {
        test::ScratchFolder folder;
        const Outcome outcome = RunCli({ "--help" });
        EXPECT_EQ(outcome.Status, 0);
        for (const char* text : { "--number-of-channels", "--total-increments", "--output",
                 "--json", "--solver", "--inputs", "Exit status", "64",
                 "a --json document is written\n      and records the refusal",
                 "written through a symbolic link" })
            EXPECT_NE(outcome.Out.find(text), std::string::npos) << text;
        const Outcome version = RunCli({ "--version" });
        EXPECT_EQ(version.Status, 0);
        EXPECT_EQ(version.Out, "karrow-cli 1.0.0\n");
    }

} // namespace
} // namespace karrow
