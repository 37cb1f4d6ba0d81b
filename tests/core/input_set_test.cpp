#include "run/fields.h"
#include "run/input_set.h"
#include "test_support.h"

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace karrow {
namespace {

    using Json = nlohmann::ordered_json;
    namespace fs = std::filesystem;

    // Texts a designer may leave in the fields: empty, blanks, a comma separator, UTF-8, JSON's
    // own special characters and the longest text kept.
    InputSet UnusualSet()
    {
        InputSet set { DefaultFieldTexts(',') };
        set.Texts[Field::NumberOfChannels] = "";
        set.Texts[Field::SpiralHeight] = "   ";
        set.Texts[Field::LipHeight] = " 1,0e-3 ";
        set.Texts[Field::DieRadius] = "\"quoted\" \\ back\tslash\n";
        set.Texts[Field::ChannelWidth] = std::string(4096, '7');
        set.Texts[Field::SaveFileName] = "D\xC3\xBCse \xCF\x80 \xE2\x82\xAC.txt";
        return set;
    }

    std::vector<std::string> FolderEntries(const fs::path& folder)
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    TEST(InputSetFile, KeepsEveryTextAsTyped)
    {
        const test::TemporaryFolder folder;
        const std::string path = (folder.Path() / "die.karrow").string();
        const InputSet set = UnusualSet();

        ASSERT_EQ(WriteInputSet(path, set, ','), std::nullopt);
        const InputSetReading reading = ReadInputSet(path, ',');
        ASSERT_TRUE(reading.Set) << reading.Problem;
        EXPECT_EQ(reading.Set->Texts, set.Texts);
        const std::string document = test::ReadFile(path);
        EXPECT_EQ(
            document.rfind("{\n  \"format\": \"karrow-inputs\",\n  \"version\": 1,\n  \"fields\": "
                           "{\n    \"number-of-channels\": \"\",\n    \"spiral-height\": \"   \",",
                0),
            0U)
            << document;
        EXPECT_NE(document.find("\"output\": \"D\xC3\xBCse \xCF\x80 \xE2\x82\xAC.txt\""),
            std::string::npos)
            << "UTF-8 is written as it is, not escaped";
        EXPECT_EQ(FolderEntries(folder.Path()), std::vector<std::string> { "die.karrow" });
    }

    TEST(InputSetFile, ReplacesAnExistingFileWhole)
    {
        const test::TemporaryFolder folder;
        const fs::path path = folder.Path() / "die.karrow";
        test::WriteFile(path, std::string(20000, 'x'));

        ASSERT_EQ(WriteInputSet(path.string(), UnusualSet(), ','), std::nullopt);
        EXPECT_EQ(test::ReadFile(path), InputSetJson(UnusualSet(), ','));
        EXPECT_EQ(FolderEntries(folder.Path()), std::vector<std::string> { "die.karrow" });
    }

    TEST(InputSetFile, FailedWriteLeavesFolderAsItWas)
    {
        const test::TemporaryFolder folder;
        const fs::path existing = folder.Path() / "die.karrow";
        const std::string old = std::string(300, 'o');
        test::WriteFile(existing, old);
        fs::create_directory(folder.Path() / "a-folder");
        test::WriteFile(folder.Path() / "a-folder" / "inside", "kept");
        const auto before = FolderEntries(folder.Path());

        for (const fs::path& target :
            { folder.Path() / "a-folder", folder.Path() / "missing" / "die.karrow" }) {
            const auto problem = WriteInputSet(target.string(), UnusualSet(), ',');
            ASSERT_TRUE(problem) << target;
            EXPECT_EQ(problem->rfind(target.string() + ": ", 0), 0U) << *problem;
        }
        EXPECT_EQ(FolderEntries(folder.Path()), before);
        EXPECT_EQ(test::ReadFile(folder.Path() / "a-folder" / "inside"), "kept");

        // A disk that fills while the new file is written (a file size limit in a child): the
        // temporary file is removed and the existing file is kept.
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit small { 100, 100 };
            ::setrlimit(RLIMIT_FSIZE, &small);
            ::_exit(WriteInputSet(existing.string(), UnusualSet(), ',') ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the write was not refused";
        EXPECT_EQ(test::ReadFile(existing), old);
        EXPECT_EQ(FolderEntries(folder.Path()), before);
    }

    TEST(InputSetFile, RefusesTextsThatCannotBeKept)
    {
        const test::TemporaryFolder folder;
        const std::string path = (folder.Path() / "die.karrow").string();
        InputSet set = UnusualSet();
        set.Texts[Field::FlowRatePerChannel] = "\xFF";
        EXPECT_EQ(WriteInputSet(path, set, ','),
            path + ": The field \"flow-rate-per-channel\" is not UTF-8 text.");
        set.Texts[Field::FlowRatePerChannel] = std::string(4097, '1');
        EXPECT_EQ(WriteInputSet(path, set, ','),
            path + ": The field \"flow-rate-per-channel\" is longer than 4096 bytes.");
        EXPECT_TRUE(FolderEntries(folder.Path()).empty());
    }

    // Numbers are stored with a full stop and read under either separator; a set written with a
    // comma (an older Karrow under a comma locale) reads too. The report name keeps its commas.
    TEST(InputSetFile, NumbersReadTheSameUnderEveryRegionalSeparator)
    {
        const test::TemporaryFolder folder;
        const std::string path = (folder.Path() / "die.karrow").string();
        InputSet set { DefaultFieldTexts(',') };
        set.Texts[Field::SaveFileName] = "run,1.txt";
        ASSERT_EQ(WriteInputSet(path, set, ','), std::nullopt);
        const Json stored = Json::parse(test::ReadFile(path));
        EXPECT_EQ(stored["fields"]["lip-height"], "1.0");
        EXPECT_EQ(stored["fields"]["output"], "run,1.txt");

        const auto lipHeight = [&path](char separator) {
            const InputSetReading reading = ReadInputSet(path, separator);
            return reading.Set ? reading.Set->Texts[Field::LipHeight] : reading.Problem;
        };
        EXPECT_EQ(lipHeight('.'), "1.0");
        EXPECT_EQ(lipHeight(','), "1,0");
        Json older = stored;
        older["fields"]["lip-height"] = "12,38";
        test::WriteFile(path, older.dump());
        EXPECT_EQ(lipHeight('.'), "12.38");
        EXPECT_EQ(ReadInputSet(path, '.').Set->Texts[Field::SaveFileName], "run,1.txt");
    }

    TEST(InputSetFile, RefusesToSaveAReportNameOutsideItsFolder)
    {
        const test::TemporaryFolder folder;
        const std::string path = (folder.Path() / "die.karrow").string();
        InputSet set = UnusualSet();
        set.Texts[Field::SaveFileName] = "../notes.txt";
        const auto problem = WriteInputSet(path, set, ',');
        ASSERT_TRUE(problem);
        EXPECT_NE(problem->find(path + ": The field \"output\" must be a plain file name"),
            std::string::npos)
            << *problem;
        EXPECT_TRUE(FolderEntries(folder.Path()).empty());
    }

    // A document that is not a proper input set, made from a proper one by `Change`, or given
    // as it is in `Raw`.
    struct DocumentCase {
        const char* Name;
        const char* Raw;
        void (*Change)(Json&);
        const char* Expected;
    };

    class InputSetDocument : public testing::TestWithParam<DocumentCase> { };

    TEST_P(InputSetDocument, IsRefusedWithItsProblem)
    {
        const DocumentCase& c = GetParam();
        std::string document = c.Raw ? c.Raw : "";
        if (c.Change) {
            Json json = Json::parse(InputSetJson(UnusualSet(), ','));
            c.Change(json);
            document = json.dump();
        }
        const InputSetReading reading = ParseInputSet(document, '.');
        EXPECT_FALSE(reading.Set);
        EXPECT_NE(reading.Problem.find(c.Expected), std::string::npos) << reading.Problem;
    }

    INSTANTIATE_TEST_SUITE_P(Problems, InputSetDocument,
        testing::Values(DocumentCase { "Empty", "", nullptr, "not JSON: parse error at line 1" },
            DocumentCase { "Truncated", "{\n  \"format\": ", nullptr,
                "not JSON: parse error at line 2, column 13" },
            DocumentCase { "BadUtf8", "{\"format\": \"\xFF\"}", nullptr, "not JSON" },
            DocumentCase { "Array", "[]", nullptr, "not a JSON object" },
            DocumentCase { "WrongFormat", nullptr, [](Json& j) { j["format"] = "karrow"; },
                "its \"format\" is not \"karrow-inputs\"" },
            DocumentCase {
                "NoFormat", nullptr, [](Json& j) { j.erase("format"); }, "its \"format\" is not" },
            DocumentCase {
                "NoVersion", nullptr, [](Json& j) { j.erase("version"); }, "has no \"version\"" },
            DocumentCase { "VersionText", nullptr, [](Json& j) { j["version"] = "1"; },
                "must be a whole number" },
            DocumentCase { "NewerVersion", nullptr, [](Json& j) { j["version"] = 3; },
                "written by a newer Karrow (version 3); this one reads versions 1 to 2" },
            DocumentCase { "MeltInVersionOne", nullptr,
                [](Json& j) { j["melt"] = Json::object(); },
                "unknown entry \"melt\" (a melt needs an input set of version 2)" },
            DocumentCase { "OlderVersion", nullptr, [](Json& j) { j["version"] = 0; },
                "version 0 is not supported" },
            DocumentCase { "UnknownEntry", nullptr, [](Json& j) { j["comment"] = "die 7"; },
                "unknown entry \"comment\"" },
            DocumentCase {
                "NoFields", nullptr, [](Json& j) { j.erase("fields"); }, "has no \"fields\"" },
            DocumentCase { "FieldsArray", nullptr, [](Json& j) { j["fields"] = Json::array(); },
                "\"fields\" of the input set must be a JSON object" },
            DocumentCase { "MissingField", nullptr, [](Json& j) { j["fields"].erase("output"); },
                "The field \"output\" is missing." },
            DocumentCase { "NumberForText", nullptr,
                [](Json& j) { j["fields"]["number-of-channels"] = 4; },
                "The field \"number-of-channels\" must be a text in quotes." },
            DocumentCase { "UnknownField", nullptr,
                [](Json& j) { j["fields"]["die-diameter"] = "22.5"; },
                "unknown field \"die-diameter\"" },
            DocumentCase { "VersionBeyondDouble",
                "{\"format\": \"karrow-inputs\", \"version\": 1e400}", nullptr,
                "beyond the range of a double" },
            DocumentCase {
                "ArrayBeyondDouble", "[1e309]", nullptr, "beyond the range of a double" },
            // A set from someone else must not choose where the report goes.
            DocumentCase { "ReportInAnotherFolder", nullptr,
                [](Json& j) { j["fields"]["output"] = "/some/other/folder/thesis.txt"; },
                "\"output\" must be a plain file name" },
            DocumentCase { "ReportAboveTheFolder", nullptr,
                [](Json& j) { j["fields"]["output"] = "../notes.txt"; }, "plain file name" },
            DocumentCase { "ReportNamedParent", nullptr,
                [](Json& j) { j["fields"]["output"] = ".."; }, "plain file name" },
            DocumentCase { "ReportNameWithNul", nullptr,
                [](Json& j) { j["fields"]["output"] = std::string("a\0b.txt", 7); },
                "plain file name" },
            DocumentCase { "TextTooLong", nullptr,
                [](Json& j) { j["fields"]["lip-height"] = std::string(4097, '1'); },
                "The field \"lip-height\" is longer than 4096 bytes." }),
        [](const testing::TestParamInfo<DocumentCase>& row) { return row.param.Name; });

    // A path that is no input set file, made in a fresh folder by `Make`.
    struct FileCase {
        const char* Name;
        void (*Make)(const fs::path&);
        const char* Expected;
    };

    class InputSetPath : public testing::TestWithParam<FileCase> { };

    TEST_P(InputSetPath, IsRefusedNamingTheFile)
    {
        const test::TemporaryFolder folder;
        const fs::path path = folder.Path() / "die.karrow";
        GetParam().Make(path);
        const InputSetReading reading = ReadInputSet(path.string(), '.');
        EXPECT_FALSE(reading.Set);
        EXPECT_EQ(reading.Problem.rfind(path.string() + ": ", 0), 0U) << reading.Problem;
        EXPECT_NE(reading.Problem.find(GetParam().Expected), std::string::npos) << reading.Problem;
    }

    INSTANTIATE_TEST_SUITE_P(Files, InputSetPath,
        testing::Values(FileCase { "Missing", [](const fs::path&) {}, "does not exist" },
            FileCase {
                "Folder", [](const fs::path& p) { fs::create_directory(p); }, "is a folder" },
            FileCase { "Fifo", [](const fs::path& p) { ::mkfifo(p.c_str(), 0600); },
                "not an ordinary file" },
            FileCase { "LargerThanMebibyte",
                [](const fs::path& p) {
                    test::WriteFile(p, InputSetJson(UnusualSet(), ',') + std::string(1 << 20, ' '));
                },
                "larger than 1 MiB" },
            FileCase { "NotJson", [](const fs::path& p) { test::WriteFile(p, "4\n12.38\n"); },
                "not JSON" }),
        [](const testing::TestParamInfo<FileCase>& row) { return row.param.Name; });

} // namespace
} // namespace karrow
