#include "optimise_command.h"

#include "exit_status.h"
#include "output_checks.h"
#include "run/design_run.h"
#include "run/fields.h"
#include "run/input_reading.h"
#include "run/input_set.h"
#include "run/melt_run.h"
#include "run/optimise_output.h"
#include "run/run_driver.h"
#include "summary.h"

#include <atomic>
#include <charconv>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <sstream>
#include <unistd.h>

namespace karrow {

namespace {

    // The classic run of the best design carries karrow-cli's status for its end.
    int ClassicExitStatus(const OptimisationReport& report)
    {
        return report.Classic ? ExitStatusOf(report.Classic->End) : ExitFinished;
    }

    using Texts = FieldTexts;

    constexpr const char* Command = "karrow-cli optimise";

    constexpr const char* OptimiseFooter =
        R"(Each --vary frees one field between MIN and MAX, both in cm (whole numbers for
total-increments and number-of-channels, channels within 1 to 24):
inlet-slit-height, outlet-slit-height, inlet-channel-depth,
outlet-channel-depth, channel-width, total-increments, number-of-channels. The
other fields keep their texts (field options, --inputs, or the window's
defaults). Every design is judged by the exact network at the grid near 15
degrees (--increments-per-pitch to change it); a design the model refuses or the
network cannot solve is never an answer.

Limits take the number with its unit: --max-head-pressure and
--max-wall-shear-stress in bar, MPa, kPa, Pa, kgf/cm2 or gf/cm2 (300bar);
--max-wall-shear-rate in 1/s (2000/s); --max-residence-time in s or min;
--min-gap in cm, mm or um; --max-temperature-rise and --max-temperature-spread
in K. The wall shear limits hold in the channel, over the lands and in the outlet
paths alike; the residence time is the mean one; the gap is the smallest slit
gap of the effective part.

With a real melt (--melt FILE or --material NAME, --melt-temperature, --thermal
and the die wall as for a run) every design is judged by the exact network with
that melt instead of the power law; its wall shear comes from the melt's own
viscosity at the wall. Heated by its own flow (--thermal heated), the hottest
melt leaving the die above the melt temperature and the spread of the outlet
temperature round the die can be limited too; without it they are refused.

The search: a Halton sample of 64 designs per variable and the current design,
then COBYLA from the 8 best distinct ones, a polish from the best, and
whole-number fields stepped by one while that helps. The same problem gives the
same answer on every run and for any --jobs. The best design is then calculated
by the classic method too (figures and repeatability check, --report FILE for
its report).

--front N traces N designs from the least objective to the least second figure
(--front-against, head-pressure by default), each the least objective with the
second figure held to an evenly spaced limit. --csv gets one row per design,
--json the whole search, --save-inputs NAME.karrow the best design as an input
set (with --front: NAME-1.karrow ... NAME-N.karrow, one per design of the
front).

Exit status: 0 a design keeps every limit; 2 the fixed fields' texts are
refused; 3 the --report could not be written; 5 an output could not be written;
6 no design in the bounds keeps every limit (the limit that binds is named); 64
bad usage; 130 stopped by Ctrl-C (the best design so far is shown and written).)";

    // Set by Ctrl-C: the search ends and shows its best design so far.
    std::atomic<bool> StopRequested { false };

    extern "C" void RequestStop(int)
    {
        StopRequested.store(true);
    }

    // Ctrl-C asks the search to stop for as long as this lives.
    class InterruptStopsSearch {
    public:
        InterruptStopsSearch() { previous_ = std::signal(SIGINT, RequestStop); }
        ~InterruptStopsSearch() { std::signal(SIGINT, previous_); }
        InterruptStopsSearch(const InterruptStopsSearch&) = delete;
        InterruptStopsSearch& operator=(const InterruptStopsSearch&) = delete;

    private:
        void (*previous_)(int) = SIG_DFL;
    };

    struct Unit {
        const char* Name;
        double Factor; // to the report's unit
    };

    constexpr double GfCm2PerPa = 1 / PascalPerGfCm2;
    const std::vector<Unit> PressureUnits { { "bar", 1e5 * GfCm2PerPa },
        { "MPa", 1e6 * GfCm2PerPa }, { "kPa", 1e3 * GfCm2PerPa }, { "Pa", GfCm2PerPa },
        { "kgf/cm2", 1000 }, { "gf/cm2", 1 } };
    const std::vector<Unit> ShearRateUnits { { "1/s", 1 }, { "1/sec", 1 }, { "/s", 1 } };
    const std::vector<Unit> TimeUnits { { "s", 1 }, { "sec", 1 }, { "min", 60 } };
    const std::vector<Unit> LengthUnits { { "cm", 1 }, { "mm", 0.1 }, { "um", 1e-4 } };
    const std::vector<Unit> TemperatureDifferenceUnits { { "K", 1 } };

    std::string UnitList(const std::vector<Unit>& units)
    {
        std::string list;
        for (const Unit& u : units)
            list += (list.empty() ? "" : ", ") + std::string(u.Name);
        return list;
    }

    std::optional<double> PlainNumber(std::string_view text)
    {
        double value = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (text.empty() || error != std::errc() || end != text.data() + text.size()
            || !std::isfinite(value))
            return std::nullopt;
        return value;
    }

    // "300bar", "300 bar": a positive number and one of `units`; the value in the report's unit.
    std::optional<double> Quantity(const std::string& option, const std::string& text,
        const std::vector<Unit>& units, std::string& problem)
    {
        std::size_t split = 0;
        while (split < text.size()
            && (std::isdigit(static_cast<unsigned char>(text[split])) || text[split] == '.'
                || text[split] == '-' || text[split] == '+'
                || ((text[split] == 'e' || text[split] == 'E') && split > 0
                    && split + 1 < text.size()
                    && (std::isdigit(static_cast<unsigned char>(text[split + 1]))
                        || text[split + 1] == '-' || text[split + 1] == '+'))))
            ++split;
        std::string unit = text.substr(split);
        unit.erase(0, unit.find_first_not_of(' '));
        const auto number = PlainNumber(std::string_view(text).substr(0, split));
        const std::string expected = " (" + UnitList(units) + ")";
        if (!number || !(*number > 0)) {
            problem =
                option + " \"" + text + "\": must be a positive number with its unit" + expected;
            return std::nullopt;
        }
        if (unit.empty()) {
            problem = option + " \"" + text + "\": the number needs its unit" + expected;
            return std::nullopt;
        }
        for (const Unit& u : units)
            if (unit == u.Name)
                return *number * u.Factor;
        problem = option + " \"" + text + "\": unknown unit \"" + unit + "\"" + expected;
        return std::nullopt;
    }

    std::optional<VariableBounds> BoundsOf(const std::string& text, std::string& problem)
    {
        const std::size_t equals = text.find('=');
        const std::size_t colon = text.find(':', equals == std::string::npos ? 0 : equals);
        if (equals == std::string::npos || colon == std::string::npos) {
            problem = "--vary \"" + text + "\" is not FIELD=MIN:MAX";
            return std::nullopt;
        }
        const auto variable = VariableNamed(text.substr(0, equals));
        if (!variable) {
            problem = "--vary \"" + text
                + "\": FIELD must be one of inlet-slit-height, outlet-slit-height, "
                  "inlet-channel-depth, outlet-channel-depth, channel-width, total-increments, "
                  "number-of-channels";
            return std::nullopt;
        }
        const auto low = PlainNumber(std::string_view(text).substr(equals + 1, colon - equals - 1));
        const auto high = PlainNumber(std::string_view(text).substr(colon + 1));
        if (!low || !high) {
            problem = "--vary \"" + text + "\": MIN and MAX must be numbers (cm, or whole numbers)";
            return std::nullopt;
        }
        return VariableBounds { *variable, *low, *high };
    }

    // The problem of the options, or the refusal in `problem`.
    std::optional<OptimiseSettings> SettingsOf(const OptimiseOptions& o, std::string& problem)
    {
        OptimiseSettings s;
        s.Jobs = o.Jobs;
        for (const std::string& text : o.Vary) {
            const auto bounds = BoundsOf(text, problem);
            if (!bounds)
                return std::nullopt;
            s.Bounds.push_back(*bounds);
        }
        if (const auto refusal = BoundsProblem(s.Bounds)) {
            problem = "--vary: " + *refusal;
            return std::nullopt;
        }
        s.Evaluation.Objective = ObjectiveNamed(o.Minimise).value_or(DesignObjective::Cv);
        const std::tuple<const char*, const std::string*, const std::vector<Unit>*, LimitedFigure>
            limits[] = {
                { "--max-head-pressure", &o.MaxHeadPressure, &PressureUnits,
                    LimitedFigure::HeadPressure },
                { "--max-wall-shear-rate", &o.MaxWallShearRate, &ShearRateUnits,
                    LimitedFigure::WallShearRate },
                { "--max-wall-shear-stress", &o.MaxWallShearStress, &PressureUnits,
                    LimitedFigure::WallShearStress },
                { "--max-residence-time", &o.MaxResidenceTime, &TimeUnits,
                    LimitedFigure::ResidenceTime },
                { "--min-gap", &o.MinGap, &LengthUnits, LimitedFigure::Gap },
                { "--max-temperature-rise", &o.MaxTemperatureRise, &TemperatureDifferenceUnits,
                    LimitedFigure::TemperatureRise },
                { "--max-temperature-spread", &o.MaxTemperatureSpread, &TemperatureDifferenceUnits,
                    LimitedFigure::TemperatureSpread },
            };
        for (const auto& [option, text, units, figure] : limits) {
            if (text->empty())
                continue;
            const auto value = Quantity(option, *text, *units, problem);
            if (!value)
                return std::nullopt;
            s.Evaluation.Limits.Set(figure, *value);
        }
        if (o.Front > 0
            && LimitedFigureOf(ObjectiveNamed(o.FrontAgainst).value())
                == LimitedFigureOf(s.Evaluation.Objective)) {
            problem = "--front-against " + o.FrontAgainst
                + ": the second figure of a front must "
                  "be another than the objective (--minimise)";
            return std::nullopt;
        }
        return s;
    }

    void ShowProgress(std::uint64_t done, std::uint64_t planned)
    {
        constexpr std::uint64_t Width = 40;
        const std::uint64_t filled = planned == 0 ? Width : std::min(Width, Width * done / planned);
        std::fprintf(stderr, "\r[%s%s] %llu designs", std::string(filled, '#').c_str(),
            std::string(Width - filled, ' ').c_str(), static_cast<unsigned long long>(done));
    }

    // The user interface of the classic run of the best design: its report goes to `report`.
    class QuietInterface : public UserInterface {
    public:
        QuietInterface(const Texts& texts, const std::string& report)
            : texts_(texts)
        {
            texts_[Field::SaveFileName] = report;
        }
        std::string FieldText(Field field) const override
        {
            return texts_[field];
        }
        void ShowMessage(const std::string& text) override { std::cerr << text << '\n'; }
        void ShowFinishDialog() override { }
        void RereadFileList() override { }

    private:
        Texts texts_;
    };

    std::string Fixed(double value, int decimals)
    {
        std::ostringstream out;
        out.setf(std::ios::fixed);
        out.precision(decimals);
        out << value;
        return out.str();
    }

    std::string DesignLines(const FoundDesign& d, const std::vector<VariableBounds>& bounds)
    {
        std::string text;
        for (std::size_t k = 0; k < bounds.size(); ++k)
            text += "  " + NameOf(bounds[k].Variable) + " = "
                + d.Texts[FieldOf(bounds[k].Variable)] + "\n";
        const DesignEvaluation& e = d.Design.Evaluation;
        if (!e.Figures)
            return text;
        const DesignFigures& f = *e.Figures;
        text += "  outlet CV " + Fixed(f.Outlet.CvPercent, 3) + " %, spread "
            + Fixed(f.Outlet.SpreadPercent, 3) + " %, max deviation "
            + Fixed(f.Outlet.MaxDeviationPercent, 3) + " %\n";
        text += "  head pressure " + Fixed(f.Head.Bar, 2) + " bar, largest wall shear rate "
            + Fixed(FigureOf(f, LimitedFigure::WallShearRate), 1) + " 1/s and stress "
            + Fixed(FigureOf(f, LimitedFigure::WallShearStress) * PascalPerGfCm2 / 1e6, 4)
            + " MPa, mean residence time " + Fixed(f.Residence.MeanTime, 2) + " s, smallest gap "
            + Fixed(e.SmallestGap * 10, 4) + " mm\n";
        if (e.TemperatureRise && e.TemperatureSpread)
            text += "  melt leaving the die at most " + Fixed(*e.TemperatureRise, 3)
                + " K above the melt temperature, " + Fixed(*e.TemperatureSpread, 3)
                + " K from coldest to hottest round the die\n";
        return text;
    }

    // The exact and the classic answer of the best design, side by side.
    std::string Comparison(const RunRecord& record)
    {
        const auto& classic = record.Answers.Classic;
        const auto& exact = record.Answers.Exact;
        if (!classic || !exact || !exact->Figures)
            return std::string("The classic method ends \"") + EndName(record.End)
                + "\" for the best design: it has no classic report; the exact network's "
                  "figures above stand.\n";
        const auto row = [](const char* name, double network, double method, int decimals) {
            return std::string("  ") + name + std::string(22 - std::string(name).size(), ' ')
                + Fixed(network, decimals) + "\t" + Fixed(method, decimals) + "\n";
        };
        std::string text = "  figure                exact network\tclassic method\n";
        text +=
            row("outlet CV (%)", exact->Figures->Outlet.CvPercent, classic->Outlet.CvPercent, 3);
        text += row(
            "spread (%)", exact->Figures->Outlet.SpreadPercent, classic->Outlet.SpreadPercent, 3);
        text += row("max deviation (%)", exact->Figures->Outlet.MaxDeviationPercent,
            classic->Outlet.MaxDeviationPercent, 3);
        text += row("head pressure (bar)", exact->Figures->Head.Bar, classic->Head.Bar, 2);
        if (record.Answers.Repeatability)
            text += std::string("  the classic report ")
                + (record.Answers.Repeatability->Repeatable ? "repeats" : "does NOT repeat")
                + " for a flow rate changed in its last digit\n";
        return text;
    }

    FoundDesign Found(
        const DesignCandidate& c, const Texts& texts, const OptimiseSettings& s, char separator)
    {
        return { c, TextsOfDesign(texts, s.Bounds, c.Point, separator) };
    }

    // The design as its texts read back: the answer a designer reopens from its input set.
    void JudgeAsWritten(FoundDesign& d, const OptimiseSettings& s, char separator)
    {
        const InputReading read = ReadInputs(
            [&](Field field) { return d.Texts[field]; }, separator);
        if (read.Values)
            d.Design.Evaluation = EvaluateDesign(*read.Values, s.Evaluation);
    }

    std::string FrontFileName(const std::string& name, std::size_t k)
    {
        const std::string extension = InputSetExtension;
        const bool ends = name.size() > extension.size()
            && name.compare(name.size() - extension.size(), extension.size(), extension) == 0;
        const std::string stem = ends ? name.substr(0, name.size() - extension.size()) : name;
        return stem + "-" + std::to_string(k + 1) + extension;
    }

    int WriteInputSets(
        const std::string& saveInputs, const OptimisationReport& report, char separator)
    {
        std::vector<std::pair<std::string, const FoundDesign*>> sets;
        if (report.Front)
            for (std::size_t k = 0; k < report.FrontDesigns.size(); ++k)
                sets.emplace_back(FrontFileName(saveInputs, k), &report.FrontDesigns[k]);
        else if (report.Best)
            sets.emplace_back(saveInputs, &*report.Best);
        for (const auto& [path, design] : sets)
            if (const auto problem = WriteInputSet(path, InputSet { design->Texts }, separator)) {
                std::cerr << Command << ": " << *problem << '\n';
                return ExitFault;
            }
        return 0;
    }

    int WriteOutputs(const OptimiseOptions& o, const std::string& json,
        const std::string& saveInputs, const OptimisationReport& report, char separator)
    {
        if (!json.empty())
            if (const int status =
                    WriteOutputStatus(json, OptimisationJson(report, ClassicExitStatus(report)), "JSON document"))
                return status;
        if (!o.Csv.empty())
            if (const int status = WriteOutputStatus(o.Csv, OptimisationCsv(report), "CSV table"))
                return status;
        if (!saveInputs.empty())
            return WriteInputSets(saveInputs, report, separator);
        return 0;
    }

    std::string NoFeasibleDesignText(const OptimisationResult& r)
    {
        if (!r.Best)
            return "every design in the bounds is refused: " + r.Refusal;
        const DesignEvaluation& e = r.Best->Evaluation;
        std::string text = "no design in the bounds keeps every limit: " + e.Reason;
        if (const auto broken = e.MostBroken())
            for (const auto& [figure, margin] : e.Margins)
                if (figure == *broken)
                    text +=
                        " by " + Fixed(100 * margin, 2) + " % at the design nearest to keeping it";
        return text;
    }

    // The search, its classic run and what is shown of them; the report's parts in `report`.
    void Search(const Inputs& base, const Texts& texts, const OptimiseOptions& o,
        OptimiseSettings& s, const MeltProperties& melt, char separator,
        const NetworkOptions& network, OptimisationReport& report)
    {
        const bool terminal = ::isatty(STDERR_FILENO) == 1;
        s.Stop = &StopRequested;
        if (terminal)
            s.Progress = ShowProgress;
        const InterruptStopsSearch interrupt;
        if (o.Front > 0) {
            const auto against = LimitedFigureOf(ObjectiveNamed(o.FrontAgainst).value()).value();
            report.Front = TraceParetoFront(base, s, against, o.Front);
            for (const DesignCandidate& c : report.Front->Points)
                report.FrontDesigns.push_back(Found(c, texts, s, separator));
            report.Result = report.Front->Least;
            report.Result.Evaluations = report.Front->Evaluations;
            report.Result.Seconds = report.Front->Seconds;
            report.Result.Stopped = report.Front->Stopped;
        } else {
            report.Result = OptimiseDesign(base, s);
        }
        if (terminal)
            std::fprintf(stderr, "\n");
        s.Progress = nullptr;
        s.Stop = nullptr;
        report.Settings = s;
        if (!report.Result.Best)
            return;
        report.Best = Found(*report.Result.Best, texts, s, separator);
        JudgeAsWritten(*report.Best, s, separator);
        if (s.Evaluation.RealMelt) {
            const DesignMelt& real = *s.Evaluation.RealMelt;
            const InputReading read =
                ReadInputs([&](Field field) { return report.Best->Texts[field]; }, separator);
            if (read.Values)
                report.BestMelt = SolveMeltRun(
                    *read.Values, real.TheMelt, real.Conditions, { network.IncrementsPerPitch, 0 });
        }
        if (report.Result.Feasible)
            report.Classic =
                CalculateDesign(report.Best->Texts, SolverChoice::Both, melt, separator, network);
    }

    int ShowAnswer(const OptimiseOptions& o, const OptimisationReport& report,
        const std::optional<ChosenMelt>& realMelt, std::ostream& out)
    {
        const OptimisationResult& r = report.Result;
        out << "Searched " << r.Evaluations << " designs in " << Fixed(r.Seconds, 2) << " s ("
            << o.Jobs << (o.Jobs == 1 ? " job" : " jobs") << ")"
            << (r.Stopped ? ", stopped before the end: the best design so far" : "") << ".\n";
        if (report.Front) {
            out << "Front of " << NameOf(report.Settings.Evaluation.Objective) << " against "
                << NameOf(report.Front->Against) << ": " << report.FrontDesigns.size()
                << " designs\n";
            for (std::size_t k = 0; k < report.FrontDesigns.size(); ++k)
                out << " design " << k + 1 << ":\n"
                    << DesignLines(report.FrontDesigns[k], report.Settings.Bounds);
        }
        if (!r.Feasible) {
            std::cerr << Command << ": " << NoFeasibleDesignText(r) << '\n';
            if (report.Best)
                out << "Nearest design:\n" << DesignLines(*report.Best, report.Settings.Bounds);
            return r.Stopped ? ExitSearchStopped : ExitNoFeasibleDesign;
        }
        out << "Best design (least " << NameOf(report.Settings.Evaluation.Objective) << "):\n"
            << DesignLines(*report.Best, report.Settings.Bounds);
        if (report.BestMelt && realMelt)
            out << MeltSummaryText(*realMelt, *report.BestMelt);
        if (report.Classic)
            out << Comparison(*report.Classic);
        return r.Stopped ? ExitSearchStopped : ExitFinished;
    }

    // Writes the classic report of the best design through the run driver, as OK would.
    int WriteClassicReport(
        const std::string& path, const OptimisationReport& report, char separator)
    {
        if (path.empty() || !report.Best)
            return 0;
        QuietInterface ui(report.Best->Texts, path);
        try {
            // A design the classic method does not converge for has no report (said above); only
            // a report that cannot be written changes the status of the search.
            const RunOutcome outcome = RunCalculation(ui, separator);
            if (outcome.End == RunEnd::ReportNotCreated
                || outcome.End == RunEnd::ModifiedConditionNotAppended
                || outcome.End == RunEnd::TableNotAppended)
                return ExitStatusOf(outcome.End);
        } catch (const std::exception& e) {
            std::cerr << "Karrow: " << e.what() << '\n';
            return ExitFault;
        }
        return 0;
    }

    // The design the search starts around. A varied field's own text matters only as a
    // candidate: when it does not read, the field starts at its lower bound instead.
    InputReading BaseDesign(
        const Texts& texts, const std::vector<VariableBounds>& bounds, char separator)
    {
        const auto read = [separator](const Texts& t) {
            return ReadInputs(
                [&](Field field) { return t[field]; }, separator);
        };
        InputReading reading = read(texts);
        if (reading.Values)
            return reading;
        DesignPoint lows;
        for (const VariableBounds& b : bounds)
            lows.push_back(b.Low);
        const InputReading atLows = read(TextsOfDesign(texts, bounds, lows, separator));
        return atLows.Values ? atLows : reading;
    }

} // namespace

