#include "input_reading.h"

#include "fields.h"
#include "input_grammar.h"

#include <array>
#include <string>
#include <variant>

namespace karrow {

namespace {

    using Target = std::variant<std::int32_t RunState::*, double RunState::*>;

    // The run's input fields in the order of Edit1..Edit14.
    const std::array<Target, InputFieldCount> Targets { &RunState::NumberOfChannels,
        &RunState::SpiralHeight, &RunState::LipHeight, &RunState::DieRadius,
        &RunState::FlowRatePerChannel, &RunState::PowerLawIndex, &RunState::StandardViscosity,
        &RunState::StandardShearRate, &RunState::InletSlitHeight, &RunState::OutletSlitHeight,
        &RunState::InletChannelDepth, &RunState::OutletChannelDepth, &RunState::ChannelWidth,
        &RunState::TotalIncrements };

    std::string FieldProblem(int field, char separator)
    {
        const std::string label = std::string("\"") + Field(field).Label + "\"";
        if (Field(field).Kind == FieldKind::Integer)
            return label + " must be a whole number, such as " + Field(field).DefaultText + ".";
        return label + " must be a number, such as " + DefaultFieldText(field, separator) + ".";
    }

    bool ReadField(RunState& st, int field, const std::string& text, char separator)
    {
        const Target& target = Targets[static_cast<std::size_t>(field - 1)];
        if (const auto* integer = std::get_if<std::int32_t RunState::*>(&target)) {
            const auto value = ParseIntegerText(text);
            if (value)
                st.*(*integer) = *value;
            return value.has_value();
        }
        const auto value = ParseRealText(text, separator);
        if (value)
            st.*std::get<double RunState::*>(target) = *value;
        return value.has_value();
    }

} // namespace

void ReadInputs(RunState& st, UserInterface& ui, char separator)
{
    for (int field = 1; field <= InputFieldCount; ++field) {
        if (!ReadField(st, field, ui.FieldText(field), separator)) {
            st.InputOk = false;
            ui.ShowMessage(std::string(InputErrorMessage) + "\n" + FieldProblem(field, separator));
            return;
        }
    }
    st.InputOk = true;
}

} // namespace karrow
