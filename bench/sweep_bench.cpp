// Studies over many designs: the same 200 designs on one and on two threads (the ratio of the
// two real times is what parallel designs buy), and 2,000 designs solved by the exact network
// alone, the fast path of a study, with their CSV rows and JSON documents streamed through the
// reorder window as karrow-cli writes them. The peak resident memory of the process is shown
// beside, to be read against the size of what was streamed: it must not grow with the grid.

#include "cli/exit_status.h"
#include "run/fields.h"
#include "run/run_json.h"
#include "run/sweep.h"

#include <benchmark/benchmark.h>
#include <sys/resource.h>

namespace {

karrow::StudyGrid Grid(std::int64_t widths, std::int64_t heights)
{
    const karrow::FieldTexts fixed = karrow::DefaultFieldTexts('.');
    return { fixed,
        { { karrow::Field::ChannelWidth, 0.8, 1.3, widths },
            { karrow::Field::SpiralHeight, 10.0, 16.0, heights } },
        '.' };
}

double PeakResidentMegabytes()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void Sweep(benchmark::State& state, karrow::SolverChoice solver, std::int64_t widths,
    std::int64_t heights, bool documents)
{
    const karrow::StudyGrid grid = Grid(widths, heights);
    double streamed = 0;
    karrow::SweepSettings settings { solver, {}, static_cast<int>(state.range(0)),
        [&](const karrow::SweptDesign& design) {
            const karrow::RunRecord& record = design.Record;
            const int status = karrow::ExitStatusOf(record.End);
            return karrow::SweepRow { karrow::SweepCsvRow(record, status),
                documents ? karrow::RunJson(record, status) + "\n" : "" };
        },
        [&](std::vector<karrow::SweepRow>& rows) {
            for (const karrow::SweepRow& row : rows)
                streamed += static_cast<double>(row.Csv.size() + row.Json.size());
            return true;
        },
        nullptr, {} };
    for (auto _ : state)
        benchmark::DoNotOptimize(karrow::RunSweep(grid, { 0, grid.Size() }, settings));
    state.counters["designs"] = static_cast<double>(grid.Size());
    state.counters["streamed_MB"] = streamed / state.iterations() / 1e6;
    state.counters["peak_rss_MB"] = PeakResidentMegabytes();
}

void Sweep200(benchmark::State& state)
{
    Sweep(state, karrow::SolverChoice::Both, 20, 10, false);
}
BENCHMARK(Sweep200)->Arg(1)->Arg(2)->ArgName("jobs")->UseRealTime()->Iterations(1)->Unit(
    benchmark::kSecond);

void NetworkSweep2000(benchmark::State& state)
{
    Sweep(state, karrow::SolverChoice::Network, 50, 40, true);
}
BENCHMARK(NetworkSweep2000)
    ->Arg(1)
    ->ArgName("jobs")
    ->UseRealTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

} // namespace
