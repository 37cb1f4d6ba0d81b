#pragma once

// The power law that stands for a real melt in a given design: the tangent to the melt's flow
// curve (log viscosity over log shear rate) at the design's representative shear rate, so that a
// designer can run the classic calculation and its report with their resin's equivalent.
//
// The representative rate is the flow-weighted geometric mean of the wall shear rates of the
// design's exact network answer: every channel element and every slit (land or outlet path) of
// the effective part weighs with the flow it carries, so it is the rate the melt typically
// shears at, on the log scale on which the flow curve is read. (The plain geometric mean of the
// lowest and highest rate would hang on the nearly stagnant end of the channel, whose rate is
// as small as its flow and jumps from one solution to the next.) The rates depend on the law
// that carries the flow, so the tangent and the rates are found together: the network is solved
// with the design's own power law, the tangent taken at its representative rate, and the network
// solved again with that tangent until the rate holds still.

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

// The flow-weighted geometric mean of the figures' wall shear rates (1/s); 0 when no element
// carries flow at a positive rate.
double RepresentativeShearRate(const DesignFigures& figures);

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
