#pragma once

#include "run/fields.h"

#include <QString>
#include <optional>

namespace karrow {

// The texts of the fields of the main window (Edit1..Edit14 and "Save File Name").
using WindowFieldTexts = FieldArray<QString>;

// Field texts read from a file, or the problem in plain words, naming the file.
struct FieldTextsReading {
    std::optional<WindowFieldTexts> Texts;
    QString Problem;
};

// An input set, or the document of a run (what "Export JSON…" and karrow-cli --json write):
// a run document holds the texts its run read, so a designer can go back to them.
FieldTextsReading ReadFieldTexts(const QString& path, char decimalSeparator);

// Writes the input set whole or not at all; returns the problem, naming the file, or nothing.
std::optional<QString> WriteFieldTexts(
    const QString& path, const WindowFieldTexts& texts, char decimalSeparator);

} // namespace karrow
