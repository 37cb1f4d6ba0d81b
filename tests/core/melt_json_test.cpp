// A material file and an input set's "melt" entry hold a melt the same way and share its reader:
// one spoilt melt is refused by both at the same key, each in the words its users have always
// read, and where the two deliberately differ (an empty law name, which of several unknown keys
// is told) each keeps its own answer.

#include "run/input_set_melt.h"
#include "run/material_grade.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <string>

namespace karrow {
namespace {

    using Json = nlohmann::ordered_json;

    struct SpoiltMelt {
        const char* Name;
        void (*Spoil)(Json&);
        const char* InMaterialFile;
        const char* InInputSet;
    };

    class MeltObject : public testing::TestWithParam<SpoiltMelt> { };

    TEST_P(MeltObject, IsRefusedByBothReadersInTheirOwnWords)
    {
        Json melt = Json::parse(R"({
          "viscosity": { "model": "cross", "eta0": 5000, "tau_star": 30000, "n": 0.3 },
          "shift": { "model": "arrhenius", "activation_energy": 40000,
                     "reference_temperature": 220 },
          "density": 740, "heat_capacity": 2700 })");
        GetParam().Spoil(melt);

        Json grade = Json::parse(
            R"({ "format": "karrow-material", "version": 1, "name": "pp", "family": "PP" })");
        grade.update(melt);
        grade["processing_temperature"] = { { "low", 200 }, { "high", 260 } };
        grade["source"] = "test data";
        const MaterialReading reading = ParseMaterial(grade.dump(), "pp.json");
        EXPECT_FALSE(reading.Grade);
        EXPECT_EQ(reading.Problem, std::string("\"pp.json\": ") + GetParam().InMaterialFile);

        const auto set = InputSetMeltOf(
            melt, Json { { "melt_temperature_C", 210 }, { "thermal", "isothermal" } });
        ASSERT_TRUE(std::holds_alternative<std::string>(set));
        EXPECT_EQ(std::get<std::string>(set), GetParam().InInputSet);
    }

    INSTANTIATE_TEST_SUITE_P(Keys, MeltObject,
        testing::Values(
            SpoiltMelt { "MissingConstant", [](Json& m) { m["viscosity"].erase("tau_star"); },
                "the key \"viscosity.tau_star\" is missing",
                "The melt entry \"melt.viscosity.tau_star\" is missing." },
            SpoiltMelt { "MissingDensity", [](Json& m) { m.erase("density"); },
                "the key \"density\" is missing", "The melt entry \"melt.density\" is missing." },
            SpoiltMelt { "TextForNumber", [](Json& m) { m["shift"]["activation_energy"] = "4e4"; },
                "\"shift.activation_energy\" must be a finite number",
                "The melt entry \"melt.shift.activation_energy\" must be a finite number." },
            SpoiltMelt { "ShiftNotAnObject", [](Json& m) { m["shift"] = "arrhenius"; },
                "\"shift\" must be an object",
                "The melt entry \"melt.shift\" must be a JSON object." },
            SpoiltMelt { "ModelNotAText", [](Json& m) { m["viscosity"]["model"] = 2; },
                "\"viscosity.model\" must be a text, not empty",
                "The melt entry \"melt.viscosity.model\" must be a text in quotes." },
            SpoiltMelt { "UnknownModel", [](Json& m) { m["viscosity"]["model"] = "bingham"; },
                "\"viscosity.model\" \"bingham\" is none of \"power-law\", \"cross\", "
                "\"carreau-yasuda\", \"cross-wlf\"",
                "The melt entry \"melt.viscosity.model\" \"bingham\" is none of power-law, cross, "
                "carreau-yasuda, cross-wlf." },
            SpoiltMelt { "UnknownShift", [](Json& m) { m["shift"]["model"] = "vft"; },
                "\"shift.model\" \"vft\" is none of \"none\", \"arrhenius\", \"wlf\"",
                "The melt entry \"melt.shift.model\" \"vft\" is none of none, arrhenius, wlf." },
            SpoiltMelt { "EmptyModel", [](Json& m) { m["viscosity"]["model"] = ""; },
                "\"viscosity.model\" must be a text, not empty",
                "The melt entry \"melt.viscosity.model\" \"\" is none of power-law, cross, "
                "carreau-yasuda, cross-wlf." },
            SpoiltMelt { "ConstantOfAnotherShift", [](Json& m) { m["shift"]["C1"] = 17.4; },
                "unknown key \"shift.C1\"",
                "The melt entry \"melt.shift.C1\" is not one Karrow knows." },
            SpoiltMelt { "MisspeltInLawAndShift",
                [](Json& m) {
                    m["viscosity"]["eta_0"] = 5000;
                    m["shift"]["Tref"] = 220;
                },
                "unknown key \"viscosity.eta_0\"",
                "The melt entry \"melt.shift.Tref\" is not one Karrow knows." },
            SpoiltMelt { "MissingBeforeUnknown",
                [](Json& m) {
                    m["viscosity"]["eta_0"] = 5000;
                    m["viscosity"].erase("n");
                },
                "the key \"viscosity.n\" is missing",
                "The melt entry \"melt.viscosity.n\" is missing." }),
        [](const testing::TestParamInfo<SpoiltMelt>& row) { return row.param.Name; });

} // namespace
} // namespace karrow
