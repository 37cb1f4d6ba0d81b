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

    // Every record starts here: the texts and solver as asked, how the run ended and what it
    // left; the answers follow from the outcome.
    RunRecord Record(const FieldTexts& texts, SolverChoice solver, RunEnd end,
        RunOutcome outcome, std::vector<std::string> messages)
    {
        RunRecord record;
        record.Texts = texts;
        record.Solver = solver;
        record.End = end;
        record.Messages = std::move(messages);
        record.Outcome = std::move(outcome);
        return record;
    }

    std::string FaultMessage(const std::string& what)
    {
        return "Karrow: " + what;
    }

} // namespace

RunRecord CalculateDesign(const FieldTexts& texts, SolverChoice solver,
    const MeltProperties& melt, char separator, const NetworkOptions& network)
{
    PrepareFloatingPoint();
    const CheckedInputs checked = ReadCheckedInputs(TextsInterface(texts), separator);
    if (!checked.Values)
        return Record(texts, solver, RunEnd::InputsRejected, {}, { checked.Message });
    RunOutcome outcome;
    outcome.In = checked.Values;
    if (solver == SolverChoice::Network) {
        RunRecord record = Record(texts, solver, RunEnd::NetworkNotConverged, outcome, {});
        record.Answers = Assess(outcome, solver, melt, network);
        if (record.Answers.Exact && record.Answers.Exact->Network.Converged)
            record.End = RunEnd::NetworkSolved;
        return record;
    }
    std::vector<std::string> messages;
    RunEnd end = RunEnd::Fault;
    try {
        outcome.Result = Calculate(*outcome.In);
        const bool converged = outcome.Result->Flow.Record.Stop != IterationStop::StepLimit;
        outcome.End = converged ? RunEnd::Finished : RunEnd::NotConverged;
        end = outcome.End;
        if (!converged)
            messages.push_back(NonConvergenceMessage);
    } catch (const Fault& fault) {
        outcome.Result.reset();
        messages.push_back(FaultMessage(fault.what()));
    }
    RunRecord record = Record(texts, solver, end, std::move(outcome), std::move(messages));
    record.Answers = Assess(*record.Outcome, solver, melt, network);
    return record;
}

RunRecord RecordOfRun(const FieldTexts& texts, SolverChoice solver,
    const MeltProperties& melt, char separator, const std::optional<RunOutcome>& outcome,
    const std::vector<std::string>& messages, const std::optional<std::string>& fault,
    const NetworkOptions& network, StartedChecks* started)
{
    RunRecord record;
    if (outcome) {
        const RunEnd end = outcome->End;
        record = Record(texts, solver, end, std::move(*outcome), messages);
    } else {
        // A fault ends the run without an outcome; the inputs it read are read again here.
        RunOutcome faulted;
        faulted.In = ReadCheckedInputs(TextsInterface(texts), separator).Values;
        record = Record(texts, solver, RunEnd::Fault, std::move(faulted), messages);
        if (fault)
            record.Messages.push_back(FaultMessage(*fault));
    }
    record.Answers = Assess(*record.Outcome, solver, melt, network, started);
    return record;
}

} // namespace karrow
