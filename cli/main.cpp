// karrow-cli: calculations without a window. Each field option takes the text a user would type
// into the field of the same name; a field not given takes the window's default text (or the
// input set's, with --inputs). "karrow-cli sweep" runs a study over a grid of designs.

#include "exit_status.h"
#include "melt_command.h"
#include "melt_options.h"
#include "optimise_command.h"
#include "output_checks.h"
#include "run/design_run.h"
#include "run/fields.h"
#include "run/file_lock.h"
#include "run/input_set.h"
#include "run/kept_texts.h"
#include "run/melt_document.h"
#include "run/resolution_json.h"
#include "run/run_driver.h"
#include "run/whole_file.h"
#include "solver/fault.h"
#include "study_command.h"
#include "summary.h"

#include <CLI/CLI.hpp>
#include <array>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <nlohmann/json.hpp>
#include <optional>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <variant>

namespace {

using namespace karrow;

using Texts = FieldTexts;

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
--json FILE (a document per line), streamed in grid order as the designs finish;
--shard K/N runs the K-th of N parts. karrow-cli sweep --help tells the rest.

karrow-cli optimise --vary FIELD=MIN:MAX [--vary ...] searches for the design of
least outlet non-uniformity within limits on its figures, on the exact network;
karrow-cli optimise --help tells the rest.

--save-inputs FILE saves the field texts as an input set and exits; add --run to
calculate as well. With a melt (--melt, --material, or the input set's), the set
holds the melt's constants and conditions too; --inputs restores them, and each
melt option given replaces the set's (--melt or --material: the melt and all its
conditions).

Output files (--json, --csv, --save-inputs): a regular file is replaced whole by
a rename, keeping its mode and owner; one with several hard links, or whose owner
cannot be kept, is written in place. A symbolic link is followed and its target
written; a character device or FIFO is written as a stream. A run holds a lock
on its report and output files: a second run on a locked file is refused, as
another run is writing it. An input set's "output" must be a plain file name.

Exit status:
  0   finished: the report is complete (--solver network: the network is solved)
  2   inputs rejected: the report is not touched; a --json document is written
      and records the refusal
  3   the report could not be created or appended, or another run is writing
      it; a partial report is deleted
  4   no convergence; the partial report is deleted
  5   an error not handled by any step (arithmetic fault, I/O error, also on
      standard output): the report is left as far as it was written
  64  bad command-line usage, or an input set or output file that cannot be used
A partial report is deleted only when the report's name is the regular file the
run wrote; a report written through a symbolic link, or into a device, is left
as far as it was written.)";

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
    std::string FieldText(Field field) const override { return texts_[field]; }
    void ShowMessage(const std::string& text) override
    {
        std::cerr << text << '\n';
        messages.push_back(text);
    }
    void ShowFinishDialog() override
    {
        out_ << FinishedMessage << "\n"
             << std::filesystem::absolute(ResultFileNameFrom(texts_[Field::SaveFileName])).string()
             << '\n';
    }
    void RereadFileList() override { }

    std::vector<std::string> messages;

private:
    const Texts& texts_;
    std::ostream& out_;
};

// The field of an argument "--option=TEXT", if it names one.
std::optional<Field> FieldOfAssignment(const std::string& argument)
{
    const std::size_t equals = argument.find('=');
    if (!argument.starts_with("--") || equals == std::string::npos)
        return std::nullopt;
    return FieldOfOption(std::string_view(argument).substr(2, equals - 2));
}

struct Options {
    FieldArray<std::optional<std::string>> Given;
    std::string Json;
    std::string Solver = "both";
    MeltProperties Melt;
    std::string Density; // as given, read into Melt with a full stop whatever the locale
    std::string HeatCapacity;
    std::array<bool, 2> MeltGiven {};
    std::string InputsFile;
    std::string SaveInputsFile;
    StudyOptions Study;
    OptimiseOptions Optimise;
    bool RunAfterSaving = false;
    NetworkOptions Network;
    std::string Resolution;
    std::string OutletCsv;
    RealMeltOptions RealMelt;
    std::optional<ChosenMelt> Chosen; // the real melt asked for, read and checked
};

