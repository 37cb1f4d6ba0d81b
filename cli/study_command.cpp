#include "study_command.h"

#include "exit_status.h"
#include "run/design_run.h"
#include "run/melt_document.h"
#include "run/file_lock.h"
#include "run/row_file.h"
#include "run/sweep.h"

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <system_error>
#include <unistd.h>

namespace karrow {

namespace {

    using Texts = FieldTexts;

    constexpr const char* StudyFooter =
        R"(The grid holds every combination of the varied values, the first --vary changing
slowest; the other field options fix the rest. COUNT values run evenly from FROM
to TO, both included (COUNT 1: FROM and TO equal). A whole-number field
(number-of-channels, total-increments) takes whole FROM and TO, and TO - FROM
must be a multiple of COUNT - 1, so each row holds the value it names. One
--vary per field. A run of more than 100000 designs needs --large-grid.

Rows are written as the designs finish, in grid order, straight into their files
(no temporary file): a study that is stopped leaves the rows done so far. An
existing --csv or --json file is emptied when the study starts, after every check
has passed, and never before; a device or FIFO is written as a stream; a symlink's
target is written. A study deletes no file but an empty one it created itself
before it was refused. Without --csv and --json the CSV goes to stdout.

--vary melt-temperature=FROM:TO:COUNT varies the temperature of the real melt
(degrees C), which needs --melt or --material (or an input set that holds a
melt); every value must be one the melt's law accepts. With a melt, each CSV row
adds the melt's temperature, thermal mode, convergence, head pressure, outlet CV
and spread and the temperature of the melt leaving the die (spread round the
die and flow-weighted mean), and each JSON document its "melt" section.

--shard K/N runs the K-th of N consecutive parts of the grid. Only part 1 writes
the CSV header, so the parts' CSV (and JSON) files, concatenated in the order of
K, are the file the whole study writes.

Exit status: 0 every row written (each row names its design's own end state),
5 a file could not be written (the rows written so far stay), 64 refused: bad
usage or an output that cannot be opened (no file changed).)";

    void ShowProgress(std::uint64_t done, std::uint64_t total)
    {
        constexpr std::uint64_t Width = 40;
        const std::uint64_t filled = total == 0 ? Width : Width * done / total;
        std::fprintf(stderr, "\r[%s%s] %llu/%llu", std::string(filled, '#').c_str(),
            std::string(Width - filled, ' ').c_str(), static_cast<unsigned long long>(done),
            static_cast<unsigned long long>(total));
        if (done == total)
            std::fprintf(stderr, "\n");
    }

    std::string ProblemText(const RowFile& file, const char* what, int error)
    {
        const std::string name = file.Path() == "-"
            ? "standard output"
            : std::filesystem::absolute(file.Path()).string();
        return std::string("karrow-cli sweep: cannot write the ") + what + " \"" + name + "\": "
            + (error == EWOULDBLOCK ? AnotherRunIsWriting : std::generic_category().message(error));
    }

    // The grid and the part of it this run calculates, or the refusal.
    struct StudyPlan {
        std::optional<StudyGrid> Grid;
        DesignRange Range;
        bool WithHeader = true;
        std::string Problem;
    };

    bool Varies(const std::vector<Variation>& variations, SweepAxis axis, Field field = {})
    {
        for (const Variation& v : variations)
            if (v.Axis == axis && (axis != SweepAxis::Field || v.Varied == field))
                return true;
        return false;
    }

    // Why the melt cannot run the variations: none to vary the temperature of, a swept
    // temperature its law refuses, or a throughput beside a varied flow rate or channel count.
    std::optional<std::string> SweptMeltProblem(
        const std::vector<Variation>& variations, const std::optional<ChosenMelt>& melt)
    {
        for (const Variation& v : variations) {
            if (v.Axis != SweepAxis::MeltTemperature)
                continue;
            if (!melt)
                return std::string("--vary melt-temperature needs a melt: --melt FILE or "
                                   "--material NAME (or an input set that holds one)");
            for (std::int64_t k = 0; k < v.Count; ++k) {
                MeltConditions conditions = melt->Conditions;
                conditions.MeltTemperature = ValueAt(v, k);
                if (const auto problem = MeltConditionsProblem(melt->TheMelt, conditions))
                    return "--vary melt-temperature: " + *problem;
            }
        }
        if (melt && melt->Throughput
            && (Varies(variations, SweepAxis::Field, Field::FlowRatePerChannel)
                || Varies(variations, SweepAxis::Field, Field::NumberOfChannels)))
            return std::string("--throughput sets the flow rate per channel of every design: it "
                               "cannot go with --vary flow-rate-per-channel or "
                               "number-of-channels");
        return std::nullopt;
    }

