// Grades of melt as files: the reader refuses a bad file naming the file and the key, the library
// and the user's grades are listed and found by name (a user grade replacing the library's of its
// name), the shipped grades make sense in their windows, and the equivalent power law is the
// tangent to the flow curve at the design's representative rate.

#include "cli_runner.h"
#include "run/material_library.h"
#include "run/material_power_law.h"
#include "run/melt_fit.h"
#include "run/melt_run.h"
#include "test_support.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <set>

namespace karrow {
namespace {

    namespace fs = std::filesystem;
    using Json = nlohmann::ordered_json;

    Json CrossGrade(const std::string& name = "pp-test")
    {
        return Json::parse(R"({
          "format": "karrow-material", "version": 1, "name": ")"
            + name + R"(", "family": "PP",
          "viscosity": { "model": "cross", "eta0": 5000, "tau_star": 30000, "n": 0.3 },
          "shift": { "model": "arrhenius", "activation_energy": 40000,
                     "reference_temperature": 220 },
          "density": 740, "heat_capacity": 2700,
          "processing_temperature": { "low": 200, "high": 260 },
          "source": "test data" })");
    }

    void Write(const fs::path& path, const std::string& text)
    {
        if (path.has_parent_path())
            fs::create_directories(path.parent_path());
        std::ofstream(path) << text;
    }

    TEST(MaterialFile, RefusalsNameTheFileAndTheKey)
    {
        struct Case {
            std::function<void(Json&)> Spoil;
            const char* Message;
        };
        const Case cases[] = {
            { [](Json& j) { j["viscosity"].erase("tau_star"); },
                "the key \"viscosity.tau_star\" is missing" },
            { [](Json& j) { j["viscosity"]["eta0"] = "5000"; },
                "\"viscosity.eta0\" must be a finite number" },
            { [](Json& j) { j["viscosity"]["eta_0"] = 1; }, "unknown key \"viscosity.eta_0\"" },
            { [](Json& j) { j["shift"]["C1"] = 1; }, "unknown key \"shift.C1\"" },
            { [](Json& j) { j["colour"] = "red"; }, "unknown key \"colour\"" },
            { [](Json& j) { j["viscosity"]["model"] = "bingham"; },
                "\"viscosity.model\" \"bingham\" is none of" },
            { [](Json& j) { j["shift"]["model"] = "vogel"; }, "\"shift.model\" \"vogel\"" },
            { [](Json& j) { j["viscosity"]["n"] = 1.6; }, "n" },
            { [](Json& j) { j["viscosity"]["eta0"] = -1; }, "eta0" },
            { [](Json& j) { j.erase("density"); }, "the key \"density\" is missing" },
            { [](Json& j) { j["heat_capacity"] = 0; }, "heat_capacity" },
            { [](Json& j) { j["version"] = 2; }, "\"version\" must be 1" },
            { [](Json& j) { j["format"] = "other"; }, "\"format\" must be \"karrow-material\"" },
            { [](Json& j) { j["source"] = ""; }, "\"source\" must be a text, not empty" },
            { [](Json& j) { j["processing_temperature"]["low"] = 300; },
                "\"processing_temperature.low\" is above" },
            { [](Json& j) { j["processing_temperature"] = 200; },
                "\"processing_temperature\" must be an object" },
        };
        for (const Case& c : cases) {
            Json doc = CrossGrade();
            c.Spoil(doc);
            const MaterialReading reading = ParseMaterial(doc.dump(), "grades/pp.json");
            EXPECT_FALSE(reading.Grade) << c.Message;
            EXPECT_EQ(reading.Problem.rfind("\"grades/pp.json\": ", 0), 0u) << reading.Problem;
            EXPECT_NE(reading.Problem.find(c.Message), std::string::npos) << reading.Problem;
        }
        EXPECT_NE(ParseMaterial("{ \"format\": ", "pp.json")
                      .Problem.find("\"pp.json\" is not a JSON document"),
            std::string::npos);
        EXPECT_NE(ReadMaterialFile("no-such-grade.json").Problem.find("no-such-grade.json"),
            std::string::npos);
    }

