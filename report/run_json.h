#pragma once

#include "../run/assessment.h"
#include "../run/fields.h"
#include "../run/run_driver.h"

#include <array>
#include <string>
#include <vector>

namespace karrow {

// Everything one run leaves, for the JSON document and a sweep's CSV row.
struct RunRecord {
    FieldTexts Texts; // as given
    std::string End; // "finished", "inputs-rejected", ..., "fault", "network-only"
    int ExitStatus = 0;
    std::vector<std::string> Messages;
    SolverChoice Solver = SolverChoice::Both;
    std::optional<RunOutcome> Outcome;
    Assessment Answers;
};

// The name of an end state in the JSON and CSV.
std::string EndName(RunEnd end);

// One JSON document (one line unless `pretty`). Numbers unrounded; non-finite numbers as null.
std::string RunJson(const RunRecord& record, bool pretty = false);

// The per-increment table as CSV (comma-separated, a header line first), and as tab-separated
// text for the clipboard.
std::string IncrementsCsv(const DesignFigures& figures);
std::string IncrementsTabSeparated(const DesignFigures& figures);

// A sweep's CSV: the header, and the row of one run (inputs, end state, exit status, figures).
std::string SweepCsvHeader();
std::string SweepCsvRow(const RunRecord& record);

} // namespace karrow
