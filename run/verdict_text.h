#pragma once

#include "assessment.h"

#include <string>

namespace karrow {

// Words of a run's verdict that every front end shows alike, so that the command line and the
// window never tell a designer two different things about the same run.

// A figure as a designer reads it: `decimals` digits after the separator from 1e-3 to 1e7, the
// exponent form beyond it, never "inf" or "nan". The same in every locale.
std::string FigureText(double value, int decimals, char decimalSeparator = '.');

// How far the head pressure and the outlet spread range over the repeatability probe: "over flow
// rates within 64 units in the last place either side (...) the head pressure ranges from ...".
std::string ProbeRangesText(const RepeatabilityCheck& check, char decimalSeparator = '.');

// The warning for a report that does not repeat to its last digit (its iteration stopped at its
// limits while the flows still moved): by how much it changes and how far its figures range, in
// one paragraph without a line end; "" when the report repeats.
std::string SettlingWarning(const RepeatabilityCheck& check, char decimalSeparator = '.');

} // namespace karrow
