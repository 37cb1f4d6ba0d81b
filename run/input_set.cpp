#include "input_set.h"

#include "fields.h"
#include "input_set_melt.h"
#include "posix_file.h"
#include "whole_file.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <set>
#include <stdexcept>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <variant>

namespace karrow {

namespace {

    using Json = nlohmann::ordered_json; // keeps the fields in the order of the window

    constexpr const char* FormatName = "karrow-inputs";
    // No field of the window needs more; a longer text is not something a designer typed.
    constexpr std::size_t LongestText = 4096;
    // An input set is a few hundred bytes; this bounds what a wrong file can make us read.
    constexpr off_t LargestFile = 1 << 20;

    std::string Quoted(const std::string& text)
    {
        return "\"" + text + "\"";
    }

    std::string SystemReason(int error)
    {
        return std::generic_category().message(error);
    }

    // Why `text` cannot be kept in an input set as it is, or nothing.
    std::optional<std::string> TextProblem(const std::string& name, const std::string& text)
    {
        if (text.size() > LongestText)
            return "The field " + Quoted(name) + " is longer than " + std::to_string(LongestText)
                + " bytes.";
        try {
            (void)Json(text).dump(-1, ' ', false, Json::error_handler_t::strict);
        } catch (const Json::type_error&) {
            return "The field " + Quoted(name) + " is not UTF-8 text.";
        }
        return std::nullopt;
    }

    // A set may come from someone else: its report name must stay in the folder the user runs
    // it in, so a folder, "." or ".." (or a NUL, which would cut the name) is refused.
    std::optional<std::string> ReportNameProblem(const std::string& name)
    {
        if (name.find('/') != std::string::npos || name.find('\0') != std::string::npos
            || name == "." || name == "..")
            return "The field \"output\" must be a plain file name, without a folder, \"..\" or a "
                   "NUL character: the report goes to the folder the run is started in.";
        return std::nullopt;
    }

    std::optional<std::string> FieldProblem(Field field, const std::string& text)
    {
        if (auto problem = TextProblem(InfoOf(field).JsonKey, text))
            return problem;
        return field == Field::SaveFileName ? ReportNameProblem(text) : std::nullopt;
    }

    std::optional<std::string> SetProblem(const InputSet& set)
    {
        for (const Field field : AllFields)
            if (auto problem = FieldProblem(field, set.Texts[field]))
                return problem;
        if (set.RealMelt) {
            if (auto problem = TextProblem("melt.name", set.RealMelt->Name))
                return problem;
            return InputSetMeltProblem(*set.RealMelt);
        }
        return std::nullopt;
    }

    // Numbers are stored with a full stop whatever the regional settings, and a set written with
    // a comma (by an older Karrow under a comma locale) still reads: in the fields of numbers,
    // either separator becomes the one the run parses with.
    std::string WithSeparator(std::string text, char from, char to)
    {
        for (char& c : text)
            if (c == from)
                c = to;
        return text;
    }

    // nlohmann's message without its "[json.exception.parse_error.101] " tag.
    std::string PlainParseError(const Json::exception& error)
    {
        const std::string what = error.what();
        const std::size_t tagEnd = what.find("] ");
        return tagEnd == std::string::npos ? what : what.substr(tagEnd + 2);
    }

    // The version of the document, or why it is not an input set this Karrow reads.
    std::variant<int, std::string> VersionOf(const Json& document)
    {
        if (!document.is_object())
            return std::string("The document is not an input set: it is not a JSON object.");
        const auto format = document.find("format");
        if (format == document.end() || !format->is_string() || *format != FormatName)
            return "The document is not an input set: its \"format\" is not " + Quoted(FormatName)
                + ".";
        const auto version = document.find("version");
        if (version == document.end())
            return std::string("The input set has no \"version\".");
        if (!version->is_number_integer())
            return std::string("The \"version\" of the input set must be a whole number.");
        const std::string ours = std::to_string(InputSetFormatVersion);
        if (*version > InputSetFormatVersion)
            return "The input set was written by a newer Karrow (version " + version->dump()
                + "); this one reads versions " + std::to_string(InputSetFirstVersion) + " to "
                + ours + ".";
        if (*version < InputSetFirstVersion)
            return "Input set version " + version->dump() + " is not supported; this Karrow reads "
                + "versions " + std::to_string(InputSetFirstVersion) + " to " + ours + ".";
        return version->get<int>();
    }

    std::optional<std::string> HeaderProblem(const Json& document, int version)
    {
        std::set<std::string> known { "format", "version", "fields" };
        if (version >= 2)
            known.insert({ "melt", "melt_conditions" });
        for (const auto& entry : document.items())
            if (!known.contains(entry.key()))
                return "The document has an unknown entry " + Quoted(entry.key())
                    + (entry.key().starts_with("melt") ? " (a melt needs an input set of version 2)"
                                                       : "")
                    + ".";
        if (document.contains("melt") != document.contains("melt_conditions"))
            return std::string("The input set must hold \"melt\" and \"melt_conditions\" "
                               "together.");
        return std::nullopt;
    }

    std::optional<std::string> FieldsProblem(const Json& fields)
    {
        if (!fields.is_object())
            return std::string("The \"fields\" of the input set must be a JSON object.");
        for (const auto& entry : fields.items())
            if (!FieldOfJsonKey(entry.key()))
                return "The input set has an unknown field " + Quoted(entry.key()) + ".";
        for (const Field field : AllFields) {
            const std::string name = InfoOf(field).JsonKey;
            const auto text = fields.find(name);
            if (text == fields.end())
                return "The field " + Quoted(name) + " is missing.";
            if (!text->is_string())
                return "The field " + Quoted(name) + " must be a text in quotes.";
            if (auto problem = FieldProblem(field, text->get<std::string>()))
                return problem;
        }
        return std::nullopt;
    }

