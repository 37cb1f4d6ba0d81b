#pragma once

// A real melt: a viscosity law eta(shear rate, temperature) and the density and heat capacity the
// heated network needs. Constants are in SI units (Pa, Pa.s, s, J/mol, kg/m3, J/(kg K)) and every
// temperature in degrees Celsius, as designers and data sheets give them; the core's own pressure
// unit, gf/cm2, is reached through PascalPerGramForce and nowhere else.
//
// Every law here obeys time-temperature superposition: eta(g, T) = aT eta_ref(aT g), with aT the
// shift factor of T against the law's reference state. The shear stress at a given rate is then
// tau(g, T) = tau_ref(aT g), so the shear rate at a given stress is g_ref(tau) / aT: the element
// laws tabulate the reference curve once and divide by aT for every temperature.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace karrow {

struct Inputs;

// 1 gf/cm2 = 9.80665e-3 N / 1e-4 m2.
inline constexpr double PascalPerGramForce = 98.0665;
inline constexpr double AbsoluteZeroCelsius = -273.15;
inline constexpr double GasConstant = 8.314462618; // J/(mol K)
// The largest flow index a melt may have: mildly shear-thickening laws are accepted, no more.
inline constexpr double MostFlowIndex = 1.5;

enum class ViscosityModel {
    PowerLaw, // eta = K g^(n-1), K from the viscosity at a standard shear rate
    Cross, // eta = eta0 / (1 + (eta0 g / tau*)^(1-n))
    CarreauYasuda, // eta = eta_inf + (eta0 - eta_inf) (1 + (lambda g)^a)^((n-1)/a)
    CrossWlf, // Cross with eta0 = D1 exp(-A1 (T - T*) / (A2 + T - T*)), T* = D2 + D3 p
};

// The shift of the first three laws with temperature; Cross-WLF carries its own.
enum class TemperatureShift {
    None, // the law holds at every temperature as it is
    Arrhenius, // aT = exp(E/R (1/T - 1/Tref)), absolute temperatures
    Wlf, // aT = exp(-C1 (T - Tref) / (C2 + T - Tref))
};

struct Melt {
    ViscosityModel Model = ViscosityModel::PowerLaw;
    double FlowIndex = 1; // n, every law
    // Power law.
    double StandardViscosity = 0; // Pa.s, at the standard shear rate
    double StandardShearRate = 0; // 1/s
    // Cross and Carreau-Yasuda.
    double ZeroShearViscosity = 0; // eta0, Pa.s
    // Cross and Cross-WLF.
    double CriticalStress = 0; // tau*, Pa
    // Carreau-Yasuda.
    double InfiniteShearViscosity = 0; // eta_inf, Pa.s
    double TimeConstant = 0; // lambda, s
    double YasudaExponent = 2; // a
    // Cross-WLF (D2 in degrees Celsius; databases give it in kelvin).
    double D1 = 0; // Pa.s
    double D2 = 0; // degrees C
    double D3 = 0; // K/Pa
    double A1 = 0;
    double A2 = 0; // K
    // Temperature shift of the first three laws.
    TemperatureShift Shift = TemperatureShift::None;
    double ActivationEnergy = 0; // J/mol
    double ReferenceTemperature = 0; // degrees C, Arrhenius and WLF
    double C1 = 0;
    double C2 = 0; // K
    // Thermal properties of the melt.
    double Density = 0; // kg/m3
    double HeatCapacity = 0; // J/(kg K)
};

// Stable text names, for files: "power-law", "cross", "carreau-yasuda", "cross-wlf"; "none",
// "arrhenius", "wlf".
std::string_view ModelName(ViscosityModel model);
std::optional<ViscosityModel> ModelNamed(std::string_view name);
std::string_view ShiftName(TemperatureShift shift);
std::optional<TemperatureShift> ShiftNamed(std::string_view name);
// Every model's and every shift's name, in the order above, for a reader that meets another.
std::vector<std::string> AllModelNames();
std::vector<std::string> AllShiftNames();

// One constant of a melt: its stable name in files, its unit, and where it lives.
struct MeltConstant {
    std::string_view Name;
    std::string_view Unit;
    double Melt::*Member;
};

// The constants a melt of this model and shift is made of, the law's first, then the shift's,
// then density and heat capacity: exactly the ones MeltProblem checks and the laws read.
std::vector<MeltConstant> ConstantsOf(ViscosityModel model, TemperatureShift shift);
// Every constant name of any model, for a reader that meets an unknown one.
const std::vector<MeltConstant>& AllMeltConstants();
// The constant of that name among AllMeltConstants, or nullptr.
const MeltConstant* MeltConstantNamed(std::string_view name);

// What makes the melt's constants meaningless, in words that name the constant; nothing when
// it is a melt.
std::optional<std::string> MeltProblem(const Melt& melt);
// What makes the law meaningless at this temperature (below absolute zero, below Cross-WLF's
// T*, a WLF denominator at or below zero, a shift out of the range of double numbers).
std::optional<std::string> MeltTemperatureProblem(const Melt& melt, double celsius);

// ln aT: the shift factor of the temperature against the law's reference state (the reference
// temperature; for Cross-WLF the state where eta0 = D1). 0 without a shift. Only for a
// temperature MeltTemperatureProblem accepts.
double LogShiftFactor(const Melt& melt, double celsius);

// Whether the law depends on pressure: Cross-WLF with D3 above zero.
bool HasPressureTerm(const Melt& melt);
// The temperature at which the law without pressure is the law at this temperature and gauge
// pressure (Pa): Cross-WLF's T* = D2 + D3 p rises with the pressure as the melt's temperature
// would fall, so the law sees T - D3 p. The temperature itself for a law without the term.
double PressureEquivalentTemperature(const Melt& melt, double celsius, double pascals);

// The reference flow curve (aT = 1): shear stress (Pa) at a shear rate (1/s), its local slope
// d ln tau / d ln g, and its inverse, the shear rate at a stress, exact to a few units of the
// last place (Newton's method on the log-log curve).
struct FlowCurvePoint {
    double Stress = 0; // Pa
    double Slope = 0; // d ln tau / d ln g
};
FlowCurvePoint ReferenceFlowPoint(const Melt& melt, double shearRate);
double ReferenceShearStress(const Melt& melt, double shearRate);
double ReferenceFlowSlope(const Melt& melt, double shearRate);
double ReferenceShearRate(const Melt& melt, double shearStress);

// Viscosity in Pa.s at a shear rate and temperature (for the report of wall values, charts).
double Viscosity(const Melt& melt, double shearRate, double celsius);

// The power-law melt of a run's inputs (n, viscosity at a standard shear rate in gf.sec/cm2):
// the special case the classic calculation knows. No temperature shift; density and heat
// capacity are left at 0 for the caller to give.
Melt PowerLawMeltOf(const Inputs& in);

} // namespace karrow
