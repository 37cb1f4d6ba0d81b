#include "run_driver.h"

#include "report_file.h"
#include "../solver/extended.h"
#include "../solver/flow_solution.h"
#include "../solver/geometry.h"
#include "fields.h"
#include "input_reading.h"
#include "kept_texts.h"
#include "model_limits.h"

namespace karrow {

namespace {

    constexpr std::size_t MaxFileNameCharacters = 255;

    // Whatever the front end does while a message or dialog is open (painting, layout) must neither
    // see nor leave floating-point fault flags that belong to the run.
    class FlagKeepingInterface : public UserInterface {
    public:
        explicit FlagKeepingInterface(UserInterface& ui)
            : ui_(ui)
        {
        }
        std::string FieldText(Field field) const override
        {
            const FloatingPointFlagsKeeper keep;
            return ui_.FieldText(field);
        }
        void ShowMessage(const std::string& text) override
        {
            const FloatingPointFlagsKeeper keep;
            ui_.ShowMessage(text);
        }
        void ShowFinishDialog() override
        {
            const FloatingPointFlagsKeeper keep;
            ui_.ShowFinishDialog();
        }
        void RereadFileList() override
        {
            const FloatingPointFlagsKeeper keep;
            ui_.RereadFileList();
        }
        void SectionWritten(int section) override
        {
            const FloatingPointFlagsKeeper keep;
            ui_.SectionWritten(section);
        }

    private:
        UserInterface& ui_;
    };

    void DeleteAndReread(const ReportFile& file, UserInterface& ui)
    {
        DeleteReport(file);
        ui.RereadFileList();
    }

    // The system's own first line, then which file and why.
    std::string FileMessage(const char* keptText, const FileProblem& problem)
    {
        return std::string(keptText) + "\n" + problem.Path + ": " + problem.Reason + ".";
    }

} // namespace

const char* EndName(RunEnd end)
{
    switch (end) {
    case RunEnd::InputsRejected:
        return "inputs-rejected";
    case RunEnd::ReportNotCreated:
        return "report-not-created";
    case RunEnd::ModifiedConditionNotAppended:
        return "modified-condition-not-appended";
    case RunEnd::NotConverged:
        return "not-converged";
    case RunEnd::TableNotAppended:
        return "table-not-appended";
    case RunEnd::Finished:
        return "finished";
    case RunEnd::Fault:
        return "fault";
    case RunEnd::NetworkSolved:
        return "network-solved";
    case RunEnd::NetworkNotConverged:
        return "network-not-converged";
    }
    return "unknown";
}

std::string ResultFileNameFrom(const std::string& saveFileName)
{
    std::size_t characters = 0;
    std::size_t at = 0;
    while (at < saveFileName.size() && characters < MaxFileNameCharacters) {
        const auto lead = static_cast<unsigned char>(saveFileName[at]);
        std::size_t length = 1;
        if (lead >= 0xF0)
            length = 4;
        else if (lead >= 0xE0)
            length = 3;
        else if (lead >= 0xC0)
            length = 2;
        std::size_t next = at + 1;
        while (next < saveFileName.size() && next < at + length
            && (static_cast<unsigned char>(saveFileName[next]) & 0xC0) == 0x80)
            ++next;
        at = next;
        ++characters;
    }
    return saveFileName.substr(0, at);
}

CheckedInputs ReadCheckedInputs(const UserInterface& ui, char separator)
{
    const InputReading reading =
        ReadInputs([&ui](Field field) { return ui.FieldText(field); }, separator);
    if (!reading.Values)
        return { std::nullopt, std::string(InputErrorMessage) + "\n" + reading.Problem };
    if (const auto problem = CheckModelLimits(*reading.Values))
        return { std::nullopt, std::string(InputErrorMessage) + "\n" + *problem };
    ClearFloatingPointFaults();
    return { reading.Values, "" };
}

Solution Calculate(const Inputs& in)
{
    Solution s { in, ComputeGeometry(in), {} };
    s.Flow = SolveFlows(s.In, s.Geo);
    return s;
}

RunOutcome RunCalculation(UserInterface& frontEnd, char separator)
{
    PrepareFloatingPoint();
    FlagKeepingInterface ui(frontEnd);
    ReportFile file { ResultFileNameFrom(ui.FieldText(Field::SaveFileName)), separator, {} };
    RunOutcome outcome;

    const CheckedInputs checked = ReadCheckedInputs(ui, separator);
    if (!checked.Values) {
        ui.ShowMessage(checked.Message);
        return outcome;
    }
    outcome.In = checked.Values;
    const Inputs& in = *outcome.In;
    if (const auto problem = WriteInputSection(in, file)) {
        ui.ShowMessage(FileMessage(CannotOpenMessage, *problem));
        outcome.End = RunEnd::ReportNotCreated;
        return outcome;
    }
    ui.SectionWritten(1);
    outcome.Result = Solution { in, ComputeGeometry(in), {} };
    Solution& s = *outcome.Result;
    if (const auto problem = AppendModifiedCondition(s.Geo, file)) {
        ui.ShowMessage(FileMessage(CannotOpenMessage, *problem));
        outcome.End = RunEnd::ModifiedConditionNotAppended;
        outcome.Result.reset();
        DeleteAndReread(file, ui);
        return outcome;
    }
    ui.SectionWritten(2);

    s.Flow = SolveFlows(s.In, s.Geo);
    if (s.Flow.Record.Stop == IterationStop::StepLimit) {
        ui.ShowMessage(NonConvergenceMessage);
        outcome.End = RunEnd::NotConverged;
        DeleteAndReread(file, ui);
        return outcome;
    }

    if (const auto problem = AppendFlowTable(s, file)) {
        ui.ShowMessage(FileMessage(CannotWriteResultsMessage, *problem));
        outcome.End = RunEnd::TableNotAppended;
        DeleteAndReread(file, ui);
        return outcome;
    }
    ui.SectionWritten(3);
    ui.ShowFinishDialog();
    ui.RereadFileList();
    outcome.End = RunEnd::Finished;
    return outcome;
}

} // namespace karrow
