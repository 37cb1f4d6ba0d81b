#pragma once

#include "melt_choice.h"
#include "run/fields.h"

#include <QString>
#include <optional>

namespace karrow {

// The texts of the fields of the main window (Edit1..Edit14 and "Save File Name").
using WindowFieldTexts = FieldArray<QString>;

// Field texts read from a file, with the melt an input set holds, or the problem in plain words,
// naming the file.
struct FieldTextsReading {
    std::optional<WindowFieldTexts> Texts;
    bool InputSet = false; // an input set, not a run document, whose texts come without a melt
    std::optional<MeltChoice> Melt; // the input set's, if it holds one
    QString Problem;
};

// An input set, or the document of a run (what "Export JSON…" and karrow-cli --json write):
// a run document holds the texts its run read, so a designer can go back to them. A set's
// throughput, which the window has no field for, is left out: its flow rate field holds the
// flow rate the throughput gave.
FieldTextsReading ReadFieldTexts(const QString& path, char decimalSeparator);

// Writes the input set, with the melt when one is chosen, whole or not at all; returns the
// problem, naming the file, or nothing.
std::optional<QString> WriteFieldTexts(const QString& path, const WindowFieldTexts& texts,
    const std::optional<MeltChoice>& melt, char decimalSeparator);

} // namespace karrow