    StudyPlan PlanOf(const StudyOptions& o, const Texts& fixed, char separator,
        const std::optional<ChosenMelt>& melt)
    {
        StudyPlan plan;
        std::vector<Variation> variations;
        for (const std::string& text : o.Vary) {
            const auto variation = ParseVariation(text, plan.Problem);
            if (!variation) {
                plan.Problem = "--vary " + plan.Problem;
                return plan;
            }
            variations.push_back(*variation);
        }
        if (const auto problem = StudyGrid::Problem(variations)) {
            plan.Problem = "--vary: " + *problem;
            return plan;
        }
        if (const auto problem = SweptMeltProblem(variations, melt)) {
            plan.Problem = *problem;
            return plan;
        }
        const auto shard = ParseShard(o.Shard, plan.Problem);
        if (!shard) {
            plan.Problem = "--shard " + plan.Problem;
            return plan;
        }
        plan.Grid.emplace(fixed, std::move(variations), separator);
        plan.Range = RangeOf(*shard, plan.Grid->Size());
        plan.WithHeader = shard->Index == 1;
        if (plan.Range.Size() > UnconfirmedStudySize && !o.LargeGrid) {
            plan.Problem = "this run has " + std::to_string(plan.Range.Size())
                + " designs, more than " + std::to_string(UnconfirmedStudySize)
                + ": give --large-grid to run them (or split the grid with --shard)";
            plan.Grid.reset();
        }
        return plan;
    }

    struct Output {
        std::string Path;
        const char* What;
        std::string SweepRow::*Text;
        RowFile File;
    };

    using Outputs = std::vector<std::unique_ptr<Output>>;

    // Opens every output before changing any, so that a refusal leaves them all as they were.
    std::optional<std::string> OpenOutputs(Outputs& outputs)
    {
        for (std::size_t i = 0; i < outputs.size(); ++i) {
            std::optional<std::string> problem;
            if (const int error = outputs[i]->File.Open(outputs[i]->Path))
                problem = ProblemText(outputs[i]->File, outputs[i]->What, error);
            for (std::size_t j = 0; j < i && !problem; ++j)
                if (outputs[j]->File.SameFileAs(outputs[i]->File))
                    problem = "karrow-cli sweep: the CSV table and the JSON documents would go "
                              "to the same file";
            if (problem) {
                for (std::size_t j = 0; j <= i; ++j)
                    outputs[j]->File.Abandon();
                return problem;
            }
        }
        for (auto& output : outputs)
            if (const int error = output->File.Start())
                return ProblemText(output->File, output->What, error);
        return std::nullopt;
    }

    std::optional<std::string> WriteRows(Outputs& outputs, const std::vector<SweepRow>& rows)
    {
        for (auto& output : outputs) {
            std::string text;
            for (const SweepRow& row : rows)
                text += row.*output->Text;
            if (const int error = output->File.Write(text))
                return ProblemText(output->File, output->What, error);
        }
        return std::nullopt;
    }

    // The CSV goes to stdout when no file is named.
    Outputs OutputsOf(const StudyOptions& o, const std::string& json)
    {
        Outputs outputs;
        const auto add = [&](const std::string& path, const char* what,
                             std::string SweepRow::*text) {
            outputs.push_back(std::unique_ptr<Output>(new Output { path, what, text, {} }));
        };
        if (!o.Csv.empty() || json.empty())
            add(o.Csv.empty() ? "-" : o.Csv, "CSV table", &SweepRow::Csv);
        if (!json.empty())
            add(json, "JSON documents", &SweepRow::Json);
        return outputs;
    }

    bool Writes(const Outputs& outputs, std::string SweepRow::*text)
    {
        for (const auto& output : outputs)
            if (output->Text == text)
                return true;
        return false;
    }

