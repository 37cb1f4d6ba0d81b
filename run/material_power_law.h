#pragma once

// The power law that stands for a real melt in a given design: the tangent to the melt's flow
// curve (log viscosity over log shear rate) at the design's representative shear rate, so that a
// designer can run the classic calculation and its report with their resin's equivalent.
//
// The representative rate is the geometric mean of the lowest and the highest wall shear rate of
// the design's exact network answer (channel and slit walls of every increment): the middle of
// the decades the melt actually sees, on the log scale on which the flow curve is fitted. The
// rates depend on the law that carries the flow, so the tangent and the rates are found together:
// the network is solved with the design's own power law, the tangent taken at its middle rate,
// and the network solved again with that tangent until the middle rate holds still.

#include "solver/melt.h"
#include "report/figures.h"
#include "solver/inputs.h"

#include <functional>
#include <optional>
#include <string>

namespace karrow {

struct ShearRateRange {
    double Low = 0; // 1/s
    double High = 0; // 1/s
};

// The lowest and highest positive wall shear rate of the figures, or nothing when none is
// positive.
std::optional<ShearRateRange> WallShearRateRange(const DesignFigures& figures);

struct EquivalentPowerLaw {
    double RepresentativeRate = 0; // 1/s
    double PowerLawIndex = 0; // n, the slope of the flow curve there plus one
    double Viscosity = 0; // Pa s, of the melt at the representative rate
    double StandardShearRate = 0; // 1/s
    double StandardViscosity = 0; // gf s/cm2: the tangent's viscosity at the standard rate
};

// The tangent at `rate` of the flow curve `viscosity` (Pa s of a shear rate in 1/s), read at the
// standard shear rate; nothing where the curve has no value.
std::optional<EquivalentPowerLaw> TangentPowerLaw(
    const std::function<std::optional<double>(double)>& viscosity, double rate,
    double standardShearRate);

struct DesignEquivalent {
    std::optional<EquivalentPowerLaw> Law;
    ShearRateRange Range; // of the last network solved
    int Rounds = 0; // networks solved
    std::string Problem;
};

// The equivalent power law of `melt` at `temperature` (°C) for the design `in` (whose own power
// law starts the rates), at the design's standard shear rate.
DesignEquivalent DesignPowerLaw(const Inputs& in, const Melt& melt, double temperature);

} // namespace karrow
