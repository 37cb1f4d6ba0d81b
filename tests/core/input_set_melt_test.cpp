// Input sets with a real melt: every law and shift comes back as it was written, to the last
// bit; sets of version 1 still open; a melt entry that makes no melt is refused naming the file
// and the entry, and a set with one is never written.

#include "run/input_set.h"
#include "test_melts.h"
#include "test_support.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <string>

namespace karrow {
namespace {

    using Json = nlohmann::ordered_json;
    namespace fs = std::filesystem;

    Melt CrossArrhenius()
    {
        Melt m;
        m.Model = ViscosityModel::Cross;
        m.FlowIndex = 0.35;
        m.ZeroShearViscosity = 8000.5;
        m.CriticalStress = 25000;
        m.Shift = TemperatureShift::Arrhenius;
        m.ActivationEnergy = 41234.5678;
        m.ReferenceTemperature = 200;
        m.Density = 780;
        m.HeatCapacity = 2500;
        return m;
    }

    Melt CarreauWlf()
    {
        Melt m;
        m.Model = ViscosityModel::CarreauYasuda;
        m.FlowIndex = 0.38;
        m.ZeroShearViscosity = 32400;
        m.InfiniteShearViscosity = 0.1;
        m.TimeConstant = 3.1;
        m.YasudaExponent = 0.7;
        m.Shift = TemperatureShift::Wlf;
        m.C1 = 4.881610547976938;
        m.C2 = 424.6;
        m.ReferenceTemperature = 190;
        m.Density = 750;
        m.HeatCapacity = 2300;
        return m;
    }

    // With a pressure term, so that a set keeps every constant of the law.
    Melt CrossWlf()
    {
        Melt m = test::CrossWlfMelt();
        m.D3 = 1.5e-7;
        return m;
    }

    Melt PowerLaw()
    {
        Melt m;
        m.FlowIndex = 0.69;
        m.StandardViscosity = 1100;
        m.StandardShearRate = 100;
        m.Density = 920;
        m.HeatCapacity = 2200;
        return m;
    }

    InputSet SetWith(const std::string& name, const Melt& melt, const std::string& thermal,
        std::optional<double> wall = {}, std::optional<double> throughput = {})
    {
        InputSet set { DefaultFieldTexts('.') };
        InputSetMelt kept { name, melt, {} };
        kept.Settings.MeltTemperature = 210.25;
        kept.Settings.Thermal = thermal;
        if (wall) {
            kept.Settings.WallTemperature = *wall;
            kept.Settings.HeatTransferCoefficient = 312.5;
        }
        kept.Settings.Throughput = throughput;
        set.RealMelt = kept;
        return set;
    }

    struct RoundTrip {
        const char* Name;
        InputSet Set;
    };

    class InputSetWithMelt : public testing::TestWithParam<RoundTrip> { };

    TEST_P(InputSetWithMelt, ReadsBackWhatWasWritten)
    {
        const test::TemporaryFolder folder;
        const std::string path = (folder.Path() / "die.karrow").string();
        const InputSet& set = GetParam().Set;
        ASSERT_EQ(WriteInputSet(path, set, ','), std::nullopt);
        EXPECT_EQ(Json::parse(test::ReadFile(path))["version"], 2);

        const InputSetReading reading = ReadInputSet(path, '.');
        ASSERT_TRUE(reading.Set) << reading.Problem;
        EXPECT_EQ(reading.Set->Texts, set.Texts);
        ASSERT_TRUE(reading.Set->RealMelt);
        const InputSetMelt& read = *reading.Set->RealMelt;
        const InputSetMelt& written = *set.RealMelt;
        EXPECT_EQ(read.Name, written.Name);
        EXPECT_EQ(read.TheMelt.Model, written.TheMelt.Model);
        EXPECT_EQ(read.TheMelt.Shift, written.TheMelt.Shift);
        for (const MeltConstant& c : AllMeltConstants())
            EXPECT_EQ(read.TheMelt.*c.Member, written.TheMelt.*c.Member) << c.Name;
        EXPECT_EQ(read.Settings.MeltTemperature, written.Settings.MeltTemperature);
        EXPECT_EQ(read.Settings.Thermal, written.Settings.Thermal);
        EXPECT_EQ(read.Settings.WallTemperature, written.Settings.WallTemperature);
        EXPECT_EQ(read.Settings.HeatTransferCoefficient, written.Settings.HeatTransferCoefficient);
        EXPECT_EQ(read.Settings.Throughput, written.Settings.Throughput);
    }

    INSTANTIATE_TEST_SUITE_P(EveryLawAndShift, InputSetWithMelt,
        testing::Values(RoundTrip { "GradeCrossArrhenius",
                            SetWith("pe-cross", CrossArrhenius(), "isothermal") },
            RoundTrip { "TypedCarreauWlfHeatedWithWall", SetWith("", CarreauWlf(), "heated", 195.5) },
            RoundTrip {
                "GradeCrossWlfAdiabaticThroughput", SetWith("pp", CrossWlf(), "heated", {}, 42.5) },
            RoundTrip { "TypedPowerLaw", SetWith("", PowerLaw(), "isothermal") }),
        [](const testing::TestParamInfo<RoundTrip>& row) { return row.param.Name; });

    TEST(InputSetVersions, AVersionOneFileOpensAndASetWithoutMeltStaysVersionOne)
    {
        InputSet plain { DefaultFieldTexts('.') };
        Json document = Json::parse(InputSetJson(plain, '.'));
        EXPECT_EQ(document["version"], 1);
        EXPECT_FALSE(document.contains("melt"));
        const InputSetReading one = ParseInputSet(document.dump(), '.');
        ASSERT_TRUE(one.Set) << one.Problem;
        EXPECT_EQ(one.Set->Texts, plain.Texts);
        EXPECT_FALSE(one.Set->RealMelt);
        // A version 2 set may hold no melt either.
        document["version"] = 2;
        const InputSetReading two = ParseInputSet(document.dump(), '.');
        ASSERT_TRUE(two.Set) << two.Problem;
        EXPECT_FALSE(two.Set->RealMelt);
    }