CLI::App* AddOptimiseCommand(
    CLI::App& app, OptimiseOptions& o, std::string& json, std::string& saveInputs)
{
    CLI::App* optimise = app.add_subcommand(
        "optimise", "find the design of least outlet non-uniformity within bounds and limits");
    optimise->fallthrough();
    optimise->footer(OptimiseFooter);
    optimise->add_option("--vary", o.Vary, "free a field between MIN and MAX (cm)")
        ->required()
        ->option_text("FIELD=MIN:MAX");
    const std::vector<std::string> objectives { "cv", "spread", "max-deviation", "head-pressure",
        "wall-shear-rate", "wall-shear-stress", "residence-time" };
    optimise->add_option("--minimise", o.Minimise, "what to minimise (default: the outlet CV)")
        ->check(CLI::IsMember(objectives))
        ->option_text("cv|spread|max-deviation|head-pressure|...");
    optimise->add_option("--max-head-pressure", o.MaxHeadPressure, "such as 300bar")
        ->option_text("PRESSURE");
    optimise->add_option("--max-wall-shear-rate", o.MaxWallShearRate, "such as 2000/s")
        ->option_text("RATE");
    optimise->add_option("--max-wall-shear-stress", o.MaxWallShearStress, "such as 0.2MPa")
        ->option_text("STRESS");
    optimise->add_option("--max-residence-time", o.MaxResidenceTime, "such as 60s")
        ->option_text("TIME");
    optimise->add_option("--min-gap", o.MinGap, "the smallest slit gap, such as 0.1mm")
        ->option_text("LENGTH");
    optimise
        ->add_option("--max-temperature-rise", o.MaxTemperatureRise,
            "heated melt: hottest outlet melt above the melt temperature, such as 5K")
        ->option_text("KELVIN");
    optimise
        ->add_option("--max-temperature-spread", o.MaxTemperatureSpread,
            "heated melt: outlet melt temperature, hottest less coldest round the die, such as 1K")
        ->option_text("KELVIN");
    optimise->add_option("--front", o.Front, "trace N designs of the trade-off")
        ->check(CLI::Range(2, 100))
        ->option_text("N");
    optimise
        ->add_option(
            "--front-against", o.FrontAgainst, "the front's second figure (default head-pressure)")
        ->check(CLI::IsMember(
            { "head-pressure", "wall-shear-rate", "wall-shear-stress", "residence-time" }));
    optimise->add_option("--jobs,-j", o.Jobs, "threads (default: all cores)")
        ->check(CLI::Range(1, 256));
    optimise->add_option("--json", json, "write the search as a JSON document (- for stdout)")
        ->option_text("FILE");
    optimise->add_option("--csv", o.Csv, "write the designs found as CSV (- for stdout)")
        ->option_text("FILE");
    optimise->add_option("--save-inputs", saveInputs, "save the best design as an input set")
        ->option_text("FILE");
    optimise->add_option("--report", o.Report, "write the classic report of the best design")
        ->option_text("FILE");
    return optimise;
}

