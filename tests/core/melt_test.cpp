// Melt models and the element laws of any melt, against an evaluation written apart from them:
// the flow curves in long double straight from their formulas at the temperature (no shift
// factors, no tables), the shear rate at a stress by bisection, the slit's integral by parts,
// Int_0^tau_w t g dt = tau_w^2 g_w / 2 - Int_0^g_w tau(g)^2 / 2 dg, by Gauss-Legendre of order 20.

#include "design_generator.h"
#include "solver/extended.h"
#include "solver/melt.h"
#include "solver/melt_laws.h"
#include "solver/melt_network.h"

#include <cmath>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace karrow {
namespace {

    using L = long double;

    Melt CrossMelt()
    {
        Melt m;
        m.Model = ViscosityModel::Cross;
        m.ZeroShearViscosity = 8000;
        m.FlowIndex = 0.35;
        m.CriticalStress = 30000;
        m.Shift = TemperatureShift::Arrhenius;
        m.ActivationEnergy = 40000;
        m.ReferenceTemperature = 200;
        m.Density = 750;
        m.HeatCapacity = 2500;
        return m;
    }

    Melt CarreauYasudaMelt()
    {
        Melt m;
        m.Model = ViscosityModel::CarreauYasuda;
        m.ZeroShearViscosity = 3000;
        m.InfiniteShearViscosity = 2;
        m.TimeConstant = 0.4;
        m.YasudaExponent = 0.7;
        m.FlowIndex = 0.3;
        m.Shift = TemperatureShift::Wlf;
        m.C1 = 8.86;
        m.C2 = 101.6;
        m.ReferenceTemperature = 190;
        m.Density = 950;
        m.HeatCapacity = 2000;
        return m;
    }

    Melt CrossWlfMelt()
    {
        Melt m;
        m.Model = ViscosityModel::CrossWlf;
        m.FlowIndex = 0.25;
        m.CriticalStress = 25000;
        m.D1 = 4e12;
        m.D2 = 100;
        m.A1 = 27;
        m.A2 = 51.6;
        m.Density = 1000;
        m.HeatCapacity = 2100;
        return m;
    }

    // tau(g) of the law at temperature T, written from the formulas as a data sheet gives them.
    L StressAt(const Melt& m, L g, L T)
    {
        switch (m.Model) {
        case ViscosityModel::PowerLaw:
            return m.StandardViscosity * std::pow(g / L(m.StandardShearRate), L(m.FlowIndex) - 1)
                * g;
        case ViscosityModel::Cross: {
            const L a = std::exp(L(m.ActivationEnergy) / L(8.314462618)
                * (1 / (T + L(273.15)) - 1 / (L(m.ReferenceTemperature) + L(273.15))));
            const L eta0 = a * m.ZeroShearViscosity;
            return eta0 * g / (1 + std::pow(eta0 * g / m.CriticalStress, 1 - L(m.FlowIndex)));
        }
        case ViscosityModel::CarreauYasuda: {
            const L dT = T - m.ReferenceTemperature;
            const L a = std::exp(-L(m.C1) * dT / (L(m.C2) + dT));
            const L eta = a
                * (m.InfiniteShearViscosity
                    + (L(m.ZeroShearViscosity) - m.InfiniteShearViscosity)
                        * std::pow(1 + std::pow(a * m.TimeConstant * g, L(m.YasudaExponent)),
                            (L(m.FlowIndex) - 1) / m.YasudaExponent));
            return eta * g;
        }
        case ViscosityModel::CrossWlf: {
            const L dT = T - m.D2;
            const L eta0 = m.D1 * std::exp(-L(m.A1) * dT / (L(m.A2) + dT));
            return eta0 * g / (1 + std::pow(eta0 * g / m.CriticalStress, 1 - L(m.FlowIndex)));
        }
        }
        return 0;
    }

    L RateAt(const Melt& m, L tau, L T)
    {
        L low = -80;
        L high = 80;
        for (int k = 0; k < 110; ++k) {
            const L mid = (low + high) / 2;
            (StressAt(m, std::exp(mid), T) < tau ? low : high) = mid;
        }
        return std::exp((low + high) / 2);
    }

