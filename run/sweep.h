#pragma once

#include "design_run.h"
#include "fields.h"
#include "melt_document.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace karrow {

// The largest COUNT of one variation.
inline constexpr std::int64_t MaxVariationCount = 1000000;

// The most designs one run of a study calculates unless the user confirms a larger one: about
// half an hour on two cores with every answer, and a CSV of about 30 MB.
inline constexpr std::uint64_t UnconfirmedStudySize = 100000;

// What a variation varies: one of the input fields, or the temperature of the real melt, a
// condition of the run that no field holds (degrees C; only a study with a melt has it).
enum class SweepAxis { Field, MeltTemperature };
inline constexpr const char* MeltTemperatureAxis = "melt-temperature";

// One varied field or condition of a study: COUNT values evenly from FROM to TO, both included.
struct Variation {
    Field Varied = Field::NumberOfChannels; // read only on SweepAxis::Field
    double From = 0;
    double To = 0;
    std::int64_t Count = 1;
    SweepAxis Axis = SweepAxis::Field;
};

// Reads "FIELD=FROM:TO:COUNT" (FIELD an option name such as channel-width, or
// melt-temperature); nothing and the problem in `problem` when it is not one. A whole-number field takes whole numbers of its range
// with a whole step, so that every design holds the value its row names.
std::optional<Variation> ParseVariation(const std::string& text, std::string& problem);

// The text of the k-th value (0 ≤ k < Count) of `v`: the first is FROM and the last TO exactly.
std::string ValueText(const Variation& v, std::int64_t k, char decimalSeparator);
// Its number, the same the text names.
double ValueAt(const Variation& v, std::int64_t k);

// The option name of what `v` varies ("channel-width", "melt-temperature").
std::string AxisName(const Variation& v);

// Every combination of the values of the variations, the first variation changing slowest, the
// other fields at their fixed texts (and the melt at the temperature of the run's conditions). Designs are made one at a time from their index, so a grid
// takes no memory for its size.
class StudyGrid {
public:
    StudyGrid(const FieldTexts& fixed, std::vector<Variation> variations, char decimalSeparator);

    // Why the variations make no grid (a field varied twice, more designs than a count holds).
    static std::optional<std::string> Problem(const std::vector<Variation>& variations);

    std::uint64_t Size() const { return size_; }
    char Separator() const { return separator_; }
    FieldTexts DesignAt(std::uint64_t index) const;
    // The melt temperature of the design, when the grid varies it.
    std::optional<double> MeltTemperatureAt(std::uint64_t index) const;

private:
    FieldTexts fixed_;
    std::vector<Variation> variations_;
    char separator_;
    std::uint64_t size_ = 1;
};

// The K-th of N disjoint parts of a grid ("--shard K/N"). The parts are consecutive runs of
// designs in grid order, so their rows, one part after the other, are the rows of the whole.
struct Shard {
    std::uint64_t Index = 1; // K, from 1
    std::uint64_t Count = 1; // N
};
std::optional<Shard> ParseShard(const std::string& text, std::string& problem);

struct DesignRange {
    std::uint64_t First = 0;
    std::uint64_t End = 0; // one past the last
    std::uint64_t Size() const { return End - First; }
};
DesignRange RangeOf(const Shard& shard, std::uint64_t gridSize);

// What a study keeps of one design until it is written.
struct SweepRow {
    std::string Csv;
    std::string Json;
};

// A design of a study as it was calculated: its record, and with a real melt the melt at the
// design's conditions and its answer on the exact network (none when the design read no
// inputs).
struct SweptDesign {
    RunRecord Record;
    std::optional<RunMelt> Melt;
    std::optional<MeltRun> MeltAnswer;
};

struct SweepSettings {
    SolverChoice Solver = SolverChoice::Both;
    MeltProperties Melt;
    int Jobs = 1;
    // Turns a design into its row; called on the worker threads.
    std::function<SweepRow(const SweptDesign&)> Format;
    // Writes rows, in grid order, a batch at a time; called on the calling thread. Returns false
    // to end the study (a write failed): no further design is started.
    std::function<bool(std::vector<SweepRow>&)> Write;
    // The number of rows written so far; called on the calling thread now and then.
    std::function<void(std::uint64_t)> Progress;
    NetworkOptions Network; // the exact answer's resolution
    // The real melt every design is solved with as well, at the grid's melt temperature when
    // it varies it; none for the power law alone.
    std::optional<RunMelt> RealMelt = std::nullopt;
};

// Rows a study holds at most at once per job: the designs a slow one may fall behind by.
inline constexpr std::uint64_t ReorderRowsPerJob = 8;

// Calculates the designs of `range` on `settings.Jobs` threads and hands their rows to Write in
// grid order as soon as each is next, holding at most ReorderRowsPerJob rows per job. Returns
// false when Write ended the study. An exception from Format ends the study too and is thrown
// here once the threads have stopped.
bool RunSweep(const StudyGrid& grid, DesignRange range, const SweepSettings& settings);

} // namespace karrow
