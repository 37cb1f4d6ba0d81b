#pragma once

// A run's documents with the answer of a real melt beside the power law's: the JSON document
// that karrow-cli --json, each line of a sweep and the window's "Export JSON…" write, and a
// sweep's CSV row. One source, so that the three say the same for the same run.

#include "melt_run.h"
#include "run_json.h"

#include <optional>
#include <string>

namespace karrow {

// The real melt of a run: the melt and its conditions.
struct RunMelt {
    Melt TheMelt;
    MeltConditions Conditions;
};

// The melt's answer on the exact network of the design the record read; nothing when the run
// read no inputs to solve it with (inputs refused).
std::optional<MeltRun> SolveRunMelt(const RunRecord& record, const RunMelt& melt);

// RunJson's document with "melt": MeltRunJson's object, or null when `answer` is empty.
std::string RunJsonWithMelt(const RunRecord& record, int exitStatus, const RunMelt& melt,
    const std::optional<MeltRun>& answer, bool pretty = false);

// A sweep's CSV with a melt: SweepCsvHeader's and SweepCsvRow's cells, then the melt's
// temperature and thermal mode, whether its network converged, its head pressure, outlet CV and
// spread, and the spread and flow-weighted mean of the temperature of the melt leaving the die.
std::string MeltSweepCsvHeader();
std::string MeltSweepCsvRow(const RunRecord& record, int exitStatus, const RunMelt& melt,
    const std::optional<MeltRun>& answer);

} // namespace karrow
