#include "material_grade.h"

#include <cmath>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

namespace karrow {

namespace {

    using Json = nlohmann::ordered_json;
    using R = ConstantRange;

    const std::vector<LawInfo> Laws = {
        { "cross",
            { { "eta0", "Pa s", "zero-shear viscosity at the reference temperature" },
                { "tau_star", "Pa", "shear stress of the transition to shear thinning" },
                { "n", "-", "power-law index of the shear-thinning branch", R::PowerLawIndex } } },
        { "carreau-yasuda",
            { { "eta0", "Pa s", "zero-shear viscosity at the reference temperature" },
                { "eta_inf", "Pa s", "infinite-shear viscosity", R::NonNegative },
                { "lambda", "s", "time constant" },
                { "a", "-", "Yasuda's transition exponent" },
                { "n", "-", "power-law index of the shear-thinning branch", R::PowerLawIndex } } },
        { "cross-wlf",
            { { "n", "-", "power-law index of the shear-thinning branch", R::PowerLawIndex },
                { "tau_star", "Pa", "shear stress of the transition to shear thinning" },
                { "D1", "Pa s", "zero-shear viscosity at D2" },
                { "D2", "°C", "temperature at which the zero-shear viscosity is D1", R::Any },
                { "D3", "K/Pa", "rise of D2 with pressure (0: none)", R::NonNegative },
                { "A1", "-", "WLF constant of the zero-shear viscosity" },
                { "A2", "K", "WLF constant (A2~) of the zero-shear viscosity" } } },
    };

    const std::vector<LawInfo> ShiftLaws = {
        { "none", {} },
        { "arrhenius",
            { { "activation_energy", "J/mol", "activation energy of flow", R::NonNegative },
                { "reference_temperature", "°C", "temperature of the law's constants", R::Any } } },
        { "wlf",
            { { "C1", "-", "WLF constant C1 (decimal logarithm)", R::Any },
                { "C2", "K", "WLF constant C2" },
                { "reference_temperature", "°C", "temperature of the law's constants", R::Any } } },
    };

    const LawInfo* Named(const std::vector<LawInfo>& laws, const std::string& name)
    {
        for (const LawInfo& law : laws)
            if (name == law.Name)
                return &law;
        return nullptr;
    }

    std::string NamesOf(const std::vector<LawInfo>& laws)
    {
        std::string names;
        for (const LawInfo& law : laws)
            names += std::string(names.empty() ? "" : ", ") + "\"" + law.Name + "\"";
        return names;
    }

    // A refusal of the document: what is wrong with which key.
    struct Refusal {
        std::string Text;
    };

    const Json& Member(const Json& object, const std::string& key, const std::string& where)
    {
        if (!object.contains(key))
            throw Refusal { "the key \"" + where + key + "\" is missing" };
        return object.at(key);
    }

    std::string TextAt(const Json& object, const std::string& key, const std::string& where)
    {
        const Json& value = Member(object, key, where);
        if (!value.is_string() || value.get<std::string>().empty())
            throw Refusal { "\"" + where + key + "\" must be a text, not empty" };
        return value.get<std::string>();
    }

    double NumberAt(const Json& object, const std::string& key, const std::string& where)
    {
        const Json& value = Member(object, key, where);
        if (!value.is_number() || !std::isfinite(value.get<double>()))
            throw Refusal { "\"" + where + key + "\" must be a finite number" };
        return value.get<double>();
    }

    void RefuseUnknownKeys(
        const Json& object, const std::set<std::string>& known, const std::string& where)
    {
        for (const auto& item : object.items())
            if (!known.contains(item.key()))
                throw Refusal { "unknown key \"" + where + item.key() + "\"" };
    }

    const Json& ObjectAt(const Json& object, const std::string& key, const std::string& where)
    {
        const Json& value = Member(object, key, where);
        if (!value.is_object())
            throw Refusal { "\"" + where + key + "\" must be an object" };
        return value;
    }

