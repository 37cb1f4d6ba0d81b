// karrow-cli: calculations without a window. Each field option takes the text a user would type
// into the field of the same name; a field not given takes the window's default text (or the
// input set's, with --inputs). "karrow-cli sweep" runs a study over a grid of designs.

#include "report/resolution_json.h"
#include "run/design_run.h"
#include "run/fields.h"
#include "run/input_set.h"
#include "run/kept_texts.h"
#include "run/run_driver.h"
#include "run/sweep.h"
#include "run/whole_file.h"
#include "solver/fault.h"
#include "summary.h"

#include <CLI/CLI.hpp>
#include <array>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace {

using namespace karrow;

using Texts = std::array<std::string, 15>;

constexpr const char* Footer =
    R"(Each field option takes the text a user would type into the window's field, parsed
by the same rules; write --option=TEXT to pass any text unchanged (empty, starting
with "-" or a blank, or with trailing blanks). A field not given takes the input
set's text (--inputs) or the window's default. The report goes to --output (default
"result.txt"), resolved against the current folder. Messages go to stderr; on
success the finish message, the report's path and a summary of the answers go to
stdout (to stderr when the JSON goes to stdout).

karrow-cli sweep --vary FIELD=FROM:TO:COUNT [--vary ...] runs the grid of all
combinations in parallel and writes no reports: --csv FILE (a row per design) and
--json FILE (a document per line).

Exit status:
  0   finished: the report is complete (--solver network: the network is solved)
  2   inputs rejected: no file touched
  3   the report could not be created or appended (a partial report is deleted)
  4   no convergence (the partial report is deleted)
  5   an error not handled by any step (arithmetic fault, I/O error): the report
      is left as far as it was written
  64  bad command-line usage, or an input set or output file that cannot be used)";

// The decimal separator of the user's regional settings, "." when there is none or it is not
// a single byte.
char RegionalDecimalSeparator()
{
    std::setlocale(LC_NUMERIC, "");
    const char* point = std::localeconv()->decimal_point;
    const char separator = point != nullptr && std::strlen(point) == 1 ? point[0] : '.';
    std::setlocale(LC_NUMERIC, "C");
    return separator;
}

class CommandLineInterface : public UserInterface {
public:
    CommandLineInterface(const Texts& texts, std::ostream& out)
        : texts_(texts)
        , out_(out)
    {
    }
    std::string FieldText(int field) const override
    {
        return texts_.at(static_cast<std::size_t>(field - 1));
    }
    void ShowMessage(const std::string& text) override
    {
        std::cerr << text << '\n';
        messages.push_back(text);
    }
    void ShowFinishDialog() override
    {
        out_
            << FinishedMessage << "\n"
            << std::filesystem::absolute(ResultFileNameFrom(texts_[SaveFileNameField - 1])).string()
            << '\n';
    }
    void RereadFileList() override { }

    std::vector<std::string> messages;

private:
    const Texts& texts_;
    std::ostream& out_;
};

// The field of an argument "--option=TEXT", if it names one.
std::optional<int> FieldOfAssignment(const std::string& argument)
{
    const std::size_t equals = argument.find('=');
    if (!argument.starts_with("--") || equals == std::string::npos)
        return std::nullopt;
    const std::string name = argument.substr(2, equals - 2);
    for (int field = 1; field <= SaveFileNameField; ++field)
        if (name == Field(field).OptionName)
            return field;
    return std::nullopt;
}

struct Options {
    std::array<std::optional<std::string>, 15> Given;
    std::string Json;
    std::string Solver = "both";
    MeltProperties Melt;
    std::string InputsFile;
    std::string SaveInputsFile;
    NetworkOptions Network;
    std::string Resolution;
    std::string OutletCsv;
    // sweep
    std::vector<std::string> Vary;
    int Jobs = static_cast<int>(std::max(1U, std::thread::hardware_concurrency()));
    std::string Csv;
};

void AddFieldOptions(CLI::App& app, Options& o, char separator)
{
    for (int field = 1; field <= SaveFileNameField; ++field) {
        const FieldInfo& info = Field(field);
        const std::string description =
            std::string(
                field == SaveFileNameField ? "report file (\"Save File Name\")" : info.Label)
            + ", default \"" + DefaultFieldText(field, separator) + "\"";
        app.add_option("--" + std::string(info.OptionName),
               o.Given[static_cast<std::size_t>(field - 1)], description)
            ->option_text("TEXT");
    }
}

