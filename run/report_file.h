#pragma once

#include "../solver/geometry.h"
#include "../solver/inputs.h"
#include "file_lock.h"

#include <optional>
#include <string>

namespace karrow {

struct Solution;

// The report file of one run, written section by section with the texts of
// report/result_file.h. The name is resolved against the current directory each time a step
// opens it. A regular report is locked (FileLock) from its first section to the end of the run;
// the lock's descriptor also keeps the identity of the file the run wrote, so that a failed run
// deletes that regular file and nothing else.
struct ReportFile {
    std::string ResultFileName;
    char DecimalSeparator = '.';
    FileLock Lock;
};

// Why a section could not be written: the report's full path and the system's reason in words.
struct FileProblem {
    std::string Path;
    std::string Reason;
};

// Creates (or empties) the report and writes the input section. A report that another run holds
// locked is refused untouched, with the reason AnotherRunIsWriting.
std::optional<FileProblem> WriteInputSection(const Inputs& in, ReportFile& file);
// Appends the modified-condition section to the existing report.
std::optional<FileProblem> AppendModifiedCondition(const Geometry& g, const ReportFile& file);
// Appends the flow and pressure table.
std::optional<FileProblem> AppendFlowTable(const Solution& s, const ReportFile& file);

// Deletes the report of a failed run, when the name still denotes the regular file the run
// wrote (not a link to it). Its own failure is ignored.
void DeleteReport(const ReportFile& file);

} // namespace karrow
