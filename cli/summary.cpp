#include "summary.h"

#include <cstdio>

namespace karrow {

namespace {

    std::string Format(const char* format, double value)
    {
        char text[64];
        std::snprintf(text, sizeof text, format, value);
        return text;
    }

    std::string Verdict(const char* label, const DesignFigures& f)
    {
        return std::string(label) + ": outlet spread " + Format("%.2f", f.Outlet.SpreadPercent)
            + " %, CV " + Format("%.2f", f.Outlet.CvPercent) + " %; head pressure "
            + Format("%.2f", f.Head.Bar) + " bar (" + Format("%.2f", f.Head.KgfCm2)
            + " kgf/cm2); wall shear rate up to " + Format("%.4g", f.Shear.Channel.Rate)
            + " 1/s in the channel and " + Format("%.4g", f.Shear.Slit.Rate)
            + " 1/s over the lands; mean residence time " + Format("%.4g", f.Residence.MeanTime)
            + " s; adiabatic temperature rise " + Format("%.2f", f.TemperatureRise) + " K";
    }

} // namespace

std::string SummaryText(const RunRecord& record)
{
    const Assessment& a = record.Answers;
    std::string text;
    if (a.Classic) {
        text += Verdict("classic", *a.Classic);
        if (a.Settling)
            text += a.Settling->Settled ? "; settled" : "; NOT settled";
        text += "\n";
    }
    if (a.Exact && a.Exact->Figures)
        text += Verdict("network", *a.Exact->Figures) + " (exact solution of the model's network, "
            + std::to_string(a.Exact->Network.Iterations) + " Newton steps)\n";
    else if (a.Exact)
        text += "network: not solved: " + a.Exact->Network.Failure + "\n";
    if (a.Exact && a.Exact->Resolution)
        text += ResolutionVerdict(*a.Exact->Resolution) + "\n";
    return text;
}

std::string SettlingWarning(const RunRecord& record)
{
    const auto& settling = record.Answers.Settling;
    if (!settling || settling->Settled)
        return "";
    std::string text = "Warning: this result is not settled. The iteration stopped at its limits "
                       "while the flows still moved: ";
    if (!settling->Note.empty())
        text += settling->Note + ".";
    else
        text += "repeating the run with the flow rate changed in its last digit changes the "
                "printed flows by up to "
            + Format("%.3g", settling->OutletDifferencePercent)
            + " % of the mean outlet flow and the pressures by up to "
            + Format("%.3g", settling->HeadDifferencePercent) + " % of the head pressure.";
    return text + " The last printed digits of the report are not reliable for this design.\n";
}

} // namespace karrow
