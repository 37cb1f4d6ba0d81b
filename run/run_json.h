#pragma once

#include "assessment.h"
#include "fields.h"
#include "run_driver.h"

#include <array>
#include <string>
#include <vector>

namespace karrow {

// Everything one run leaves, for the JSON document, a study's CSV row and the summary. Built by
// RecordOfRun or CalculateDesign (design_run.h).
struct RunRecord {
    FieldTexts Texts; // as given
    RunEnd End = RunEnd::InputsRejected;
    std::vector<std::string> Messages; // shown, in order
    SolverChoice Solver = SolverChoice::Both;
    std::optional<RunOutcome> Outcome;
    Assessment Answers;
};

// One JSON document (one line unless `pretty`). Numbers unrounded; non-finite numbers as null.
// `exitStatus` is the status karrow-cli exits with for the record's end, which the document
// names beside it.
std::string RunJson(const RunRecord& record, int exitStatus, bool pretty = false);

// The per-increment table as CSV (comma-separated, a header line first), and as tab-separated
// text for the clipboard.
std::string IncrementsCsv(const DesignFigures& figures);
std::string IncrementsTabSeparated(const DesignFigures& figures);

// A sweep's CSV: the header, and the row of one run (inputs, end state, karrow-cli's exit status
// for it, figures).
std::string SweepCsvHeader();
std::string SweepCsvRow(const RunRecord& record, int exitStatus);

} // namespace karrow
