// Time of the exact network solution of the window's defaults, beside the classic iteration's
// DefaultCalculation in the same run: the element values are worked out once, outside the loop.

#include "solver/network.h"
#include "tests/core/design_generator.h"

#include <benchmark/benchmark.h>
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

} // namespace
