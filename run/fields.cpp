#include "fields.h"

#include <algorithm>

namespace karrow {

namespace {
    // In the order of the enumeration (the order of the window).
    constexpr std::array<FieldInfo, FieldCount> Fields { {
        { "Number of Channels (-)", "4", FieldKind::Integer, true, &Inputs::NumberOfChannels,
            "number-of-channels", "number-of-channels" },
        { "Spiral Height (cm)", "12.38", FieldKind::Real, true, &Inputs::SpiralHeight,
            "spiral-height", "spiral-height" },
        { "Lip Height (cm)", "1.0", FieldKind::Real, true, &Inputs::LipHeight, "lip-height",
            "lip-height" },
        { "Die Radius (cm)", "11.25", FieldKind::Real, true, &Inputs::DieRadius, "die-radius",
            "die-radius" },
        { "Flow Rate / Channel (cm3/sec)", "4.12", FieldKind::Real, true,
            &Inputs::FlowRatePerChannel, "flow-rate-per-channel", "flow-rate-per-channel" },
        { "Power Law Parameter <n> (-)", "0.69", FieldKind::Real, false, &Inputs::PowerLawIndex,
            "power-law-index", "power-law-index" },
        { "Standard Viscosity (gf.sec/cm2)", "11.0", FieldKind::Real, false,
            &Inputs::StandardViscosity, "standard-viscosity", "standard-viscosity" },
        { "Standard Shear Rate (1/sec)", "100.0", FieldKind::Real, false,
            &Inputs::StandardShearRate, "standard-shear-rate", "standard-shear-rate" },
        { "Inlet Slit Height (cm)", "0.01", FieldKind::Real, true, &Inputs::InletSlitHeight,
            "inlet-slit-height", "inlet-slit-height" },
        { "Outlet Slit Height (cm)", "0.165", FieldKind::Real, true, &Inputs::OutletSlitHeight,
            "outlet-slit-height", "outlet-slit-height" },
        { "Inlet Channel Depth* (cm)", "1.0", FieldKind::Real, true, &Inputs::InletChannelDepth,
            "inlet-channel-depth", "inlet-channel-depth" },
        { "Outlet Channel Depth* (cm)", "0.165", FieldKind::Real, true, &Inputs::OutletChannelDepth,
            "outlet-channel-depth", "outlet-channel-depth" },
        { "Channel Width (cm)", "1.2", FieldKind::Real, true, &Inputs::ChannelWidth,
            "channel-width", "channel-width" },
        { "Total Increments <15 deg.=\xCF\x80/12 rad each> (-)", "39", FieldKind::Integer, true,
            &Inputs::TotalIncrements, "total-increments", "total-increments" },
        { "Save File Name", "result.txt", FieldKind::FileName, true, std::monostate {}, "output",
            "output" },
    } };

    template <class Name> std::optional<Field> FieldNamed(std::string_view name, Name nameOf)
    {
        for (const Field field : AllFields)
            if (name == nameOf(InfoOf(field)))
                return field;
        return std::nullopt;
    }
} // namespace

const FieldInfo& InfoOf(Field field)
{
    return Fields[IndexOf(field)];
}

std::optional<Field> FieldOfOption(std::string_view name)
{
    return FieldNamed(name, [](const FieldInfo& info) { return info.OptionName; });
}

std::optional<Field> FieldOfJsonKey(std::string_view key)
{
    return FieldNamed(key, [](const FieldInfo& info) { return info.JsonKey; });
}

std::string QuotedLabel(Field field)
{
    return std::string("\"") + InfoOf(field).Label + "\"";
}

std::string DefaultFieldText(Field field, char decimalSeparator)
{
    std::string text = InfoOf(field).DefaultText;
    if (InfoOf(field).Kind == FieldKind::Real)
        std::replace(text.begin(), text.end(), '.', decimalSeparator);
    return text;
}

FieldTexts DefaultFieldTexts(char decimalSeparator)
{
    FieldTexts texts;
    for (const Field field : AllFields)
        texts[field] = DefaultFieldText(field, decimalSeparator);
    return texts;
}

} // namespace karrow
