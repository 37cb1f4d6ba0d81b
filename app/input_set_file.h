#pragma once

#include <QString>
#include <array>
#include <optional>

namespace karrow {

// The texts of fields 1..15 of the main window (Edit1..Edit14 and "Save File Name").
using FieldTexts = std::array<QString, 15>;

// Field texts read from a file, or the problem in plain words, naming the file.
struct FieldTextsReading {
    std::optional<FieldTexts> Texts;
    QString Problem;
};

// An input set, or the document of a run (what "Export JSON…" and karrow-cli --json write):
// a run document holds the texts its run read, so a designer can go back to them.
FieldTextsReading ReadFieldTexts(const QString& path, char decimalSeparator);

// Writes the input set whole or not at all; returns the problem, naming the file, or nothing.
std::optional<QString> WriteFieldTexts(
    const QString& path, const FieldTexts& texts, char decimalSeparator);

} // namespace karrow
