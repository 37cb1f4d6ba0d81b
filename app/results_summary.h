#pragma once

#include "run/assessment.h"

#include <QString>

namespace karrow {

// The texts of the results window's header, from the figures of a run; numbers with the
// regional decimal separator.

// A number with `decimals` digits after the separator where a designer reads it (1e-3 to 1e7),
// in exponent form beyond; never "inf" or "nan".
QString FixedNumber(double value, int decimals, char decimalSeparator);

// Outlet spread and coefficient of variation (or that the model does not resolve them), head
// pressure, largest wall shear rates in the channel, over the lands and in the outlet paths,
// residence and adiabatic temperature rise, one per line.
QString VerdictText(const DesignFigures& figures, char decimalSeparator);

// How the report's classic method ended: balance steps, pressure corrections, why it stopped and
// how far its last step still moved the outlet flows.
QString IterationText(const IterationRecord& record, char decimalSeparator);

// How the exact network solution ended, or why there is none.
QString NetworkText(const ExactAnswer& exact, char decimalSeparator);

// How far the report is from the exact answer, in numbers and in words.
QString DifferenceText(const DesignFigures& report, const DesignFigures& exact, char decimalSeparator);

} // namespace karrow
