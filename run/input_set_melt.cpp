#include "input_set_melt.h"

#include "material_grade.h"
#include "melt_json.h"
#include "solver/melt_network.h"

#include <cmath>

namespace karrow {

namespace {

    using Json = SetDocument;

    constexpr const char* Temperature = "melt_temperature_C";
    constexpr const char* Thermal = "thermal";
    constexpr const char* Wall = "wall_temperature_C";
    constexpr const char* Coefficient = "heat_transfer_coefficient_W_m2K";
    constexpr const char* Throughput = "throughput_kg_h";

    // A refusal of an entry: which one, and what is wrong with it.
    struct Refusal {
        std::string Entry;
        std::string Text;
    };

    std::string Message(const Refusal& refusal)
    {
        return "The melt entry \"" + refusal.Entry + "\" " + refusal.Text + ".";
    }

    std::string EntryName(const std::string& section, const std::string& key)
    {
        return section + "." + key;
    }

    std::optional<double> OptionalNumberAt(
        const Json& object, const std::string& key, const std::string& section)
    {
        if (!object.contains(key))
            return std::nullopt;
        return NumberAt(object, key, section);
    }

    std::string TextOf(const KeyRefusal& refusal)
    {
        switch (refusal.What) {
        case KeyRefusal::Fault::Missing:
            return "is missing";
        case KeyRefusal::Fault::NotANumber:
            return "must be a finite number";
        case KeyRefusal::Fault::NotAText:
            return "must be a text in quotes";
        case KeyRefusal::Fault::NotAnObject:
            return "must be a JSON object";
        case KeyRefusal::Fault::UnknownKey:
            return "is not one Karrow knows";
        case KeyRefusal::Fault::UnknownName:
            break;
        }
        std::string names;
        for (const std::string& name : refusal.KnownNames)
            names += (names.empty() ? "" : ", ") + name;
        return "\"" + refusal.Name + "\" is none of " + names;
    }

    // The sections of a material file, as the set nests them under "melt".
    std::string SetSectionOf(const MeltConstant& constant)
    {
        const std::string section = SectionOf(constant);
        return section.empty() ? "melt" : "melt." + section;
    }

    Melt MeltOf(const Json& entry)
    {
        if (!entry.is_object())
            throw KeyRefusal { "", "melt", KeyRefusal::Fault::NotAnObject };
        // The entry holds the melt's name beside it; its unknown keys are told before those of
        // the law's and the shift's objects.
        return MeltOfObject(entry,
            { "melt", EmptyText::Allowed, { "name" },
                { MeltPart::Object, MeltPart::Shift, MeltPart::Viscosity } });
    }

    MeltRunSettings SettingsOf(const Json& entry)
    {
        const std::string section = "melt_conditions";
        if (!entry.is_object())
            throw KeyRefusal { "", section, KeyRefusal::Fault::NotAnObject };
        RefuseUnknownKeys(entry, { Temperature, Thermal, Wall, Coefficient, Throughput }, section);
        MeltRunSettings settings;
        settings.MeltTemperature = NumberAt(entry, Temperature, section);
        settings.Thermal = TextAt(entry, Thermal, section);
        settings.WallTemperature = OptionalNumberAt(entry, Wall, section);
        settings.HeatTransferCoefficient = OptionalNumberAt(entry, Coefficient, section);
        settings.Throughput = OptionalNumberAt(entry, Throughput, section);
        return settings;
    }

    // The solver's words for a condition name it in prose; the set names its entry.
    std::string ConditionEntryOf(const std::string& problem)
    {
        if (problem.rfind("The wall temperature", 0) == 0)
            return EntryName("melt_conditions", Wall);
        if (problem.rfind("The heat-transfer", 0) == 0)
            return EntryName("melt_conditions", Coefficient);
        return EntryName("melt_conditions", Temperature);
    }

