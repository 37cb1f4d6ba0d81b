// Whole runs of the calculation from arbitrary field texts, each in a scratch folder that holds
// an older report, an unrelated file and a subfolder. Every run must end in one of the driver's
// end states (or with an arithmetic fault), show exactly the messages of that end, and leave on
// disk exactly what that end promises: nothing touched, no report, the report's first sections,
// or a complete report of 29 + N_eff CR LF lines without a non-finite number in it.
//
// Then the run's record goes to the output files a front end writes, each planted first: a JSON
// document (a file, a symbolic link to a file in the subfolder, or a file with a second hard
// link, by byte 2), a CSV table and an input set. Each must hold exactly what was written (the
// link and both hard links staying), or, when refused, be unchanged, with nothing else touched.
//
// Input layout: byte 0 is the mode ("N": fourteen numbers drawn from the bytes that follow;
// anything else: the bytes that follow are the field texts, one per line; a field whose line is
// empty or missing keeps its default); byte 1 chooses the decimal separator ("," or else "."); byte
// 2 the report name (see ReportNames); a line end after these three bytes is skipped.

#include "fuzz_checks.h"
#include "cli/exit_status.h"
#include "report/result_file.h"
#include "run/design_run.h"
#include "run/fields.h"
#include "run/input_reading.h"
#include "run/input_set.h"
#include "run/run_driver.h"
#include "run/run_json.h"
#include "run/whole_file.h"
#include "solver/fault.h"
#include "solver/flow_balance.h"
#include "tests/core/test_support.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <fuzzer/FuzzedDataProvider.h>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr const char* OlderReport = "older.txt";
constexpr const char* OlderReportText = "an older report\r\n";
constexpr const char* Unrelated = "notes.txt";
constexpr const char* Subfolder = "sub";
constexpr const char* PlantedText = "planted by an earlier run\n";
// The outputs, planted in the folder before every run.
constexpr const char* JsonFile = "run.json";
constexpr const char* JsonLink = "link.json"; // -> sub/target.json
constexpr const char* JsonLinkTarget = "sub/target.json";
constexpr const char* JsonHardLinked = "linked.json"; // a second name: sub/second.json
constexpr const char* JsonSecondName = "sub/second.json";
constexpr const char* CsvFile = "study.csv";
constexpr const char* InputSetFile = "die.karrow";

// Report names inside the scratch folder: a new file, the older report (replaced by the
// run), the subfolder, an empty name, a folder that does not exist, a file inside the subfolder.
const std::array<std::string, 6> ReportNames { "result.txt", OlderReport, Subfolder, "",
    "missing/result.txt", "sub/result.txt" };

// The field texts and outcome of the run being checked, printed with a failure.
std::string CurrentRun;

[[noreturn]] void Fail(const std::string& what)
{
    throw karrow::fuzz::Finding("whole run: " + what + "\n" + CurrentRun);
}

void Expect(bool condition, const std::string& what)
{
    if (!condition)
        Fail(what);
}

class ScriptedInterface : public karrow::UserInterface {
public:
    karrow::FieldTexts Texts;
    std::vector<std::string> Messages;
    int FinishDialogs = 0;
    int FileListRereads = 0;
    int RereadsBeforeDialog = 0;

    std::string FieldText(karrow::Field field) const override { return Texts[field]; }
    void ShowMessage(const std::string& text) override { Messages.push_back(text); }
    void ShowFinishDialog() override
    {
        ++FinishDialogs;
        RereadsBeforeDialog = FileListRereads;
    }
    void RereadFileList() override { ++FileListRereads; }
};

// The scratch folder, made once per process, reset before every run and removed at exit.

const fs::path& Folder()
{
    static const karrow::test::TemporaryFolder folder("karrow-fuzz");
    return folder.Path();
}

