#include "run_driver.h"

#include "../report/result_file.h"
#include "../solver/extended.h"
#include "../solver/flow_balance.h"
#include "../solver/flow_relations.h"
#include "../solver/geometry.h"
#include "../solver/initial_distribution.h"
#include "../solver/pressure_correction.h"
#include "../solver/pressure_profile.h"
#include "fields.h"
#include "input_reading.h"
#include "model_limits.h"

namespace karrow {

namespace {

    constexpr std::size_t MaxFileNameCharacters = 255;
    constexpr int CorrectionRunLimit = 10;

    // Whatever the front end does while a message or dialog is open (painting, layout) must neither
    // see nor leave floating-point fault flags that belong to the run.
    class FlagKeepingInterface : public UserInterface {
    public:
        explicit FlagKeepingInterface(UserInterface& ui)
            : ui_(ui)
        {
        }
        std::string FieldText(int field) const override
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

    private:
        UserInterface& ui_;
    };

    bool ReadAndCheckInputs(RunState& st, UserInterface& ui, char separator)
    {
        ReadInputs(st, ui, separator);
        if (!st.InputOk)
            return false;
        if (const auto problem = CheckModelLimits(st)) {
            st.InputOk = false;
            ui.ShowMessage(std::string(InputErrorMessage) + "\n" + *problem);
            return false;
        }
        ClearFloatingPointFaults();
        return true;
    }

    // The outer iteration: flow-balance steps, with a pressure correction whenever a step hands
    // the outlet zone over, until the flows balance, ten corrections have run, or the step limit
    // is passed. Returns the number of corrections.
    int BalanceUntilSettled(RunState& st, MessageSink& ui)
    {
        st.BalanceStepCount = 0;
        int correctionRunCount = 0;
        for (;;) {
            BalanceFlows(st, ui);
            ++st.BalanceStepCount;
            if (st.PressureCorrectionDue) {
                CorrectOutletFlows(st);
                ++correctionRunCount;
            }
            if (st.BalanceConverged && !st.PressureCorrectionDue)
                return correctionRunCount;
            if (correctionRunCount >= CorrectionRunLimit || !st.SolverOk)
                return correctionRunCount;
        }
    }

    RunEnd DeleteAndStop(const ReportFile& file, UserInterface& ui, RunEnd end)
    {
        DeleteReport(file);
        ui.RereadFileList();
        return end;
    }

} // namespace

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

bool SolveFlows(RunState& st, MessageSink& messages)
{
    ComputeConductances(st);
    DistributeOutletZoneFlows(st);
    const int corrections = BalanceUntilSettled(st, messages);
    if (st.SolverOk && corrections >= 1)
        ComputeFinalPressures(st);
    return st.SolverOk;
}

RunEnd RunCalculation(UserInterface& frontEnd, char separator)
{
    PrepareFloatingPoint();
    FlagKeepingInterface ui(frontEnd);
    ReportFile file { ResultFileNameFrom(ui.FieldText(SaveFileNameField)), separator };
    RunState st;

    if (!ReadAndCheckInputs(st, ui, separator))
        return RunEnd::InputsRejected;
    WriteInputSection(st, file, ui);
    if (!st.FileOk)
        return RunEnd::ReportNotCreated;
    ComputeGeometry(st);
    AppendModifiedCondition(st, file, ui);
    if (!st.FileOk)
        return DeleteAndStop(file, ui, RunEnd::ModifiedConditionNotAppended);

    if (!SolveFlows(st, ui))
        return DeleteAndStop(file, ui, RunEnd::NotConverged);

    AppendFlowTable(st, file, ui);
    if (!st.FileOk)
        return DeleteAndStop(file, ui, RunEnd::TableNotAppended);
    ui.ShowFinishDialog();
    ui.RereadFileList();
    return RunEnd::Finished;
}

} // namespace karrow