    TEST(MaterialFile, CrossWlfCarriesItsOwnShiftAndHoldsOnlyAboveD2)
    {
        Json doc = CrossGrade();
        doc["viscosity"] = { { "model", "cross-wlf" }, { "n", 0.25 }, { "tau_star", 2e4 },
            { "D1", 1e12 }, { "D2", 100 }, { "D3", 0 }, { "A1", 25 }, { "A2", 51.6 } };
        EXPECT_FALSE(ParseMaterial(doc.dump(), "x.json").Grade) << "an Arrhenius shift as well";
        doc["shift"] = { { "model", "none" } };
        EXPECT_TRUE(ParseMaterial(doc.dump(), "x.json").Grade);
        doc["processing_temperature"]["low"] = 90;
        const MaterialReading below = ParseMaterial(doc.dump(), "x.json");
        EXPECT_FALSE(below.Grade);
        EXPECT_NE(below.Problem.find("processing_temperature.low"), std::string::npos);
    }

    // Each law's constants go to the section they are read from.
    TEST(MaterialFile, ReadsBackWhatItWrites)
    {
        Json carreau = CrossGrade();
        carreau["viscosity"] = { { "model", "carreau-yasuda" }, { "eta0", 3000 }, { "eta_inf", 1 },
            { "lambda", 0.2 }, { "a", 0.7 }, { "n", 0.35 } };
        carreau["shift"] = { { "model", "wlf" }, { "C1", 9 }, { "C2", 200 },
            { "reference_temperature", 230 } };
        for (const Json& doc : { CrossGrade(), carreau }) {
            const auto first = ParseMaterial(doc.dump(), "a.json");
            ASSERT_TRUE(first.Grade) << first.Problem;
            const auto again =
                ParseMaterial(MaterialJson(*first.Grade, "{\"points\": 3}"), "b.json");
            ASSERT_TRUE(again.Grade) << again.Problem;
            for (const MeltConstant& c : AllMeltConstants())
                EXPECT_EQ(first.Grade->Melt.*c.Member, again.Grade->Melt.*c.Member) << c.Name;
            EXPECT_EQ(again.Grade->Melt.Model, first.Grade->Melt.Model);
            EXPECT_EQ(again.Grade->Melt.Shift, first.Grade->Melt.Shift);
            EXPECT_EQ(again.Grade->Source, "test data");
        }
    }

    TEST(MaterialLibrary, UserFolderFollowsXdg)
    {
        EXPECT_EQ(UserMaterialFolder("/data", "/home/u"), "/data/karrow/materials");
        // A relative XDG_DATA_HOME is invalid by the XDG rules and is ignored.
        EXPECT_EQ(UserMaterialFolder("data", "/home/u"), "/home/u/.local/share/karrow/materials");
        EXPECT_EQ(UserMaterialFolder(nullptr, "/home/u"), "/home/u/.local/share/karrow/materials");
        EXPECT_EQ(UserMaterialFolder(nullptr, nullptr), "");
    }

    // The window and the command line find the library alike: the package's beside the
    // program first, then the next that exists.
    TEST(MaterialLibrary, LibraryBesideTheProgramComesFirst)
    {
        test::TemporaryFolder folder;
        const fs::path bin = folder.Path() / "usr" / "bin";
        const fs::path beside = folder.Path() / "usr" / "share" / "karrow" / "materials";
        const fs::path installed = folder.Path() / "installed";
        fs::create_directories(bin);
        fs::create_directories(installed);
        const std::vector<std::string> others { (folder.Path() / "missing").string(),
            installed.string() };
        EXPECT_EQ(MaterialFoldersOf(bin.string(), others, nullptr, "/home/u").Library,
            installed.string());
        fs::create_directories(beside);
        const MaterialFolders found = MaterialFoldersOf(bin.string(), others, "/data", "/home/u");
        EXPECT_EQ(found.Library, beside.string());
        EXPECT_EQ(found.User, "/data/karrow/materials");
        EXPECT_EQ(MaterialFoldersOf("", { (folder.Path() / "missing").string() }, nullptr,
                      nullptr).Library,
            "");
    }