    // Calculates the designs of the plan and writes their rows; the problem that stopped it.
    // A design's row: the power law's answers, and the melt's beside them when there is one.
    SweepRow RowOf(const SweptDesign& d, bool csv, bool documents)
    {
        const int status = ExitStatusOf(d.Record.End);
        if (!d.Melt)
            return SweepRow { csv ? SweepCsvRow(d.Record, status) : "",
                documents ? RunJson(d.Record, status) + "\n" : "" };
        return SweepRow { csv ? MeltSweepCsvRow(d.Record, status, *d.Melt, d.MeltAnswer) : "",
            documents ? RunJsonWithMelt(d.Record, status, *d.Melt, d.MeltAnswer) + "\n" : "" };
    }

    std::optional<std::string> Stream(const StudyPlan& plan, Outputs& outputs, SolverChoice solver,
        const MeltProperties& melt, int jobs, const NetworkOptions& network,
        const std::optional<ChosenMelt>& realMelt)
    {
        const std::string header = realMelt ? MeltSweepCsvHeader() : SweepCsvHeader();
        if (plan.WithHeader)
            if (auto problem = WriteRows(outputs, { SweepRow { header, "" } }))
                return problem;
        const bool csv = Writes(outputs, &SweepRow::Csv);
        const bool documents = Writes(outputs, &SweepRow::Json);
        const bool terminal = ::isatty(STDERR_FILENO) == 1;
        std::optional<std::string> problem;
        SweepSettings settings { solver, melt, jobs,
            [&](const SweptDesign& design) { return RowOf(design, csv, documents); },
            [&](std::vector<SweepRow>& rows) {
                problem = WriteRows(outputs, rows);
                return !problem;
            },
            [&](std::uint64_t done) {
                if (terminal)
                    ShowProgress(done, plan.Range.Size());
            },
            network };
        if (realMelt)
            settings.RealMelt = RunMelt { realMelt->TheMelt, realMelt->Conditions };
        try {
            RunSweep(*plan.Grid, plan.Range, settings);
        } catch (const std::exception& e) {
            // A row that cannot be made (one the JSON cannot encode): the rows before it stay.
            problem = std::string("karrow-cli sweep: ") + e.what();
        }
        return problem;
    }

} // namespace

CLI::App* AddStudyCommand(CLI::App& app, StudyOptions& o, std::string& json)
{
    CLI::App* sweep = app.add_subcommand("sweep", "run a study over a grid of designs");
    sweep->fallthrough();
    sweep->footer(StudyFooter);
    sweep->add_option("--vary", o.Vary, "vary a field: FIELD=FROM:TO:COUNT (one per field)")
        ->required()
        ->option_text("FIELD=FROM:TO:COUNT");
    sweep->add_option("--jobs,-j", o.Jobs, "designs calculated at once (default: all cores)")
        ->check(CLI::Range(1, 256));
    sweep->add_option("--csv", o.Csv, "write one row per design (- for stdout)")
        ->option_text("FILE");
    sweep->add_option("--json", json, "write one JSON document per design and line")
        ->option_text("FILE");
    sweep->add_option("--shard", o.Shard, "run the K-th of N consecutive parts of the grid")
        ->option_text("K/N");
    sweep->add_flag("--large-grid", o.LargeGrid,
        "run more than " + std::to_string(UnconfirmedStudySize) + " designs");
    return sweep;
}

int RunStudy(const StudyOptions& o, const std::string& json, const Texts& fixed,
    SolverChoice solver, const MeltProperties& melt, char separator, const NetworkOptions& network,
    const std::optional<ChosenMelt>& realMelt)
{
    const StudyPlan plan = PlanOf(o, fixed, separator, realMelt);
    if (!plan.Grid) {
        std::cerr << "karrow-cli sweep: " << plan.Problem << '\n';
        return ExitUsage;
    }
    // Every check has passed: from here on the outputs change.
    auto outputs = OutputsOf(o, json);
    if (const auto problem = OpenOutputs(outputs)) {
        std::cerr << *problem << '\n';
        return ExitUsage;
    }
    std::cout.flush(); // the CSV may go to stdout's descriptor, past the stream's buffer
    std::optional<std::string> problem =
        Stream(plan, outputs, solver, melt, o.Jobs, network, realMelt);
    for (auto& output : outputs)
        if (const int error = output->File.Close(); error && !problem)
            problem = ProblemText(output->File, output->What, error);
    if (problem) {
        std::cerr << *problem << '\n';
        return ExitFault;
    }
    return ExitFinished;
}

} // namespace karrow