    // Gauss-Legendre points and weights of order 20 on [-1, 1], in long double.
    const std::vector<std::pair<L, L>>& Gauss20()
    {
        static const std::vector<std::pair<L, L>> gauss = [] {
            // Roots of the Legendre polynomial by Newton's method, weights from its slope.
            const int n = 20;
            const auto legendre = [&](L x, L& slope) {
                L p0 = 1;
                L p1 = x;
                for (int j = 2; j <= n; ++j) {
                    const L p2 = ((2 * j - 1) * x * p1 - (j - 1) * p0) / j;
                    p0 = p1;
                    p1 = p2;
                }
                slope = n * (x * p1 - p0) / (x * x - 1);
                return p1;
            };
            std::vector<std::pair<L, L>> points;
            for (int i = 1; i <= n; ++i) {
                L x =
                    std::cos(L(3.14159265358979323846264338327950288L) * (i - 0.25L) / (n + 0.5L));
                L slope = 0;
                for (int k = 0; k < 50; ++k)
                    x -= legendre(x, slope) / slope;
                legendre(x, slope);
                points.emplace_back(x, 2 / ((1 - x * x) * slope * slope));
            }
            return points;
        }();
        return gauss;
    }

    // Psi(tau_w) = Int_0^tau_w t g dt / tau_w^2 in 1/s, at temperature T: by parts, the rate
    // integral Int tau^2 / 2 dg in ln g over half decades, down to 1e-16 of the wall rate.
    L PsiAt(const Melt& m, L tauW, L T)
    {
        const L gW = RateAt(m, tauW, T);
        const L top = std::log(gW);
        const L width = std::log(L(10)) / 2;
        L integral = 0;
        for (L from = top - 32 * width; from < top - width / 2; from += width)
            for (const auto& [x, w] : Gauss20()) {
                const L y = from + width * (x + 1) / 2;
                const L t = StressAt(m, std::exp(y), T);
                integral += w * width / 2 * t * t / 2 * std::exp(y);
            }
        return (tauW * tauW * gW / 2 - integral) / (tauW * tauW);
    }

    // Drop of a slit tapering from h1 to h2 at the flow Q: Int_0^L 2 tau(x) / h(x) dx, tau(x)
    // from Psi(tau) = 2 q / h(x)^2 by bisection, 20 Gauss points along the length.
    L TaperDrop(const Melt& m, const SlitShape& s, L flow, L T)
    {
        const L q = flow / s.Width;
        L sum = 0;
        for (const auto& [x, w] : Gauss20()) {
            const L h = s.StartHeight + (L(s.EndHeight) - s.StartHeight) * (x + 1) / 2;
            const L target = 2 * q / (h * h);
            // Bisection to a bracket, then Newton's method with d ln Psi / d ln tau = g / Psi - 2.
            L low = std::log(L(1e-3));
            L high = std::log(L(1e9));
            for (int k = 0; k < 12; ++k) {
                const L mid = (low + high) / 2;
                (PsiAt(m, std::exp(mid), T) < target ? low : high) = mid;
            }
            L y = (low + high) / 2;
            for (int k = 0; k < 8; ++k) {
                const L psi = PsiAt(m, std::exp(y), T);
                y -= (std::log(psi) - std::log(target)) / (RateAt(m, std::exp(y), T) / psi - 2);
            }
            low = high = y;
            sum += w * 2 * std::exp((low + high) / 2) / h;
        }
        return sum * s.Length / 2 / L(PascalPerGramForce);
    }

    double Relative(double value, L reference)
    {
        return static_cast<double>(std::fabs((value - reference) / reference));
    }

    TEST(MeltConstants, RefusalsNameTheConstant)
    {
        const auto refusal = [](Melt m) { return MeltProblem(m).value_or(""); };
        Melt m = CrossMelt();
        EXPECT_FALSE(MeltProblem(m).has_value());
        m.FlowIndex = 0;
        EXPECT_NE(refusal(m).find("n (the flow index)"), std::string::npos) << refusal(m);
        m.FlowIndex = 1.6;
        EXPECT_NE(refusal(m).find("n (the flow index)"), std::string::npos);
        m = CrossMelt();
        m.ZeroShearViscosity = -1;
        EXPECT_NE(refusal(m).find("eta0"), std::string::npos) << refusal(m);
        m = CarreauYasudaMelt();
        m.InfiniteShearViscosity = m.ZeroShearViscosity;
        EXPECT_NE(refusal(m).find("eta_inf"), std::string::npos);
        m = CarreauYasudaMelt();
        m.C2 = 0;
        EXPECT_NE(refusal(m).find("C2"), std::string::npos);
        m = CrossWlfMelt();
        m.A2 = std::nan("");
        EXPECT_NE(refusal(m).find("A2"), std::string::npos);
        m = CrossWlfMelt();
        m.Density = 0;
        EXPECT_NE(refusal(m).find("density"), std::string::npos);
        m = CrossWlfMelt();
        m.Shift = TemperatureShift::Arrhenius;
        EXPECT_TRUE(MeltProblem(m).has_value());
    }

