// The design search on the default design with the four ends of the slit and depth profiles free
// and the head pressure held to the default's own: on one and on two threads (targets: 2 s on
// one, at most 0.6 times that on two), and one design's evaluation, whose rate is read beside
// NetworkSolve of the same run (the network alone, without the figures and limits). Beside it the
// model-limit check alone, and the evaluation computed as it once was, the check and the exact
// answer each working out the geometry: what taking the check's geometry saves, in one run.

#include "../tests/core/design_generator.h"
#include "run/assessment.h"
#include "run/model_limits.h"
#include "run/optimise.h"
#include "solver/extended.h"

#include <benchmark/benchmark.h>
#include <ctime>

namespace {

// CPU seconds of the whole process, every thread's: the work a search does, which a loaded
// machine does not stretch as it stretches the real time.
double ProcessSeconds()
{
    timespec t {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

karrow::OptimiseSettings Default4(int jobs)
{
    const karrow::Inputs defaults = karrow::test::DesignFromTexts();
    karrow::OptimiseSettings s;
    s.Bounds = { { karrow::DesignVariable::InletSlitHeight, 0, 0.05 },
        { karrow::DesignVariable::OutletSlitHeight, 0.05, 0.3 },
        { karrow::DesignVariable::InletChannelDepth, 0.5, 1.6 },
        { karrow::DesignVariable::OutletChannelDepth, 0.05, 0.5 } };
    s.Evaluation.Limits.HeadPressure =
        karrow::EvaluateDesign(defaults, {}).Figures.value().Head.GfCm2;
    s.Jobs = jobs;
    return s;
}

void OptimiseDefault4(benchmark::State& state)
{
    const karrow::Inputs defaults = karrow::test::DesignFromTexts();
    const karrow::OptimiseSettings settings = Default4(static_cast<int>(state.range(0)));
    double work = 0;
    for (auto _ : state) {
        const double before = ProcessSeconds();
        const karrow::OptimisationResult r = karrow::OptimiseDesign(defaults, settings);
        work += ProcessSeconds() - before;
        if (!r.Feasible)
            throw std::logic_error("the default design's search found no feasible design");
        benchmark::DoNotOptimize(r.Best->Evaluation.Objective);
        state.counters["evaluations"] = static_cast<double>(r.Evaluations);
        state.counters["designs/s"] = benchmark::Counter(
            static_cast<double>(r.Evaluations), benchmark::Counter::kIsIterationInvariantRate);
    }
    state.counters["cpu s, all threads"] = work / static_cast<double>(state.iterations());
}
BENCHMARK(OptimiseDefault4)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void EvaluateDefaultDesign(benchmark::State& state)
{
    const karrow::Inputs defaults = karrow::test::DesignFromTexts();
    const karrow::OptimiseSettings settings = Default4(1);
    for (auto _ : state) {
        const karrow::DesignEvaluation e = karrow::EvaluateDesign(defaults, settings.Evaluation);
        benchmark::DoNotOptimize(e.Objective);
    }
    state.counters["designs/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(EvaluateDefaultDesign)->Unit(benchmark::kMicrosecond);

void ModelLimitCheck(benchmark::State& state)
{
    const karrow::Inputs defaults = karrow::test::DesignFromTexts();
    for (auto _ : state) {
        karrow::PrepareFloatingPoint();
        const auto problem = karrow::CheckModelLimits(defaults);
        benchmark::DoNotOptimize(problem);
    }
}
BENCHMARK(ModelLimitCheck)->Unit(benchmark::kMicrosecond);

void EvaluateDefaultDesignGeometryTwice(benchmark::State& state)
{
    const karrow::Inputs defaults = karrow::test::DesignFromTexts();
    for (auto _ : state) {
        karrow::PrepareFloatingPoint();
        const auto problem = karrow::CheckModelLimits(defaults);
        const karrow::ExactAnswer answer = karrow::SolveExactly(defaults, {}, {});
        benchmark::DoNotOptimize(problem);
        benchmark::DoNotOptimize(answer.Figures->Outlet.CvPercent);
    }
}
BENCHMARK(EvaluateDefaultDesignGeometryTwice)->Unit(benchmark::kMicrosecond);

} // namespace
