#include "melt_document.h"

#include "input_set_melt.h"
#include "material_grade.h"
#include "report/csv.h"

#include <cmath>
#include <limits>
#include <locale>
#include <nlohmann/json.hpp>
#include <sstream>
#include <vector>

namespace karrow {

namespace {

    std::string Text(double value)
    {
        if (!std::isfinite(value))
            return "";
        std::ostringstream text;
        text.imbue(std::locale::classic());
        text.precision(std::numeric_limits<double>::max_digits10);
        text << value;
        return text.str();
    }

    // The line without its end, to take more cells.
    std::string Open(std::string line)
    {
        if (!line.empty() && line.back() == '\n')
            line.pop_back();
        return line;
    }

    std::vector<std::string> MeltCells(const RunMelt& melt, const std::optional<MeltRun>& answer)
    {
        std::vector<std::string> cells { Text(melt.Conditions.MeltTemperature),
            std::string(ThermalModeName(melt.Conditions.Thermal)) };
        const bool converged = answer && answer->Solved && answer->Answer.Network.Converged;
        cells.push_back(!answer ? "" : converged ? "yes" : "no");
        if (!converged) {
            cells.resize(cells.size() + 5);
            return cells;
        }
        const MeltNetworkSolution& a = answer->Answer;
        cells.push_back(Text(answer->Head.MPa));
        cells.push_back(answer->Outlet.Resolved ? Text(answer->Outlet.CvPercent) : "");
        cells.push_back(answer->Outlet.Resolved ? Text(answer->Outlet.SpreadPercent) : "");
        cells.push_back(Text(a.OutletTemperatureSpread));
        cells.push_back(Text(a.MeanOutletTemperature));
        return cells;
    }

    // The run document's law as the entry of an input set: the model and shift by name, and
    // each constant in the part of the entry a material file keeps it in. A key that is no
    // constant stays at the top, where the set's reader refuses it by name.
    SetDocument SetEntryOf(const SetDocument& law)
    {
        SetDocument entry = { { "viscosity", { { "model", law.value("model", SetDocument()) } } },
            { "shift", { { "model", law.value("shift", SetDocument()) } } } };
        if (!law.contains("constants") || !law["constants"].is_object())
            return entry;
        for (const auto& item : law["constants"].items()) {
            const std::string& key = item.key();
            const MeltConstant* constant = MeltConstantNamed(key);
            const std::string part = constant ? SectionOf(*constant) : "";
            (part.empty() ? entry : entry[part])[key] = item.value();
        }
        return entry;
    }

} // namespace

std::variant<std::optional<InputSetMelt>, std::string> RecordedMeltOf(const std::string& document)
{
    const SetDocument run = SetDocument::parse(document, nullptr, false);
    if (!run.is_object() || !run.contains("melt") || run["melt"].is_null())
        return std::optional<InputSetMelt>();
    const SetDocument& recorded = run["melt"];
    if (!recorded.is_object() || !recorded.contains("melt") || !recorded["melt"].is_object())
        return std::string("The run's \"melt\" must be a JSON object with the melt's law.");
    auto melt = InputSetMeltOf(
        SetEntryOf(recorded["melt"]), recorded.value("conditions", SetDocument()));
    if (auto* problem = std::get_if<std::string>(&melt))
        return *problem;
    return std::optional<InputSetMelt>(std::get<InputSetMelt>(std::move(melt)));
}

std::optional<MeltRun> SolveRunMelt(const RunRecord& record, const RunMelt& melt)
{
    if (!record.Outcome || !record.Outcome->In)
        return std::nullopt;
    return SolveMeltRun(*record.Outcome->In, melt.TheMelt, melt.Conditions);
}

std::string RunJsonWithMelt(const RunRecord& record, int exitStatus, const RunMelt& melt,
    const std::optional<MeltRun>& answer, bool pretty)
{
    nlohmann::ordered_json document = nlohmann::ordered_json::parse(RunJson(record, exitStatus));
    document["melt"] = answer
        ? nlohmann::ordered_json::parse(MeltRunJson(melt.TheMelt, melt.Conditions, *answer))
        : nlohmann::ordered_json(nullptr);
    return pretty ? document.dump(2) : document.dump();
}

std::string MeltSweepCsvHeader()
{
    return Open(SweepCsvHeader()) + ","
        + CsvLine({ "melt_temperature_C", "melt_thermal", "melt_converged",
            "melt_head_pressure_MPa", "melt_outlet_cv_percent", "melt_outlet_spread_percent",
            "melt_outlet_temperature_spread_K", "melt_mean_outlet_temperature_C" });
}

std::string MeltSweepCsvRow(const RunRecord& record, int exitStatus, const RunMelt& melt,
    const std::optional<MeltRun>& answer)
{
    return Open(SweepCsvRow(record, exitStatus)) + "," + CsvLine(MeltCells(melt, answer));
}

} // namespace karrow
