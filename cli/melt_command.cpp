#include "melt_command.h"

#include "exit_status.h"

#include "output_checks.h"
#include "run/design_run.h"
#include "run/input_reading.h"
#include "run/material_power_law.h"
#include "run/melt_fit.h"
#include "run/whole_file.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <nlohmann/json.hpp>
#include <sstream>

namespace karrow {

namespace {

    namespace fs = std::filesystem;

    constexpr const char* MaterialsFooter =
        R"(Without NAME: the grades of the library that ships with Karrow and the user's own
grades, files of the same format in $XDG_DATA_HOME/karrow/materials (by default
~/.local/share/karrow/materials). A user grade of a library grade's name replaces
it and is listed as "user, replaces library". With NAME: that grade in full, and
its equivalent power law in the design the field options (or --inputs) give, at
--temperature (default: the middle of its processing window): the tangent to its
flow curve at the geometric mean of the lowest and highest wall shear rates of
the design's exact network, with the options that run the classic report with it.
Exit status: 0; 2 the grade is shown but has no equivalent (inputs rejected, a
temperature where its law does not hold); 64 no grade of that name.)";

    constexpr const char* FitFooter =
        R"(DATA.csv holds three columns: temperature (C), shear rate (1/s), viscosity
(Pa.s); a first line of names is skipped, and lines starting with '#'. The fit is
least squares in ln(viscosity) (GSL's Levenberg-Marquardt). cross and
carreau-yasuda take --shift arrhenius (2 temperatures at least) or wlf (3);
carreau-yasuda's eta_inf is held at 0. cross-wlf fits n, tau_star, D1 and A1 with
--d2 (C, about the glass transition) and --a2 (K, default 51.6) held and D3 0.
Measurements that cannot determine the law are refused, saying what is missing.
The melt file (default: DATA's name with "-melt.json", in the current folder)
can be given to --melt, or copied into the user's materials folder.
Exit status: 0 fitted and written; 2 the measurements cannot determine the law;
64 bad usage, a CSV that cannot be read or a melt file that cannot be written;
5 standard output cannot be written.)";

    std::string Number(double value)
    {
        char text[64];
        std::snprintf(text, sizeof text, "%.6g", value);
        return text;
    }

    // A field text with `significant` digits and no exponent, as the window's field reads it.
    std::string FieldNumber(double value, int significant, char separator)
    {
        int decimals = significant - 1;
        for (double magnitude = std::abs(value); magnitude >= 10 && decimals > 0; magnitude /= 10)
            --decimals;
        for (double magnitude = std::abs(value); magnitude > 0 && magnitude < 1; magnitude *= 10)
            ++decimals;
        char text[64];
        std::snprintf(text, sizeof text, "%.*f", decimals, value);
        std::string field = text;
        for (char& c : field)
            if (c == '.')
                c = separator;
        return field;
    }

    // " unit", or nothing for a pure number.
    std::string UnitText(std::string_view unit)
    {
        return unit == "1" || unit.empty() ? std::string() : " " + std::string(unit);
    }

    std::string OriginText(const ListedGrade& grade)
    {
        if (grade.Origin == GradeOrigin::Library)
            return "library";
        return grade.ReplacesLibraryGrade ? "user, replaces library" : "user";
    }

    std::string LawText(const Melt& melt)
    {
        std::string text(ModelName(melt.Model));
        if (melt.Shift != TemperatureShift::None)
            text += ", " + std::string(ShiftName(melt.Shift));
        return text;
    }

    int ListGrades(const MaterialFolders& folders)
    {
        const MaterialCatalogue catalogue = ListMaterials(folders);
        for (const std::string& problem : catalogue.Problems)
            std::cerr << "karrow-cli materials: skipped " << problem << '\n';
        std::ostringstream out;
        char line[256];
        std::snprintf(line, sizeof line, "%-24s %-6s %-26s %-11s %s\n", "NAME", "FAMILY",
            "LAW", "WINDOW (C)", "ORIGIN");
        out << line;
        for (const ListedGrade& g : catalogue.Grades) {
            const std::string window
                = Number(g.Grade.Processing.Low) + "-" + Number(g.Grade.Processing.High);
            std::snprintf(line, sizeof line, "%-24s %-6s %-26s %-11s %s\n", g.Grade.Name.c_str(),
                g.Grade.Family.c_str(), LawText(g.Grade.Melt).c_str(), window.c_str(),
                OriginText(g).c_str());
            out << line;
        }
        out << catalogue.Grades.size() << " grades; library: "
            << (folders.Library.empty() ? "none found" : folders.Library)
            << "; user grades: " << (folders.User.empty() ? "no home folder" : folders.User)
            << '\n';
        return WriteStandardOutput(out.str()) == 0 ? ExitFinished : ExitFault;
    }

    std::string GradeText(const ListedGrade& listed)
    {
        const MaterialGrade& g = listed.Grade;
        std::ostringstream out;
        out << g.Name << " (" << g.Family << "), " << OriginText(listed) << ": " << listed.Path
            << '\n';
        std::string section = "-";
        for (const MeltConstant& c : ConstantsOf(g.Melt.Model, g.Melt.Shift)) {
            const std::string next = SectionOf(c);
            if (next != section && !next.empty())
                out << "  " << next << ": "
                    << (next == "viscosity" ? ModelName(g.Melt.Model) : ShiftName(g.Melt.Shift))
                    << '\n';
            section = next;
            out << (next.empty() ? "  " : "    ") << c.Name << " = " << Number(g.Melt.*c.Member)
                << UnitText(c.Unit) << '\n';
        }
        out << "  processing temperature: " << Number(g.Processing.Low) << " to "
            << Number(g.Processing.High) << " C\n"
            << "  source: " << g.Source << '\n';
        if (!g.Notes.empty())
            out << "  notes: " << g.Notes << '\n';
        return out.str();
    }

    // The equivalent power law of the grade in the design of `texts`, in words and options.
    std::optional<std::string> EquivalentText(const MaterialGrade& g, double temperature,
        const FieldTexts& texts, char separator, std::string& problem)
    {
        const InputReading reading = ReadInputs(
            [&](Field field) { return texts[field]; }, separator);
        if (!reading.Values) {
            problem = "the design's inputs are not accepted, so its shear rates are not known";
            return std::nullopt;
        }
        if (auto why = MeltTemperatureProblem(g.Melt, temperature)) {
            problem = *why;
            return std::nullopt;
        }
        const DesignEquivalent answer = DesignPowerLaw(*reading.Values, g.Melt, temperature);
        if (!answer.Law) {
            problem = answer.Problem;
            return std::nullopt;
        }
        const EquivalentPowerLaw& law = *answer.Law;
        std::ostringstream out;
        out << "At " << Number(temperature) << " C in this design (wall shear rates "
            << Number(answer.Range.Low) << " to " << Number(answer.Range.High)
            << " 1/s, representative " << Number(law.RepresentativeRate) << " 1/s, "
            << answer.Rounds << " networks):\n"
            << "  viscosity there " << Number(law.Viscosity) << " Pa.s; tangent power law n = "
            << Number(law.PowerLawIndex) << ", " << Number(law.StandardViscosity)
            << " gf.sec/cm2 at " << Number(law.StandardShearRate) << " 1/sec\n"
            << "  classic run: karrow-cli --power-law-index="
            << FieldNumber(law.PowerLawIndex, 4, separator)
            << " --standard-viscosity=" << FieldNumber(law.StandardViscosity, 4, separator)
            << '\n';
        return out.str();
    }

    int ShowGrade(const MeltCommandOptions& o, const MaterialFolders& folders,
        const FieldTexts& texts, char separator)
    {
        const MaterialLookup lookup = FindMaterial(folders, o.Name);
        if (!lookup.Found) {
            std::cerr << "karrow-cli materials: " << lookup.Problem << '\n';
            return ExitUsage;
        }
        const MaterialGrade& g = lookup.Found->Grade;
        std::string text = GradeText(*lookup.Found);
        const double temperature
            = o.Temperature.value_or((g.Processing.Low + g.Processing.High) / 2);
        std::string problem;
        const auto equivalent = EquivalentText(g, temperature, texts, separator, problem);
        if (equivalent)
            text += *equivalent;
        if (WriteStandardOutput(text) != 0)
            return ExitFault;
        if (!equivalent) {
            std::cerr << "karrow-cli materials: no equivalent power law: " << problem << '\n';
            return ExitInputsRejected;
        }
        return ExitFinished;
    }

    FitRequest RequestOf(const MeltCommandOptions& o)
    {
        FitRequest request;
        request.Model = o.Model;
        request.Shift = o.Shift;
        request.ReferenceTemperature = o.ReferenceTemperature;
        request.D2 = o.D2;
        request.A2 = o.A2;
        return request;
    }

    std::string FitText(const MeltFit& fit, const FitRequest& r, const std::string& data)
    {
        std::ostringstream out;
        out << "Fitted " << r.Model;
        if (r.Model != "cross-wlf")
            out << " with a " << r.Shift << " shift";
        out << " to " << fit.Points << " measurements of \"" << data << "\" (" << fit.Iterations
            << " iterations):\n";
        for (const FittedConstant& c : fit.Constants) {
            std::string unit;
            for (const MeltConstant& m : AllMeltConstants())
                if (m.Name == c.Name)
                    unit = m.Unit;
            out << "  " << c.Name << " = " << Number(c.Value);
            if (c.Fitted)
                out << " +- " << Number(c.StandardError);
            out << UnitText(unit) << (c.Fitted ? "" : " (held)") << '\n';
        }
        out << "  rms misfit of ln(viscosity): " << Number(fit.RmsLogResidual) << " (sum of squares "
            << Number(fit.SumOfSquares) << ")\n";
        return out.str();
    }

    std::string FitJson(const MeltFit& fit, const std::string& data)
    {
        nlohmann::ordered_json doc;
        doc["data"] = fs::path(data).filename().string();
        doc["points"] = fit.Points;
        doc["iterations"] = fit.Iterations;
        doc["rms_log_residual"] = fit.RmsLogResidual;
        nlohmann::ordered_json errors = nlohmann::ordered_json::object();
        nlohmann::ordered_json held = nlohmann::ordered_json::array();
        for (const FittedConstant& c : fit.Constants) {
            if (c.Fitted)
                errors[c.Name] = c.StandardError;
            else
                held.push_back(c.Name);
        }
        doc["standard_errors"] = errors;
        doc["held"] = held;
        return doc.dump();
    }

    int FitMeltFile(const MeltCommandOptions& o)
    {
        const MeasurementReading reading = ReadMeasurements(o.Data);
        if (!reading.Problem.empty()) {
            std::cerr << "karrow-cli fit-melt: " << reading.Problem << '\n';
            return ExitUsage;
        }
        const FitRequest request = RequestOf(o);
        const MeltFit fit = FitMelt(reading.Points, request, o.Data);
        if (!fit.Fitted) {
            std::cerr << "karrow-cli fit-melt: " << fit.Problem << '\n';
            return ExitInputsRejected;
        }
        MaterialGrade grade;
        grade.Name = o.MeltName.empty() ? fs::path(o.Data).stem().string() : o.MeltName;
        grade.Family = o.Family;
        grade.Melt = *fit.Fitted;
        grade.Melt.Density = o.Density * 1000; // g/cm3 -> kg/m3
        grade.Melt.HeatCapacity = o.HeatCapacity * 1000; // J/(g K) -> J/(kg K)
        double low = reading.Points.front().Temperature;
        double high = low;
        for (const Measurement& m : reading.Points) {
            low = std::min(low, m.Temperature);
            high = std::max(high, m.Temperature);
        }
        grade.Processing = { low, high };
        grade.Source = "fitted by karrow-cli fit-melt to the measurements \""
            + fs::path(o.Data).filename().string() + "\"";
        grade.Notes = "processing temperature: the range measured; density and heat capacity as "
                      "given to fit-melt (--density, --heat-capacity), not fitted";
        const std::string output
            = o.Output.empty() ? fs::path(o.Data).stem().string() + "-melt.json" : o.Output;
        std::string text = FitText(fit, request, o.Data);
        if (const int status
            = WriteOutputStatus(output, MaterialJson(grade, FitJson(fit, o.Data)), "melt file"))
            return status;
        text += "Melt file: "
            + (output == "-" ? std::string("standard output") : fs::absolute(output).string())
            + " (density " + Number(grade.Melt.Density) + " kg/m3, heat capacity "
            + Number(grade.Melt.HeatCapacity) + " J/(kg.K))\n";
        std::cerr << (output == "-" ? text : "");
        return output == "-" || WriteStandardOutput(text) == 0 ? ExitFinished : ExitFault;
    }

    // The folder of this program, from the kernel's link to it.
    fs::path ProgramFolder()
    {
        std::error_code error;
        const fs::path self = fs::read_symlink("/proc/self/exe", error);
        return error ? fs::path() : self.parent_path();
    }

} // namespace

void AddMeltCommands(CLI::App& app, MeltCommandOptions& o)
{
    o.Materials = app.add_subcommand("materials", "list the melt grades, or show one");
    o.Materials->fallthrough();
    o.Materials->footer(MaterialsFooter);
    o.Materials->add_option("name", o.Name, "the grade to show in full")->option_text("NAME");
    o.Materials->add_option("--temperature", o.Temperature,
           "melt temperature of the equivalent power law, C (default: the middle of the "
           "grade's processing window)")
        ->option_text("C");

    o.FitMelt = app.add_subcommand("fit-melt", "fit a melt to measured viscosities");
    o.FitMelt->footer(FitFooter);
    o.FitMelt->add_option("data", o.Data, "CSV of temperature C, shear rate 1/s, viscosity Pa.s")
        ->required()
        ->option_text("DATA.csv");
    o.FitMelt->add_option("--model", o.Model, "the law to fit")
        ->required()
        ->check(CLI::IsMember({ "cross", "carreau-yasuda", "cross-wlf" }))
        ->option_text("cross|carreau-yasuda|cross-wlf");
    o.FitMelt->add_option("--shift", o.Shift, "temperature shift of cross and carreau-yasuda")
        ->check(CLI::IsMember({ "arrhenius", "wlf" }))
        ->option_text("arrhenius|wlf");
    o.FitMelt->add_option("--reference-temperature", o.ReferenceTemperature,
           "C, of the shift (default: the middle measured temperature)")
        ->option_text("C");
    o.FitMelt->add_option("--d2", o.D2, "C, cross-wlf's D2, held")->option_text("C");
    o.FitMelt->add_option("--a2", o.A2, "K, cross-wlf's A2, held (default 51.6)")
        ->option_text("K");
    o.FitMelt->add_option("--output", o.Output, "the melt file to write (- for stdout)")
        ->option_text("FILE");
    o.FitMelt->add_option("--name", o.MeltName, "the melt's name (default: DATA's)")
        ->option_text("NAME");
    o.FitMelt->add_option("--family", o.Family, "the melt's family (LDPE, PP, ...)")
        ->option_text("TEXT");
    o.FitMelt->add_option("--density", o.Density, "melt density, g/cm3 (default 0.75)")
        ->check(CLI::PositiveNumber)
        ->option_text("NUMBER");
    o.FitMelt->add_option("--heat-capacity", o.HeatCapacity,
           "melt heat capacity, J/(g K) (default 2.3)")
        ->check(CLI::PositiveNumber)
        ->option_text("NUMBER");
}

bool MeltCommandParsed(const MeltCommandOptions& o)
{
    return (o.Materials != nullptr && o.Materials->parsed())
        || (o.FitMelt != nullptr && o.FitMelt->parsed());
}

MaterialFolders DefaultMaterialFolders()
{
    return MaterialFoldersOf(ProgramFolder().string(),
        { KARROW_INSTALLED_MATERIALS, KARROW_SOURCE_MATERIALS }, std::getenv("XDG_DATA_HOME"),
        std::getenv("HOME"));
}

int RunMeltCommand(
    const MeltCommandOptions& o, const FieldTexts& texts, char separator)
{
    if (o.FitMelt->parsed())
        return FitMeltFile(o);
    const MaterialFolders folders = DefaultMaterialFolders();
    return o.Name.empty() ? ListGrades(folders) : ShowGrade(o, folders, texts, separator);
}

} // namespace karrow
