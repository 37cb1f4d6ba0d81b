// Time of the exact network solution of the window's defaults, beside the classic iteration's
// DefaultCalculation in the same run: the element values are worked out once, outside the loop.

#include "run/melt_run.h"
#include "run/network_resolution.h"
#include "solver/melt_network.h"
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

// The defaults with a Cross melt of about the power law's viscosity (at 100 1/s: 11 gf.sec/cm2,
// n 0.69 there), the geometry and paths worked out once: targets at most 20 times NetworkSolve
// isothermal and 100 times heated by its own flow, in the same run.
karrow::Melt BenchCross()
{
    karrow::Melt melt;
    melt.Model = karrow::ViscosityModel::Cross;
    melt.ZeroShearViscosity = 2600;
    melt.FlowIndex = 0.45;
    melt.CriticalStress = 60000;
    melt.Shift = karrow::TemperatureShift::Arrhenius;
    melt.ActivationEnergy = 45000;
    melt.ReferenceTemperature = 200;
    melt.Density = 760;
    melt.HeatCapacity = 2600;
    return melt;
}

void SolveWithMelt(benchmark::State& state, karrow::ThermalMode mode)
{
    const karrow::test::Elements e = karrow::test::ElementsOf(karrow::test::DesignFromTexts());
    karrow::MeltConditions conditions;
    conditions.MeltTemperature = 200;
    conditions.Thermal = mode;
    for (auto _ : state) {
        const karrow::MeltNetworkSolution solution =
            karrow::SolveMeltNetwork(e.In, e.Geo, e.Laws, BenchCross(), conditions);
        if (!solution.Network.Converged)
            throw std::logic_error("the defaults with a Cross melt no longer converge");
        benchmark::DoNotOptimize(solution.Network.InletPressure);
        state.counters["newton steps"] = solution.Network.Iterations;
        state.counters["outer steps"] = solution.ThermalIterations;
    }
}

void NetworkSolveCross(benchmark::State& state)
{
    SolveWithMelt(state, karrow::ThermalMode::Isothermal);
}
BENCHMARK(NetworkSolveCross)->Unit(benchmark::kMicrosecond);

void NetworkSolveHeated(benchmark::State& state)
{
    SolveWithMelt(state, karrow::ThermalMode::Heated);
}
BENCHMARK(NetworkSolveHeated)->Unit(benchmark::kMicrosecond);

// 2,000 designs (50 channel widths from 0.8 to 1.3 cm by 40 spiral heights from 10 to 16 cm, the
// grid of NetworkSweep2000) solved with the Cross melt, isothermal, on one thread: each design's
// geometry, element laws and network, and its melt document. Target: under 10 s.
void NetworkSweepCross2000(benchmark::State& state)
{
    karrow::Inputs in = karrow::test::DesignFromTexts();
    karrow::MeltConditions conditions;
    conditions.MeltTemperature = 200;
    const karrow::Melt melt = BenchCross();
    int converged = 0;
    for (auto _ : state) {
        converged = 0;
        for (int w = 0; w < 50; ++w)
            for (int h = 0; h < 40; ++h) {
                in.ChannelWidth = 0.8 + 0.5 * w / 49;
                in.SpiralHeight = 10.0 + 6.0 * h / 39;
                const karrow::MeltRun run = karrow::SolveMeltRun(in, melt, conditions);
                converged += run.Solved && run.Answer.Network.Converged ? 1 : 0;
                benchmark::DoNotOptimize(karrow::MeltRunJson(melt, conditions, run).size());
            }
    }
    state.counters["designs"] = 2000;
    state.counters["converged"] = converged;
}
BENCHMARK(NetworkSweepCross2000)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace
