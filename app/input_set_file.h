#pragma once

#include "melt_choice.h"
#include "run/fields.h"

#include <QString>
#include <optional>

namespace karrow {

// The texts of the fields of the main window (Edit1..Edit14 and "Save File Name").
using WindowFieldTexts = FieldArray<QString>;

// Field texts read from a file, with the melt it holds, or the problem in plain words, naming
// the file.
struct FieldTextsReading {
    std::optional<WindowFieldTexts> Texts;
    // Whether the file says which melt goes with the texts: an input set always does (without
    // a melt, it was saved without one), a run document where it records the melt it was
    // solved with.
    bool SaysMelt = false;
    std::optional<MeltChoice> Melt;
    QString Problem;
};

// An input set, or the document of a run (what "Export JSON…" and karrow-cli --json write):
// a run document holds the texts its run read, and the melt it was solved with, so a designer
// can go back to them. A set's throughput, which the window has no field for, is left out: its
// flow rate field holds the flow rate the throughput gave.
FieldTextsReading ReadFieldTexts(const QString& path, char decimalSeparator);

// Writes the input set, with the melt when one is chosen, whole or not at all; returns the
// problem, naming the file, or nothing.
std::optional<QString> WriteFieldTexts(const QString& path, const WindowFieldTexts& texts,
    const std::optional<MeltChoice>& melt, char decimalSeparator);

} // namespace karrow
