// Freezes what the regression table keeps besides the frozen reports: whether each design is
// settled (the settling check of the run's own assessment, computed here once so that the test
// only reads it) and, for a design that is not settled, the range of its report's numbers.
//
//   karrow_regression_freeze designs      draws the generated designs afresh, writes
//                                         random_designs.txt with their hashes, then settling.json
//   karrow_regression_freeze settling     writes settling.json from the designs as frozen
//   karrow_regression_freeze unsettled    refreezes the reports and hashes of the designs that
//                                         settling.json records as not settled, or that are not
//                                         settled now, and records them all again
//
// Run it only on purpose and read the differences it makes.

#include "regression_table.h"
#include "report/result_file.h"
#include "run/assessment.h"
#include "run/input_reading.h"
#include "run/model_limits.h"
#include "solver/extended.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <random>

namespace karrow::regression {
namespace {

    std::string ReportOf(const Inputs& in, const Solution& s)
    {
        return InputSectionText(in, '.') + ModifiedConditionText(s.Geo, '.')
            + FlowTableText(s, '.');
    }

    SettlingRange RangeOf(const Solution& s, const std::string& report)
    {
        const ReportShape own = ShapeOf(report);
        SettlingRange range { own.Shape, own.Numbers, own.Numbers };
        for (const double direction : { HUGE_VAL, 0.0 }) {
            double q = s.In.FlowRatePerChannel;
            for (int step = 1; step <= 64; ++step) {
                q = std::nextafter(q, direction);
                if ((step & (step - 1)) != 0)
                    continue;
                Inputs in = s.In;
                in.FlowRatePerChannel = q;
                try {
                    PrepareFloatingPoint();
                    const Solution probe = Calculate(in);
                    if (probe.Flow.Record.Stop == IterationStop::StepLimit)
                        continue;
                    const ReportShape split = ShapeOf(ReportOf(s.In, probe));
                    if (split.Shape != own.Shape)
                        continue;
                    for (std::size_t k = 0; k < split.Numbers.size(); ++k) {
                        range.Low[k] = std::min(range.Low[k], split.Numbers[k]);
                        range.High[k] = std::max(range.High[k], split.Numbers[k]);
                    }
                } catch (const Fault&) {
                    continue;
                }
            }
        }
        return range;
    }

    // A run that the step limit ended is settled when no run with the flow rate moved by 1, 2,
    // 4 ... 64 units in the last place converges; a refused or faulting run counts as settled.
    bool NeighboursDoNotConverge(const Inputs& in)
    {
        for (const double direction : { HUGE_VAL, 0.0 }) {
            Inputs moved = in;
            for (int step = 1; step <= 64; ++step) {
                moved.FlowRatePerChannel = std::nextafter(moved.FlowRatePerChannel, direction);
                if ((step & (step - 1)) != 0)
                    continue;
                try {
                    PrepareFloatingPoint();
                    if (Calculate(moved).Flow.Record.Stop != IterationStop::StepLimit)
                        return false;
                } catch (const Fault&) {
                    return false;
                }
            }
        }
        return true;
    }

    bool IsSettled(const Outcome& outcome)
    {
        if (outcome.NotConverged)
            return NeighboursDoNotConverge(*outcome.NotConverged);
        return !outcome.Finished || CheckRepeatability(*outcome.Finished).Repeatable;
    }

    void Record(nlohmann::ordered_json& document, const std::string& key, const Outcome& outcome,
        bool settled)
    {
        document["settled"][key] = settled;
        if (settled || !outcome.Finished)
            return;
        const SettlingRange range = RangeOf(*outcome.Finished, *outcome.Report);
        document["unsettled"][key] = { { "shape", range.Shape }, { "low", range.Low },
            { "high", range.High } };
        std::cout << key << " is not settled\n";
    }

    void WriteText(const fs::path& path, const std::string& text)
    {
        std::ofstream out(path, std::ios::binary);
        out << text;
    }

    nlohmann::ordered_json EmptySettling()
    {
        nlohmann::ordered_json document;
        document["settled"] = nlohmann::ordered_json::object();
        document["unsettled"] = nlohmann::ordered_json::object();
        return document;
    }

    void FreezeSettling()
    {
        nlohmann::ordered_json document = EmptySettling();
        for (const NamedCase& c : NamedCases())
            {
            const Outcome outcome = RunDesign(c.Texts);
            Record(document, c.Name, outcome, IsSettled(outcome));
        }
        const std::vector<HashedDesign> designs = HashedDesigns();
        for (std::size_t k = 0; k < designs.size(); ++k)
            {
            const Outcome outcome = RunDesign(designs[k].Texts);
            Record(document, RandomKey(k), outcome, IsSettled(outcome));
        }
        WriteText(Data / "settling.json", document.dump(1) + "\n");
    }

    std::string HashedLine(const HashedDesign& d, const Outcome& outcome)
    {
        std::string line;
        for (const std::string& text : d.Texts)
            line += text + " ";
        return line + "| " + std::to_string(outcome.ExitStatus) + " | "
            + Fnv1a64(outcome.Messages) + " | " + (outcome.Report ? Fnv1a64(*outcome.Report) : "-");
    }

