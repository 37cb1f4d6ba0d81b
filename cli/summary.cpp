#include "summary.h"

#include <cmath>
#include <string>

namespace karrow {

namespace {

    std::string Percent(double value)
    {
        return FigureText(value, 2) + " %";
    }

    std::string Spread(const OutletDistribution& outlet)
    {
        if (!outlet.Resolved)
            return "outlet spread not resolved (one outlet increment per channel: the model does "
                   "not tell how the flow spreads over it)";
        return "outlet spread " + Percent(outlet.SpreadPercent) + ", CV " + Percent(outlet.CvPercent);
    }

    std::string Shear(const ShearMaxima& shear)
    {
        return "wall shear rate up to " + FigureText(shear.Channel.Rate, 1)
            + " 1/s in the channel, " + FigureText(shear.Land.Rate, 1) + " 1/s over the lands and "
            + FigureText(shear.OutletPath.Rate, 1) + " 1/s in the outlet paths";
    }

    std::string Residence(const ResidenceTimes& r)
    {
        std::string text = "mean residence time " + FigureText(r.MeanTime, 2) + " s";
        if (r.AgesKnown && r.OldestOutletIncrement > 0)
            text += ", oldest melt at the outlet " + FigureText(r.OldestOutletAge, 2) + " s";
        return text + ", " + Percent(r.StagnantPercent) + " of the volume stagnant (transit over "
            + FigureText(StagnationMultiple, 0) + " x the mean)";
    }

    std::string Figures(const DesignFigures& f)
    {
        return Spread(f.Outlet) + "; head pressure " + FigureText(f.Head.Bar, 2) + " bar ("
            + FigureText(f.Head.KgfCm2, 2) + " kgf/cm2); " + Shear(f.Shear) + "; "
            + Residence(f.Residence) + "; adiabatic temperature rise "
            + FigureText(f.TemperatureRise, 2) + " K";
    }

    std::string MethodEnd(const IterationRecord& record)
    {
        std::string stop;
        switch (record.Stop) {
        case IterationStop::Balanced:
            stop = "balanced every slit flow within 3 %";
            break;
        case IterationStop::CorrectionLimit:
            stop = "stopped at its limit of pressure corrections";
            break;
        case IterationStop::StepLimit:
            stop = "stopped at its step limit";
            break;
        }
        return stop + " after " + std::to_string(record.BalanceSteps) + " balance steps and "
            + std::to_string(record.Corrections.size())
            + " pressure corrections, its last step moving the outlet flows by up to "
            + Percent(100 * record.FinalChange.Outlet);
    }

    // The report against the exact answer, in numbers and in words.
    std::string Disagreement(const DesignFigures& report, const DesignFigures& exact)
    {
        std::string text;
        if (report.Outlet.Resolved) {
            const double points = report.Outlet.SpreadPercent - exact.Outlet.SpreadPercent;
            text = "the report's spread is " + Percent(report.Outlet.SpreadPercent)
                + ", the exact solution's " + Percent(exact.Outlet.SpreadPercent) + ": ";
            if (std::fabs(points) < 0.5)
                text += "they agree within half a point";
            else
                text += points < 0 ? "the report understates the non-uniformity"
                                   : "the report overstates the non-uniformity";
            text += "; ";
        }
        const double head = 100 * (report.Head.KgfCm2 / exact.Head.KgfCm2 - 1);
        return text + "the report's head pressure is " + Percent(std::fabs(head))
            + (head < 0 ? " below" : " above") + " the exact one";
    }

    std::string Repeatability(const RepeatabilityCheck& check)
    {
        if (check.Repeatable)
            return "the report repeats to its last digit with the flow rate one unit in the last "
                   "place up and down";
        return "the report does NOT repeat to its last digit; " + ProbeRangesText(check);
    }

} // namespace

std::string SummaryText(const RunRecord& record)
{
    const Assessment& a = record.Answers;
    const bool exact = a.Exact && a.Exact->Figures;
    std::string text;
    if (exact)
        text += "exact network: " + Figures(*a.Exact->Figures) + " ("
            + std::to_string(a.Exact->Network.Iterations) + " Newton steps)\n";
    else if (a.Exact)
        text += "exact network: not solved: " + a.Exact->Network.Failure + "\n";
    if (a.Classic) {
        text += "report (classic method): " + Figures(*a.Classic);
        if (record.Outcome && record.Outcome->Result)
            text += "; the method " + MethodEnd(record.Outcome->Result->Flow.Record);
        text += "\n";
        if (exact)
            text += "report against exact: " + Disagreement(*a.Classic, *a.Exact->Figures) + "\n";
    }
    if (a.Repeatability)
        text += "repeatability: " + Repeatability(*a.Repeatability) + "\n";
    if (a.Exact && a.Exact->Resolution)
        text += ResolutionVerdict(*a.Exact->Resolution) + "\n";
    return text;
}

std::string RepeatabilityWarning(const RunRecord& record)
{
    const auto& check = record.Answers.Repeatability;
    return check && !check->Repeatable ? SettlingWarning(*check) + "\n" : "";
}

} // namespace karrow