    TEST(MaterialLibrary, UserGradeReplacesTheLibrarysOfItsName)
    {
        test::TemporaryFolder folder;
        const MaterialFolders folders { (folder.Path() / "library").string(),
            (folder.Path() / "user").string() };
        Write(folder.Path() / "library" / "pp.json", CrossGrade("PP-Test").dump());
        Write(folder.Path() / "library" / "ps.json", CrossGrade("ps-test").dump());
        Json mine = CrossGrade("pp-test");
        mine["viscosity"]["eta0"] = 7000;
        Write(folder.Path() / "user" / "my-pp.json", mine.dump());
        Write(folder.Path() / "user" / "broken.json", "{");
        Write(folder.Path() / "user" / "notes.txt", "not a grade");

        const MaterialCatalogue catalogue = ListMaterials(folders);
        ASSERT_EQ(catalogue.Grades.size(), 2u);
        EXPECT_EQ(catalogue.Grades[0].Grade.Name, "pp-test");
        EXPECT_EQ(catalogue.Grades[0].Origin, GradeOrigin::User);
        EXPECT_TRUE(catalogue.Grades[0].ReplacesLibraryGrade);
        EXPECT_EQ(catalogue.Grades[1].Origin, GradeOrigin::Library);
        ASSERT_EQ(catalogue.Problems.size(), 1u);
        EXPECT_NE(catalogue.Problems[0].find("broken.json"), std::string::npos);

        const MaterialLookup found = FindMaterial(folders, "PP-TEST");
        ASSERT_TRUE(found.Found) << found.Problem;
        EXPECT_EQ(found.Found->Grade.Melt.ZeroShearViscosity, 7000);
        const MaterialLookup missing = FindMaterial(folders, "abs");
        EXPECT_FALSE(missing.Found);
        EXPECT_NE(missing.Problem.find("no material named \"abs\" (there are: pp-test, ps-test)"),
            std::string::npos)
            << missing.Problem;
        // A grade of that name that cannot be read is named with its problem, not "none".
        Write(folder.Path() / "user" / "broken.json", CrossGrade("broken").dump() + "x");
        EXPECT_NE(FindMaterial(folders, "broken").Problem.find("broken.json"), std::string::npos);
        // Two files of one name in one folder: the second is a problem, not a silent choice.
        Write(folder.Path() / "user" / "z-pp.json", CrossGrade("pp-test").dump());
        EXPECT_EQ(ListMaterials(folders).Problems.size(), 2u);
    }

    std::vector<fs::path> ShippedGrades()
    {
        std::vector<fs::path> files;
        for (const auto& entry : fs::directory_iterator(KARROW_SOURCE_MATERIALS))
            files.push_back(entry.path());
        return files;
    }

