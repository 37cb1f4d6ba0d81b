#pragma once

// A run's documents with the answer of a real melt beside the power law's: the JSON document
// that karrow-cli --json, each line of a sweep and the window's "Export JSON…" write, and a
// sweep's CSV row. One source, so that the three say the same for the same run.

#include "input_set.h"
#include "melt_run.h"
#include "run_json.h"

#include <optional>
#include <string>
#include <variant>

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

// The melt a run document records ("melt": the law with its constants and the conditions, as
// RunJsonWithMelt writes them), read as an input set's melt, so that the run can be opened again
// with the melt it was solved with: nothing where the document records none ("melt" absent, or
// null where the run's inputs were refused), or why it cannot be taken, naming the entry as an
// input set names it.
std::variant<std::optional<InputSetMelt>, std::string> RecordedMeltOf(const std::string& document);

// A sweep's CSV with a melt: SweepCsvHeader's and SweepCsvRow's cells, then the melt's
// temperature and thermal mode, whether its network converged, its head pressure, outlet CV and
// spread, and the spread and flow-weighted mean of the temperature of the melt leaving the die.
std::string MeltSweepCsvHeader();
std::string MeltSweepCsvRow(const RunRecord& record, int exitStatus, const RunMelt& melt,
    const std::optional<MeltRun>& answer);

} // namespace karrow