void AddFieldOptions(CLI::App& app, Options& o, char separator)
{
    for (const Field field : AllFields) {
        const FieldInfo& info = InfoOf(field);
        const std::string description =
            std::string(
                field == Field::SaveFileName ? "report file (\"Save File Name\")" : info.Label)
            + ", default \"" + DefaultFieldText(field, separator) + "\"";
        app.add_option("--" + std::string(info.OptionName), o.Given[field], description)
            ->option_text("TEXT");
    }
}

void AddAnswerOptions(CLI::App& app, Options& o)
{
    app.add_option("--solver", o.Solver,
           "classic (the report), network (the exact network only: no report) or both")
        ->check(CLI::IsMember({ "classic", "network", "both" }))
        ->option_text("classic|network|both");
    app.add_option("--density", o.Density, "melt density for the temperature rise, g/cm3")
        ->option_text("NUMBER");
    app.add_option("--heat-capacity", o.HeatCapacity,
           "melt heat capacity for the temperature rise, J/(g K)")
        ->option_text("NUMBER");
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

// The field texts: given options, else the input set's, else the defaults. The set's melt, if
// it holds one, is kept for the run; a flow rate given as an option replaces the set's
// throughput, as it replaces the set's flow rate.
std::optional<Texts> TextsOf(Options& o, char separator)
{
    Texts texts = DefaultFieldTexts(separator);
    if (!o.InputsFile.empty()) {
        const InputSetReading reading = ReadInputSet(o.InputsFile, separator);
        if (!reading.Set) {
            std::cerr << "karrow-cli: " << reading.Problem << '\n';
            return std::nullopt;
        }
        texts = reading.Set->Texts;
        o.RealMelt.FromInputs = reading.Set->RealMelt;
        if (o.RealMelt.FromInputs && o.Given[Field::FlowRatePerChannel])
            o.RealMelt.FromInputs->Settings.Throughput.reset();
    }
    for (const Field field : AllFields)
        if (o.Given[field])
            texts[field] = *o.Given[field];
    return texts;
}

// A melt property as given: a positive finite number, with a full stop whatever the locale.
std::optional<double> PositiveNumber(const std::string& text)
{
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || stop != end || !std::isfinite(value) || !(value > 0))
        return std::nullopt;
    return value;
}

// Reads --density and --heat-capacity into the melt properties, or says what is wrong.
bool ReadMeltProperties(Options& o)
{
    const std::pair<const std::string*, double*> options[] = { { &o.Density, &o.Melt.Density },
        { &o.HeatCapacity, &o.Melt.HeatCapacity } };
    const char* names[] = { "--density", "--heat-capacity" };
    const char* units[] = { "g/cm3", "J/(g K)" };
    for (std::size_t i = 0; i < 2; ++i) {
        if (options[i].first->empty() && !o.MeltGiven[i])
            continue;
        const auto value = PositiveNumber(*options[i].first);
        if (!value) {
            std::cerr << "karrow-cli: " << names[i] << " \"" << *options[i].first
                      << "\": must be a positive number (" << units[i] << ")\n";
            return false;
        }
        *options[i].second = *value;
    }
    return true;
}

// The report name the window's field could hold: a longer --output would be cut to another
// file's name, so it is refused.
bool RefuseLongReportName(const Texts& texts, const Options& o)
{
    const std::string& name = texts[Field::SaveFileName];
    if (ResultFileNameFrom(name) == name)
        return true;
    std::cerr << "karrow-cli: "
              << (o.Given[Field::SaveFileName]
                         ? std::string("--output")
                         : "the \"output\" of the input set \"" + o.InputsFile + "\"")
              << " is longer than 255 characters, the most the report name's field holds\n";
    return false;
}

NetworkOptions NetworkOptionsOf(const Options& o)
{
    NetworkOptions network = o.Network;
    network.Study = o.Resolution == "auto";
    return network;
}

// The run's JSON document, with the answer of the real melt under "melt" when one was asked for.
std::string RunDocument(const RunRecord& record, int exitStatus,
    const std::optional<ChosenMelt>& chosen, const std::optional<MeltRun>& meltRun)
{
    if (!chosen)
        return RunJson(record, exitStatus);
    return RunJsonWithMelt(
        record, exitStatus, RunMelt { chosen->TheMelt, chosen->Conditions }, meltRun);
}

