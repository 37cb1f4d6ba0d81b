#pragma once

// A melt from measurements: viscosities measured at several temperatures and shear rates
// (capillary or rotational rheometer), fitted to a chosen law by nonlinear least squares in the
// logarithm of the viscosity, so that every decade of the flow curve counts alike and a
// measurement's weight is its relative error. The least squares are GSL's trust-region
// Levenberg-Marquardt (gsl_multifit_nlinear), with the standard error of every constant from the
// Jacobian at the answer.

#include "material_grade.h"

#include <optional>
#include <string>
#include <vector>

namespace karrow {

struct Measurement {
    double Temperature = 0; // °C
    double ShearRate = 0; // 1/s
    double Viscosity = 0; // Pa s
};

// The measurements of a CSV file: three columns, temperature (°C), shear rate (1/s) and viscosity
// (Pa s), separated by commas; a first line that is not numbers is a header; blank lines and
// lines starting with '#' are skipped. A problem names the file (as `origin`), the line and the
// column.
struct MeasurementReading {
    std::vector<Measurement> Points;
    std::string Problem;
};
MeasurementReading ParseMeasurements(const std::string& csv, const std::string& origin);
MeasurementReading ReadMeasurements(const std::string& path);

struct FitRequest {
    std::string Model = "cross"; // cross, carreau-yasuda or cross-wlf
    std::string Shift = "arrhenius"; // arrhenius or wlf; cross-wlf shifts by its own constants
    // °C: the temperature of the law's constants (Arrhenius, WLF); by default the measured
    // temperature in the middle of those measured.
    std::optional<double> ReferenceTemperature;
    // Cross-WLF: D2 (°C, about the glass transition) and A2 (K) are held, as the databases hold
    // them, and n, tau*, D1 and A1 are fitted; D3 (pressure) is 0 for measurements at one pressure.
    std::optional<double> D2;
    double A2 = 51.6;
};

struct FittedConstant {
    std::string Section; // "viscosity" or "shift"
    std::string Name;
    double Value = 0;
    double StandardError = 0; // 0 for a constant held, not fitted
    bool Fitted = true;
};

struct MeltFit {
    std::optional<Melt> Fitted; // the law and shift with their constants; no density or heat capacity
    std::vector<FittedConstant> Constants;
    int Points = 0;
    int Iterations = 0;
    double SumOfSquares = 0; // of ln(eta_fit / eta_measured)
    double RmsLogResidual = 0; // sqrt(SumOfSquares / Points): about the rms relative misfit
    std::string Problem; // why there is no fit, naming the file (`origin`) and what is missing
};

// Refuses measurements that cannot determine the law (too few points, temperatures or shear
// rates at one temperature, or constants the data leave free) with the reason.
MeltFit FitMelt(
    const std::vector<Measurement>& points, const FitRequest& request, const std::string& origin);

// The viscosity (Pa s) of a melt at `temperature` (°C) and `shearRate` (1/s), or nothing where
// the law does not hold (MeltTemperatureProblem) or the rate is not positive.
std::optional<double> MeltViscosity(const Melt& melt, double temperature, double shearRate);

} // namespace karrow