    // The shipped grades read, are named as their files, and flow like melts in their windows:
    // a constant in the wrong unit (kJ for J, K for C) fails here by orders of magnitude.
    TEST(ShippedLibrary, EveryGradeReadsAndFlowsLikeAMeltInItsWindow)
    {
        std::set<std::string> names;
        for (const fs::path& file : ShippedGrades()) {
            ASSERT_EQ(file.extension(), ".json") << file;
            const MaterialReading reading = ReadMaterialFile(file.string());
            ASSERT_TRUE(reading.Grade) << reading.Problem;
            const MaterialGrade& g = *reading.Grade;
            EXPECT_EQ(g.Name, file.stem().string());
            EXPECT_TRUE(names.insert(g.Name).second);
            for (const double t : { g.Processing.Low, g.Processing.High }) {
                const auto slow = MeltViscosity(g.Melt, t, 1);
                const auto fast = MeltViscosity(g.Melt, t, 1000);
                ASSERT_TRUE(slow && fast) << g.Name << " at " << t;
                EXPECT_GT(*slow, 10) << g.Name;
                EXPECT_LT(*slow, 1e6) << g.Name;
                EXPECT_LT(*fast, *slow) << g.Name << ": shear thinning";
            }
            EXPECT_LT(*MeltViscosity(g.Melt, g.Processing.High, 100),
                *MeltViscosity(g.Melt, g.Processing.Low, 100))
                << g.Name << ": thinner when hotter";
            EXPECT_GT(g.Melt.Density, 600);
            EXPECT_LT(g.Melt.Density, 1600);
        }
        EXPECT_FALSE(names.empty());
    }

    // The LDPE of Rao and Schumacher's worked example, by their own equations, at the example's
    // 200 C and 500 1/s: the file's WLF form (natural logarithm, reference 190 C) must give it.
    TEST(ShippedLibrary, RaoLdpeGivesTheSourcesCarreauLaw)
    {
        const auto reading =
            ReadMaterialFile(std::string(KARROW_SOURCE_MATERIALS) + "/ldpe-rao-carreau.json");
        ASSERT_TRUE(reading.Grade) << reading.Problem;
        const double a = 32400, b = 3.1, c = 0.62, ts = -133, t1 = 190;
        for (const double t : { 190.0, 200.0, 240.0 }) {
            const double logShift =
                8.86 * (t1 - ts) / (101.6 + t1 - ts) - 8.86 * (t - ts) / (101.6 + t - ts);
            const double shift = std::pow(10.0, logShift);
            for (const double rate : { 1.0, 500.0 }) {
                const double expected = a * shift / std::pow(1 + b * shift * rate, c);
                EXPECT_NEAR(
                    *MeltViscosity(reading.Grade->Melt, t, rate), expected, 1e-12 * expected)
                    << t << " C, " << rate << " 1/s";
            }
        }
    }

    // The PMMA of the open-access table (Cross with eta0 = B exp(Tb / T), B in g/(cm s), tau* in
    // dyne/cm2) by the table's own equation, and its density from the table's Tait melt volume at
    // zero pressure in the middle of the window.
    TEST(ShippedLibrary, PmmaGivesTheTablesCrossLaw)
    {
        const auto reading =
            ReadMaterialFile(std::string(KARROW_SOURCE_MATERIALS) + "/pmma-cross-arrhenius.json");
        ASSERT_TRUE(reading.Grade) << reading.Problem;
        const double n = 0.21, tauStar = 1.48e6 * 0.1, b = 1e-16 * 0.1, tb = 24294;
        for (const double t : { 205.0, 217.5, 230.0 }) {
            const double eta0 = b * std::exp(tb / (t + 273.15));
            for (const double rate : { 1.0, 100.0, 1000.0 }) {
                const double expected = eta0 / (1 + std::pow(eta0 * rate / tauStar, 1 - n));
                EXPECT_NEAR(
                    *MeltViscosity(reading.Grade->Melt, t, rate), expected, 1e-12 * expected)
                    << t << " C, " << rate << " 1/s";
            }
        }
        const double middle = (reading.Grade->Processing.Low + reading.Grade->Processing.High) / 2;
        const double volume = 0.85982 + 0.0005697 * (middle + 273.15 - 383); // cm3/g
        EXPECT_NEAR(reading.Grade->Melt.Density, 1000 / volume, 0.5);
    }

