#include "summary.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace karrow {

namespace {

    std::string Printed(const char* format, int precision, double value)
    {
        char text[64];
        std::snprintf(text, sizeof text, format, precision, value);
        return text;
    }

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

    std::string ProbeRanges(const RepeatabilityCheck& check)
    {
        return "over flow rates within " + std::to_string(check.ReachUlps)
            + " units in the last place either side (" + std::to_string(check.Runs) + " runs"
            + (check.RunsNotFinished > 0
                    ? ", " + std::to_string(check.RunsNotFinished) + " more did not finish"
                    : std::string())
            + ") the head pressure ranges from " + FigureText(check.HeadKgfCm2.Low, 2) + " to "
            + FigureText(check.HeadKgfCm2.High, 2) + " kgf/cm2 and the outlet spread from "
            + Percent(check.OutletSpreadPercent.Low) + " to "
            + Percent(check.OutletSpreadPercent.High);
    }

    std::string Repeatability(const RepeatabilityCheck& check)
    {
        if (check.Repeatable)
            return "the report repeats to its last digit with the flow rate one unit in the last "
                   "place up and down";
        return "the report does NOT repeat to its last digit; " + ProbeRanges(check);
    }

} // namespace

std::string FigureText(double value, int decimals)
{
    if (std::isnan(value))
        return "undefined";
    if (std::isinf(value))
        return value > 0 ? "beyond 1.8e308" : "below -1.8e308";
    const double size = std::fabs(value);
    if (size == 0 || (size >= 1e-3 && size < 1e7))
        return Printed("%.*f", decimals, value);
    return Printed("%.*e", std::max(decimals, 2), value);
}

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
    if (!check || check->Repeatable)
        return "";
    std::string text = "Warning: the report of this design does not repeat to its last digit. The "
                       "classic iteration stopped at its limits while the flows still moved: ";
    if (!check->Note.empty())
        text += check->Note + ". ";
    else
        text += "with the flow rate changed in its last digit the printed flows change by up to "
            + Percent(check->FlowChangePercentOfMeanOutlet)
            + " of the mean outlet flow and the pressures by up to "
            + Percent(check->PressureChangePercentOfHead) + " of the head pressure. ";
    text += "Going further, " + ProbeRanges(*check)
        + ". These figures themselves, not only their last digits, are uncertain for this design; "
          "the exact network's answer does not depend on where the iteration stopped.\n";
    return text;
}

} // namespace karrow
