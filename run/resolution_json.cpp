#include "resolution_json.h"

#include <cmath>
#include <iomanip>
#include <limits>
#include <locale>
#include <sstream>

namespace karrow {

namespace {

    using json = nlohmann::json;

    json Number(double value)
    {
        return std::isfinite(value) ? json(value) : json(nullptr);
    }

    json LimitJson(const ResolutionLimit& limit)
    {
        return { { "extrapolated", Number(limit.Value) },
            { "observed_order",
                limit.ObservedOrder ? Number(*limit.ObservedOrder) : json(nullptr) },
            { "first_level_error_percent", Number(limit.FirstLevelErrorPercent) } };
    }

    json StudyJson(const ResolutionStudy& study)
    {
        json levels = json::array();
        for (const ResolutionLevel& level : study.Levels)
            levels.push_back({ { "increments_per_pitch", level.IncrementsPerPitch },
                { "increments", level.Increments }, { "newton_steps", level.NewtonSteps },
                { "outlet_cv_percent", Number(level.Figures.CvPercent) },
                { "outlet_spread_percent", Number(level.Figures.SpreadPercent) },
                { "head_pressure_gf_cm2", Number(level.Figures.HeadPressure) } });
        return { { "levels", levels }, { "converged", study.Converged }, { "note", study.Note },
            { "outlet_cv_percent", LimitJson(study.Cv) },
            { "outlet_spread_percent", LimitJson(study.Spread) },
            { "head_pressure_gf_cm2", LimitJson(study.Head) } };
    }

    std::string Text(double value)
    {
        std::ostringstream text;
        text.imbue(std::locale::classic());
        text << std::setprecision(std::numeric_limits<double>::max_digits10) << value;
        return text.str();
    }

} // namespace

void AddResolution(json& network, const ExactAnswer& exact)
{
    json resolution { { "increments_per_pitch", exact.IncrementsPerPitch } };
    if (exact.AsSolution)
        resolution["increment_deg"] = Number(exact.AsSolution->Geo.IncrementDegrees);
    resolution["study"] = exact.Resolution ? StudyJson(*exact.Resolution) : json(nullptr);
    network["resolution"] = resolution;
    if (!exact.AsSolution)
        return;
    json round = json::array();
    for (const DieOutletPoint& p : OutletRoundTheDie(*exact.AsSolution))
        round.push_back({ { "angle_deg", Number(p.AngleDegrees) }, { "channel", p.Channel },
            { "flow", Number(p.Flow) }, { "relative", Number(p.Relative) } });
    network["outlet_round_die"] = round;
}

std::string OutletRoundTheDieCsv(const Solution& s)
{
    std::string csv = "angle_deg,channel,flow,relative\n";
    for (const DieOutletPoint& p : OutletRoundTheDie(s))
        csv += Text(p.AngleDegrees) + "," + std::to_string(p.Channel) + "," + Text(p.Flow) + ","
            + Text(p.Relative) + "\n";
    return csv;
}

} // namespace karrow
