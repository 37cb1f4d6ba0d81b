// Time of whole calculations, from the field texts to the report text, without file output.

#include "report/result_file.h"
#include "run/fields.h"
#include "run/input_reading.h"
#include "run/run_driver.h"
#include "solver/extended.h"
#include "solver/geometry.h"

#include <array>
#include <benchmark/benchmark.h>
#include <stdexcept>
#include <utility>
#include <vector>

namespace {

class BenchInterface : public karrow::UserInterface {
public:
    explicit BenchInterface(const std::vector<std::pair<int, const char*>>& changes)
    {
        for (int field = 1; field <= karrow::SaveFileNameField; ++field)
            texts_[static_cast<std::size_t>(field - 1)] = karrow::DefaultFieldText(field, '.');
        for (const auto& [field, text] : changes)
            texts_[static_cast<std::size_t>(field - 1)] = text;
    }
    std::string FieldText(int field) const override
    {
        return texts_[static_cast<std::size_t>(field - 1)];
    }
    void ShowMessage(const std::string&) override { }
    void ShowFinishDialog() override { }
    void RereadFileList() override { }

private:
    std::array<std::string, 15> texts_;
};

void Calculate(benchmark::State& state, const std::vector<std::pair<int, const char*>>& changes,
    bool expectConverged)
{
    BenchInterface ui(changes);
    for (auto _ : state) {
        karrow::PrepareFloatingPoint();
        karrow::RunState st;
        karrow::ReadInputs(st, ui, '.');
        karrow::ComputeGeometry(st);
        const bool converged = karrow::SolveFlows(st, ui);
        if (converged != expectConverged)
            throw std::logic_error("the benchmark case changed its outcome");
        if (converged)
            benchmark::DoNotOptimize(karrow::FlowTableText(st, '.'));
        state.counters["steps"] = st.BalanceStepCount;
    }
}

// The window's defaults: 34 effective increments, 1491 flow-balance steps, 10 corrections.
void DefaultCalculation(benchmark::State& state)
{
    Calculate(state, {}, true);
}
BENCHMARK(DefaultCalculation)->Unit(benchmark::kMillisecond);

// Three channels and a narrow outlet slit: 38 increments, 2307 flow-balance steps.
void ManyBalanceSteps(benchmark::State& state)
{
    Calculate(state, { { 1, "3" }, { 10, "0.1" } }, true);
}
BENCHMARK(ManyBalanceSteps)->Unit(benchmark::kMillisecond);

// A case that never balances: the run goes to the step limit of 10000 and fails.
void StepLimit(benchmark::State& state)
{
    Calculate(state, { { 1, "5" }, { 13, "0.6" }, { 2, "6" } }, false);
}
BENCHMARK(StepLimit)->Unit(benchmark::kMillisecond);

} // namespace
