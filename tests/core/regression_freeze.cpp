// Freezes what the regression table keeps besides the frozen reports: whether each design is
// settled (the settling check of the run's own assessment, computed here once so that the test
// only reads it) and, for a design that is not settled, the range of its report's numbers.
//
//   karrow_regression_freeze settling     writes settling.json from the designs as frozen
//   karrow_regression_freeze unsettled    refreezes the reports and hashes of the designs that
//                                         settling.json records as not settled, or that are not
//                                         settled now, and records them all again
//
// Run it only on purpose and read the differences it makes.

#include "regression_table.h"
#include "report/result_file.h"
#include "run/assessment.h"
#include "solver/extended.h"

#include <cmath>
#include <iostream>

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
                    WriteText(Data / (name + ".txt"), *outcome.Report);
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
    if (mode == "settling")
        karrow::regression::FreezeSettling();
    else if (mode == "unsettled")
        karrow::regression::RefreezeUnsettled();
    else {
        std::cerr << "usage: karrow_regression_freeze settling|unsettled\n";
        return 2;
    }
    return 0;
}
