// karrow-cli: one calculation without a window. Each option takes the text a user would type
// into the field of the same name; a field not given takes the window's default text.

#include "run/fields.h"
#include "run/kept_texts.h"
#include "run/run_driver.h"
#include "solver/fault.h"

#include <CLI/CLI.hpp>
#include <array>
#include <clocale>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>

namespace {

constexpr int ExitFinished = 0;
constexpr int ExitInputsRejected = 2;
constexpr int ExitReportFailed = 3;
constexpr int ExitNotConverged = 4;
constexpr int ExitFault = 5;
constexpr int ExitUsage = 64;

constexpr const char* Footer =
    R"(Each option takes the text a user would type into the window's field, parsed by the
same rules; write --option=TEXT to pass any text unchanged (empty, starting with "-"
or a blank, or with trailing blanks). A field not given takes the window's default.
The report goes to --output (default "result.txt"), resolved against the current
folder. Messages go to stderr; on success the finish message and the report's path
go to stdout.

Exit status:
  0   finished: the report is complete
  2   inputs rejected: no file touched
  3   the report could not be created or appended (a partial report is deleted)
  4   no convergence (the partial report is deleted)
  5   an error not handled by any step (arithmetic fault, I/O error): the report
      is left as far as it was written
  64  bad command-line usage)";

// The decimal separator of the user's regional settings, "." when there is none or it is not
// a single byte.
char RegionalDecimalSeparator()
{
    std::setlocale(LC_NUMERIC, "");
    const char* point = std::localeconv()->decimal_point;
    const char separator = point != nullptr && std::strlen(point) == 1 ? point[0] : '.';
    std::setlocale(LC_NUMERIC, "C");
    return separator;
}

class CommandLineInterface : public karrow::UserInterface {
public:
    explicit CommandLineInterface(std::array<std::string, 15> texts)
        : texts_(std::move(texts))
    {
    }
    std::string FieldText(int field) const override
    {
        return texts_.at(static_cast<std::size_t>(field - 1));
    }
    void ShowMessage(const std::string& text) override { std::cerr << text << '\n'; }
    void ShowFinishDialog() override
    {
        std::cout << karrow::FinishedMessage << "\n"
                  << std::filesystem::absolute(FieldTextPath()).string() << '\n';
    }
    void RereadFileList() override { }

private:
    std::filesystem::path FieldTextPath() const
    {
        return karrow::ResultFileNameFrom(texts_[karrow::SaveFileNameField - 1]);
    }
    std::array<std::string, 15> texts_;
};

// The field of an argument "--option=TEXT", if it names one.
std::optional<int> FieldOfAssignment(const std::string& argument)
{
    const std::size_t equals = argument.find('=');
    if (!argument.starts_with("--") || equals == std::string::npos)
        return std::nullopt;
    const std::string name = argument.substr(2, equals - 2);
    for (int field = 1; field <= karrow::SaveFileNameField; ++field)
        if (name == karrow::Field(field).OptionName)
            return field;
    return std::nullopt;
}

int ExitStatusOf(karrow::RunEnd end)
{
    switch (end) {
    case karrow::RunEnd::Finished:
        return ExitFinished;
    case karrow::RunEnd::InputsRejected:
        return ExitInputsRejected;
    case karrow::RunEnd::NotConverged:
        return ExitNotConverged;
    case karrow::RunEnd::ReportNotCreated:
    case karrow::RunEnd::ModifiedConditionNotAppended:
    case karrow::RunEnd::TableNotAppended:
        return ExitReportFailed;
    }
    return ExitFault;
}

} // namespace

int main(int argc, char** argv)
{
    const char separator = RegionalDecimalSeparator();
    CLI::App app { "Karrow: melt flow and pressure along a spiral mandrel die channel "
                   "(power-law melt, 15-degree increments).",
        "karrow-cli" };
    app.footer(Footer);
    app.set_version_flag("--version", std::string("karrow-cli ") + KARROW_VERSION);
    std::array<std::optional<std::string>, 15> given;
    for (int field = 1; field <= karrow::SaveFileNameField; ++field) {
        const karrow::FieldInfo& info = karrow::Field(field);
        const std::string description =
            std::string(field == karrow::SaveFileNameField ? "report file (\"Save File Name\")"
                                                           : info.Label)
            + ", default \"" + karrow::DefaultFieldText(field, separator) + "\"";
        app.add_option("--" + std::string(info.OptionName),
               given[static_cast<std::size_t>(field - 1)], description)
            ->option_text("TEXT");
    }
    // CLI11 refuses "--option=" with an empty text, which a user can type into a field; take every
    // "--option=TEXT" of a field verbatim and hand the rest to CLI11.
    std::vector<std::string> rest;
    for (int i = argc - 1; i >= 1; --i) {
        const std::string argument = argv[i];
        const auto field = FieldOfAssignment(argument);
        if (field && !given[static_cast<std::size_t>(*field - 1)])
            given[static_cast<std::size_t>(*field - 1)] = argument.substr(argument.find('=') + 1);
        else if (!field)
            rest.push_back(argument);
    }
    try {
        app.parse(rest);
    } catch (const CLI::Success& e) { // --help, --version
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return ExitUsage;
    }

    std::array<std::string, 15> texts;
    for (int field = 1; field <= karrow::SaveFileNameField; ++field) {
        const auto& text = given[static_cast<std::size_t>(field - 1)];
        texts[static_cast<std::size_t>(field - 1)] =
            text ? *text : karrow::DefaultFieldText(field, separator);
    }
    CommandLineInterface ui(texts);
    try {
        return ExitStatusOf(karrow::RunCalculation(ui, separator).End);
    } catch (const std::exception& e) {
        std::cerr << "Karrow: " << e.what() << '\n';
        return ExitFault;
    }
}
