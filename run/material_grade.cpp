#include "material_grade.h"

#include "melt_json.h"

#include <fstream>
#include <sstream>

namespace karrow {

namespace {

    using Json = MeltJson;

    // A refusal beyond the shape of one key, in the words of the file.
    struct Refusal {
        std::string Text;
    };

    std::string Quoted(const std::string& text)
    {
        return "\"" + text + "\"";
    }

    std::string NamesOf(const std::vector<std::string>& names)
    {
        std::string text;
        for (const std::string& name : names)
            text += (text.empty() ? "" : ", ") + Quoted(name);
        return text;
    }

    std::string Wording(const KeyRefusal& refusal)
    {
        const std::string key = Quoted(refusal.Entry());
        switch (refusal.What) {
        case KeyRefusal::Fault::Missing:
            return "the key " + key + " is missing";
        case KeyRefusal::Fault::NotANumber:
            return key + " must be a finite number";
        case KeyRefusal::Fault::NotAText:
            return key + " must be a text, not empty";
        case KeyRefusal::Fault::NotAnObject:
            return key + " must be an object";
        case KeyRefusal::Fault::UnknownKey:
            return "unknown key " + key;
        case KeyRefusal::Fault::UnknownName:
            break;
        }
        return key + " " + Quoted(refusal.Name) + " is none of " + NamesOf(refusal.KnownNames);
    }

    // A grade's texts are all there to be read, so none may be empty.
    std::string GradeTextAt(const Json& object, const std::string& key)
    {
        return TextAt(object, key, "", EmptyText::Refused);
    }

    MaterialGrade GradeOf(const Json& doc)
    {
        if (!doc.is_object())
            throw Refusal { "the document is not a JSON object" };
        RefuseUnknownKeys(doc,
            { "format", "version", "name", "family", "viscosity", "shift", "density",
                "heat_capacity", "processing_temperature", "source", "notes", "fit" },
            "");
        if (GradeTextAt(doc, "format") != MaterialFormatName)
            throw Refusal { std::string("\"format\" must be \"") + MaterialFormatName + "\"" };
        const Json& version = MemberAt(doc, "version", "");
        if (!version.is_number_integer() || version.get<long long>() != MaterialFormatVersion)
            throw Refusal { "\"version\" must be " + std::to_string(MaterialFormatVersion)
                + " (a file of another version of Karrow?)" };
        MaterialGrade g;
        g.Name = GradeTextAt(doc, "name");
        g.Family = GradeTextAt(doc, "family");
        // The grade's own keys sit beside the melt's, and were checked with them above.
        g.Melt = MeltOfObject(
            doc, { "", EmptyText::Refused, {}, { MeltPart::Viscosity, MeltPart::Shift } });
        if (auto problem = MeltProblem(g.Melt))
            throw Refusal { *problem };
        const Json& window = ObjectAt(doc, "processing_temperature", "");
        RefuseUnknownKeys(window, { "low", "high" }, "processing_temperature");
        g.Processing.Low = NumberAt(window, "low", "processing_temperature");
        g.Processing.High = NumberAt(window, "high", "processing_temperature");
        if (!(g.Processing.Low <= g.Processing.High))
            throw Refusal { "\"processing_temperature.low\" is above \"processing_temperature.high\"" };
        if (auto problem = MeltTemperatureProblem(g.Melt, g.Processing.Low))
            throw Refusal { "\"processing_temperature.low\": " + *problem };
        g.Source = GradeTextAt(doc, "source");
        if (doc.contains("notes"))
            g.Notes = GradeTextAt(doc, "notes");
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
        reading.Problem = Quoted(origin) + ": " + r.Text;
    } catch (const KeyRefusal& r) {
        reading.Problem = Quoted(origin) + ": " + Wording(r);
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
    AddMelt(doc, g.Melt);
    doc["processing_temperature"] = { { "low", g.Processing.Low }, { "high", g.Processing.High } };
    doc["source"] = g.Source;
    if (!g.Notes.empty())
        doc["notes"] = g.Notes;
    if (!fitJson.empty())
        doc["fit"] = Json::parse(fitJson);
    return doc.dump(2) + "\n";
}

} // namespace karrow
