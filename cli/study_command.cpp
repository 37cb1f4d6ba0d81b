#include "study_command.h"

#include "run/design_run.h"
#include "run/sweep.h"
#include "run/whole_file.h"

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <system_error>
#include <unistd.h>

namespace karrow {

namespace {

    using Texts = std::array<std::string, 15>;

    // Writes `text` to `path` ("-": stdout), replacing a file only by a complete one.
    bool WriteOutput(const std::string& path, const std::string& text, const char* what)
    {
        if (path == "-") {
            std::cout << text << std::flush;
            return true;
        }
        if (const int error = ReplaceFileWhole(path, text)) {
            std::cerr << "karrow-cli: cannot write the " << what << " \""
                      << std::filesystem::absolute(path).string()
                      << "\": " << std::generic_category().message(error) << '\n';
            return false;
        }
        return true;
    }

    void ShowProgress(std::size_t done, std::size_t total)
    {
        constexpr int Width = 40;
        const int filled = total == 0 ? Width : static_cast<int>(Width * done / total);
        std::fprintf(stderr, "\r[%s%s] %zu/%zu",
            std::string(static_cast<std::size_t>(filled), '#').c_str(),
            std::string(static_cast<std::size_t>(Width - filled), ' ').c_str(), done, total);
        if (done == total)
            std::fprintf(stderr, "\n");
    }

} // namespace

CLI::App* AddStudyCommand(CLI::App& app, StudyOptions& o, std::string& json)
{
    CLI::App* sweep = app.add_subcommand("sweep", "run a study over a grid of designs");
    sweep->fallthrough();
    sweep->add_option("--vary", o.Vary, "vary a field: FIELD=FROM:TO:COUNT (repeatable)")
        ->required()
        ->option_text("FIELD=FROM:TO:COUNT");
    sweep->add_option("--jobs,-j", o.Jobs, "designs calculated at once (default: all cores)")
        ->check(CLI::Range(1, 256));
    sweep->add_option("--csv", o.Csv, "write one row per design (- for stdout)")
        ->option_text("FILE");
    sweep->add_option("--json", json, "write one JSON document per design and line")
        ->option_text("FILE");
    return sweep;
}

int RunStudy(const StudyOptions& o, const std::string& json, const Texts& fixed,
    SolverChoice solver, const MeltProperties& melt, char separator)
{
    std::vector<Variation> variations;
    for (const std::string& text : o.Vary) {
        std::string problem;
        const auto variation = ParseVariation(text, problem);
        if (!variation) {
            std::cerr << "karrow-cli sweep: --vary " << problem << '\n';
            return ExitUsage;
        }
        variations.push_back(*variation);
    }
    const auto designs = GridOf(fixed, variations, separator);
    const bool terminal = ::isatty(STDERR_FILENO) == 1;
    const auto records =
        RunSweep(designs, solver, melt, separator, o.Jobs, [&](std::size_t done) {
            if (terminal)
                ShowProgress(done, designs.size());
        });
    std::string csv = SweepCsvHeader();
    std::string documents;
    for (const RunRecord& record : records) {
        csv += SweepCsvRow(record);
        documents += RunJson(record) + "\n";
    }
    if (!o.Csv.empty() && !WriteOutput(o.Csv, csv, "CSV table"))
        return ExitUsage;
    if (!json.empty() && !WriteOutput(json, documents, "JSON documents"))
        return ExitUsage;
    if (o.Csv.empty() && json.empty())
        std::cout << csv;
    return ExitFinished;
}

} // namespace karrow
