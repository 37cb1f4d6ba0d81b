// Fitting a melt to measurements: the fit must give back the constants that made synthetic
// measurements (with a known, fixed noise), say how sure it is, and refuse data that cannot
// determine the law rather than return constants the data never saw.

#include "run/melt_fit.h"
#include "solver/melt.h"

#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace karrow {
namespace {

    // Log-normal noise of a given relative size from a Mersenne twister, whose sequence the
    // standard fixes, through Box-Muller, so that the data are the same with any library.
    class Noise {
    public:
        explicit Noise(double relative)
            : relative_(relative)
        {
        }
        double Factor()
        {
            const double u1 = (static_cast<double>(engine_()) + 0.5) / 4294967296.0;
            const double u2 = (static_cast<double>(engine_()) + 0.5) / 4294967296.0;
            const double normal = std::sqrt(-2 * std::log(u1)) * std::cos(6.283185307179586 * u2);
            return std::exp(relative_ * normal);
        }

    private:
        std::mt19937 engine_ { 20261209u };
        double relative_;
    };

    FitRequest Request(const std::string& model, const std::string& shift)
    {
        FitRequest request;
        request.Model = model;
        request.Shift = shift;
        return request;
    }

    Melt CrossArrhenius()
    {
        Melt m;
        m.Model = ViscosityModel::Cross;
        m.ZeroShearViscosity = 8000;
        m.CriticalStress = 30000;
        m.FlowIndex = 0.35;
        m.Shift = TemperatureShift::Arrhenius;
        m.ActivationEnergy = 45000;
        m.ReferenceTemperature = 200;
        return m;
    }

    Melt CarreauYasudaWlf()
    {
        Melt m;
        m.Model = ViscosityModel::CarreauYasuda;
        m.ZeroShearViscosity = 3000;
        m.TimeConstant = 0.05;
        m.YasudaExponent = 0.8;
        m.FlowIndex = 0.3;
        m.Shift = TemperatureShift::Wlf;
        m.C1 = 10;
        m.C2 = 180;
        m.ReferenceTemperature = 230;
        return m;
    }

    Melt CrossWlf()
    {
        Melt m;
        m.Model = ViscosityModel::CrossWlf;
        m.FlowIndex = 0.28;
        m.CriticalStress = 20000;
        m.D1 = 3e12;
        m.D2 = 100;
        m.A1 = 28;
        m.A2 = 51.6;
        return m;
    }

    // Measurements of `m` (by solver/melt.h's law, which the fit does not use) at `temperatures`,
    // at `perDecade` rates a decade from `lowRate` to `highRate`, each with the noise's factor.
    std::vector<Measurement> Measure(const Melt& m, const std::vector<double>& temperatures,
        double lowRate, double highRate, Noise noise, int perDecade = 3)
    {
        std::vector<Measurement> points;
        const int steps = static_cast<int>(std::lround(perDecade * std::log10(highRate / lowRate)));
        for (double t : temperatures)
            for (int i = 0; i <= steps; ++i) {
                const double rate = lowRate * std::pow(highRate / lowRate, double(i) / steps);
                points.push_back({ t, rate, Viscosity(m, rate, t) * noise.Factor() });
            }
        return points;
    }

    double ConstantOf(const Melt& m, const std::string& name)
    {
        for (const MeltConstant& c : AllMeltConstants())
            if (c.Name == name)
                return m.*c.Member;
        ADD_FAILURE() << "no constant " << name;
        return 0;
    }

    // Every fitted constant within `sigmas` of its standard errors and `share` of the true one.
    void ExpectRecovered(const MeltFit& fit, const Melt& truth, double share, double sigmas = 4)
    {
        ASSERT_TRUE(fit.Fitted) << fit.Problem;
        for (const FittedConstant& c : fit.Constants) {
            const double expected = ConstantOf(truth, c.Name);
            EXPECT_EQ(c.Value, ConstantOf(*fit.Fitted, c.Name)) << c.Name;
            if (!c.Fitted) {
                EXPECT_EQ(c.Value, expected) << c.Name << " is held";
                continue;
            }
            EXPECT_GT(c.StandardError, 0) << c.Name;
            EXPECT_NEAR(c.Value, expected, sigmas * c.StandardError) << c.Name;
            EXPECT_NEAR(c.Value, expected, share * std::abs(expected)) << c.Name;
        }
    }

    TEST(MeltFit, RecoversCrossWithArrheniusFromNoisyMeasurements)
    {
        const Melt truth = CrossArrhenius();
        const auto points = Measure(truth, { 180, 200, 220 }, 0.1, 3000, Noise(0.02));
        const MeltFit fit = FitMelt(points, Request("cross", "arrhenius"), "synthetic.csv");
        ExpectRecovered(fit, truth, 0.05);
        // The misfit is the noise that was put in, neither hidden nor added to.
        EXPECT_NEAR(fit.RmsLogResidual, 0.02, 0.006);
        EXPECT_EQ(fit.Points, static_cast<int>(points.size()));
    }

