#pragma once

#include "../solver/inputs.h"
#include "../solver/solution.h"
#include "user_interface.h"

#include <optional>
#include <string>

namespace karrow {

// How a run ended. The driver ends in one of the first six (an error that no step handles is
// not one of them: it travels out of RunCalculation as a karrow::Fault and leaves the report as
// far as it was written); a run's record (run_json.h) adds the ends of a fault and of a run of
// the exact network alone.
enum class RunEnd {
    InputsRejected, // input message shown; no file touched
    ReportNotCreated, // "File can not open!"; no file created
    ModifiedConditionNotAppended, // "File can not open!"; report deleted
    NotConverged, // non-convergence message; report deleted
    TableNotAppended, // "Can not write results to file"; report deleted
    Finished, // finish dialog shown; report complete
    Fault, // a karrow::Fault ended the run
    NetworkSolved, // the exact network alone was asked for, and solved; no report
    NetworkNotConverged, // the exact network alone was asked for, and not solved; no report
};

// The name of an end state in the JSON document, a study's CSV and the summary.
const char* EndName(RunEnd end);

// What a run leaves to its caller besides the report. Result is the Solution after Finished;
// after NotConverged it holds the flows where the step limit stopped the iteration (its record
// says so), for whoever wants to show what the model's network gives instead.
struct RunOutcome {
    RunEnd End = RunEnd::InputsRejected;
    std::optional<Inputs> In; // the inputs, once read and within the model's limits
    std::optional<Solution> Result;
};

// The report file name a run uses: the "Save File Name" text cut to its first 255 characters,
// never inside a multi-byte (UTF-8) character.
std::string ResultFileNameFrom(const std::string& saveFileName);

// The inputs of the fields of `ui`, or the message that refuses them (the input error message
// and a line naming the field or the condition of the model that fails).
struct CheckedInputs {
    std::optional<Inputs> Values;
    std::string Message;
};
CheckedInputs ReadCheckedInputs(const UserInterface& ui, char decimalSeparator);

// The whole calculation of accepted inputs without a report: geometry, flows and, unless the
// step limit ends the iteration, a finished Solution (Record.Stop tells). Throws karrow::Fault.
Solution Calculate(const Inputs& in);

// One calculation, as the OK button runs it. `decimalSeparator` is the regional one read at
// start-up. Throws karrow::Fault for an error that no step handles.
RunOutcome RunCalculation(UserInterface& ui, char decimalSeparator);

} // namespace karrow