int RunOptimise(const OptimiseOptions& o, const std::string& json, const std::string& saveInputs,
    const Texts& texts, const MeltProperties& melt, char separator, const NetworkOptions& network,
    const std::optional<ChosenMelt>& realMelt)
{
    std::string problem;
    auto settings = SettingsOf(o, problem);
    if (!settings) {
        std::cerr << Command << ": " << problem << '\n';
        return ExitUsage;
    }
    if (realMelt)
        settings->Evaluation.RealMelt =
            DesignMelt { realMelt->Name, realMelt->TheMelt, realMelt->Conditions };
    if (const auto limit = LimitWithoutMeaning(settings->Evaluation)) {
        std::cerr << Command << ": "
                  << (*limit == LimitedFigure::TemperatureRise ? "--max-temperature-rise"
                                                               : "--max-temperature-spread")
                  << ": a temperature limit needs a melt heated by its own flow (--melt FILE or "
                     "--material NAME with --thermal heated)\n";
        return ExitUsage;
    }
    settings->Evaluation.Melt = melt;
    settings->Evaluation.Network = network;
    if ((!json.empty() && !RefuseTextsJsonCannotHold(texts))
        || !RefuseSharedStandardOutput(o.Csv, json) || !RefuseInputSetOnStandardOutput(saveInputs)
        || !RefuseOneFileForTwoOutputs({ { "--json", json }, { "--csv", o.Csv },
            { "--save-inputs", saveInputs }, { "--report", o.Report } }))
        return ExitUsage;
    if (!o.Report.empty() && ResultFileNameFrom(o.Report) != o.Report) {
        std::cerr << Command << ": --report is longer than 255 characters\n";
        return ExitUsage;
    }
    const InputReading base = BaseDesign(texts, settings->Bounds, separator);
    if (!base.Values) {
        std::cerr << Command << ": the fields that are not varied are refused: " << base.Problem
                  << '\n';
        return ExitInputsRejected;
    }
    {
        // Outputs another run is writing are refused before the search, not after it.
        auto jsonClaim = ClaimOutput(json, "JSON document");
        auto csvClaim = ClaimOutput(o.Csv, "CSV table");
        if (!jsonClaim || !csvClaim)
            return ExitUsage;
    }
    OptimisationReport report;
    Search(*base.Values, texts, o, *settings, melt, separator, network, report);
    // The answer goes to stderr when a document goes to stdout.
    const bool documentOnStandardOutput = json == "-" || o.Csv == "-";
    const int status =
        ShowAnswer(o, report, realMelt, documentOnStandardOutput ? std::cerr : std::cout);
    std::cout.flush();
    if (const int written = WriteOutputs(o, json, saveInputs, report, separator))
        return written;
    if (report.Result.Feasible)
        if (const int written = WriteClassicReport(o.Report, report, separator))
            return written;
    return status;
}

} // namespace karrow
