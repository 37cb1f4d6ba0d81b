// A single run as karrow-cli makes it, with its repeatability check and the exact answer started
// beside the calculation: DefaultRunWithChecks / DefaultCalculation is what the checks cost a user
// on this machine. The Probe cases take a design that does not repeat to its last digit, where the
// check widens to its whole probe. Their CPU column counts every thread of the process: the work
// a run with its checks costs, whatever the load of the machine.

#include "run/assessment.h"
#include "run/fields.h"
#include "run/run_driver.h"
#include "solver/extended.h"

#include "bench_interface.h"

#include <array>
#include <benchmark/benchmark.h>
#include <stdexcept>
#include <utility>
#include <vector>

namespace {

using karrow::bench::BenchInterface;

// Stops at its tenth pressure correction while the outlet flows still move.
const std::vector<std::pair<karrow::Field, const char*>> NotRepeatable { { karrow::Field::FlowRatePerChannel, "2.0" }, { karrow::Field::PowerLawIndex, "0.30" } };

void RunWithChecks(benchmark::State& state, const std::vector<std::pair<karrow::Field, const char*>>& changes,
    bool expectRepeatable)
{
    const BenchInterface ui(changes);
    for (auto _ : state) {
        karrow::PrepareFloatingPoint();
        const karrow::CheckedInputs in = karrow::ReadCheckedInputs(ui, '.');
        if (!in.Values)
            throw std::logic_error("the benchmark case is refused: " + in.Message);
        karrow::StartedChecks started(*in.Values, karrow::SolverChoice::Both, {});
        karrow::RunOutcome outcome;
        outcome.In = in.Values;
        outcome.Result = karrow::Calculate(*in.Values);
        outcome.End = karrow::RunEnd::Finished;
        const karrow::Assessment answers =
            karrow::Assess(outcome, karrow::SolverChoice::Both, {}, {}, &started);
        if (!answers.Repeatability || answers.Repeatability->Repeatable != expectRepeatable
            || !answers.Exact || !answers.Exact->Figures)
            throw std::logic_error("the benchmark case changed its outcome");
        benchmark::DoNotOptimize(answers);
    }
}

void CalculationOnly(benchmark::State& state, const std::vector<std::pair<karrow::Field, const char*>>& changes)
{
    const BenchInterface ui(changes);
    for (auto _ : state) {
        karrow::PrepareFloatingPoint();
        const karrow::CheckedInputs in = karrow::ReadCheckedInputs(ui, '.');
        benchmark::DoNotOptimize(karrow::Calculate(*in.Values));
    }
}

// The window's defaults, which repeat to the last digit: the +-1 ulp neighbours and the exact
// answer run beside the calculation.
void DefaultRunWithChecks(benchmark::State& state)
{
    RunWithChecks(state, {}, true);
}
BENCHMARK(DefaultRunWithChecks)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

void ProbeCalculation(benchmark::State& state)
{
    CalculationOnly(state, NotRepeatable);
}
BENCHMARK(ProbeCalculation)->Unit(benchmark::kMillisecond);

// The same with the whole probe: 14 neighbours out to 64 ulp either side, on all cores.
void ProbeRunWithChecks(benchmark::State& state)
{
    RunWithChecks(state, NotRepeatable, false);
}
BENCHMARK(ProbeRunWithChecks)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

} // namespace
