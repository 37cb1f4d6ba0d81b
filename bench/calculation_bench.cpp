// Time of whole calculations, from the field texts to the report text, without file output, and
// the floor that the powers of a calculation set: DefaultCalculation / PowerFloor tells how much
// of a calculation is spent outside the powers it must compute.

#include "report/result_file.h"
#include "run/fields.h"
#include "run/run_driver.h"
#include "solver/extended.h"
#include "solver/flow_relations.h"

#include "bench_interface.h"

#include <array>
#include <benchmark/benchmark.h>
#include <cmath>
#include <stdexcept>
#include <utility>
#include <vector>

namespace {

using karrow::bench::BenchInterface;

karrow::Solution Solve(const BenchInterface& ui)
{
    karrow::PrepareFloatingPoint();
    const karrow::CheckedInputs in = karrow::ReadCheckedInputs(ui, '.');
    if (!in.Values)
        throw std::logic_error("the benchmark case is refused: " + in.Message);
    return karrow::Calculate(*in.Values);
}

void CalculateCase(benchmark::State& state, const std::vector<std::pair<karrow::Field, const char*>>& changes,
    bool expectConverged)
{
    const BenchInterface ui(changes);
    for (auto _ : state) {
        const karrow::Solution s = Solve(ui);
        const bool converged = s.Flow.Record.Stop != karrow::IterationStop::StepLimit;
        if (converged != expectConverged)
            throw std::logic_error("the benchmark case changed its outcome");
        if (converged)
            benchmark::DoNotOptimize(karrow::FlowTableText(s, '.'));
        state.counters["steps"] = s.Flow.Record.BalanceSteps;
    }
}

// The window's defaults: 34 effective increments, 1491 flow-balance steps, 10 corrections.
void DefaultCalculation(benchmark::State& state)
{
    CalculateCase(state, {}, true);
}
BENCHMARK(DefaultCalculation)->Unit(benchmark::kMillisecond);

// The powers one default calculation must compute, each an extended Exp(n Ln q) as the drops
// take it, on the flows and resistances of its solution: per flow-balance step the M channel
// drops, the m outlet slit drops and the M driven slit flows; per correction pass 3m - 1; the
// final profile once more; the element laws and first estimates about 8 per increment.
template <typename Drop>
void PowersOfOneCalculation(benchmark::State& state, Drop drop)
{
    const karrow::Solution s = Solve(BenchInterface({}));
    const int last = s.Geo.EffectiveIncrements;
    const int m = s.Geo.PitchIncrements;
    long long powers = static_cast<long long>(s.Flow.Record.BalanceSteps) * (2 * last + m)
        + (last + m) + 8LL * last;
    for (const karrow::CorrectionRecord& correction : s.Flow.Record.Corrections)
        powers += static_cast<long long>(correction.Passes) * (3 * m - 1);
    const karrow::Extended n = s.In.PowerLawIndex;
    for (auto _ : state) {
        karrow::Extended sum = 0;
        for (long long k = 0; k < powers; ++k) {
            const int i = static_cast<int>(k % (last - 1)) + 1;
            sum += drop(
                s.Flow.Laws.ChannelResistance[i + 1], s.Flow.Distribution.ChannelFlow(i), n);
        }
        benchmark::DoNotOptimize(sum);
    }
    state.counters["powers"] = static_cast<double>(powers);
}

// With the calculation's correctly rounded Exp and Ln.
void PowerFloor(benchmark::State& state)
{
    PowersOfOneCalculation(state, karrow::DropFromFlow);
}
BENCHMARK(PowerFloor)->Unit(benchmark::kMillisecond);

// The same powers through libm's expl and logl, as the calculation took them before.
void PowerFloorLibm(benchmark::State& state)
{
    PowersOfOneCalculation(state, [](karrow::Extended resistance, karrow::Extended flow,
                                      karrow::Extended n) {
        return resistance * std::exp(n * std::log(flow));
    });
}
BENCHMARK(PowerFloorLibm)->Unit(benchmark::kMillisecond);

// Three channels and a narrow outlet slit: 38 increments, 2307 flow-balance steps.
void ManyBalanceSteps(benchmark::State& state)
{
    CalculateCase(state, { { karrow::Field::NumberOfChannels, "3" }, { karrow::Field::OutletSlitHeight, "0.1" } }, true);
}
BENCHMARK(ManyBalanceSteps)->Unit(benchmark::kMillisecond);

// A case that never balances: the run goes to the step limit of 10000 and fails.
void StepLimit(benchmark::State& state)
{
    CalculateCase(state, { { karrow::Field::NumberOfChannels, "5" }, { karrow::Field::ChannelWidth, "0.6" }, { karrow::Field::SpiralHeight, "6" } }, false);
}
BENCHMARK(StepLimit)->Unit(benchmark::kMillisecond);

} // namespace
