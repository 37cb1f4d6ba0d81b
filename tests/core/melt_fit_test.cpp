// Fitting a melt to measurements: the fit must give back the constants that made synthetic
// measurements (with a known, fixed noise), say how sure it is, and refuse data that cannot
// determine the law rather than return constants the data never saw.

#include "run/melt_fit.h"

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

    MaterialGrade CrossArrhenius()
    {
        MaterialGrade g;
        g.Model = "cross";
        g.Constants = { { "eta0", 8000 }, { "tau_star", 30000 }, { "n", 0.35 } };
        g.Shift = "arrhenius";
        g.ShiftConstants = { { "activation_energy", 45000 }, { "reference_temperature", 200 } };
        return g;
    }

    MaterialGrade CarreauYasudaWlf()
    {
        MaterialGrade g;
        g.Model = "carreau-yasuda";
        g.Constants = { { "eta0", 3000 }, { "eta_inf", 0 }, { "lambda", 0.05 }, { "a", 0.8 },
            { "n", 0.3 } };
        g.Shift = "wlf";
        g.ShiftConstants = { { "C1", 4.5 }, { "C2", 180 }, { "reference_temperature", 230 } };
        return g;
    }

    MaterialGrade CrossWlf()
    {
        MaterialGrade g;
        g.Model = "cross-wlf";
        g.Constants = { { "n", 0.28 }, { "tau_star", 20000 }, { "D1", 3e12 }, { "D2", 100 },
            { "D3", 0 }, { "A1", 28 }, { "A2", 51.6 } };
        g.Shift = "none";
        return g;
    }

    // Measurements of `g` at `temperatures`, at `perDecade` rates a decade from `lowRate` to
    // `highRate`, each with the noise's factor.
    std::vector<Measurement> Measure(const MaterialGrade& g, const std::vector<double>& temperatures,
        double lowRate, double highRate, Noise noise, int perDecade = 3)
    {
        std::vector<Measurement> points;
        const int steps = static_cast<int>(std::lround(perDecade * std::log10(highRate / lowRate)));
        for (double t : temperatures)
            for (int i = 0; i <= steps; ++i) {
                const double rate = lowRate * std::pow(highRate / lowRate, double(i) / steps);
                points.push_back({ t, rate, *GradeViscosity(g, t, rate) * noise.Factor() });
            }
        return points;
    }

    // Every fitted constant within `sigmas` of its standard errors and `share` of the true one.
    void ExpectRecovered(const MeltFit& fit, const MaterialGrade& truth, double share,
        double sigmas = 4)
    {
        ASSERT_TRUE(fit.Grade) << fit.Problem;
        for (const FittedConstant& c : fit.Constants) {
            const double expected = (c.Section == "viscosity" ? truth.Constants
                                                              : truth.ShiftConstants)
                                        .at(c.Name);
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
        const MaterialGrade truth = CrossArrhenius();
        const auto points = Measure(truth, { 180, 200, 220 }, 0.1, 3000, Noise(0.02));
        const MeltFit fit = FitMelt(points, Request("cross", "arrhenius"), "synthetic.csv");
        ExpectRecovered(fit, truth, 0.05);
        // The misfit is the noise that was put in, neither hidden nor added to.
        EXPECT_NEAR(fit.RmsLogResidual, 0.02, 0.006);
        EXPECT_EQ(fit.Points, static_cast<int>(points.size()));
    }

    TEST(MeltFit, RecoversCarreauYasudaWithWlf)
    {
        const MaterialGrade truth = CarreauYasudaWlf();
        const auto points = Measure(truth, { 210, 230, 250, 270 }, 0.1, 10000, Noise(0.01), 4);
        const MeltFit fit = FitMelt(points, Request("carreau-yasuda", "wlf"), "synthetic.csv");
        ExpectRecovered(fit, truth, 0.15);
        EXPECT_NEAR(fit.RmsLogResidual, 0.01, 0.004);
    }

    TEST(MeltFit, RecoversCrossWlfWithD2AndA2Held)
    {
        const MaterialGrade truth = CrossWlf();
        FitRequest request = Request("cross-wlf", "none");
        request.D2 = 100;
        const auto points = Measure(truth, { 200, 230, 260 }, 1, 10000, Noise(0.02));
        const MeltFit fit = FitMelt(points, request, "synthetic.csv");
        ExpectRecovered(fit, truth, 0.08);
    }

    TEST(MeltFit, ExactMeasurementsGiveTheConstantsToManyDigits)
    {
        const MaterialGrade truth = CrossArrhenius();
        const auto points = Measure(truth, { 180, 200, 220 }, 0.1, 3000, Noise(0));
        const MeltFit fit = FitMelt(points, Request("cross", "arrhenius"), "exact.csv");
        ExpectRecovered(fit, truth, 1e-7, 1e300);
        EXPECT_LT(fit.RmsLogResidual, 1e-9);
    }

    // Each refusal names the file and what is missing.
    TEST(MeltFit, RefusesDataThatCannotDetermineTheLaw)
    {
        const MaterialGrade cross = CrossArrhenius();
        const auto expectRefusal = [](const MeltFit& fit, const std::string& words) {
            EXPECT_FALSE(fit.Grade);
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