void WriteFile(const fs::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void ResetFolder()
{
    for (const auto& entry : fs::directory_iterator(Folder()))
        fs::remove_all(entry.path());
    WriteFile(Folder() / OlderReport, OlderReportText);
    WriteFile(Folder() / Unrelated, "not a report\n");
    fs::create_directory(Folder() / Subfolder);
    for (const char* name : { JsonFile, JsonLinkTarget, JsonHardLinked, CsvFile, InputSetFile })
        WriteFile(Folder() / name, PlantedText);
    fs::create_symlink(Folder() / JsonLinkTarget, Folder() / JsonLink);
    fs::create_hard_link(Folder() / JsonHardLinked, Folder() / JsonSecondName);
}

// Every entry below the folder with its kind and, for a file, its content.
std::map<std::string, std::string> Snapshot()
{
    std::map<std::string, std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(Folder())) {
        const std::string name = fs::relative(entry.path(), Folder()).string();
        if (entry.is_symlink())
            entries[name] = "link:" + fs::read_symlink(entry.path()).string();
        else
            entries[name] = entry.is_regular_file() ? "file:" + ReadFile(entry.path())
                                                    : (entry.is_directory() ? "folder" : "other");
    }
    return entries;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = text.find("\r\n", at);
        Expect(end != std::string::npos, "report does not end with CR LF");
        lines.push_back(text.substr(at, end - at));
        Expect(lines.back().find_first_of("\r\n") == std::string::npos, "bare CR or LF in report");
        at = end + 2;
    }
    return lines;
}

