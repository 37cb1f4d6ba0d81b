// Time of the exact network solution of the window's defaults, beside the classic iteration's
// DefaultCalculation in the same run: the element values are worked out once, outside the loop.

#include "run/network_resolution.h"
#include "solver/network.h"
#include "tests/core/design_generator.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <stdexcept>

namespace {

void NetworkSolve(benchmark::State& state)
{
    const karrow::NetworkElements elements =
        karrow::test::NetworkOf(karrow::test::DesignFromTexts()).value();
    for (auto _ : state) {
        const karrow::NetworkSolution solution = karrow::SolveNetwork(elements);
        if (!solution.Converged)
            throw std::logic_error("the network of the defaults no longer converges");
        benchmark::DoNotOptimize(solution.InletPressure);
        state.counters["newton steps"] = solution.Iterations;
    }
}
BENCHMARK(NetworkSolve)->Unit(benchmark::kMicrosecond);

// The resolution study of the defaults to 0.1 % on the outlet CV (percentage points; the other
// figures left free): target at most 50 times NetworkSolve, in the same run.
void NetworkResolutionStudy(benchmark::State& state)
{
    const karrow::Inputs in = karrow::test::DesignFromTexts();
    karrow::NetworkOptions options;
    options.Study = true;
    options.CvTolerance = 0.1;
    options.SpreadTolerance = HUGE_VAL;
    options.HeadTolerance = HUGE_VAL;
    for (auto _ : state) {
        const karrow::ResolutionStudy study = karrow::StudyResolution(in, options);
        if (!study.Converged)
            throw std::logic_error("the study of the defaults no longer converges");
        benchmark::DoNotOptimize(study.Cv.Value);
        state.counters["levels"] = static_cast<double>(study.Levels.size());
    }
}
BENCHMARK(NetworkResolutionStudy)->Unit(benchmark::kMicrosecond);

} // namespace
