#pragma once

#include "../solver/message_sink.h"
#include "../solver/run_state.h"

#include <string>
#include <sys/types.h>

namespace karrow {

inline constexpr const char* CannotOpenMessage = "File can not open!";
inline constexpr const char* CannotWriteResultsMessage = "Can not write results to file";

// The report file of one run. The name is resolved against the current directory each time a
// step opens it. The identity of the file that the run created is kept, so that a failed run
// deletes that regular file and nothing else.
struct ReportFile {
    std::string ResultFileName;
    char DecimalSeparator = '.';
    bool Created = false;
    dev_t Device = 0;
    ino_t Inode = 0;
};

// The three sections as text, every line ended by CR LF.
std::string InputSectionText(const RunState& st, char decimalSeparator);
std::string ModifiedConditionText(const RunState& st, char decimalSeparator);
// Sets the last channel flow to 0 and converts the channel pressures to kgf/cm2 in place.
std::string FlowTableText(RunState& st, char decimalSeparator);

// Creates (or empties) the report and writes the input section. FileOk tells the outcome; a
// file that cannot be opened is reported through `messages`.
void WriteInputSection(RunState& st, ReportFile& file, MessageSink& messages);
// Appends the modified-condition section to the existing report; sets FileOk.
void AppendModifiedCondition(RunState& st, const ReportFile& file, MessageSink& messages);
// Appends the flow and pressure table; clears FileOk only when the file cannot be opened.
void AppendFlowTable(RunState& st, const ReportFile& file, MessageSink& messages);

// Deletes the report of a failed run, when the name still denotes the regular file the run
// created. Its own failure is ignored.
void DeleteReport(const ReportFile& file);

} // namespace karrow