    TEST(EquivalentPowerLaw, IsTheTangentOfTheFlowCurve)
    {
        Melt cross;
        cross.Model = ViscosityModel::Cross;
        cross.ZeroShearViscosity = 5000;
        cross.CriticalStress = 30000;
        cross.FlowIndex = 0.3;
        const auto curve = [&](double rate) { return MeltViscosity(cross, 200, rate); };
        for (const double rate : { 0.01, 6.0, 1e4 }) {
            const auto law = TangentPowerLaw(curve, rate, 100);
            ASSERT_TRUE(law);
            // Cross: d ln eta / d ln g = -(1 - n) x / (1 + x), x = (eta0 g / tau*)^(1 - n).
            const double x = std::pow(5000 * rate / 30000, 0.7);
            EXPECT_NEAR(law->PowerLawIndex, 1 - 0.7 * x / (1 + x), 1e-8) << rate;
            const double eta = 5000 / (1 + x);
            EXPECT_NEAR(law->Viscosity, eta, 1e-12 * eta);
            const double atStandard = eta * std::pow(100 / rate, law->PowerLawIndex - 1) / 98.0665;
            EXPECT_NEAR(law->StandardViscosity, atStandard, 1e-12 * atStandard);
        }
        EXPECT_FALSE(TangentPowerLaw(curve, 0, 100));
    }

    TEST(EquivalentPowerLaw, OfAPowerLawMeltIsThatPowerLawInAnyDesign)
    {
        test::RecordingInterface ui;
        const auto in = ReadInputs([&](Field f) { return ui.FieldText(f); }, '.').Values;
        ASSERT_TRUE(in);
        Melt power = PowerLawMeltOf(*in);
        const DesignEquivalent answer = DesignPowerLaw(*in, power, 200);
        ASSERT_TRUE(answer.Law) << answer.Problem;
        EXPECT_NEAR(answer.Law->PowerLawIndex, in->PowerLawIndex, 1e-8);
        EXPECT_NEAR(
            answer.Law->StandardViscosity, in->StandardViscosity, 1e-8 * in->StandardViscosity);
        // The design's own law already carries the flow: the first network's rate holds.
        EXPECT_EQ(answer.Rounds, 2);
        EXPECT_GT(answer.Law->RepresentativeRate, answer.Range.Low);
        EXPECT_LT(answer.Law->RepresentativeRate, answer.Range.High);
    }

    // The commands as a user types them, with the user's grades in a folder of the test's own.
    class MeltCommands : public ::testing::Test {
    protected:
        void SetUp() override
        {
            const char* old = std::getenv("XDG_DATA_HOME");
            saved_ = old ? std::optional<std::string>(old) : std::nullopt;
            setenv("XDG_DATA_HOME", folder_.Path().c_str(), 1);
        }
        void TearDown() override
        {
            if (saved_)
                setenv("XDG_DATA_HOME", saved_->c_str(), 1);
            else
                unsetenv("XDG_DATA_HOME");
        }
        fs::path UserFolder() const { return folder_.Path() / "karrow" / "materials"; }

        test::ScratchFolder folder_;
        std::optional<std::string> saved_;
    };

    TEST_F(MeltCommands, MaterialsListsTheLibraryAndTheUsersGrades)
    {
        Write(UserFolder() / "mine.json", CrossGrade("ldpe-rao-carreau").dump());
        Write(UserFolder() / "bad.json", "[]");
        const auto listing = test::RunCli({ "materials" });
        EXPECT_EQ(listing.Status, 0) << listing.Err;
        EXPECT_NE(
            listing.Out.find("ldpe-rao-carreau         PP     cross, arrhenius"), std::string::npos)
            << listing.Out;
        EXPECT_NE(listing.Out.find("user, replaces library"), std::string::npos);
        EXPECT_NE(listing.Err.find("bad.json"), std::string::npos) << listing.Err;

        fs::remove(UserFolder() / "mine.json");
        const auto shown =
            test::RunCli({ "materials", "ldpe-rao-carreau", "--temperature", "200" });
        EXPECT_EQ(shown.Status, 0) << shown.Err;
        EXPECT_NE(shown.Out.find("lambda = 3.1 s"), std::string::npos) << shown.Out;
        EXPECT_NE(shown.Out.find("classic run: karrow-cli --power-law-index=0."), std::string::npos)
            << shown.Out;
        const auto unknown = test::RunCli({ "materials", "abs" });
        EXPECT_EQ(unknown.Status, 64);
        EXPECT_NE(unknown.Err.find("no material named \"abs\""), std::string::npos);
        const auto cold =
            test::RunCli({ "materials", "ldpe-rao-carreau", "--temperature", "-300" });
        EXPECT_EQ(cold.Status, 2);
        EXPECT_NE(cold.Err.find("no equivalent power law"), std::string::npos) << cold.Err;
    }