void AddAnswerOptions(CLI::App& app, Options& o)
{
    app.add_option("--solver", o.Solver,
           "classic (the report), network (the exact network only: no report) or both")
        ->check(CLI::IsMember({ "classic", "network", "both" }))
        ->option_text("classic|network|both");
    app.add_option("--density", o.Melt.Density, "melt density for the temperature rise, g/cm3")
        ->check(CLI::PositiveNumber);
    app.add_option("--heat-capacity", o.Melt.HeatCapacity,
           "melt heat capacity for the temperature rise, J/(g K)")
        ->check(CLI::PositiveNumber);
    app.add_option("--inputs", o.InputsFile, "read the field texts from an input set (.karrow)");
    app.add_option("--increments-per-pitch", o.Network.IncrementsPerPitch,
           "the exact network's increments per channel pitch (default: 24/channels rounded)")
        ->check(CLI::Range(1, MostIncrementsPerPitch))
        ->option_text("K");
    app.add_option("--resolution", o.Resolution,
           "auto: a resolution study of the exact network (K, 2K, 4K, ... to 0.1 %)")
        ->check(CLI::IsMember({ "auto" }))
        ->option_text("auto");
    app.add_option("--outlet-csv", o.OutletCsv,
           "write the exact network's outlet flows round the whole die as CSV (- for stdout)")
        ->option_text("FILE");
}

SolverChoice SolverOf(const std::string& name)
{
    if (name == "classic")
        return SolverChoice::Classic;
    return name == "network" ? SolverChoice::Network : SolverChoice::Both;
}

// The field texts: given options, else the input set's, else the defaults.
std::optional<Texts> TextsOf(const Options& o, char separator)
{
    Texts texts;
    for (int field = 1; field <= SaveFileNameField; ++field)
        texts[static_cast<std::size_t>(field - 1)] = DefaultFieldText(field, separator);
    if (!o.InputsFile.empty()) {
        const InputSetReading reading = ReadInputSet(o.InputsFile);
        if (!reading.Set) {
            std::cerr << "karrow-cli: " << reading.Problem << '\n';
            return std::nullopt;
        }
        texts = reading.Set->Texts;
    }
    for (std::size_t i = 0; i < texts.size(); ++i)
        if (o.Given[i])
            texts[i] = *o.Given[i];
    return texts;
}

// Writes `text` to `path` ("-": stdout), replacing a file only by a complete one.
bool WriteOutput(const std::string& path, const std::string& text, const char* what)
{
    if (path == "-") {
        std::cout << text << std::flush;
        return true;
    }
    if (const int error = ReplaceFileWhole(path, text)) {
        std::cerr << "karrow-cli: cannot write the " << what << " \""
                  << std::filesystem::absolute(path).string()
                  << "\": " << std::generic_category().message(error) << '\n';
        return false;
    }
    return true;
}

NetworkOptions NetworkOptionsOf(const Options& o)
{
    NetworkOptions network = o.Network;
    network.Study = o.Resolution == "auto";
    return network;
}

int RunOnce(const Options& o, const Texts& texts, char separator)
{
    const SolverChoice solver = SolverOf(o.Solver);
    std::ostream& human = o.Json == "-" || o.OutletCsv == "-" ? std::cerr : std::cout;
    RunRecord record;
    if (solver == SolverChoice::Network) {
        record = CalculateDesign(texts, solver, o.Melt, separator, NetworkOptionsOf(o));
        for (const std::string& message : record.Messages)
            std::cerr << message << '\n';
    } else {
        CommandLineInterface ui(texts, human);
        std::optional<RunOutcome> outcome;
        std::optional<std::string> fault;
        try {
            outcome = RunCalculation(ui, separator);
        } catch (const std::exception& e) {
            std::cerr << "Karrow: " << e.what() << '\n';
            fault = e.what();
        }
        record = RecordOfRun(
            texts, solver, o.Melt, separator, outcome, ui.messages, fault, NetworkOptionsOf(o));
    }
    human << SummaryText(record);
    std::cerr << SettlingWarning(record);
    if (!o.Json.empty() && !WriteOutput(o.Json, RunJson(record) + "\n", "JSON document"))
        return ExitUsage;
    const auto& exact = record.Answers.Exact;
    if (!o.OutletCsv.empty() && exact && exact->AsSolution
        && !WriteOutput(o.OutletCsv, OutletRoundTheDieCsv(*exact->AsSolution), "outlet CSV"))
        return ExitUsage;
    return record.ExitStatus;
}

