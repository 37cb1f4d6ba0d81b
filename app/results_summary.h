#pragma once

#include "run/assessment.h"

#include <QString>

namespace karrow {

// The texts of the results window's header, from the figures of a run; numbers with the
// regional decimal separator.

// A number with `decimals` digits after the separator.
QString FixedNumber(double value, int decimals, char decimalSeparator);
// A number with `digits` significant digits: differences that range from thousandths to tens of
// percent.
QString SignificantNumber(double value, int digits, char decimalSeparator);

// Outlet spread and coefficient of variation, head pressure, largest wall shear rates, mean
// residence time and adiabatic temperature rise, one per line.
QString VerdictText(const DesignFigures& figures, char decimalSeparator);

// How the classic iteration ended: balance steps, pressure corrections and why it stopped.
QString IterationText(const IterationRecord& record);

// How the exact network solution ended, or why there is none.
QString NetworkText(const ExactAnswer& exact, char decimalSeparator);

// What a difference between the classic and the exact answer means.
QString DifferenceText();

// The warning for a result that is not settled; empty when it is.
QString SettlingWarning(const SettlingCheck& check, char decimalSeparator);

} // namespace karrow