// `jsonClaim` holds the lock of an existing JSON document from the start of the run.
int RunOnce(const Options& o, const Texts& texts, char separator, FileLock& jsonClaim)
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
        // The neighbouring runs and the exact answer go beside the run itself.
        std::optional<StartedChecks> started;
        if (const auto in = ReadCheckedInputs(ui, separator).Values)
            started.emplace(*in, solver, o.Melt, NetworkOptionsOf(o));
        std::optional<RunOutcome> outcome;
        std::optional<std::string> fault;
        try {
            outcome = RunCalculation(ui, separator);
        } catch (const std::exception& e) {
            std::cerr << "Karrow: " << e.what() << '\n';
            fault = e.what();
        }
        record = RecordOfRun(texts, solver, o.Melt, separator, std::move(outcome), ui.messages,
            fault, NetworkOptionsOf(o), started ? &*started : nullptr);
    }
    human << SummaryText(record);
    std::cerr << RepeatabilityWarning(record);
    std::optional<MeltRun> meltRun;
    if (o.Chosen) {
        meltRun = SolveRunMelt(record, RunMelt { o.Chosen->TheMelt, o.Chosen->Conditions });
        if (meltRun)
            human << MeltSummaryText(*o.Chosen, *meltRun);
    }
    const int exitStatus = ExitStatusOf(record.End);
    if (exitStatus == ExitInputsRejected && !o.InputsFile.empty())
        std::cerr << "karrow-cli: the texts of the fields not given as options were read from the "
                     "input set \""
                  << o.InputsFile << "\".\n";
    if (!o.Json.empty()) {
        jsonClaim = FileLock(); // released for the writer, which locks the file itself
        if (const int status = WriteOutputStatus(
                o.Json, RunDocument(record, exitStatus, o.Chosen, meltRun) + "\n", "JSON document"))
            return status;
    }
    const auto& exact = record.Answers.Exact;
    if (!o.OutletCsv.empty() && exact && exact->AsSolution) {
        if (const int status = WriteOutputStatus(
                o.OutletCsv, OutletRoundTheDieCsv(*exact->AsSolution), "outlet CSV"))
            return status;
    }
    return exitStatus;
}

// Reads the real melt asked for, if any, and sets the flow rate of a --throughput; false after
// saying why not.
bool ChooseRealMelt(Options& o, FieldTexts& texts, char separator)
{
    auto chosen = ChosenMeltOf(o.RealMelt, DefaultMaterialFolders());
    if (const auto* problem = std::get_if<std::string>(&chosen)) {
        std::cerr << "karrow-cli: " << *problem << '\n';
        return false;
    }
    if (const auto* melt = std::get_if<ChosenMelt>(&chosen)) {
        const bool flowRateGiven = o.Given[Field::FlowRatePerChannel].has_value();
        if (const auto problem = ApplyThroughput(*melt, flowRateGiven, texts, separator)) {
            std::cerr << "karrow-cli: " << *problem << '\n';
            return false;
        }
        o.Chosen = *melt;
    }
    return true;
}

std::size_t CountOf(const CLI::App& app, const std::string& name)
{
    const CLI::Option* option = app.get_option_no_throw(name);
    return option == nullptr ? 0 : option->count();
}

// How often each field is given, in both of its forms.
bool RefuseRepeatedFields(const CLI::App& app, const FieldArray<std::size_t>& verbatim)
{
    for (const Field field : AllFields) {
        const std::string name = "--" + std::string(InfoOf(field).OptionName);
        if (!RefuseRepeatedOption(name, app.count(name) + verbatim[field]))
            return false;
    }
    return true;
}

