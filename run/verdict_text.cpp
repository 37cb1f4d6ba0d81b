#include "verdict_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace karrow {

namespace {

    std::string Percent(double value, char decimalSeparator)
    {
        return FigureText(value, 2, decimalSeparator) + " %";
    }

} // namespace

std::string FigureText(double value, int decimals, char decimalSeparator)
{
    if (std::isnan(value))
        return "undefined";
    if (std::isinf(value))
        return value > 0 ? "beyond 1.8e308" : "below -1.8e308";
    const double size = std::fabs(value);
    const bool fixed = size == 0 || (size >= 1e-3 && size < 1e7);
    // to_chars rounds as printf does in the C locale, whatever locale the program runs in.
    char text[64];
    const std::to_chars_result written = std::to_chars(text, text + sizeof text, value,
        fixed ? std::chars_format::fixed : std::chars_format::scientific,
        fixed ? decimals : std::max(decimals, 2));
    if (written.ec != std::errc())
        return "undefined";
    std::string figure(text, written.ptr);
    std::replace(figure.begin(), figure.end(), '.', decimalSeparator);
    return figure;
}

std::string ProbeRangesText(const RepeatabilityCheck& check, char decimalSeparator)
{
    const auto figure = [&](double value) { return FigureText(value, 2, decimalSeparator); };
    return "over flow rates within " + std::to_string(check.ReachUlps)
        + " units in the last place either side (" + std::to_string(check.Runs) + " runs"
        + (check.RunsNotFinished > 0
                ? ", " + std::to_string(check.RunsNotFinished) + " more did not finish"
                : std::string())
        + ") the head pressure ranges from " + figure(check.HeadKgfCm2.Low) + " to "
        + figure(check.HeadKgfCm2.High) + " kgf/cm2 and the outlet spread from "
        + Percent(check.OutletSpreadPercent.Low, decimalSeparator) + " to "
        + Percent(check.OutletSpreadPercent.High, decimalSeparator);
}

std::string SettlingWarning(const RepeatabilityCheck& check, char decimalSeparator)
{
    if (check.Repeatable)
        return "";
    std::string text = "Warning: the report of this design does not repeat to its last digit. The "
                       "classic iteration stopped at its limits while the flows still moved: ";
    if (!check.Note.empty())
        text += check.Note + ". ";
    else
        text += "with the flow rate changed in its last digit the printed flows change by up to "
            + Percent(check.FlowChangePercentOfMeanOutlet, decimalSeparator)
            + " of the mean outlet flow and the pressures by up to "
            + Percent(check.PressureChangePercentOfHead, decimalSeparator)
            + " of the head pressure. ";
    return text + "Going further, " + ProbeRangesText(check, decimalSeparator)
        + ". These figures themselves, not only their last digits, are uncertain for this design; "
          "the exact network's answer does not depend on where the iteration stopped.";
}

} // namespace karrow
