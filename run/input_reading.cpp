#include "input_reading.h"

#include "fields.h"
#include "input_grammar.h"

#include <array>
#include <string>
#include <variant>

namespace karrow {

namespace {

    using Target = std::variant<std::int32_t Inputs::*, double Inputs::*>;

    // The run's input fields in the order of Edit1..Edit14.
    const std::array<Target, InputFieldCount> Targets { &Inputs::NumberOfChannels,
        &Inputs::SpiralHeight, &Inputs::LipHeight, &Inputs::DieRadius,
        &Inputs::FlowRatePerChannel, &Inputs::PowerLawIndex, &Inputs::StandardViscosity,
        &Inputs::StandardShearRate, &Inputs::InletSlitHeight, &Inputs::OutletSlitHeight,
        &Inputs::InletChannelDepth, &Inputs::OutletChannelDepth, &Inputs::ChannelWidth,
        &Inputs::TotalIncrements };

    std::string FieldProblem(int field, char separator)
    {
        const std::string label = std::string("\"") + Field(field).Label + "\"";
        if (Field(field).Kind == FieldKind::Integer)
            return label + " must be a whole number, such as " + Field(field).DefaultText + ".";
        return label + " must be a number, such as " + DefaultFieldText(field, separator) + ".";
    }

    bool ReadField(Inputs& in, int field, const std::string& text, char separator)
    {
        const Target& target = Targets[static_cast<std::size_t>(field - 1)];
        if (const auto* integer = std::get_if<std::int32_t Inputs::*>(&target)) {
            const auto value = ParseIntegerText(text);
            if (value)
                in.*(*integer) = *value;
            return value.has_value();
        }
        const auto value = ParseRealText(text, separator);
        if (value)
            in.*std::get<double Inputs::*>(target) = *value;
        return value.has_value();
    }

} // namespace

InputReading ReadInputs(const std::function<std::string(int)>& fieldText, char separator)
{
    Inputs in;
    for (int field = 1; field <= InputFieldCount; ++field)
        if (!ReadField(in, field, fieldText(field), separator))
            return { std::nullopt, FieldProblem(field, separator) };
    return { in, "" };
}

} // namespace karrow
