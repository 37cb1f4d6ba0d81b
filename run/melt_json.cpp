#include "melt_json.h"

#include "material_grade.h"

#include <cmath>
#include <map>

namespace karrow {

namespace {

    using Fault = KeyRefusal::Fault;

    std::string Joined(const std::string& section, const std::string& key)
    {
        return section.empty() ? key : section + "." + key;
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
        throw KeyRefusal { section, key, Fault::Missing };
    return object.at(key);
}

double NumberAt(const MeltJson& object, const std::string& key, const std::string& section)
{
    const MeltJson& value = MemberAt(object, key, section);
    if (!value.is_number() || !std::isfinite(value.get<double>()))
        throw KeyRefusal { section, key, Fault::NotANumber };
    return value.get<double>();
}

std::string TextAt(
    const MeltJson& object, const std::string& key, const std::string& section, EmptyText empty)
{
    const MeltJson& value = MemberAt(object, key, section);
    if (!value.is_string() || (empty == EmptyText::Refused && value.get<std::string>().empty()))
        throw KeyRefusal { section, key, Fault::NotAText };
    return value.get<std::string>();
}

const MeltJson& ObjectAt(const MeltJson& object, const std::string& key, const std::string& section)
{
    const MeltJson& value = MemberAt(object, key, section);
    if (!value.is_object())
        throw KeyRefusal { section, key, Fault::NotAnObject };
    return value;
}

void RefuseUnknownKeys(
    const MeltJson& object, const std::set<std::string>& known, const std::string& section)
{
    for (const auto& item : object.items())
        if (!known.contains(item.key()))
            throw KeyRefusal { section, item.key(), Fault::UnknownKey };
}

Melt MeltOfObject(const MeltJson& object, const MeltObjectRules& rules)
{
    struct Part {
        const MeltJson& Object;
        std::string Section;
        std::set<std::string> Known;
    };
    const std::string& top = rules.Section;
    std::map<MeltPart, Part> parts;
    parts.try_emplace(MeltPart::Object, Part { object, top, rules.OtherKeys });
    parts.try_emplace(MeltPart::Viscosity,
        Part { ObjectAt(object, "viscosity", top), Joined(top, "viscosity"), { "model" } });
    parts.try_emplace(
        MeltPart::Shift, Part { ObjectAt(object, "shift", top), Joined(top, "shift"), { "model" } });
    parts.at(MeltPart::Object).Known.insert({ "viscosity", "shift" });
    Part& viscosity = parts.at(MeltPart::Viscosity);
    Part& shift = parts.at(MeltPart::Shift);
    const std::string model = TextAt(viscosity.Object, "model", viscosity.Section, rules.LawNames);
    const std::string shiftName = TextAt(shift.Object, "model", shift.Section, rules.LawNames);
    const auto law = ModelNamed(model);
    if (!law)
        throw KeyRefusal { viscosity.Section, "model", Fault::UnknownName, model,
            AllModelNames() };
    const auto byTemperature = ShiftNamed(shiftName);
    if (!byTemperature)
        throw KeyRefusal { shift.Section, "model", Fault::UnknownName, shiftName,
            AllShiftNames() };
    Melt melt;
    melt.Model = *law;
    melt.Shift = *byTemperature;
    for (const MeltConstant& c : ConstantsOf(melt.Model, melt.Shift)) {
        Part& part = parts.at(PartOf(c));
        melt.*c.Member = NumberAt(part.Object, std::string(c.Name), part.Section);
        part.Known.insert(std::string(c.Name));
    }
    for (const MeltPart p : rules.UnknownKeysOrder)
        RefuseUnknownKeys(parts.at(p).Object, parts.at(p).Known, parts.at(p).Section);
    return melt;
}

void AddMelt(MeltJson& object, const Melt& melt)
{
    std::map<MeltPart, MeltJson> parts { { MeltPart::Object, MeltJson::object() },
        { MeltPart::Viscosity, { { "model", std::string(ModelName(melt.Model)) } } },
        { MeltPart::Shift, { { "model", std::string(ShiftName(melt.Shift)) } } } };
    for (const MeltConstant& c : ConstantsOf(melt.Model, melt.Shift))
        parts[PartOf(c)][std::string(c.Name)] = melt.*c.Member;
    object["viscosity"] = parts[MeltPart::Viscosity];
    object["shift"] = parts[MeltPart::Shift];
    for (const auto& item : parts[MeltPart::Object].items())
        object[item.key()] = item.value();
}

} // namespace karrow