    // ---- the generated designs ----

    constexpr std::size_t GeneratedDesigns = 1500;
    constexpr std::uint64_t GeneratorSeed = 20081;

    // A draw from [low, high) made from the generator's bits alone, so that the designs do not
    // depend on how a standard library shapes its distributions.
    double Within(std::mt19937_64& random, double low, double high)
    {
        return low + (high - low) * static_cast<double>(random() >> 11) * 0x1p-53;
    }

    std::string Text(double value)
    {
        std::array<char, 32> text {};
        std::snprintf(text.data(), text.size(), "%g", value);
        return text.data();
    }

    // Field texts drawn over wide ranges of each value, the spiral in pitches of m increments and
    // the channel width as a share of the axial pitch, as a designer leaves a land between turns.
    std::vector<std::string> DrawTexts(std::mt19937_64& random)
    {
        const int channels = 1 + static_cast<int>(random() % 24);
        const int m = 24 / channels;
        const int increments = static_cast<int>(std::lround(m * Within(random, 3, 8)));
        const double spiralHeight = Within(random, 4, 25);
        const double axialPitch = m * spiralHeight / increments;
        return { std::to_string(channels), Text(spiralHeight), Text(Within(random, 0.3, 3)),
            Text(Within(random, 3, 25)), Text(Within(random, 0.3, 20)),
            Text(Within(random, 0.2, 1)), Text(Within(random, 2, 40)),
            Text(Within(random, 20, 500)), Text(Within(random, 0.003, 0.08)),
            Text(Within(random, 0.01, 0.3)), Text(Within(random, 0.4, 2)),
            Text(Within(random, 0.08, 2)), Text(axialPitch * Within(random, 0.2, 0.9)),
            std::to_string(increments) };
    }

    // A design the model's limits refuse only repeats a message that the named cases already
    // hold; every generated design is drawn again until its texts, as written, pass them.
    std::vector<std::string> DrawDesignWithinLimits(std::mt19937_64& random)
    {
        for (;;) {
            std::vector<std::string> texts = DrawTexts(random);
            const InputReading reading =
                ReadInputs([&](Field field) { return texts.at(IndexOf(field)); }, '.');
            if (reading.Values && !CheckModelLimits(*reading.Values))
                return texts;
        }
    }

    void FreezeDesigns()
    {
        std::mt19937_64 random(GeneratorSeed);
        std::string file = "# field texts 1..14 | exit status | FNV-1a 64 of stderr | FNV-1a 64 of "
                           "result.txt (- when absent)\n";
        for (std::size_t k = 0; k < GeneratedDesigns; ++k) {
            HashedDesign d;
            d.Texts = DrawDesignWithinLimits(random);
            file += HashedLine(d, RunDesign(d.Texts)) + "\n";
        }
        WriteText(Data / "random_designs.txt", file);
    }

    void RefreezeUnsettled()
    {
        const SettlingRecord record = ReadSettling();
        nlohmann::ordered_json document = EmptySettling();

        std::ifstream namedIn(Data / "named_cases.json");
        nlohmann::ordered_json named = nlohmann::ordered_json::parse(namedIn);
        for (auto& entry : named) {
            const std::string name = entry.at("name");
            const Outcome outcome = RunDesign(entry.at("fields"));
            const bool settled = IsSettled(outcome);
            if (!settled || !record.Settled.at(name)) {
                entry["exit"] = outcome.ExitStatus;
                entry["stderr"] = outcome.Messages;
                entry["report"] = outcome.Report.has_value();
                if (outcome.Report)
                    WriteText(FrozenReportPath(name), *outcome.Report);
            }
            Record(document, name, outcome, settled);
        }
        WriteText(Data / "named_cases.json", named.dump(1));

        std::ifstream randomIn(Data / "random_designs.txt");
        std::string rewritten;
        std::size_t k = 0;
        const std::vector<HashedDesign> designs = HashedDesigns();
        for (std::string line; std::getline(randomIn, line);) {
            if (line.empty() || line[0] == '#') {
                rewritten += line + "\n";
                continue;
            }
            const Outcome outcome = RunDesign(designs[k].Texts);
            const std::string key = RandomKey(k);
            const bool settled = IsSettled(outcome);
            const bool keep = settled && record.Settled.at(key);
            rewritten += (keep ? line : HashedLine(designs[k], outcome)) + "\n";
            Record(document, key, outcome, settled);
            ++k;
        }
        WriteText(Data / "random_designs.txt", rewritten);
        WriteText(Data / "settling.json", document.dump(1) + "\n");
    }

} // namespace
} // namespace karrow::regression

int main(int argc, char** argv)
{
    const std::string mode = argc == 2 ? argv[1] : "";
    if (mode == "designs") {
        karrow::regression::FreezeDesigns();
        karrow::regression::FreezeSettling();
    } else if (mode == "settling")
        karrow::regression::FreezeSettling();
    else if (mode == "unsettled")
        karrow::regression::RefreezeUnsettled();
    else {
        std::cerr << "usage: karrow_regression_freeze designs|settling|unsettled\n";
        return 2;
    }
    return 0;
}
