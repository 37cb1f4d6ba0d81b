#pragma once

#include "../solver/inputs.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace karrow {

// The fields of a run in the order of the window: the fourteen inputs, then the report's name.
// Every front end, the input sets and the run's documents address them by these names; the one
// table in fields.cpp says what each is called where.
enum class Field : std::uint8_t {
    NumberOfChannels,
    SpiralHeight,
    LipHeight,
    DieRadius,
    FlowRatePerChannel,
    PowerLawIndex,
    StandardViscosity,
    StandardShearRate,
    InletSlitHeight,
    OutletSlitHeight,
    InletChannelDepth,
    OutletChannelDepth,
    ChannelWidth,
    TotalIncrements,
    SaveFileName,
};

inline constexpr std::size_t FieldCount = 15;
inline constexpr std::size_t InputFieldCount = 14;

inline constexpr std::size_t IndexOf(Field field)
{
    return static_cast<std::size_t>(field);
}

inline constexpr std::array<Field, FieldCount> AllFields { Field::NumberOfChannels,
    Field::SpiralHeight, Field::LipHeight, Field::DieRadius, Field::FlowRatePerChannel,
    Field::PowerLawIndex, Field::StandardViscosity, Field::StandardShearRate,
    Field::InletSlitHeight, Field::OutletSlitHeight, Field::InletChannelDepth,
    Field::OutletChannelDepth, Field::ChannelWidth, Field::TotalIncrements, Field::SaveFileName };

// The fields that hold the run's inputs, in the order they are read (all but the report's name).
inline constexpr std::span<const Field, InputFieldCount> InputFields { AllFields.data(),
    InputFieldCount };

enum class FieldKind { Integer, Real, FileName };

// Where a field's value goes in the run's inputs; the report's name goes to none.
using InputMember = std::variant<std::monostate, std::int32_t Inputs::*, double Inputs::*>;

struct FieldInfo {
    const char* Label; // the label shown beside the field in the window
    const char* DefaultText; // written with "." as decimal separator
    FieldKind Kind;
    bool Editable; // the three rheology fields are shown but fixed in the window
    InputMember Member;
    const char* OptionName; // long option of the command line, without "--"
    const char* JsonKey; // key of the field in input sets and run documents
};

const FieldInfo& InfoOf(Field field);

// The field whose command-line option is `name` (without "--"), if any.
std::optional<Field> FieldOfOption(std::string_view name);

// The field whose key in a JSON document is `key`, if any.
std::optional<Field> FieldOfJsonKey(std::string_view key);

// The field's label in double quotes, as messages name it.
std::string QuotedLabel(Field field);

// The default text of a field, with the regional decimal separator in place of ".".
std::string DefaultFieldText(Field field, char decimalSeparator);

// One value per field, addressed only by field names.
template <class T> class FieldArray {
public:
    T& operator[](Field field) { return values_[IndexOf(field)]; }
    const T& operator[](Field field) const { return values_[IndexOf(field)]; }

    // In the order of AllFields.
    auto begin() { return values_.begin(); }
    auto end() { return values_.end(); }
    auto begin() const { return values_.begin(); }
    auto end() const { return values_.end(); }

    bool operator==(const FieldArray&) const = default;

private:
    std::array<T, FieldCount> values_ {};
};

// The texts of the fields as typed (or given on the command line, or kept in an input set).
using FieldTexts = FieldArray<std::string>;

// Every field at its default text.
FieldTexts DefaultFieldTexts(char decimalSeparator);

} // namespace karrow