    // The constants of `law` in the object `section` ("viscosity" or "shift"), beside "model".
    std::map<std::string, double> ConstantsOf(
        const Json& section, const LawInfo& law, const std::string& where)
    {
        std::set<std::string> known { "model" };
        std::map<std::string, double> constants;
        for (const ConstantInfo& c : law.Constants) {
            known.insert(c.Name);
            constants[c.Name] = NumberAt(section, c.Name, where);
        }
        RefuseUnknownKeys(section, known, where);
        return constants;
    }

    MaterialGrade GradeOf(const Json& doc)
    {
        if (!doc.is_object())
            throw Refusal { "the document is not a JSON object" };
        RefuseUnknownKeys(doc,
            { "format", "version", "name", "family", "viscosity", "shift", "density",
                "heat_capacity", "processing_temperature", "source", "notes", "fit" },
            "");
        if (TextAt(doc, "format", "") != MaterialFormatName)
            throw Refusal { std::string("\"format\" must be \"") + MaterialFormatName + "\"" };
        const Json& version = Member(doc, "version", "");
        if (!version.is_number_integer() || version.get<long long>() != MaterialFormatVersion)
            throw Refusal { "\"version\" must be " + std::to_string(MaterialFormatVersion)
                + " (a melt file of another version of Karrow?)" };
        MaterialGrade g;
        g.Name = TextAt(doc, "name", "");
        g.Family = TextAt(doc, "family", "");
        const Json& viscosity = ObjectAt(doc, "viscosity", "");
        g.Model = TextAt(viscosity, "model", "viscosity.");
        const LawInfo* law = ViscosityLawNamed(g.Model);
        if (law == nullptr)
            throw Refusal { "\"viscosity.model\" \"" + g.Model + "\" is none of "
                + NamesOf(Laws) };
        g.Constants = ConstantsOf(viscosity, *law, "viscosity.");
        const Json& shift = ObjectAt(doc, "shift", "");
        g.Shift = TextAt(shift, "model", "shift.");
        const LawInfo* shiftLaw = ShiftNamed(g.Shift);
        if (shiftLaw == nullptr)
            throw Refusal { "\"shift.model\" \"" + g.Shift + "\" is none of "
                + NamesOf(ShiftLaws) };
        if ((g.Model == "cross-wlf") != (g.Shift == "none"))
            throw Refusal { "\"shift.model\" must be \"none\" for cross-wlf, which shifts by its "
                            "own constants, and is needed for any other law" };
        g.ShiftConstants = ConstantsOf(shift, *shiftLaw, "shift.");
        g.Density = NumberAt(doc, "density", "");
        g.HeatCapacity = NumberAt(doc, "heat_capacity", "");
        const Json& window = ObjectAt(doc, "processing_temperature", "");
        RefuseUnknownKeys(window, { "low", "high" }, "processing_temperature.");
        g.Processing.Low = NumberAt(window, "low", "processing_temperature.");
        g.Processing.High = NumberAt(window, "high", "processing_temperature.");
        g.Source = TextAt(doc, "source", "");
        if (doc.contains("notes"))
            g.Notes = TextAt(doc, "notes", "");
        return g;
    }