    TEST_F(MeltCommands, FitMeltWritesAMeltFileThatReadsBack)
    {
        Melt truth;
        truth.Model = ViscosityModel::Cross;
        truth.ZeroShearViscosity = 6000;
        truth.CriticalStress = 25000;
        truth.FlowIndex = 0.32;
        truth.Shift = TemperatureShift::Arrhenius;
        truth.ActivationEnergy = 42000;
        truth.ReferenceTemperature = 210;
        std::ostringstream csv;
        csv.precision(17);
        csv << "temperature,rate,viscosity\n";
        for (const double t : { 190.0, 210.0, 230.0 })
            for (const double rate : { 0.1, 1.0, 10.0, 100.0, 1000.0 })
                csv << t << ',' << rate << ',' << Viscosity(truth, rate, t) << '\n';
        Write("lab.csv", csv.str());
        const auto fit = test::RunCli({ "fit-melt", "lab.csv", "--model", "cross", "--density",
            "0.74", "--output", "pp.json" });
        ASSERT_EQ(fit.Status, 0) << fit.Err;
        EXPECT_NE(fit.Out.find("tau_star = 25000 +- "), std::string::npos) << fit.Out;
        EXPECT_NE(fit.Out.find("reference_temperature = 210 C (held)"), std::string::npos);
        const MaterialReading written = ReadMeltFile("pp.json");
        ASSERT_TRUE(written.Grade) << written.Problem;
        EXPECT_EQ(written.Grade->Name, "lab");
        EXPECT_NEAR(written.Grade->Melt.ActivationEnergy, 42000, 0.01);
        EXPECT_EQ(written.Grade->Melt.Density, 740);
        EXPECT_EQ(written.Grade->Processing.Low, 190);

        const auto wlf = test::RunCli({ "fit-melt", "lab.csv", "--model", "cross", "--shift", "wlf",
            "--reference-temperature", "190", "--output", "wlf.json" });
        EXPECT_EQ(wlf.Status, 0) << wlf.Err;
        Write("two.csv", "200,1,100\n200,10,50\n");
        const auto refused = test::RunCli({ "fit-melt", "two.csv", "--model", "cross" });
        EXPECT_EQ(refused.Status, 2);
        EXPECT_NE(
            refused.Err.find("\"two.csv\": 2 measurements cannot determine"), std::string::npos)
            << refused.Err;
        EXPECT_FALSE(fs::exists("two-melt.json"));
    }

