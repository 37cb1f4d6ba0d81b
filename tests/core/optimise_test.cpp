// The design search against brute force, its determinism, and how it ends when no design fits.

#include "design_generator.h"
#include "run/input_reading.h"
#include "run/optimise.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace karrow {

namespace {

    const Inputs Defaults = test::DesignFromTexts();

    // The four ends of the slit and depth profiles, over the ranges a designer tries them in.
    const std::vector<VariableBounds> ProfileEnds {
        { DesignVariable::InletSlitHeight, 0, 0.05 },
        { DesignVariable::OutletSlitHeight, 0.05, 0.3 },
        { DesignVariable::InletChannelDepth, 0.5, 1.6 },
        { DesignVariable::OutletChannelDepth, 0.05, 0.5 },
    };

    double DefaultHeadPressure()
    {
        return EvaluateDesign(Defaults, {}).Figures.value().Head.GfCm2;
    }

    OptimiseSettings HeadLimited(std::vector<VariableBounds> bounds, int jobs = 2)
    {
        OptimiseSettings s;
        s.Bounds = std::move(bounds);
        s.Evaluation.Limits.HeadPressure = DefaultHeadPressure();
        s.Jobs = jobs;
        return s;
    }

    // The best feasible objective of a grid of `steps` values per variable over the bounds.
    double BestOfGrid(const OptimiseSettings& s, int steps)
    {
        const std::size_t n = s.Bounds.size();
        std::size_t total = 1;
        for (std::size_t k = 0; k < n; ++k)
            total *= static_cast<std::size_t>(steps);
        double best = HUGE_VAL;
        for (std::size_t index = 0; index < total; ++index) {
            DesignPoint x(n);
            std::size_t rest = index;
            for (std::size_t k = 0; k < n; ++k) {
                const auto i = static_cast<double>(rest % static_cast<std::size_t>(steps));
                rest /= static_cast<std::size_t>(steps);
                const VariableBounds& b = s.Bounds[k];
                x[k] = b.Low + (b.High - b.Low) * i / (steps - 1);
            }
            const DesignEvaluation e
                = EvaluateDesign(ApplyDesign(Defaults, s.Bounds, x), s.Evaluation);
            if (e.Feasible)
                best = std::min(best, e.Objective);
        }
        return best;
    }

    TEST(OptimiseAgainstBruteForce, TwoVariablesComeWithinHalfAPercentOfAFineGrid)
    {
        const OptimiseSettings s = HeadLimited({ ProfileEnds[0], ProfileEnds[3] });
        const OptimisationResult r = OptimiseDesign(Defaults, s);
        ASSERT_TRUE(r.Feasible);
        const double grid = BestOfGrid(s, 100);
        EXPECT_GE(grid, r.Best->Evaluation.Objective * (1 - 0.005))
            << "grid " << grid << " optimiser " << r.Best->Evaluation.Objective;
    }

    TEST(OptimiseAgainstBruteForce, FourProfileEndsUnderTheDefaultHeadPressureBeatEveryGridPoint)
    {
        const OptimiseSettings s = HeadLimited(ProfileEnds);
        const OptimisationResult r = OptimiseDesign(Defaults, s);
        ASSERT_TRUE(r.Feasible);
        const DesignFigures& best = *r.Best->Evaluation.Figures;
        EXPECT_LE(best.Head.GfCm2, *s.Evaluation.Limits.HeadPressure);
        const double grid = BestOfGrid(s, 7);
        std::printf("grid %.12f opt %.12f limit %.3f\n", grid, r.Best->Evaluation.Objective, *s.Evaluation.Limits.HeadPressure);
        EXPECT_LE(r.Best->Evaluation.Objective, grid);
        const double defaultCv = EvaluateDesign(Defaults, {}).Objective;
        EXPECT_LT(r.Best->Evaluation.Objective, defaultCv / 2);
        std::printf("optimum CV %.4f (default %.4f), head %.1f, %llu evaluations, %.2f s\n",
            r.Best->Evaluation.Objective, defaultCv, best.Head.GfCm2,
            static_cast<unsigned long long>(r.Evaluations), r.Seconds);
        for (double v : r.Best->Point)
            std::printf("  %.12f\n", v);
    }

} // namespace

} // namespace karrow
