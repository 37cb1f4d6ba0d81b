// The committed fuzz corpora replayed through the checks the fuzz targets make (fuzz/*_check.cpp),
// so that every test run, not only the clang fuzz build, keeps what fuzzing once found fixed.

#include "fuzz/fuzz_checks.h"
#include "run/run_json.h"
#include "test_support.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>

namespace karrow::fuzz {
namespace {

    namespace fs = std::filesystem;

    // The corpus of one target, in a fixed order so that a failure repeats as it was seen.
    std::vector<fs::path> CorpusOf(const std::string& target)
    {
        std::vector<fs::path> inputs;
        for (const auto& entry : fs::directory_iterator(fs::path(KARROW_FUZZ_CORPUS) / target))
            if (entry.is_regular_file())
                inputs.push_back(entry.path());
        std::sort(inputs.begin(), inputs.end());
        return inputs;
    }

    std::string Bytes(const fs::path& input)
    {
        return test::ReadFile(input);
    }

    const std::uint8_t* Data(const std::string& bytes)
    {
        return reinterpret_cast<const std::uint8_t*>(bytes.data());
    }

    TEST(FuzzCorpus, InputGrammarReadsEveryTextAsTheReferenceReader)
    {
        const std::vector<fs::path> inputs = CorpusOf("fuzz_input_grammar");
        ASSERT_FALSE(inputs.empty());
        for (const fs::path& input : inputs) {
            const std::string bytes = Bytes(input);
            EXPECT_NO_THROW(CheckInputGrammar(Data(bytes), bytes.size())) << input.filename();
        }
    }

    // How a checked run ended, by the core's names of the end states.
    std::string EndOf(const CheckedRun& run)
    {
        if (!run.Ran)
            return "not run";
        return EndName(run.End ? *run.End : RunEnd::Fault);
    }

    // A corpus that no longer reaches an end leaves that end's checks untried in every build, so
    // the replay also asks for each end the driver can reach without a file failing under it.
    TEST(FuzzCorpus, WholeRunsEndAsTheirEndStatePromisesAndReachEveryEnd)
    {
        const std::vector<fs::path> inputs = CorpusOf("fuzz_whole_run");
        std::set<std::string> reached;
        for (const fs::path& input : inputs) {
            const std::string bytes = Bytes(input);
            try {
                reached.insert(EndOf(CheckWholeRun(Data(bytes), bytes.size())));
            } catch (const std::exception& finding) {
                ADD_FAILURE() << input.filename() << ": " << finding.what();
            }
        }
        for (const RunEnd end : { RunEnd::Finished, RunEnd::InputsRejected, RunEnd::ReportNotCreated,
                 RunEnd::NotConverged, RunEnd::Fault })
            EXPECT_TRUE(reached.contains(EndName(end))) << "no input of the corpus ends " << EndName(end);
    }

} // namespace
} // namespace karrow::fuzz
