#include "optimise_output.h"

#include "fields.h"

#include <cmath>
#include <nlohmann/json.hpp>
#include <sstream>

namespace karrow {

namespace {

    using nlohmann::json;

    json Number(double value)
    {
        return std::isfinite(value) ? json(value) : json(nullptr);
    }

    json FiguresJson(const DesignEvaluation& e)
    {
        json figures = json::object();
        if (!e.Figures)
            return figures;
        const DesignFigures& f = *e.Figures;
        figures["cv_percent"] = Number(f.Outlet.CvPercent);
        figures["spread_percent"] = Number(f.Outlet.SpreadPercent);
        figures["max_deviation_percent"] = Number(f.Outlet.MaxDeviationPercent);
        figures["outlet_resolved"] = f.Outlet.Resolved;
        figures["head_pressure_gf_cm2"] = Number(f.Head.GfCm2);
        figures["head_pressure_bar"] = Number(f.Head.Bar);
        figures["wall_shear_rate_per_sec"] = Number(FigureOf(f, LimitedFigure::WallShearRate));
        figures["wall_shear_stress_gf_cm2"] = Number(FigureOf(f, LimitedFigure::WallShearStress));
        figures["mean_residence_time_sec"] = Number(f.Residence.MeanTime);
        figures["smallest_gap_cm"] = Number(e.SmallestGap);
        if (e.TemperatureRise)
            figures["temperature_rise_K"] = Number(*e.TemperatureRise);
        if (e.TemperatureSpread)
            figures["temperature_spread_K"] = Number(*e.TemperatureSpread);
        return figures;
    }

    json DesignJson(const FoundDesign& d, const std::vector<VariableBounds>& bounds)
    {
        json values = json::object();
        for (std::size_t k = 0; k < bounds.size(); ++k)
            values[NameOf(bounds[k].Variable)] = Number(d.Design.Point[k]);
        json texts = json::object();
        for (const Field field : AllFields)
            texts[InfoOf(field).OptionName] = d.Texts[field];
        const DesignEvaluation& e = d.Design.Evaluation;
        return { { "values", values }, { "inputs", texts }, { "feasible", e.Feasible },
            { "objective", Number(e.Objective) }, { "figures", FiguresJson(e) },
            { "reason", e.Reason } };
    }

    json LimitsJson(const DesignLimits& limits)
    {
        json j = json::object();
        const auto put = [&](const char* key, const std::optional<double>& value) {
            if (value)
                j[key] = Number(*value);
        };
        put("head_pressure_gf_cm2", limits.HeadPressure);
        put("wall_shear_rate_per_sec", limits.WallShearRate);
        put("wall_shear_stress_gf_cm2", limits.WallShearStress);
        put("mean_residence_time_sec", limits.ResidenceTime);
        put("smallest_gap_cm", limits.Gap);
        put("temperature_rise_K", limits.TemperatureRise);
        put("temperature_spread_K", limits.TemperatureSpread);
        return j;
    }

    std::string Cell(double value)
    {
        if (!std::isfinite(value))
            return "";
        std::ostringstream out;
        out.precision(17);
        out << value;
        return out.str();
    }

    std::string CsvRow(int point, const FoundDesign& d)
    {
        const DesignEvaluation& e = d.Design.Evaluation;
        std::string row = std::to_string(point);
        for (double value : d.Design.Point)
            row += "," + Cell(value);
        if (e.Figures) {
            const DesignFigures& f = *e.Figures;
            for (double value :
                { f.Outlet.CvPercent, f.Outlet.SpreadPercent, f.Outlet.MaxDeviationPercent,
                    f.Head.Bar, FigureOf(f, LimitedFigure::WallShearRate),
                    FigureOf(f, LimitedFigure::WallShearStress), f.Residence.MeanTime,
                    e.SmallestGap })
                row += "," + Cell(value);
        } else {
            row += ",,,,,,,,";
        }
        // A heated real melt's temperatures; empty cells otherwise.
        for (const auto& temperature : { e.TemperatureRise, e.TemperatureSpread })
            row += "," + (temperature ? Cell(*temperature) : std::string());
        return row + (e.Feasible ? ",yes\n" : ",no\n");
    }

} // namespace

std::string OptimisationJson(const OptimisationReport& report, int classicExitStatus)
{
    const OptimiseSettings& s = report.Settings;
    json variables = json::array();
    for (const VariableBounds& b : s.Bounds)
        variables.push_back({ { "field", NameOf(b.Variable) }, { "low", Number(b.Low) },
            { "high", Number(b.High) }, { "whole_number", IsWholeNumber(b.Variable) } });
    json document = { { "kind", "optimisation" }, { "objective", NameOf(s.Evaluation.Objective) },
        { "variables", variables }, { "limits", LimitsJson(s.Evaluation.Limits) },
        { "feasible", report.Result.Feasible }, { "stopped", report.Result.Stopped },
        { "evaluations", report.Result.Evaluations },
        { "seconds", Number(report.Result.Seconds) } };
    if (!report.Result.Refusal.empty())
        document["refusal"] = report.Result.Refusal;
    document["best"] = report.Best ? DesignJson(*report.Best, s.Bounds) : json(nullptr);
    document["classic"] = report.Classic ? json::parse(RunJson(*report.Classic, classicExitStatus)) : json(nullptr);
    if (s.Evaluation.RealMelt) {
        // The melt's answer for the best design, as a run with that melt writes it.
        const DesignMelt& real = *s.Evaluation.RealMelt;
        json melt = report.BestMelt
            ? json::parse(MeltRunJson(real.TheMelt, real.Conditions, *report.BestMelt))
            : json::parse(MeltRunJson(real.TheMelt, real.Conditions, MeltRun {}));
        melt["name"] = real.Name;
        document["melt"] = melt;
    }
    if (report.Front) {
        json points = json::array();
        for (const FoundDesign& d : report.FrontDesigns)
            points.push_back(DesignJson(d, s.Bounds));
        document["front"] = { { "against", NameOf(report.Front->Against) },
            { "evaluations", report.Front->Evaluations },
            { "seconds", Number(report.Front->Seconds) }, { "points", points } };
    }
    return document.dump(2) + "\n";
}

std::string OptimisationCsv(const OptimisationReport& report)
{
    std::string csv = "point";
    for (const VariableBounds& b : report.Settings.Bounds)
        csv += "," + NameOf(b.Variable);
    csv += ",cv_percent,spread_percent,max_deviation_percent,head_pressure_bar,"
           "wall_shear_rate_per_sec,wall_shear_stress_gf_cm2,mean_residence_time_sec,"
           "smallest_gap_cm,temperature_rise_K,temperature_spread_K,feasible\n";
    if (report.Front) {
        for (std::size_t k = 0; k < report.FrontDesigns.size(); ++k)
            csv += CsvRow(static_cast<int>(k + 1), report.FrontDesigns[k]);
    } else if (report.Best) {
        csv += CsvRow(1, *report.Best);
    }
    return csv;
}

} // namespace karrow
