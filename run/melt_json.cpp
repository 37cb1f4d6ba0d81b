#include "melt_json.h"

#include "material_grade.h"

#include <cmath>
#include <map>

namespace karrow {

namespace {

    std::string Joined(const std::string& section, const std::string& key)
    {
        return section.empty() ? key : key.empty() ? section : section + "." + key;
    }

    KeyRefusal Refused(const std::string& section, const std::string& key, KeyRefusal::Fault what)
    {
        return KeyRefusal { section, key, what, "", {} };
    }

    MeltPart PartOf(const MeltConstant& constant)
    {
        const std::string section = SectionOf(constant);
        return section == "viscosity" ? MeltPart::Viscosity
            : section == "shift"      ? MeltPart::Shift
                                      : MeltPart::Object;
    }

} // namespace

std::string KeyRefusal::Entry() const
{
    return Joined(Section, Key);
}

const MeltJson& MemberAt(const MeltJson& object, const std::string& key, const std::string& section)
{
    if (!object.contains(key))
        throw Refused(section, key, KeyRefusal::Fault::Missing);
    return object.at(key);
}

double NumberAt(const MeltJson& object, const std::string& key, const std::string& section)
{
    const MeltJson& value = MemberAt(object, key, section);
    if (!value.is_number() || !std::isfinite(value.get<double>()))
        throw Refused(section, key, KeyRefusal::Fault::NotANumber);
    return value.get<double>();
}

std::string TextAt(
    const MeltJson& object, const std::string& key, const std::string& section, EmptyText empty)
{
    const MeltJson& value = MemberAt(object, key, section);
    if (!value.is_string())
        throw Refused(section, key, KeyRefusal::Fault::NotAText);
    if (empty == EmptyText::Refused && value.get<std::string>().empty())
        throw Refused(section, key, KeyRefusal::Fault::EmptyText);
    return value.get<std::string>();
}

const MeltJson& ObjectAt(const MeltJson& object, const std::string& key, const std::string& section)
{
    const MeltJson& value = MemberAt(object, key, section);
    if (!value.is_object())
        throw Refused(section, key, KeyRefusal::Fault::NotAnObject);
    return value;
}

void RefuseUnknownKeys(
    const MeltJson& object, const std::set<std::string>& known, const std::string& section)
{
    for (const auto& item : object.items())
        if (!known.contains(item.key()))
            throw Refused(section, item.key(), KeyRefusal::Fault::UnknownKey);
}

Melt MeltOfObject(const MeltJson& object, const MeltObjectRules& rules)
{
    const std::map<MeltPart, std::string> sections { { MeltPart::Object, rules.Section },
        { MeltPart::Viscosity, Joined(rules.Section, "viscosity") },
        { MeltPart::Shift, Joined(rules.Section, "shift") } };
    const std::map<MeltPart, const MeltJson*> parts { { MeltPart::Object, &object },
        { MeltPart::Viscosity, &ObjectAt(object, "viscosity", rules.Section) },
        { MeltPart::Shift, &ObjectAt(object, "shift", rules.Section) } };
    const std::string model = TextAt(
        *parts.at(MeltPart::Viscosity), "model", sections.at(MeltPart::Viscosity), rules.LawNames);
    const std::string shift =
        TextAt(*parts.at(MeltPart::Shift), "model", sections.at(MeltPart::Shift), rules.LawNames);
    const auto law = ModelNamed(model);
    if (!law)
        throw KeyRefusal { sections.at(MeltPart::Viscosity), "model",
            KeyRefusal::Fault::UnknownName, model,
            { "power-law", "cross", "carreau-yasuda", "cross-wlf" } };
    const auto byTemperature = ShiftNamed(shift);
    if (!byTemperature)
        throw KeyRefusal { sections.at(MeltPart::Shift), "model", KeyRefusal::Fault::UnknownName,
            shift, { "none", "arrhenius", "wlf" } };
    Melt melt;
    melt.Model = *law;
    melt.Shift = *byTemperature;
    std::map<MeltPart, std::set<std::string>> known { { MeltPart::Object, rules.OtherKeys },
        { MeltPart::Viscosity, { "model" } }, { MeltPart::Shift, { "model" } } };
    known[MeltPart::Object].insert({ "viscosity", "shift" });
    for (const MeltConstant& c : ConstantsOf(melt.Model, melt.Shift)) {
        const MeltPart part = PartOf(c);
        melt.*c.Member = NumberAt(*parts.at(part), std::string(c.Name), sections.at(part));
        known[part].insert(std::string(c.Name));
    }
    for (const MeltPart part : rules.UnknownKeysOrder)
        RefuseUnknownKeys(*parts.at(part), known[part], sections.at(part));
    return melt;
}

void AddMelt(MeltJson& object, const Melt& melt)
{
    MeltJson viscosity { { "model", std::string(ModelName(melt.Model)) } };
    MeltJson shift { { "model", std::string(ShiftName(melt.Shift)) } };
    MeltJson properties = MeltJson::object();
    for (const MeltConstant& c : ConstantsOf(melt.Model, melt.Shift)) {
        const std::string section = SectionOf(c);
        MeltJson& holder = section == "viscosity" ? viscosity
            : section == "shift"                  ? shift
                                                  : properties;
        holder[std::string(c.Name)] = melt.*c.Member;
    }
    object["viscosity"] = viscosity;
    object["shift"] = shift;
    for (const auto& item : properties.items())
        object[item.key()] = item.value();
}

} // namespace karrow