void ExpectFiniteNumbers(const std::string& report)
{
    std::string upper = report;
    std::transform(upper.begin(), upper.end(), upper.begin(),
        [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    Expect(upper.find("NAN") == std::string::npos && upper.find("INF") == std::string::npos,
        "non-finite number in report:\n" + report);
}

// The report of a run that ended with an arithmetic fault: the input section, and the
// modified-condition section when the fault came after the geometry.
void ExpectPartialReport(const std::string& report)
{
    const auto lines = Lines(report);
    Expect(lines.size() == 16 || lines.size() == 23,
        "faulted run left " + std::to_string(lines.size()) + " lines");
    ExpectFiniteNumbers(report);
}

void ExpectCompleteReport(const std::string& report)
{
    const auto lines = Lines(report);
    Expect(lines.size() >= 29, "finished report too short");
    const std::string& effective = lines[22];
    Expect(effective.starts_with("    Total Increments"), "line 23 is not the effective part");
    const int increments = std::atoi(effective.substr(51).c_str());
    Expect(increments >= 1 && lines.size() == 29 + static_cast<std::size_t>(increments),
        "finished report has " + std::to_string(lines.size()) + " lines for N_eff "
            + std::to_string(increments));
    Expect(lines.back().starts_with("      *: Last "), "report footer missing");
    ExpectFiniteNumbers(report);
}

void FillFromText(ScriptedInterface& ui, FuzzedDataProvider& data)
{
    std::istringstream lines(data.ConsumeRemainingBytesAsString());
    std::string line;
    for (const karrow::Field field : karrow::InputFields) {
        if (!std::getline(lines, line))
            break;
        if (!line.empty())
            ui.Texts[field] = line;
    }
}

// Fourteen numbers around the default geometry: each field keeps its default, takes a scaled
// default (1/16 to 16 times), or an extreme (0, negative, tiny, huge), written in plain or
// exponent form.
void FillFromNumbers(ScriptedInterface& ui, FuzzedDataProvider& data, char separator)
{
    for (const karrow::Field field : karrow::InputFields) {
        std::string& text = ui.Texts[field];
        const std::uint8_t choice = data.ConsumeIntegral<std::uint8_t>();
        if (karrow::InfoOf(field).Kind == karrow::FieldKind::Integer) {
            const int value = choice < 200 ? choice % 80 - 2 : data.ConsumeIntegral<int>();
            text = std::to_string(value);
            continue;
        }
        if (choice < 32)
            continue;
        const double base = std::strtod(karrow::InfoOf(field).DefaultText, nullptr);
        double value = base * std::exp2(data.ConsumeFloatingPointInRange(-4.0, 4.0));
        if (choice >= 240)
            value = std::array { 0.0, -base, 1e-300, 1e300, -1e-12, 5e-324 }[choice % 6];
        std::array<char, 64> buffer {};
        std::snprintf(buffer.data(), buffer.size(), choice % 2 != 0 ? "%.17g" : "%.6e", value);
        text = buffer.data();
        std::replace(text.begin(), text.end(), '.', separator);
    }
}

// Runs the calculation with the report named `reportName` inside the scratch folder; returns
// its outcome (none after a fault, whose message goes to `fault`).
std::optional<karrow::RunOutcome> CheckRun(
    ScriptedInterface& ui, char separator, const std::string& reportName, std::string& fault)
{
    ui.Texts[karrow::Field::SaveFileName] =
        reportName.empty() ? "" : (Folder() / reportName).string();
    const auto before = Snapshot();
    auto expected = before; // what the folder must hold afterwards, report aside
    const bool reportWasFile = before.contains(reportName) && before.at(reportName) != "folder";
    expected.erase(reportName);

    CurrentRun = "separator '" + std::string(1, separator) + "', fields:";
    for (const std::string& text : ui.Texts)
        CurrentRun += " [" + text + "]";
    std::optional<karrow::RunOutcome> outcome;
    karrow::RunEnd end {};
    try {
        outcome = karrow::RunCalculation(ui, separator);
        end = outcome->End;
        CurrentRun += "\nend state " + std::to_string(static_cast<int>(end));
    } catch (const karrow::ArithmeticFault& e) {
        fault = e.what();
        CurrentRun += std::string("\narithmetic fault: ") + e.what();
    } catch (const std::exception& e) {
        Fail(std::string("unexpected exception: ") + e.what());
    }
    auto after = Snapshot();
    const bool reportIsFile = !reportName.empty() && after.contains(reportName)
        && after.at(reportName).starts_with("file:");
    const std::string content = reportIsFile ? after.at(reportName).substr(5) : "";
    const auto messagesAre = [&](std::initializer_list<std::string> texts) {
        return std::equal(ui.Messages.begin(), ui.Messages.end(), texts.begin(), texts.end(),
            [](const std::string& shown, const std::string& text) {
                return shown.starts_with(text);
            });
    };

    if (!fault.empty()) {
        Expect(reportIsFile, "faulted run left no report: " + fault);
        ExpectPartialReport(content);
        Expect(ui.Messages.empty() && ui.FileListRereads == 0 && ui.FinishDialogs == 0,
            "faulted run went on");
    } else if (end == karrow::RunEnd::InputsRejected || end == karrow::RunEnd::ReportNotCreated) {
        Expect(after == before, "a run that stopped before its report changed the folder");
        Expect(messagesAre({ end == karrow::RunEnd::InputsRejected ? karrow::InputErrorMessage
                                                                   : karrow::CannotOpenMessage }),
            "wrong message for a stop before the report");
        Expect(ui.FileListRereads == 0 && ui.FinishDialogs == 0, "file list re-read");
        if (end == karrow::RunEnd::ReportNotCreated)
            Expect(reportName.empty() || !reportWasFile, "report could not replace a file");
    } else if (end == karrow::RunEnd::NotConverged) {
        Expect(!reportIsFile, "report of a run that did not converge was not deleted");
        Expect(messagesAre({ karrow::NonConvergenceMessage }), "no non-convergence message");
        Expect(ui.FileListRereads == 1 && ui.FinishDialogs == 0, "file list not re-read once");
    } else if (end == karrow::RunEnd::Finished) {
        Expect(reportIsFile, "finished run left no report");
        ExpectCompleteReport(content);
        Expect(ui.Messages.empty() && ui.FinishDialogs == 1 && ui.RereadsBeforeDialog == 0
                && ui.FileListRereads == 1,
            "finish dialog, then one re-read of the file list");
    } else {
        Fail("end state " + std::to_string(static_cast<int>(end))
            + " with nothing removed between the sections");
    }
    after.erase(reportName);
    Expect(after == expected, "a file other than the report was changed");
    return outcome;
}

// Writes `content` to the planted output `name` and checks what the folder holds afterwards:
// `written` lists every entry that must now hold the content (the name itself, a link's target,
// a second hard link), everything else is unchanged. Returns whether the write was done.
bool CheckOutput(
    const std::string& name, const std::vector<std::string>& written, const std::string& content)
{
    const auto before = Snapshot();
    const auto problem = karrow::WriteOutputFile((Folder() / name).string(), content);
    auto after = Snapshot();
    Expect(!problem, "output " + name + " not written: " + problem.value_or(""));
    for (const std::string& entry : written) {
        Expect(after.count(entry) == 1 && after.at(entry) == "file:" + content,
            "output " + entry + " does not hold what was written");
        after.erase(entry);
    }
    auto expected = before;
    for (const std::string& entry : written)
        expected.erase(entry);
    Expect(after == expected, "writing " + name + " changed another entry");
    return true;
}

// The record of the run as the JSON, the CSV and the input set of a front end.
void CheckOutputs(const ScriptedInterface& ui, char separator, std::uint8_t choice,
    const std::optional<karrow::RunOutcome>& outcome, const std::string& fault)
{
    // The answers (figures, settling check) take several more calculations: a quarter of the
    // runs write them, the others the record of the run alone.
    karrow::RunRecord record;
    if (choice / 6 % 4 == 0) {
        record = karrow::RecordOfRun(ui.Texts, karrow::SolverChoice::Classic, {}, separator,
            outcome, ui.Messages, fault.empty() ? std::nullopt : std::optional<std::string>(fault));
    } else {
        record.Texts = ui.Texts;
        record.End = fault.empty() && outcome ? outcome->End : karrow::RunEnd::Fault;
        record.Messages = ui.Messages;
        record.Solver = karrow::SolverChoice::Classic;
        record.Outcome = outcome;
    }
    bool textsAreUtf8 = true;
    for (const karrow::Field field : karrow::AllFields)
        textsAreUtf8 = textsAreUtf8 && !karrow::JsonTextProblem(field, ui.Texts[field]);
    // karrow-cli refuses such texts before a run that writes JSON; the CSV holds bytes as given.
    if (textsAreUtf8) {
        const int status = karrow::ExitStatusOf(record.End);
        const std::string json = karrow::RunJson(record, status) + "\n";
        Expect(nlohmann::json::accept(json), "the run's JSON does not parse:\n" + json);
        switch (choice % 3) {
        case 0:
            CheckOutput(JsonFile, { JsonFile }, json);
            break;
        case 1:
            CheckOutput(JsonLink, { JsonLinkTarget }, json);
            break;
        default:
            CheckOutput(JsonHardLinked, { JsonHardLinked, JsonSecondName }, json);
            break;
        }
    }
    CheckOutput(CsvFile, { CsvFile }, karrow::SweepCsvHeader() + karrow::SweepCsvRow(record, karrow::ExitStatusOf(record.End)));

    // An input set keeps the texts, numbers with a full stop; its report name is a plain name.
    karrow::InputSet set { ui.Texts };
    std::string& reportName = set.Texts[karrow::Field::SaveFileName];
    reportName = fs::path(reportName).filename().string();
    if (choice % 2 != 0)
        reportName = "../" + reportName;
    const std::string path = (Folder() / InputSetFile).string();
    const auto before = Snapshot();
    const auto problem = karrow::WriteInputSet(path, set, separator);
    if (problem) {
        Expect(problem->starts_with(path + ": "), "input set problem does not name the file");
        Expect(Snapshot() == before, "a refused input set changed the folder");
        Expect(choice % 2 != 0 || problem->find("UTF-8") != std::string::npos
                || problem->find("longer than") != std::string::npos,
            "input set refused: " + *problem);
        return;
    }
    Expect(choice % 2 == 0, "an input set with a report name outside its folder was written");
    const karrow::InputSetReading reading = karrow::ReadInputSet(path, separator);
    Expect(reading.Set.has_value(), "the input set just written does not read: " + reading.Problem);
    for (const karrow::Field field : karrow::AllFields) {
        std::string text = set.Texts[field];
        if (field != karrow::Field::SaveFileName)
            std::replace(text.begin(), text.end(), separator == ',' ? '.' : ',', separator);
        Expect(reading.Set->Texts[field] == text,
            "the input set does not give back the text of " + karrow::QuotedLabel(field));
    }
}

} // namespace

karrow::fuzz::CheckedRun karrow::fuzz::CheckWholeRun(const std::uint8_t* bytes, std::size_t size)
{
    if (size < 3)
        return {};
    const char mode = static_cast<char>(bytes[0]);
    const char separator = bytes[1] == ',' ? ',' : '.';
    const std::string& reportName = ReportNames[bytes[2] % ReportNames.size()];
    const std::size_t header = size > 3 && bytes[3] == '\n' ? 4 : 3;
    FuzzedDataProvider data(bytes + header, size - header);

    ScriptedInterface ui;
    ui.Texts = karrow::DefaultFieldTexts(separator);
    if (mode == 'N')
        FillFromNumbers(ui, data, separator);
    else
        FillFromText(ui, data);

    ResetFolder();
    std::string fault;
    const auto outcome = CheckRun(ui, separator, reportName, fault);
    CheckOutputs(ui, separator, bytes[2], outcome, fault);
    return { true, outcome ? std::optional(outcome->End) : std::nullopt };
}