    std::optional<Refusal> ConditionsRefusal(const InputSetMelt& m)
    {
        const MeltRunSettings& s = m.Settings;
        const std::string section = "melt_conditions";
        if (!s.MeltTemperature || !std::isfinite(*s.MeltTemperature))
            return Refusal { EntryName(section, Temperature), "must be a finite number" };
        if (s.Thermal != "isothermal" && s.Thermal != "heated")
            return Refusal { EntryName(section, Thermal),
                "must be \"isothermal\" or \"heated\", not \"" + s.Thermal + "\"" };
        if (s.WallTemperature.has_value() != s.HeatTransferCoefficient.has_value())
            return Refusal { EntryName(section, s.WallTemperature ? Coefficient : Wall),
                "is missing: the wall temperature and the heat-transfer coefficient go together" };
        if (s.WallTemperature && s.Thermal != "heated")
            return Refusal { EntryName(section, Wall), "needs \"thermal\": \"heated\"" };
        if (s.Throughput && !(std::isfinite(*s.Throughput) && *s.Throughput > 0))
            return Refusal { EntryName(section, Throughput), "must be above zero, in kg/h" };
        MeltConditions c;
        c.MeltTemperature = *s.MeltTemperature;
        c.Thermal = s.Thermal == "heated" ? ThermalMode::Heated : ThermalMode::Isothermal;
        c.WallTemperature = s.WallTemperature.value_or(0);
        c.HeatTransferCoefficient = s.HeatTransferCoefficient.value_or(0);
        if (auto problem = MeltConditionsProblem(m.TheMelt, c))
            return Refusal { ConditionEntryOf(*problem), "is refused: " + *problem };
        return std::nullopt;
    }

    // The material file's messages name the key as "viscosity.eta0"; the set nests it.
    std::optional<Refusal> MeltRefusal(const Melt& melt)
    {
        const auto problem = MeltProblem(melt);
        if (!problem)
            return std::nullopt;
        for (const MeltConstant& c : ConstantsOf(melt.Model, melt.Shift))
            if (problem->find("constant " + std::string(c.Name) + " ") != std::string::npos)
                return Refusal { EntryName(SetSectionOf(c), std::string(c.Name)),
                    "is refused: " + *problem };
        return Refusal { "melt", "is refused: " + *problem };
    }

} // namespace

std::optional<std::string> InputSetMeltProblem(const InputSetMelt& melt)
{
    if (auto refusal = MeltRefusal(melt.TheMelt))
        return Message(*refusal);
    if (auto refusal = ConditionsRefusal(melt))
        return Message(*refusal);
    return std::nullopt;
}

SetDocument MeltEntry(const InputSetMelt& m)
{
    Json entry = Json::object();
    if (!m.Name.empty())
        entry["name"] = m.Name;
    AddMelt(entry, m.TheMelt);
    return entry;
}

SetDocument MeltConditionsEntry(const MeltRunSettings& s)
{
    Json entry = Json::object();
    entry[Temperature] = s.MeltTemperature.value_or(0);
    entry[Thermal] = s.Thermal;
    if (s.WallTemperature)
        entry[Wall] = *s.WallTemperature;
    if (s.HeatTransferCoefficient)
        entry[Coefficient] = *s.HeatTransferCoefficient;
    if (s.Throughput)
        entry[Throughput] = *s.Throughput;
    return entry;
}

std::variant<InputSetMelt, std::string> InputSetMeltOf(
    const SetDocument& melt, const SetDocument& conditions)
{
    try {
        InputSetMelt m;
        m.TheMelt = MeltOf(melt);
        if (melt.contains("name"))
            m.Name = TextAt(melt, "name", "melt");
        m.Settings = SettingsOf(conditions);
        if (auto problem = InputSetMeltProblem(m))
            return *problem;
        return m;
    } catch (const KeyRefusal& refusal) {
        return Message({ refusal.Entry(), TextOf(refusal) });
    }
}

} // namespace karrow