    TEST(MeltFit, RecoversCarreauYasudaWithWlf)
    {
        const Melt truth = CarreauYasudaWlf();
        const auto points = Measure(truth, { 210, 230, 250, 270 }, 0.1, 10000, Noise(0.01), 4);
        const MeltFit fit = FitMelt(points, Request("carreau-yasuda", "wlf"), "synthetic.csv");
        ExpectRecovered(fit, truth, 0.15);
        EXPECT_NEAR(fit.RmsLogResidual, 0.01, 0.004);
    }

    TEST(MeltFit, RecoversCrossWlfWithD2AndA2Held)
    {
        const Melt truth = CrossWlf();
        FitRequest request = Request("cross-wlf", "none");
        request.D2 = 100;
        const auto points = Measure(truth, { 200, 230, 260 }, 1, 10000, Noise(0.02));
        const MeltFit fit = FitMelt(points, request, "synthetic.csv");
        ExpectRecovered(fit, truth, 0.08);
    }

    TEST(MeltFit, ExactMeasurementsGiveTheConstantsToManyDigits)
    {
        const Melt truth = CrossArrhenius();
        const auto points = Measure(truth, { 180, 200, 220 }, 0.1, 3000, Noise(0));
        const MeltFit fit = FitMelt(points, Request("cross", "arrhenius"), "exact.csv");
        ExpectRecovered(fit, truth, 1e-7, 1e300);
        EXPECT_LT(fit.RmsLogResidual, 1e-9);
    }

    // Each refusal names the file and what is missing.
    TEST(MeltFit, RefusesDataThatCannotDetermineTheLaw)
    {
        const Melt cross = CrossArrhenius();
        const auto expectRefusal = [](const MeltFit& fit, const std::string& words) {
            EXPECT_FALSE(fit.Fitted);
            EXPECT_NE(fit.Problem.find("\"lab.csv\""), std::string::npos) << fit.Problem;
            EXPECT_NE(fit.Problem.find(words), std::string::npos) << fit.Problem;
        };
        const auto oneTemperature = Measure(cross, { 200 }, 0.1, 3000, Noise(0));
        expectRefusal(FitMelt(oneTemperature, Request("cross", "arrhenius"), "lab.csv"),
            "2 temperatures at least; there are 1 (200 °C)");
        const auto twoTemperatures = Measure(cross, { 190, 210 }, 0.1, 3000, Noise(0));
        expectRefusal(FitMelt(twoTemperatures, Request("cross", "wlf"), "lab.csv"),
            "3 temperatures at least; there are 2");
        const auto twoRates = Measure(cross, { 180, 200, 220 }, 10, 100, Noise(0), 1);
        expectRefusal(FitMelt(twoRates, Request("cross", "arrhenius"), "lab.csv"),
            "needs 3 shear rates at one temperature at least; the most at one temperature are 2");
        const std::vector<Measurement> few(oneTemperature.begin(), oneTemperature.begin() + 3);
        expectRefusal(FitMelt(few, Request("cross", "arrhenius"), "lab.csv"),
            "3 measurements cannot determine the 4 constants");
        expectRefusal(FitMelt(twoTemperatures, Request("cross-wlf", "none"), "lab.csv"), "needs D2");
        expectRefusal(FitMelt(twoTemperatures, Request("power", "arrhenius"), "lab.csv"), "no law");
        // Only the Newtonian plateau: nothing there tells where thinning starts or how steep it is.
        const auto plateau = Measure(cross, { 180, 200, 220 }, 1e-6, 1e-4, Noise(0.02), 2);
        expectRefusal(FitMelt(plateau, Request("cross", "arrhenius"), "lab.csv"), "cannot determine");
    }

    TEST(Measurements, ReadsHeaderCommentsAndBlankLines)
    {
        const auto reading = ParseMeasurements(
            "T_C, rate_1/s, eta_Pa.s\r\n# lot 7\n\n200, 10, 1500\n200,100,600.5\n", "lab.csv");
        ASSERT_EQ(reading.Problem, "");
        ASSERT_EQ(reading.Points.size(), 2u);
        EXPECT_EQ(reading.Points[1].Temperature, 200);
        EXPECT_EQ(reading.Points[1].ShearRate, 100);
        EXPECT_EQ(reading.Points[1].Viscosity, 600.5);
    }

    TEST(Measurements, RefusalsNameTheFileLineAndColumn)
    {
        const std::pair<const char*, const char*> cases[] = {
            { "200,10,1500\n200,abc,600\n", "\"lab.csv\" line 2: the shear rate \"abc\" is not a "
                                            "positive number" },
            { "200,10,-5\n", "\"lab.csv\" line 1: the viscosity \"-5\" is not a positive number" },
            { "-300,10,5\n", "line 1: the temperature \"-300\" is not a temperature in °C" },
            { "200,10\n", "line 1: expected 3 columns" },
            { "200,10,5,\n", "found 4" },
            { "200,10,nan\n", "the viscosity \"nan\"" },
            { "T,rate,eta\n", "\"lab.csv\" holds no measurements" },
        };
        for (const auto& [csv, message] : cases) {
            const auto reading = ParseMeasurements(csv, "lab.csv");
            EXPECT_TRUE(reading.Points.empty() || !reading.Problem.empty());
            EXPECT_NE(reading.Problem.find(message), std::string::npos)
                << csv << " -> " << reading.Problem;
        }
    }

} // namespace
} // namespace karrow
