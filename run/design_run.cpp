#include "design_run.h"

#include "../solver/extended.h"
#include "../solver/fault.h"
#include "kept_texts.h"

namespace karrow {

namespace {

    class TextsInterface : public UserInterface {
    public:
        explicit TextsInterface(const FieldTexts& texts)
            : texts_(texts)
        {
        }
        std::string FieldText(Field field) const override { return texts_[field]; }
        void ShowMessage(const std::string&) override { }
        void ShowFinishDialog() override { }
        void RereadFileList() override { }

    private:
        const FieldTexts& texts_;
    };

    void Finish(RunRecord& record, const char* end, int status)
    {
        record.End = end;
        record.ExitStatus = status;
    }

} // namespace

int ExitStatusOf(RunEnd end)
{
    switch (end) {
    case RunEnd::Finished:
        return ExitFinished;
    case RunEnd::InputsRejected:
        return ExitInputsRejected;
    case RunEnd::NotConverged:
        return ExitNotConverged;
    case RunEnd::ReportNotCreated:
    case RunEnd::ModifiedConditionNotAppended:
    case RunEnd::TableNotAppended:
        return ExitReportFailed;
    }
    return ExitFault;
}

RunRecord CalculateDesign(const FieldTexts& texts, SolverChoice solver,
    const MeltProperties& melt, char separator, const NetworkOptions& network)
{
    RunRecord record;
    record.Texts = texts;
    record.Solver = solver;
    PrepareFloatingPoint();
    const CheckedInputs checked = ReadCheckedInputs(TextsInterface(texts), separator);
    RunOutcome outcome;
    if (!checked.Values) {
        record.Messages.push_back(checked.Message);
        Finish(record, "inputs-rejected", ExitInputsRejected);
        record.Outcome = outcome;
        return record;
    }
    outcome.In = checked.Values;
    if (solver == SolverChoice::Network) {
        record.Outcome = outcome;
        record.Answers = Assess(outcome, solver, melt, network);
        const bool solved = record.Answers.Exact && record.Answers.Exact->Network.Converged;
        if (solved)
            Finish(record, "network-solved", ExitFinished);
        else
            Finish(record, "network-not-converged", ExitNotConverged);
        return record;
    }
    try {
        outcome.Result = Calculate(*outcome.In);
        const bool converged = outcome.Result->Flow.Record.Stop != IterationStop::StepLimit;
        outcome.End = converged ? RunEnd::Finished : RunEnd::NotConverged;
        if (!converged)
            record.Messages.push_back(NonConvergenceMessage);
        Finish(record, EndName(outcome.End).c_str(), ExitStatusOf(outcome.End));
    } catch (const Fault& fault) {
        outcome.Result.reset();
        record.Messages.push_back(std::string("Karrow: ") + fault.what());
        Finish(record, "fault", ExitFault);
    }
    record.Outcome = outcome;
    record.Answers = Assess(outcome, solver, melt, network);
    return record;
}

RunRecord RecordOfRun(const FieldTexts& texts, SolverChoice solver,
    const MeltProperties& melt, char separator, const std::optional<RunOutcome>& outcome,
    const std::vector<std::string>& messages, const std::optional<std::string>& fault,
    const NetworkOptions& network, StartedChecks* started)
{
    RunRecord record;
    record.Texts = texts;
    record.Solver = solver;
    record.Messages = messages;
    if (outcome) {
        record.Outcome = outcome;
        Finish(record, EndName(outcome->End).c_str(), ExitStatusOf(outcome->End));
    } else {
        // A fault ends the run without an outcome; the inputs it read are read again here.
        RunOutcome faulted;
        faulted.In = ReadCheckedInputs(TextsInterface(texts), separator).Values;
        record.Outcome = faulted;
        Finish(record, "fault", ExitFault);
        if (fault)
            record.Messages.push_back(std::string("Karrow: ") + *fault);
    }
    record.Answers = Assess(*record.Outcome, solver, melt, network, started);
    return record;
}

} // namespace karrow
