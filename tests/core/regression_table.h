#pragma once

// The regression table's designs, how one is replayed, and what is kept of a design that is not
// settled. Shared by the table's test and by the program that freezes it.

#include "cli/exit_status.h"
#include "run/design_run.h"
#include "run/run_driver.h"
#include "solver/fault.h"
#include "test_support.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace karrow::regression {

namespace fs = std::filesystem;

inline const fs::path Data = fs::path(KARROW_TEST_DATA) / "regression";

// Where the report of a named case is frozen. The window's defaults are the golden report
// itself, kept once.
inline fs::path FrozenReportPath(const std::string& name)
{
    if (name == "defaults")
        return fs::path(KARROW_TEST_DATA) / "default_report.txt";
    return Data / (name + ".txt");
}

struct Outcome {
    int ExitStatus = 0;
    std::string Messages; // as karrow-cli writes them to stderr
    std::optional<std::string> Report;
    std::optional<Solution> Finished; // the solution of a finished run
    std::optional<Inputs> NotConverged; // the inputs of a run that the step limit ended
};

inline Outcome RunDesign(const std::vector<std::string>& texts)
{
    test::ScratchFolder folder;
    test::RecordingInterface ui;
    for (std::size_t k = 0; k < InputFieldCount; ++k)
        ui.Set(InputFields[k], texts.at(k));
    Outcome outcome;
    try {
        RunOutcome run = RunCalculation(ui, '.');
        outcome.ExitStatus = ExitStatusOf(run.End);
        if (run.End == RunEnd::Finished)
            outcome.Finished = std::move(run.Result);
        if (run.End == RunEnd::NotConverged)
            outcome.NotConverged = run.In;
    } catch (const Fault& fault) {
        ui.messages.push_back(std::string("Karrow: ") + fault.what());
        outcome.ExitStatus = ExitFault;
    }
    for (const std::string& message : ui.messages)
        outcome.Messages += message + "\n";
    if (fs::exists("result.txt"))
        outcome.Report = test::ReadFile("result.txt");
    return outcome;
}

inline std::string Fnv1a64(const std::string& bytes)
{
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ULL;
    }
    std::ostringstream text;
    text << std::hex;
    text.width(16);
    text.fill('0');
    text << hash;
    return text.str();
}

struct NamedCase {
    std::string Name;
    std::vector<std::string> Texts;
    int ExitStatus;
    std::string Messages;
    bool HasReport;
};

inline std::vector<NamedCase> NamedCases()
{
    std::ifstream in(Data / "named_cases.json");
    std::vector<NamedCase> cases;
    for (const auto& entry : nlohmann::json::parse(in))
        cases.push_back({ entry.at("name"), entry.at("fields"), entry.at("exit"),
            entry.at("stderr"), entry.at("report") });
    return cases;
}

struct HashedDesign {
    std::vector<std::string> Texts;
    int ExitStatus;
    std::string MessagesHash;
    std::string ReportHash;
    std::string Line;
};

inline std::vector<HashedDesign> HashedDesigns()
{
    std::ifstream in(Data / "random_designs.txt");
    std::vector<HashedDesign> designs;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        HashedDesign design;
        design.Line = line;
        design.Texts.resize(InputFieldCount);
        for (std::string& text : design.Texts)
            fields >> text;
        std::string bar;
        fields >> bar >> design.ExitStatus >> bar >> design.MessagesHash >> bar
            >> design.ReportHash;
        designs.push_back(design);
    }
    return designs;
}

// The key of a design in settling.json: the name of a named case, "random N" for the N-th
// (from 0) hashed design.
inline std::string RandomKey(std::size_t index)
{
    return "random " + std::to_string(index);
}

// A report split into its words and its numbers: two reports of one design that differ only
// in digits have the same shape.
struct ReportShape {
    std::string Shape; // the report with every number replaced by '#' and spaces collapsed
    std::vector<double> Numbers;
    std::vector<double> LastDigits; // the unit of each number's last printed digit
};

inline ReportShape ShapeOf(const std::string& report)
{
    ReportShape split;
    std::size_t i = 0;
    while (i < report.size()) {
        const char c = report[i];
        const bool startsNumber = std::isdigit(static_cast<unsigned char>(c))
            || ((c == '-' || c == '.') && i + 1 < report.size()
                && std::isdigit(static_cast<unsigned char>(report[i + 1])));
        if (!startsNumber) {
            if (c != ' ' || split.Shape.empty() || split.Shape.back() != ' ')
                split.Shape += c;
            ++i;
            continue;
        }
        std::size_t end = i + 1;
        while (end < report.size()
            && (std::isdigit(static_cast<unsigned char>(report[end])) || report[end] == '.'
                || report[end] == 'e' || report[end] == 'E'
                || ((report[end] == '-' || report[end] == '+')
                    && (report[end - 1] == 'e' || report[end - 1] == 'E'))))
            ++end;
        const std::string number = report.substr(i, end - i);
        split.Numbers.push_back(std::stod(number));
        const std::size_t point = number.find('.');
        const std::size_t mantissaEnd = std::min(number.find_first_of("eE"), number.size());
        const int decimals =
            point == std::string::npos ? 0 : static_cast<int>(mantissaEnd - point - 1);
        const double exponent =
            mantissaEnd < number.size() ? std::stod(number.substr(mantissaEnd + 1)) : 0;
        split.LastDigits.push_back(std::pow(10.0, exponent - decimals));
        split.Shape += '#';
        i = end;
    }
    return split;
}

// What settling.json keeps of a design that is not settled: the shape of its report and, for
// each number, the range it took over runs with the flow rate moved by 1, 2, 4 ... 64 units in
// the last place. Another processor's last bit moves such a design as much as that.
struct SettlingRange {
    std::string Shape;
    std::vector<double> Low;
    std::vector<double> High;
};

struct SettlingRecord {
    std::map<std::string, bool> Settled;
    std::map<std::string, SettlingRange> Ranges;
};

inline SettlingRecord ReadSettling()
{
    std::ifstream in(Data / "settling.json");
    const nlohmann::json document = nlohmann::json::parse(in);
    SettlingRecord record;
    for (const auto& [key, settled] : document.at("settled").items())
        record.Settled[key] = settled;
    for (const auto& [key, range] : document.at("unsettled").items())
        record.Ranges[key] = { range.at("shape"), range.at("low"), range.at("high") };
    return record;
}

// Empty when `report` has the shape of the range and every number lies within it, widened by
// its own width and one unit of the last printed digit on both sides; otherwise what differs.
inline std::string OutsideRange(const std::string& report, const SettlingRange& range)
{
    const ReportShape split = ShapeOf(report);
    if (split.Shape != range.Shape)
        return "the report has another shape:\n" + split.Shape;
    for (std::size_t k = 0; k < split.Numbers.size(); ++k) {
        const double width = range.High[k] - range.Low[k] + split.LastDigits[k];
        if (split.Numbers[k] < range.Low[k] - width || split.Numbers[k] > range.High[k] + width)
            return "number " + std::to_string(k + 1) + " of the report, "
                + std::to_string(split.Numbers[k]) + ", is outside "
                + std::to_string(range.Low[k]) + " .. " + std::to_string(range.High[k]);
    }
    return "";
}

} // namespace karrow::regression
