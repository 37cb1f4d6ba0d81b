#pragma once

#include "../solver/run_state.h"
#include "user_interface.h"

#include <string>

namespace karrow {

// How a run ended (an error that no step handles is not an end state: it travels out of
// RunCalculation as a karrow::Fault and leaves the report as far as it was written).
enum class RunEnd {
    InputsRejected, // input message shown; no file touched
    ReportNotCreated, // "File can not open!"; no file created
    ModifiedConditionNotAppended, // "File can not open!"; report deleted
    NotConverged, // non-convergence message; report deleted
    TableNotAppended, // "Can not write results to file"; report deleted
    Finished, // finish dialog shown; report complete
};

// The report file name a run uses: the "Save File Name" text cut to its first 255 characters,
// never inside a multi-byte (UTF-8) character.
std::string ResultFileNameFrom(const std::string& saveFileName);

// The flow solution of a run whose geometry is computed: conductances, initial distribution, the
// outer iteration and, after a pressure correction, the final pressures. Shows the
// non-convergence message through `messages`; returns SolverOk.
bool SolveFlows(RunState& st, MessageSink& messages);

// One calculation, as the OK button runs it. `decimalSeparator` is the regional one read at
// start-up. Throws karrow::Fault for an error that no step handles.
RunEnd RunCalculation(UserInterface& ui, char decimalSeparator);

} // namespace karrow
