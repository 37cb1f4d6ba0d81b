#include "material_grade.h"

#include <cmath>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

namespace karrow {

namespace {

    using Json = nlohmann::ordered_json;

    // A refusal of the document: what is wrong with which key.
    struct Refusal {
        std::string Text;
    };

    std::string KeyName(const std::string& section, const std::string& key)
    {
        return "\"" + (section.empty() ? key : section + "." + key) + "\"";
    }

    const Json& Member(const Json& object, const std::string& key, const std::string& section)
    {
        if (!object.contains(key))
            throw Refusal { "the key " + KeyName(section, key) + " is missing" };
        return object.at(key);
    }

    std::string TextAt(const Json& object, const std::string& key, const std::string& section)
    {
        const Json& value = Member(object, key, section);
        if (!value.is_string() || value.get<std::string>().empty())
            throw Refusal { KeyName(section, key) + " must be a text, not empty" };
        return value.get<std::string>();
    }

    double NumberAt(const Json& object, const std::string& key, const std::string& section)
    {
        const Json& value = Member(object, key, section);
        if (!value.is_number() || !std::isfinite(value.get<double>()))
            throw Refusal { KeyName(section, key) + " must be a finite number" };
        return value.get<double>();
    }

    const Json& ObjectAt(const Json& object, const std::string& key)
    {
        const Json& value = Member(object, key, "");
        if (!value.is_object())
            throw Refusal { KeyName("", key) + " must be an object" };
        return value;
    }

    void RefuseUnknownKeys(
        const Json& object, const std::set<std::string>& known, const std::string& section)
    {
        for (const auto& item : object.items())
            if (!known.contains(item.key()))
                throw Refusal { "unknown key " + KeyName(section, item.key()) };
    }

    std::string NamesOf(const std::vector<std::string_view>& names)
    {
        std::string text;
        for (std::string_view name : names)
            text += (text.empty() ? "\"" : ", \"") + std::string(name) + "\"";
        return text;
    }

    // The melt of the document: the law and shift by name, then each of their constants from its
    // section; a key the law does not have is refused, as it is most likely a misspelt one.
    Melt MeltOf(const Json& doc)
    {
        Melt melt;
        const Json& viscosity = ObjectAt(doc, "viscosity");
        const Json& shift = ObjectAt(doc, "shift");
        const std::string model = TextAt(viscosity, "model", "viscosity");
        const std::string shiftName = TextAt(shift, "model", "shift");
        const auto law = ModelNamed(model);
        if (!law)
            throw Refusal { "\"viscosity.model\" \"" + model + "\" is none of "
                + NamesOf({ "power-law", "cross", "carreau-yasuda", "cross-wlf" }) };
        const auto byTemperature = ShiftNamed(shiftName);
        if (!byTemperature)
            throw Refusal { "\"shift.model\" \"" + shiftName + "\" is none of "
                + NamesOf({ "none", "arrhenius", "wlf" }) };
        melt.Model = *law;
        melt.Shift = *byTemperature;
        std::map<std::string, std::set<std::string>> known { { "viscosity", { "model" } },
            { "shift", { "model" } } };
        for (const MeltConstant& c : ConstantsOf(melt.Model, melt.Shift)) {
            const std::string section = SectionOf(c);
            const Json& holder = section == "viscosity" ? viscosity
                : section == "shift"                    ? shift
                                                        : doc;
            melt.*c.Member = NumberAt(holder, std::string(c.Name), section);
            known[section].insert(std::string(c.Name));
        }
        RefuseUnknownKeys(viscosity, known["viscosity"], "viscosity");
        RefuseUnknownKeys(shift, known["shift"], "shift");
        return melt;
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
                + " (a file of another version of Karrow?)" };
        MaterialGrade g;
        g.Name = TextAt(doc, "name", "");
        g.Family = TextAt(doc, "family", "");
        g.Melt = MeltOf(doc);
        if (auto problem = MeltProblem(g.Melt))
            throw Refusal { *problem };
        const Json& window = ObjectAt(doc, "processing_temperature");
        RefuseUnknownKeys(window, { "low", "high" }, "processing_temperature");
        g.Processing.Low = NumberAt(window, "low", "processing_temperature");
        g.Processing.High = NumberAt(window, "high", "processing_temperature");
        if (!(g.Processing.Low <= g.Processing.High))
            throw Refusal { "\"processing_temperature.low\" is above \"processing_temperature.high\"" };
        if (auto problem = MeltTemperatureProblem(g.Melt, g.Processing.Low))
            throw Refusal { "\"processing_temperature.low\": " + *problem };
        g.Source = TextAt(doc, "source", "");
        if (doc.contains("notes"))
            g.Notes = TextAt(doc, "notes", "");
        return g;
    }

} // namespace

std::string SectionOf(const MeltConstant& constant)
{
    const std::string name(constant.Name);
    if (name == "density" || name == "heat_capacity")
        return "";
    if (name == "activation_energy" || name == "reference_temperature" || name == "C1"
        || name == "C2")
        return "shift";
    return "viscosity";
}

MaterialReading ParseMaterial(const std::string& document, const std::string& origin)
{
    MaterialReading reading;
    try {
        reading.Grade = GradeOf(Json::parse(document));
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
    Json viscosity { { "model", std::string(ModelName(g.Melt.Model)) } };
    Json shift { { "model", std::string(ShiftName(g.Melt.Shift)) } };
    Json properties = Json::object();
    for (const MeltConstant& c : ConstantsOf(g.Melt.Model, g.Melt.Shift)) {
        const std::string section = SectionOf(c);
        Json& holder = section == "viscosity" ? viscosity : section == "shift" ? shift : properties;
        holder[std::string(c.Name)] = g.Melt.*c.Member;
    }
    doc["viscosity"] = viscosity;
    doc["shift"] = shift;
    for (const auto& item : properties.items())
        doc[item.key()] = item.value();
    doc["processing_temperature"] = { { "low", g.Processing.Low }, { "high", g.Processing.High } };
    doc["source"] = g.Source;
    if (!g.Notes.empty())
        doc["notes"] = g.Notes;
    if (!fitJson.empty())
        doc["fit"] = Json::parse(fitJson);
    return doc.dump(2) + "\n";
}

} // namespace karrow
