// Studies over many designs: the same 200 designs on one and on two threads (the ratio of the
// two real times is what parallel designs buy), and 2,000 designs solved by the exact network
// alone, the fast path of a study.

#include "run/fields.h"
#include "run/sweep.h"

#include <benchmark/benchmark.h>

namespace {

std::vector<std::array<std::string, 15>> Grid(int widths, int heights)
{
    std::array<std::string, 15> fixed;
    for (int field = 1; field <= karrow::SaveFileNameField; ++field)
        fixed[static_cast<std::size_t>(field - 1)] = karrow::DefaultFieldText(field, '.');
    return karrow::GridOf(fixed,
        { { 13, 0.8, 1.3, widths }, { 2, 10.0, 16.0, heights } }, '.');
}

void Sweep(benchmark::State& state, karrow::SolverChoice solver, int widths, int heights)
{
    const auto designs = Grid(widths, heights);
    const int jobs = static_cast<int>(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(karrow::RunSweep(designs, solver, {}, '.', jobs, nullptr));
    state.counters["designs"] = static_cast<double>(designs.size());
}

void Sweep200(benchmark::State& state)
{
    Sweep(state, karrow::SolverChoice::Both, 20, 10);
}
BENCHMARK(Sweep200)->Arg(1)->Arg(2)->ArgName("jobs")->UseRealTime()->Iterations(1)->Unit(
    benchmark::kSecond);

void NetworkSweep2000(benchmark::State& state)
{
    Sweep(state, karrow::SolverChoice::Network, 50, 40);
}
BENCHMARK(NetworkSweep2000)->Arg(1)->ArgName("jobs")->UseRealTime()->Iterations(3)->Unit(
    benchmark::kMillisecond);

} // namespace
