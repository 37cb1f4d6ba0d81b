#pragma once

#include <string>

namespace karrow {

inline constexpr int InputFieldCount = 14;
inline constexpr int SaveFileNameField = 15;

enum class FieldKind { Integer, Real, FileName };

struct FieldInfo {
    const char* Label; // the label shown beside the field in the window
    const char* DefaultText; // written with "." as decimal separator
    FieldKind Kind;
    bool Editable; // the three rheology fields are shown but fixed in the window
    const char* OptionName; // long option of the command line, without "--"
};

// Field 1..15 (Edit1..Edit15).
const FieldInfo& Field(int field);

// The default text of a field, with the regional decimal separator in place of ".".
std::string DefaultFieldText(int field, char decimalSeparator);

} // namespace karrow