    std::optional<std::string> RangeProblem(const ConstantInfo& c, double value, const char* where)
    {
        const std::string name = std::string("\"") + where + c.Name + "\"";
        switch (c.Range) {
        case R::Positive:
            if (!(value > 0))
                return name + " must be positive";
            break;
        case R::NonNegative:
            if (!(value >= 0))
                return name + " must not be negative";
            break;
        case R::PowerLawIndex:
            if (!(value > 0 && value <= 1.5))
                return name + " must lie in (0, 1.5]";
            break;
        case R::Any:
            break;
        }
        return std::nullopt;
    }

} // namespace

const std::vector<LawInfo>& ViscosityLaws() { return Laws; }
const std::vector<LawInfo>& Shifts() { return ShiftLaws; }
const LawInfo* ViscosityLawNamed(const std::string& name) { return Named(Laws, name); }
const LawInfo* ShiftNamed(const std::string& name) { return Named(ShiftLaws, name); }

std::optional<std::string> LawConstantsProblem(const MaterialGrade& g)
{
    const LawInfo* law = ViscosityLawNamed(g.Model);
    const LawInfo* shift = ShiftNamed(g.Shift);
    if (law == nullptr || shift == nullptr)
        return "unknown law \"" + (law == nullptr ? g.Model : g.Shift) + "\"";
    const std::pair<const LawInfo*, const std::map<std::string, double>*> sections[] = {
        { law, &g.Constants }, { shift, &g.ShiftConstants }
    };
    const char* where[] = { "viscosity.", "shift." };
    for (std::size_t s = 0; s < 2; ++s)
        for (const ConstantInfo& c : sections[s].first->Constants) {
            const auto found = sections[s].second->find(c.Name);
            if (found == sections[s].second->end() || !std::isfinite(found->second))
                return std::string("\"") + where[s] + c.Name + "\" is missing";
            if (auto problem = RangeProblem(c, found->second, where[s]))
                return problem;
        }
    if (g.Model == "carreau-yasuda" && !(g.Constants.at("eta_inf") < g.Constants.at("eta0")))
        return "\"viscosity.eta_inf\" must be below \"viscosity.eta0\"";
    return std::nullopt;
}

std::optional<std::string> ConstantsProblem(const MaterialGrade& g)
{
    if (auto problem = LawConstantsProblem(g))
        return problem;
    if (!(g.Density > 0))
        return "\"density\" must be positive (kg/m3)";
    if (!(g.HeatCapacity > 0))
        return "\"heat_capacity\" must be positive (J/(kg K))";
    if (!(g.Processing.Low <= g.Processing.High))
        return "\"processing_temperature.low\" must not be above \"processing_temperature.high\"";
    return std::nullopt;
}

MaterialReading ParseMaterial(const std::string& document, const std::string& origin)
{
    MaterialReading reading;
    try {
        MaterialGrade grade = GradeOf(Json::parse(document));
        if (auto problem = ConstantsProblem(grade))
            throw Refusal { *problem };
        reading.Grade = std::move(grade);
    } catch (const Json::parse_error& e) {
        const std::string what = e.what();
        const std::size_t tag = what.find("] ");
        reading.Problem = "\"" + origin + "\" is not a JSON document: "
            + (tag == std::string::npos ? what : what.substr(tag + 2));
    } catch (const Refusal& r) {
        reading.Problem = "\"" + origin + "\": " + r.Text;
    }
    return reading;
}

MaterialReading ReadMaterialFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    if (!in || !(text << in.rdbuf()) || in.bad()) {
        MaterialReading reading;
        reading.Problem = "cannot read the melt file \"" + path + "\"";
        return reading;
    }
    return ParseMaterial(text.str(), path);
}

std::string MaterialJson(const MaterialGrade& g, const std::string& fitJson)
{
    Json doc;
    doc["format"] = MaterialFormatName;
    doc["version"] = MaterialFormatVersion;
    doc["name"] = g.Name;
    doc["family"] = g.Family;
    Json viscosity { { "model", g.Model } };
    for (const ConstantInfo& c : ViscosityLawNamed(g.Model)->Constants)
        viscosity[c.Name] = g.Constants.at(c.Name);
    doc["viscosity"] = viscosity;
    Json shift { { "model", g.Shift } };
    for (const ConstantInfo& c : ShiftNamed(g.Shift)->Constants)
        shift[c.Name] = g.ShiftConstants.at(c.Name);
    doc["shift"] = shift;
    doc["density"] = g.Density;
    doc["heat_capacity"] = g.HeatCapacity;
    doc["processing_temperature"] = { { "low", g.Processing.Low }, { "high", g.Processing.High } };
    doc["source"] = g.Source;
    if (!g.Notes.empty())
        doc["notes"] = g.Notes;
    if (!fitJson.empty())
        doc["fit"] = Json::parse(fitJson);
    return doc.dump(2) + "\n";
}

} // namespace karrow