    // A run with a grade: the report keeps its power law byte for byte, the network of the same
    // design is solved with the grade, isothermal or heated, in the summary and the document.
    TEST_F(MeltCommands, ARunWithAGradeSolvesItsNetworkBesideTheUnchangedReport)
    {
        const auto isothermal =
            test::RunCli({ "--material", "ldpe-rao-carreau", "--json", "run.json" });
        ASSERT_EQ(isothermal.Status, 0) << isothermal.Err;
        EXPECT_NE(
            isothermal.Out.find("Melt ldpe-rao-carreau at 195.0 C, isothermal"), std::string::npos)
            << isothermal.Out;
        EXPECT_EQ(test::ReadFile("result.txt"), test::GoldenReport());
        const auto document = nlohmann::json::parse(test::ReadFile("run.json"));
        const auto& melt = document.at("melt");
        EXPECT_EQ(melt["conditions"]["melt_temperature_C"], 195.0);
        EXPECT_TRUE(melt["network"]["converged"].get<bool>());
        EXPECT_EQ(melt["temperatures"]["outlet_spread_K"], 0.0);

        const auto heated = test::RunCli(
            { "--material", "ldpe-rao-carreau", "--thermal", "heated", "--wall-temperature", "195",
                "--heat-transfer-coefficient", "300", "--json", "run.json" });
        ASSERT_EQ(heated.Status, 0) << heated.Err;
        const auto warmed = nlohmann::json::parse(test::ReadFile("run.json")).at("melt");
        EXPECT_GT(warmed["temperatures"]["mean_outlet_C"].get<double>(), 195.0);
        EXPECT_GT(warmed["temperatures"]["outlet_spread_K"].get<double>(), 0.0);
        EXPECT_LT(warmed["network"]["head_pressure_MPa"].get<double>(),
            melt["network"]["head_pressure_MPa"].get<double>());
    }

    nlohmann::json MeltOfRun(const std::vector<std::string>& arguments)
    {
        const auto run = test::RunCli(arguments);
        EXPECT_EQ(run.Status, 0) << arguments.at(1) << ": " << run.Err;
        return nlohmann::json::parse(test::ReadFile("run.json")).at("melt");
    }

    // Every shipped grade is shown in full with its source, and solves the default design from
    // the command line at the middle of its window (the default melt temperature), isothermal and
    // heated by its own flow: converged, the heated melt warmer than it came in, by no more than
    // a die can warm it, and thinner for it.
    TEST_F(MeltCommands, EveryShippedGradeSolvesTheDefaultDesignInItsWindow)
    {
        for (const fs::path& file : ShippedGrades()) {
            const std::string name = file.stem().string();
            const MaterialReading reading = ReadMaterialFile(file.string());
            ASSERT_TRUE(reading.Grade) << reading.Problem;
            const double middle =
                (reading.Grade->Processing.Low + reading.Grade->Processing.High) / 2;
            const auto shown = test::RunCli({ "materials", name });
            EXPECT_EQ(shown.Status, 0) << shown.Err;
            EXPECT_NE(shown.Out.find("  source: " + reading.Grade->Source), std::string::npos)
                << name;

            const auto isothermal = MeltOfRun({ "--material", name, "--json", "run.json" });
            EXPECT_EQ(isothermal["conditions"]["melt_temperature_C"], middle) << name;
            EXPECT_TRUE(isothermal["network"]["converged"].get<bool>()) << name;
            for (const auto& t : isothermal["temperatures"]["outlets_C"])
                EXPECT_EQ(t.get<double>(), middle) << name;

            const auto heated =
                MeltOfRun({ "--material", name, "--thermal", "heated", "--json", "run.json" });
            EXPECT_TRUE(heated["network"]["converged"].get<bool>()) << name;
            EXPECT_GT(heated["network"]["thermal_steps"].get<int>(), 1) << name;
            for (const char* list : { "channel_C", "outlets_C" })
                for (const auto& t : heated["temperatures"][list]) {
                    EXPECT_GE(t.get<double>(), middle) << name << " " << list;
                    EXPECT_LT(t.get<double>(), middle + 60) << name << " " << list;
                }
            EXPECT_GT(heated["temperatures"]["mean_outlet_C"].get<double>(), middle) << name;
            EXPECT_LT(heated["network"]["head_pressure_MPa"].get<double>(),
                isothermal["network"]["head_pressure_MPa"].get<double>())
                << name;
        }
    }