int Main(int argc, char** argv)
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
    app.add_option("--save-inputs", o.SaveInputsFile,
           "save the field texts (and the melt, if any) as an input set and exit (with --run: "
           "then run)")
        ->option_text("FILE");
    CLI::App* sweep = AddStudyCommand(app, o.Study, o.Json);
    CLI::App* optimise = AddOptimiseCommand(app, o.Optimise, o.Json, o.SaveInputsFile);
    MeltCommandOptions melt;
    AddMeltCommands(app, melt);
    AddMeltOptions(app, o.RealMelt);
    app.add_flag("--run", o.RunAfterSaving, "with --save-inputs: run the calculation after saving");

    // CLI11 refuses "--option=" with an empty text, which a user can type into a field; take every
    // "--option=TEXT" of a field verbatim and hand the rest to CLI11.
    std::vector<std::string> rest;
    FieldArray<std::size_t> verbatim;
    for (int i = argc - 1; i >= 1; --i) {
        const std::string argument = argv[i];
        const auto field = FieldOfAssignment(argument);
        if (field) {
            ++verbatim[*field];
            o.Given[*field] = argument.substr(argument.find('=') + 1);
        } else {
            rest.push_back(argument);
        }
    }
    try {
        app.parse(rest);
    } catch (const CLI::Success& e) { // --help, --version
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return ExitUsage;
    }
    o.MeltGiven = { app.count("--density") > 0, app.count("--heat-capacity") > 0 };
    o.RealMelt.ThermalGiven = app.count("--thermal") > 0;
    for (const char* name : { "--density", "--heat-capacity", "--solver", "--inputs",
             "--save-inputs", "--csv", "--json", "--jobs" })
        if (!RefuseRepeatedOption(name, CountOf(app, name) + CountOf(*sweep, name)))
            return ExitUsage;
    if (!RefuseRepeatedFields(app, verbatim) || !ReadMeltProperties(o)
        || !RefuseInputSetOnStandardOutput(o.SaveInputsFile)
        || !RefuseSharedStandardOutput(o.Study.Csv, o.Json))
        return ExitUsage;

    auto texts = TextsOf(o, separator);
    if (!texts || !RefuseLongReportName(*texts, o))
        return ExitUsage;
    if (!MeltCommandParsed(melt) && !ChooseRealMelt(o, *texts, separator))
        return ExitUsage;
    if (optimise->parsed())
        return RunOptimise(o.Optimise, o.Json, o.SaveInputsFile, *texts, o.Melt, separator,
            NetworkOptionsOf(o), o.Chosen);
    if (MeltCommandParsed(melt))
        return RunMeltCommand(melt, *texts, separator);
    if ((sweep->parsed() || !o.Json.empty()) && !RefuseTextsJsonCannotHold(*texts))
        return ExitUsage;
    const bool report = !sweep->parsed() && o.Solver != "network";
    if (!RefuseOneFileForTwoOutputs({ { "--output", report ? (*texts)[Field::SaveFileName] : "" },
            { "--json", o.Json }, { "--csv", o.Study.Csv }, { "--save-inputs", o.SaveInputsFile },
            { "--outlet-csv", o.OutletCsv } }))
        return ExitUsage;
    auto jsonClaim = sweep->parsed() ? FileLock() : ClaimOutput(o.Json, "JSON document");
    if (!jsonClaim)
        return ExitUsage;
    if (!o.SaveInputsFile.empty()) {
        InputSet set { *texts };
        if (o.Chosen)
            set.RealMelt = InputSetMeltOf(*o.Chosen);
        if (const auto problem = WriteInputSet(o.SaveInputsFile, set, separator)) {
            std::cerr << "karrow-cli: " << *problem << '\n';
            return ExitUsage;
        }
    }
    if (sweep->parsed())
        return RunStudy(o.Study, o.Json, *texts, SolverOf(o.Solver), o.Melt, separator,
            NetworkOptionsOf(o), o.Chosen);
    // Saving an input set must not replace a report unless a run is asked for as well.
    if (!o.SaveInputsFile.empty() && !o.RunAfterSaving)
        return ExitFinished;
    return RunOnce(o, *texts, separator, *jsonClaim);
}

} // namespace

// No exception leaves the program: one that no step handles (memory, a library's error) is named
// and ends it with the status of an I/O error. Every file is already safe at that point: outputs
// are written whole or not at all, and the report is left as the run's end state says.
int main(int argc, char** argv)
{
    try {
        return FinishStandardOutput(Main(argc, argv));
    } catch (const std::exception& e) {
        std::cerr << "karrow-cli: unexpected error: " << e.what() << '\n';
    } catch (...) {
        std::cerr << "karrow-cli: unexpected error\n";
    }
    return ExitFault;
}