void ShowProgress(std::size_t done, std::size_t total)
{
    constexpr int Width = 40;
    const int filled = total == 0 ? Width : static_cast<int>(Width * done / total);
    std::fprintf(stderr, "\r[%s%s] %zu/%zu",
        std::string(static_cast<std::size_t>(filled), '#').c_str(),
        std::string(static_cast<std::size_t>(Width - filled), ' ').c_str(), done, total);
    if (done == total)
        std::fprintf(stderr, "\n");
}

int RunStudy(const Options& o, const Texts& fixed, char separator)
{
    std::vector<Variation> variations;
    for (const std::string& text : o.Vary) {
        std::string problem;
        const auto variation = ParseVariation(text, problem);
        if (!variation) {
            std::cerr << "karrow-cli sweep: --vary " << problem << '\n';
            return ExitUsage;
        }
        variations.push_back(*variation);
    }
    const auto designs = GridOf(fixed, variations, separator);
    const bool terminal = ::isatty(STDERR_FILENO) == 1;
    const auto records = RunSweep(
        designs, SolverOf(o.Solver), o.Melt, separator, o.Jobs,
        [&](std::size_t done) {
            if (terminal)
                ShowProgress(done, designs.size());
        },
        o.Network);
    std::string csv = SweepCsvHeader();
    std::string json;
    for (const RunRecord& record : records) {
        csv += SweepCsvRow(record);
        json += RunJson(record) + "\n";
    }
    if (!o.Csv.empty() && !WriteOutput(o.Csv, csv, "CSV table"))
        return ExitUsage;
    if (!o.Json.empty() && !WriteOutput(o.Json, json, "JSON documents"))
        return ExitUsage;
    if (o.Csv.empty() && o.Json.empty())
        std::cout << csv;
    return ExitFinished;
}

} // namespace

int main(int argc, char** argv)
{
    const char separator = RegionalDecimalSeparator();
    CLI::App app { "Karrow: melt flow and pressure along a spiral mandrel die channel "
                   "(power-law melt, 15-degree increments).",
        "karrow-cli" };
    app.footer(Footer);
    app.set_version_flag("--version", std::string("karrow-cli ") + KARROW_VERSION);
    Options o;
    AddFieldOptions(app, o, separator);
    AddAnswerOptions(app, o);
    app.add_option("--json", o.Json, "write the run as a JSON document (- for stdout)")
        ->option_text("FILE");
    app.add_option("--save-inputs", o.SaveInputsFile, "save the field texts as an input set")
        ->option_text("FILE");
    CLI::App* sweep = app.add_subcommand("sweep", "run a study over a grid of designs");
    sweep->fallthrough();
    sweep->add_option("--vary", o.Vary, "vary a field: FIELD=FROM:TO:COUNT (repeatable)")
        ->required()
        ->option_text("FIELD=FROM:TO:COUNT");
    sweep->add_option("--jobs,-j", o.Jobs, "designs calculated at once (default: all cores)")
        ->check(CLI::Range(1, 256));
    sweep->add_option("--csv", o.Csv, "write one row per design (- for stdout)")
        ->option_text("FILE");
    sweep->add_option("--json", o.Json, "write one JSON document per design and line")
        ->option_text("FILE");

    // CLI11 refuses "--option=" with an empty text, which a user can type into a field; take every
    // "--option=TEXT" of a field verbatim and hand the rest to CLI11.
    std::vector<std::string> rest;
    for (int i = argc - 1; i >= 1; --i) {
        const std::string argument = argv[i];
        const auto field = FieldOfAssignment(argument);
        if (field && !o.Given[static_cast<std::size_t>(*field - 1)])
            o.Given[static_cast<std::size_t>(*field - 1)] = argument.substr(argument.find('=') + 1);
        else if (!field)
            rest.push_back(argument);
    }
    try {
        app.parse(rest);
    } catch (const CLI::Success& e) { // --help, --version
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return ExitUsage;
    }

    const auto texts = TextsOf(o, separator);
    if (!texts)
        return ExitUsage;
    if (!o.SaveInputsFile.empty()) {
        if (const auto problem = WriteInputSet(o.SaveInputsFile, InputSet { *texts })) {
            std::cerr << "karrow-cli: " << *problem << '\n';
            return ExitUsage;
        }
    }
    if (sweep->parsed())
        return RunStudy(o, *texts, separator);
    return RunOnce(o, *texts, separator);
}
