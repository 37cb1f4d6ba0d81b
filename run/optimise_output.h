#pragma once

// The documents of a design search: one JSON document with the problem, the answer, the classic
// run of the answer and the front, and a CSV table of the designs found (one row each).

#include "melt_run.h"
#include "optimise.h"
#include "run_json.h"

#include <array>
#include <optional>
#include <string>

namespace karrow {

// A design found, with its field texts (an input set's) for the documents.
struct FoundDesign {
    DesignCandidate Design;
    FieldTexts Texts;
};

struct OptimisationReport {
    OptimiseSettings Settings; // the problem (its callbacks unused)
    OptimisationResult Result;
    std::optional<FoundDesign> Best;
    std::optional<RunRecord> Classic; // the classic run of the best design
    std::optional<ParetoFront> Front;
    std::vector<FoundDesign> FrontDesigns; // the front's points, in its order
    std::optional<MeltRun> BestMelt; // with a real melt: its answer for the best design
};

// Numbers unrounded, in the report's units with the head pressure also in bar; non-finite
// numbers as null. The classic run is the run's own JSON document, with the exit status the
// front end gives its end.
std::string OptimisationJson(const OptimisationReport& report, int classicExitStatus);

// The CSV table: a header line, then one row per point of the front, or the best design alone.
std::string OptimisationCsv(const OptimisationReport& report);

} // namespace karrow
