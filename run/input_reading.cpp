#include "input_reading.h"

#include "fields.h"
#include "input_grammar.h"

#include <optional>
#include <string>
#include <variant>

namespace karrow {

namespace {

    // The bounds name the limits of the stored type: an int32 for whole numbers, a double for
    // the rest, written as the user would type it back (with the regional separator).
    std::string FieldProblem(Field field, NumberRefusal refusal, char separator)
    {
        const std::string label = QuotedLabel(field);
        const bool whole = InfoOf(field).Kind == FieldKind::Integer;
        const std::string largest =
            whole ? "2147483647" : std::string("about 1") + separator + "8e308";
        switch (refusal) {
        case NumberRefusal::AboveRange:
            return label + " is too large: at most " + largest + ".";
        case NumberRefusal::BelowRange:
            return label + " is too far below zero: at least "
                + (whole ? "-2147483648" : std::string("about -1") + separator + "8e308") + ".";
        case NumberRefusal::NotANumber:
            break;
        }
        if (whole)
            return label + " must be a whole number, such as " + InfoOf(field).DefaultText + ".";
        return label + " must be a number, such as " + DefaultFieldText(field, separator) + ".";
    }

    // Stores the value of `text` in its input, or says why it was refused.
    std::optional<NumberRefusal> ReadField(
        Inputs& in, Field field, const std::string& text, char separator)
    {
        const InputMember& target = InfoOf(field).Member;
        if (const auto* integer = std::get_if<std::int32_t Inputs::*>(&target)) {
            const auto reading = ReadIntegerText(text);
            if (!reading.Value)
                return reading.Refusal;
            in.*(*integer) = *reading.Value;
            return std::nullopt;
        }
        const auto reading = ReadRealText(text, separator);
        if (!reading.Value)
            return reading.Refusal;
        in.*std::get<double Inputs::*>(target) = *reading.Value;
        return std::nullopt;
    }

} // namespace

InputReading ReadInputs(const std::function<std::string(Field)>& fieldText, char separator)
{
    Inputs in;
    for (const Field field : InputFields)
        if (const auto refusal = ReadField(in, field, fieldText(field), separator))
            return { std::nullopt, FieldProblem(field, *refusal, separator) };
    return { in, "" };
}

} // namespace karrow
