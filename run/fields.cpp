#include "fields.h"

#include <algorithm>
#include <array>
#include <stdexcept>

namespace karrow {

namespace {
    constexpr std::array<FieldInfo, 15> Fields { {
        { "Number of Channels (-)", "4", FieldKind::Integer, true, "number-of-channels" },
        { "Spiral Height (cm)", "12.38", FieldKind::Real, true, "spiral-height" },
        { "Lip Height (cm)", "1.0", FieldKind::Real, true, "lip-height" },
        { "Die Radius (cm)", "11.25", FieldKind::Real, true, "die-radius" },
        { "Flow Rate / Channel (cm3/sec)", "4.12", FieldKind::Real, true, "flow-rate-per-channel" },
        { "Power Law Parameter <n> (-)", "0.69", FieldKind::Real, false, "power-law-index" },
        { "Standard Viscosity (gf.sec/cm2)", "11.0", FieldKind::Real, false, "standard-viscosity" },
        { "Standard Shear Rate (1/sec)", "100.0", FieldKind::Real, false, "standard-shear-rate" },
        { "Inlet Slit Height (cm)", "0.01", FieldKind::Real, true, "inlet-slit-height" },
        { "Outlet Slit Height (cm)", "0.165", FieldKind::Real, true, "outlet-slit-height" },
        { "Inlet Channel Depth* (cm)", "1.0", FieldKind::Real, true, "inlet-channel-depth" },
        { "Outlet Channel Depth* (cm)", "0.165", FieldKind::Real, true, "outlet-channel-depth" },
        { "Channel Width (cm)", "1.2", FieldKind::Real, true, "channel-width" },
        { "Total Increments <15 deg.=\xCF\x80/12 rad each> (-)", "39", FieldKind::Integer, true,
            "total-increments" },
        { "Save File Name", "result.txt", FieldKind::FileName, true, "output" },
    } };
} // namespace

const FieldInfo& Field(int field)
{
    if (field < 1 || field > static_cast<int>(Fields.size()))
        throw std::out_of_range("no field " + std::to_string(field));
    return Fields[static_cast<std::size_t>(field - 1)];
}

std::string DefaultFieldText(int field, char decimalSeparator)
{
    std::string text = Field(field).DefaultText;
    if (Field(field).Kind == FieldKind::Real)
        std::replace(text.begin(), text.end(), '.', decimalSeparator);
    return text;
}

} // namespace karrow