    TEST(MeltConstants, TemperaturesOutsideTheLawAreRefused)
    {
        EXPECT_NE(
            MeltTemperatureProblem(CrossWlfMelt(), 99).value_or("").find("D2"), std::string::npos);
        EXPECT_FALSE(MeltTemperatureProblem(CrossWlfMelt(), 230).has_value());
        // WLF denominator C2 + T - Tref at or below zero.
        EXPECT_NE(MeltTemperatureProblem(CarreauYasudaMelt(), 190 - 101.6).value_or("").find("WLF"),
            std::string::npos);
        EXPECT_TRUE(MeltTemperatureProblem(CrossMelt(), -300).has_value());
        EXPECT_TRUE(MeltTemperatureProblem(CrossMelt(), std::nan("")).has_value());
    }

    TEST(MeltConstants, NamesRoundTripAndListTheModelsConstants)
    {
        for (ViscosityModel model : { ViscosityModel::PowerLaw, ViscosityModel::Cross,
                 ViscosityModel::CarreauYasuda, ViscosityModel::CrossWlf })
            EXPECT_EQ(ModelNamed(ModelName(model)), model);
        for (TemperatureShift shift :
            { TemperatureShift::None, TemperatureShift::Arrhenius, TemperatureShift::Wlf })
            EXPECT_EQ(ShiftNamed(ShiftName(shift)), shift);
        EXPECT_FALSE(ModelNamed("Cross").has_value());
        std::vector<std::string> names;
        for (const MeltConstant& c : ConstantsOf(ViscosityModel::CrossWlf, TemperatureShift::None))
            names.emplace_back(c.Name);
        EXPECT_EQ(names,
            (std::vector<std::string> {
                "n", "tau_star", "D1", "D2", "D3", "A1", "A2", "density", "heat_capacity" }));
        // Every listed constant is one a reader can find by name.
        for (const MeltConstant& c : ConstantsOf(ViscosityModel::Cross, TemperatureShift::Wlf)) {
            bool known = false;
            for (const MeltConstant& any : AllMeltConstants())
                known = known || (any.Name == c.Name && any.Member == c.Member);
            EXPECT_TRUE(known) << c.Name;
        }
    }

    TEST(MeltLaws, ViscosityFollowsTheFormulaAtEveryTemperature)
    {
        for (const Melt& m : { CrossMelt(), CarreauYasudaMelt(), CrossWlfMelt() })
            for (const double T : { 180.0, 210.0, 260.0 })
                for (const double g : { 1e-3, 0.7, 40.0, 3e3 }) {
                    const L reference = StressAt(m, g, T) / g;
                    EXPECT_LT(Relative(Viscosity(m, g, T), reference), 1e-13)
                        << ModelName(m.Model) << " " << T << " C " << g << " 1/s";
                    const double tau = static_cast<double>(StressAt(m, g, T));
                    EXPECT_LT(Relative(ReferenceShearRate(m, tau * 1.0),
                                  RateAt(m, tau, T) * std::exp(LogShiftFactor(m, T))),
                        1e-13);
                }
    }

    // The slit law over the whole range of wall stresses a die sees, from the plateau to deep
    // shear thinning, at two temperatures (the second through the shift factor).
    TEST(MeltLaws, ConstantSlitMatchesTheIndependentIntegral)
    {
        const SlitShape slit { 2.0, 0.12, 0.12, 3.0 };
        for (const Melt& melt : { CrossMelt(), CarreauYasudaMelt(), CrossWlfMelt() }) {
            MeltElementLaws laws(melt);
            for (const double T : { 210.0, 245.0 })
                for (double tau = 3; tau < 5e6; tau *= 4.7) {
                    const double drop =
                        tau / PascalPerGramForce * 2 * slit.Length / slit.StartHeight;
                    const ElementFlow f =
                        laws.ConstantSlitFlow(slit, drop, LogShiftFactor(melt, T), 0);
                    const L q = L(slit.Width) * slit.StartHeight * slit.StartHeight / 2
                        * PsiAt(melt, tau, T);
                    EXPECT_LT(Relative(f.Flow, q), 1e-10) << ModelName(melt.Model) << " " << tau;
                    // Back: the drop of that flow.
                    EXPECT_LT(Relative(laws.SlitDrop(slit, f.Flow, LogShiftFactor(melt, T)), drop),
                        1e-12);
                    const ElementFlow back =
                        laws.ConstantSlitFlow(slit, -drop, LogShiftFactor(melt, T), 0);
                    EXPECT_NEAR(back.Flow, -f.Flow, 1e-14 * f.Flow);
                }
        }
    }