    struct CorruptMelt {
        const char* Name;
        void (*Change)(Json&);
        const char* Expected;
    };

    class InputSetCorruptMelt : public testing::TestWithParam<CorruptMelt> { };

    TEST_P(InputSetCorruptMelt, IsRefusedNamingTheFileAndTheEntry)
    {
        const test::TemporaryFolder folder;
        const fs::path path = folder.Path() / "die.karrow";
        Json document = Json::parse(
            InputSetJson(SetWith("pp", CrossWlf(), "heated", 195.0, 40.0), '.'));
        GetParam().Change(document);
        test::WriteFile(path, document.dump(2));
        const InputSetReading reading = ReadInputSet(path.string(), '.');
        EXPECT_FALSE(reading.Set);
        EXPECT_EQ(reading.Problem.rfind(path.string() + ": ", 0), 0U) << reading.Problem;
        EXPECT_NE(reading.Problem.find(GetParam().Expected), std::string::npos) << reading.Problem;
        EXPECT_EQ(test::ReadFile(path), document.dump(2)) << "the file is left as it was";
    }

    INSTANTIATE_TEST_SUITE_P(Entries, InputSetCorruptMelt,
        testing::Values(
            CorruptMelt { "MissingConstant",
                [](Json& j) { j["melt"]["viscosity"].erase("tau_star"); },
                "\"melt.viscosity.tau_star\" is missing" },
            CorruptMelt { "TextForNumber", [](Json& j) { j["melt"]["viscosity"]["A1"] = "26"; },
                "\"melt.viscosity.A1\" must be a finite number" },
            CorruptMelt { "UnknownModel",
                [](Json& j) { j["melt"]["viscosity"]["model"] = "bingham"; },
                "\"melt.viscosity.model\" \"bingham\" is none of" },
            CorruptMelt { "ConstantOfAnotherLaw",
                [](Json& j) { j["melt"]["viscosity"]["eta0"] = 1000; },
                "\"melt.viscosity.eta0\" is not one Karrow knows" },
            CorruptMelt { "UnknownShift", [](Json& j) { j["melt"]["shift"]["model"] = "vft"; },
                "\"melt.shift.model\" \"vft\" is none of" },
            CorruptMelt { "ConstantOutOfRange", [](Json& j) { j["melt"]["viscosity"]["n"] = 2; },
                "\"melt.viscosity.n\" is refused: The melt's constant n" },
            CorruptMelt { "NegativeDensity", [](Json& j) { j["melt"]["density"] = -750; },
                "\"melt.density\" is refused" },
            CorruptMelt { "MeltNotAnObject", [](Json& j) { j["melt"] = "pp"; },
                "\"melt\" must be a JSON object" },
            CorruptMelt { "NoConditions", [](Json& j) { j.erase("melt_conditions"); },
                "\"melt\" and \"melt_conditions\" together" },
            CorruptMelt { "NoTemperature",
                [](Json& j) { j["melt_conditions"].erase("melt_temperature_C"); },
                "\"melt_conditions.melt_temperature_C\" is missing" },
            CorruptMelt { "BelowTheLawsLimit",
                [](Json& j) { j["melt_conditions"]["melt_temperature_C"] = 50; },
                "\"melt_conditions.melt_temperature_C\" is refused: At a melt temperature of 50" },
            CorruptMelt { "UnknownThermalMode",
                [](Json& j) { j["melt_conditions"]["thermal"] = "warm"; },
                "\"melt_conditions.thermal\" must be \"isothermal\" or \"heated\"" },
            CorruptMelt { "WallWithoutCoefficient",
                [](Json& j) { j["melt_conditions"].erase("heat_transfer_coefficient_W_m2K"); },
                "\"melt_conditions.heat_transfer_coefficient_W_m2K\" is missing" },
            CorruptMelt { "WallOfAnIsothermalRun",
                [](Json& j) { j["melt_conditions"]["thermal"] = "isothermal"; },
                "\"melt_conditions.wall_temperature_C\" needs \"thermal\": \"heated\"" },
            CorruptMelt { "NoThroughput",
                [](Json& j) { j["melt_conditions"]["throughput_kg_h"] = 0; },
                "\"melt_conditions.throughput_kg_h\" must be above zero" },
            CorruptMelt { "UnknownCondition",
                [](Json& j) { j["melt_conditions"]["pressure_bar"] = 200; },
                "\"melt_conditions.pressure_bar\" is not one Karrow knows" },
            CorruptMelt { "NewerVersion", [](Json& j) { j["version"] = 3; },
                "written by a newer Karrow (version 3)" }),
        [](const testing::TestParamInfo<CorruptMelt>& row) { return row.param.Name; });

    TEST(InputSetWithMelt, AMeltThatMakesNoSenseIsNeverWritten)
    {
        const test::TemporaryFolder folder;
        const std::string path = (folder.Path() / "die.karrow").string();
        InputSet set = SetWith("pp", CrossWlf(), "isothermal");
        set.RealMelt->Settings.MeltTemperature = 80; // below D2
        const auto problem = WriteInputSet(path, set, '.');
        ASSERT_TRUE(problem);
        EXPECT_NE(problem->find(path + ": The melt entry \"melt_conditions.melt_temperature_C\""),
            std::string::npos)
            << *problem;
        EXPECT_FALSE(fs::exists(path));
    }

} // namespace
} // namespace karrow
