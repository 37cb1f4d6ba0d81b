#include "result_file.h"

#include "../solver/extended.h"
#include "../solver/fault.h"
#include "../solver/solution.h"
#include "number_format.h"

#include <cmath>

namespace karrow {

namespace {

    constexpr const char* LineEnd = "\r\n";
    constexpr std::size_t LabelColumns = 44; // the label text and its padding, columns 5 to 48

    std::string Line(const std::string& text)
    {
        return text + LineEnd;
    }

    std::string ValueLine(const std::string& label, const std::string& value)
    {
        std::string field = "    " + label;
        field.resize(4 + LabelColumns, ' ');
        return Line(field + "=  " + value);
    }

    // A report never shows "NAN" or "INF": a value that is not finite is a fault of the run.
    double Finite(double value)
    {
        if (!std::isfinite(value))
            throw ArithmeticFault("The calculation produced a value that is not a finite number; "
                                  "the report was not completed.");
        return value;
    }

    std::string Number(double value, int precision, int digits, char separator)
    {
        return FormatFixed(Finite(value), precision, digits, separator);
    }

    std::string Column(double value, int width, int digits, char separator)
    {
        return FormatFixedWidth(Finite(value), width, digits, separator);
    }

} // namespace

std::string InputSectionText(const Inputs& in, char sep)
{
    return Line("") + Line("    [ Input data ] ")
        + ValueLine("Number of Channels (-)", IntegerText(in.NumberOfChannels))
        + ValueLine("Spiral Height (cm)", Number(in.SpiralHeight, 5, 2, sep))
        + ValueLine("Lip Height (cm)", Number(in.LipHeight, 5, 2, sep))
        + ValueLine("Die Radius (cm)", Number(in.DieRadius, 5, 2, sep))
        + ValueLine("Flow Rate / Channel (cm3/sec)", Number(in.FlowRatePerChannel, 6, 2, sep))
        + ValueLine("Power Law Parameter <n> (-)", Number(in.PowerLawIndex, 5, 3, sep))
        + ValueLine("Standard Viscosity (gf.sec/cm2)", Number(in.StandardViscosity, 7, 2, sep))
        + ValueLine("Standard Shear Rate (1/sec)", Number(in.StandardShearRate, 8, 2, sep))
        + ValueLine("Inlet Slit Height (cm)", Number(in.InletSlitHeight, 6, 3, sep))
        + ValueLine("Outlet Slit Height (cm)", Number(in.OutletSlitHeight, 6, 3, sep))
        + ValueLine("Inlet Channel Depth (cm)", Number(in.InletChannelDepth, 6, 3, sep))
        + ValueLine("Outlet Channel Depth (cm)", Number(in.OutletChannelDepth, 6, 3, sep))
        + ValueLine("Channel Width (cm)", Number(in.ChannelWidth, 5, 2, sep))
        + ValueLine("Total Increments <15 deg. each> (-)", IntegerText(in.TotalIncrements));
}

std::string ModifiedConditionText(const Geometry& g, char sep)
{
    return Line("") + Line("    [ Modified Condition for Effective Part of Spiral Channel ] ")
        + ValueLine("Spiral Height (cm)", Number(g.ModifiedSpiralHeight, 5, 2, sep))
        + ValueLine("Lip Height (cm)", Number(g.ModifiedLipHeight, 5, 2, sep))
        + ValueLine("Outlet Slit Height (cm)", Number(g.ModifiedOutletSlitHeight, 6, 3, sep))
        + ValueLine("Outlet Channel Depth (cm)", Number(g.ModifiedOutletChannelDepth, 6, 3, sep))
        + ValueLine("Total Increments <15 deg. each> (-)", IntegerText(g.EffectiveIncrements));
}

double ReportedChannelFlow(const Solution& s, int i)
{
    return s.ChannelFlowOut(i);
}

double ReportedPressure(const Solution& s, int i)
{
    return X(s.Flow.Profile.ChannelPressure[i]) / 1000;
}

std::string FlowTableText(const Solution& s, char sep)
{
    const int last = s.Geo.EffectiveIncrements;
    // The rows marked as outlet flows are the m increments of the outlet zone, whose slit flow
    // leaves the die.
    const int outletRows = s.Geo.PitchIncrements;
    std::string text = Line("") + Line("     [ Flow Rate and Pressure Drop ]")
        + Line("      No.       Slit Flow     Channel Flow     Pressure")
        + Line("                 cm3/sec        cm3/sec         kgf/cm2");
    for (int i = 1; i <= last; ++i) {
        std::string number = IntegerText(i);
        if (number.size() == 1)
            number.insert(0, " ");
        number += i > last - outletRows ? "*" : " ";
        text +=
            Line("      " + number + "       " + Column(s.Flow.Distribution.SlitFlow(i), 8, 4, sep)
                + "       " + Column(ReportedChannelFlow(s, i), 8, 4, sep) + "        "
                + Column(ReportedPressure(s, i), 7, 2, sep));
    }
    return text + Line("")
        + Line(
            "      *: Last " + IntegerText(outletRows) + " slit flows correspond to outlet flows");
}

} // namespace karrow