    TEST(MeltLaws, TaperedSlitMatchesTheIndependentIntegral)
    {
        const std::vector<SlitShape> tapers { { 1.5, 0.3, 0.1, 2.0 }, { 1.5, 0.1, 0.1001, 1.0 },
            { 1.0, 0.05, 0.15, 4.0 } };
        for (const Melt& melt : { CrossMelt(), CrossWlfMelt() }) {
            MeltElementLaws laws(melt);
            for (const SlitShape& s : tapers)
                for (const double flow : { 1e-4, 0.05, 20.0 }) {
                    const double T = 230;
                    const L reference = TaperDrop(melt, s, flow, T);
                    double slope = 0;
                    const double drop = laws.SlitDrop(s, flow, LogShiftFactor(melt, T), &slope);
                    EXPECT_LT(Relative(drop, reference), 1e-10)
                        << ModelName(melt.Model) << " " << s.StartHeight << "->" << s.EndHeight
                        << " at " << flow;
                    const double up = laws.SlitDrop(s, flow * (1 + 1e-6), LogShiftFactor(melt, T));
                    EXPECT_NEAR(slope, (up - drop) / (flow * 1e-6), 1e-5 * slope);
                }
        }
    }

    // Numbers that are not numbers, or out of every range, reach no table and give no answer
    // that looks like one.
    TEST(MeltLaws, NonNumbersGiveNoFlow)
    {
        const FloatingPointFlagsKeeper keep;
        MeltElementLaws laws(CrossMelt());
        const SlitShape slit { 1.0, 0.1, 0.05, 2.0 };
        EXPECT_TRUE(std::isnan(laws.ConstantSlitFlow(slit, std::nan(""), 0, 0).Flow));
        EXPECT_TRUE(std::isnan(laws.SlitDrop(slit, 1.0, std::nan(""))));
        // Beyond the table the law goes on straight in log-log: still rising.
        EXPECT_GT(laws.SlitDrop(slit, 1e300, 0), laws.SlitDrop(slit, 1e10, 0));
        EXPECT_EQ(laws.SlitDrop(slit, 0, 0), 0);
        const ElementFlow huge = laws.SeriesFlow({ slit }, 1e300, 0, 1.0, 0);
        EXPECT_FALSE(std::isfinite(huge.Flow) && huge.Flow < 1e100);
        // And the table still answers as before.
        const double drop = laws.SlitDrop(slit, 0.3, 0);
        EXPECT_NEAR(laws.SeriesFlow({ slit }, drop, 0, 1.0, 0).Flow, 0.3, 1e-13);
        EXPECT_LT(laws.Function().Nodes(), 3000);
    }

    // A power-law melt through the general laws gives the power-law element values.
    TEST(MeltLaws, PowerLawMeltGivesThePowerLawElementValues)
    {
        for (const double n : { 0.35, 0.6, 1.0 }) {
            PrepareFloatingPoint();
            Inputs in = test::DesignFromTexts();
            in.PowerLawIndex = n;
            const test::Elements e = test::ElementsOf(in);
            MeltElementLaws laws(PowerLawMeltOf(in));
            for (int i = 1; i <= e.Geo.EffectiveIncrements; ++i) {
                // Flow at a drop of 1 gf/cm2 is the conductance.
                const ElementFlow channel =
                    laws.ConstantSlitFlow(ChannelSlitOf(e.Geo, i), 1.0, 0, 0);
                EXPECT_LT(Relative(channel.Flow, e.Laws.ChannelConductance[i]), 1e-12) << i;
                double drop = 0;
                for (const SlitShape& s : SlitChainOf(in, e.Geo, e.Laws.Paths, i))
                    drop += laws.SlitDrop(s, e.Laws.SlitConductance[i], 0);
                EXPECT_LT(std::fabs(drop - 1), 1e-12) << "slit " << i << " n " << n;
            }
        }
    }

} // namespace
} // namespace karrow