    // The file's bytes, or the errno that stopped reading; at most one byte beyond LargestFile
    // is read, so that a file that grows while it is read is still caught.
    int ReadAll(int fd, std::string& content)
    {
        char buffer[8192];
        while (content.size() <= static_cast<std::size_t>(LargestFile)) {
            const ssize_t got = ::read(fd, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                return errno;
            if (got == 0)
                return 0;
            content.append(buffer, static_cast<std::size_t>(got));
        }
        return 0;
    }

} // namespace

std::optional<std::string> JsonTextProblem(Field field, const std::string& text)
{
    return TextProblem(InfoOf(field).JsonKey, text);
}

InputSetMelt KeptMelt(const std::string& name, const Melt& melt,
    const MeltConditions& conditions, std::optional<double> throughput)
{
    InputSetMelt kept { name, melt, {} };
    kept.Settings.MeltTemperature = conditions.MeltTemperature;
    kept.Settings.Thermal = std::string(ThermalModeName(conditions.Thermal));
    if (conditions.Thermal == ThermalMode::Heated && conditions.HeatTransferCoefficient > 0) {
        kept.Settings.WallTemperature = conditions.WallTemperature;
        kept.Settings.HeatTransferCoefficient = conditions.HeatTransferCoefficient;
    }
    kept.Settings.Throughput = throughput;
    return kept;
}

std::string InputSetJson(const InputSet& set, char decimalSeparator)
{
    if (auto problem = SetProblem(set))
        throw std::invalid_argument(*problem);
    Json fields = Json::object();
    for (const Field field : AllFields)
        fields[InfoOf(field).JsonKey] = field == Field::SaveFileName
            ? set.Texts[field]
            : WithSeparator(set.Texts[field], decimalSeparator, '.');
    // A set without a melt stays version 1, which every Karrow opens.
    Json document { { "format", FormatName },
        { "version", set.RealMelt ? InputSetFormatVersion : InputSetFirstVersion },
        { "fields", fields } };
    if (set.RealMelt) {
        document["melt"] = MeltEntry(*set.RealMelt);
        document["melt_conditions"] = MeltConditionsEntry(set.RealMelt->Settings);
    }
    return document.dump(2, ' ', false, Json::error_handler_t::strict) + "\n";
}

InputSetReading ParseInputSet(const std::string& document, char decimalSeparator)
{
    Json parsed;
    try {
        parsed = Json::parse(document);
    } catch (const Json::parse_error& error) {
        return { std::nullopt, "The document is not JSON: " + PlainParseError(error) };
    } catch (const Json::out_of_range& error) {
        return { std::nullopt,
            "The document holds a number beyond the range of a double: " + PlainParseError(error) };
    }
    const auto version = VersionOf(parsed);
    if (const auto* problem = std::get_if<std::string>(&version))
        return { std::nullopt, *problem };
    if (auto problem = HeaderProblem(parsed, std::get<int>(version)))
        return { std::nullopt, *problem };
    const auto fields = parsed.find("fields");
    if (fields == parsed.end())
        return { std::nullopt, "The input set has no \"fields\"." };
    if (auto problem = FieldsProblem(*fields))
        return { std::nullopt, *problem };
    InputSet set;
    for (const Field field : AllFields) {
        const std::string text = (*fields)[InfoOf(field).JsonKey].get<std::string>();
        set.Texts[field] = field == Field::SaveFileName
            ? text
            : WithSeparator(WithSeparator(text, ',', decimalSeparator), '.', decimalSeparator);
    }
    if (parsed.contains("melt")) {
        auto melt = InputSetMeltOf(parsed["melt"], parsed["melt_conditions"]);
        if (const auto* problem = std::get_if<std::string>(&melt))
            return { std::nullopt, *problem };
        set.RealMelt = std::get<InputSetMelt>(std::move(melt));
    }
    return { set, "" };
}

InputSetReading ReadInputSet(const std::string& path, char decimalSeparator)
{
    const auto refused = [&path](const std::string& reason) {
        return InputSetReading { std::nullopt, path + ": " + reason };
    };
    // O_NONBLOCK: a FIFO given by mistake must not hang the window until someone writes to it.
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (file.Get() < 0)
        return refused(errno == ENOENT ? "The file does not exist."
                                       : "The file cannot be opened: " + SystemReason(errno) + ".");
    struct stat status { };
    if (::fstat(file.Get(), &status) != 0)
        return refused("The file cannot be read: " + SystemReason(errno) + ".");
    if (S_ISDIR(status.st_mode))
        return refused("This is a folder, not an input set.");
    if (!S_ISREG(status.st_mode))
        return refused("This is not an ordinary file.");
    if (status.st_size > LargestFile)
        return refused("The file is larger than 1 MiB, too large for an input set.");
    std::string content;
    if (const int error = ReadAll(file.Get(), content))
        return refused("The file cannot be read: " + SystemReason(error) + ".");
    if (content.size() > static_cast<std::size_t>(LargestFile))
        return refused("The file is larger than 1 MiB, too large for an input set.");
    InputSetReading reading = ParseInputSet(content, decimalSeparator);
    if (!reading.Set)
        reading.Problem = path + ": " + reading.Problem;
    return reading;
}

std::optional<std::string> WriteInputSet(
    const std::string& path, const InputSet& set, char decimalSeparator)
{
    if (auto problem = SetProblem(set))
        return path + ": " + *problem;
    const std::string document = InputSetJson(set, decimalSeparator);

    if (const auto reason = WriteOutputFile(path, document))
        return path + ": The input set cannot be written: " + *reason + ".";
    return std::nullopt;
}

} // namespace karrow