    // A Cross-WLF grade with and without the pressure term D3 (K/Pa), from the user's folder:
    // both solve isothermal and heated from the command line; with D3 the outer steps carry the
    // pressure, reported as the heating's are, and the head pressure is higher.
    TEST_F(MeltCommands, ACrossWlfGradeSolvesWithItsPressureTerm)
    {
        for (const double d3 : { 0.0, 1e-7 }) {
            Json grade = CrossGrade(d3 > 0 ? "cwlf-pressure" : "cwlf-plain");
            grade["viscosity"] = { { "model", "cross-wlf" }, { "n", 0.3 }, { "tau_star", 30000 },
                { "D1", 2e12 }, { "D2", 100 }, { "D3", d3 }, { "A1", 26 }, { "A2", 51.6 } };
            grade["shift"] = { { "model", "none" } };
            Write(UserFolder() / (grade["name"].get<std::string>() + ".json"), grade.dump());
        }
        for (const char* mode : { "isothermal", "heated" }) {
            const auto plain =
                MeltOfRun({ "--material", "cwlf-plain", "--thermal", mode, "--json", "run.json" });
            const auto pressure = MeltOfRun(
                { "--material", "cwlf-pressure", "--thermal", mode, "--json", "run.json" });
            EXPECT_TRUE(plain["network"]["converged"].get<bool>()) << mode;
            ASSERT_TRUE(pressure["network"]["converged"].get<bool>()) << mode;
            EXPECT_EQ(pressure["melt"]["constants"]["D3"], 1e-7);
            EXPECT_GT(pressure["network"]["thermal_steps"].get<int>(), 1) << mode;
            EXPECT_LE(pressure["network"]["thermal_residual_K"].get<double>(), ThermalTolerance);
            EXPECT_GT(pressure["network"]["head_pressure_MPa"].get<double>(),
                plain["network"]["head_pressure_MPa"].get<double>())
                << mode;
        }
        EXPECT_EQ(MeltOfRun({ "--material", "cwlf-plain", "--json",
                      "run.json" })["network"]["thermal_steps"],
            1);
    }

    // Conditions without a melt, two melts, or a throughput beside the flow rate are refused
    // before anything is written.
    TEST_F(MeltCommands, MeltOptionsThatMeanNothingAreRefusedBeforeTheRun)
    {
        const std::vector<std::vector<std::string>> refused { { "--melt-temperature", "200" },
            { "--material", "ldpe-rao-carreau", "--melt", "mine.json" },
            { "--material", "ldpe-rao-carreau", "--throughput", "50", "--flow-rate-per-channel=4" },
            { "--material", "ldpe-rao-carreau", "--wall-temperature", "190" },
            { "--material", "nosuch" } };
        for (const auto& arguments : refused) {
            const auto run = test::RunCli(arguments);
            EXPECT_EQ(run.Status, 64) << arguments.front() << run.Err;
            EXPECT_EQ(run.Err.rfind("karrow-cli: --", 0), 0u) << run.Err;
            EXPECT_FALSE(fs::exists("result.txt"));
        }
    }

    // --throughput is the whole die's mass flow: each channel takes its share by volume.
    TEST_F(MeltCommands, ThroughputSetsTheFlowRatePerChannelFromTheDensity)
    {
        const auto run = test::RunCli({ "--material", "ldpe-rao-carreau", "--throughput", "50",
            "--number-of-channels=5", "--json", "run.json" });
        ASSERT_EQ(run.Status, 0) << run.Err;
        const auto document = nlohmann::json::parse(test::ReadFile("run.json"));
        const double density = document["melt"]["melt"]["constants"]["density"].get<double>();
        const std::string given =
            document["inputs"]["texts"]["flow-rate-per-channel"].get<std::string>();
        EXPECT_DOUBLE_EQ(std::stod(given), FlowRatePerChannelOf(50, density, 5));
        EXPECT_NEAR(std::stod(given) * 5 * density * 3600e-6, 50, 1e-9);
    }

} // namespace
} // namespace karrow
