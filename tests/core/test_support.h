#pragma once

#include "run/fields.h"
#include "run/input_reading.h"
#include "run/user_interface.h"
#include "solver/flow_relations.h"
#include "solver/flows.h"
#include "solver/geometry.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

namespace karrow::test {

// A user interface that answers with the window's default texts unless told otherwise and
// records everything the run shows.
class RecordingInterface : public UserInterface {
public:
    RecordingInterface& Set(Field field, std::string text)
    {
        texts[field] = std::move(text);
        return *this;
    }
    std::string FieldText(Field field) const override { return texts[field]; }
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void ShowFinishDialog() override { ++finishDialogs; }
    void RereadFileList() override { ++rereads; }
    void SectionWritten(int section) override
    {
        if (onSectionWritten)
            onSectionWritten(section);
    }

    FieldTexts texts = DefaultFieldTexts('.');
    std::vector<std::string> messages;
    int finishDialogs = 0;
    int rereads = 0;
    std::function<void(int)> onSectionWritten;
};

// What the outlet zone sends out of the die: the sum of its slit flows, accumulated extended.
inline long double OutletSlitFlowSum(const Geometry& g, const Flows& flows)
{
    long double sum = 0;
    for (int i = g.FirstOutletIncrement(); i <= g.EffectiveIncrements; ++i)
        sum += flows.SlitFlow(i);
    return sum;
}

// The inputs in the fields of `ui`, which must convert.
inline Inputs InputsFrom(const RecordingInterface& ui)
{
    const InputReading reading =
        ReadInputs([&ui](Field field) { return ui.FieldText(field); }, '.');
    if (!reading.Values)
        throw std::runtime_error("inputs do not convert: " + reading.Problem);
    return *reading.Values;
}

// The element laws of a design, without its flows.
struct Elements {
    Inputs In;
    Geometry Geo;
    ElementLaws Laws;
};

inline Elements ElementsOf(const Inputs& in)
{
    Elements e { in, ComputeGeometry(in), {} };
    e.Laws = ComputeElementLaws(e.In, e.Geo);
    return e;
}

// A fresh folder under the temporary directory, removed with everything in it at the end.
// Open to everyone (0755), so that a child process without root's privileges can enter it.
class TemporaryFolder {
public:
    explicit TemporaryFolder(const std::string& prefix = "karrow-test")
    {
        std::string pattern =
            (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("cannot make a temporary folder");
        path_ = pattern;
        std::filesystem::permissions(path_, std::filesystem::perms(0755));
    }
    ~TemporaryFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

// A temporary folder that is the current directory for the life of the object.
class ScratchFolder {
public:
    ScratchFolder()
        : previous_(std::filesystem::current_path())
    {
        std::filesystem::current_path(folder_.Path());
    }
    ~ScratchFolder() { std::filesystem::current_path(previous_); }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::filesystem::path& Path() const { return folder_.Path(); }

private:
    std::filesystem::path previous_;
    TemporaryFolder folder_;
};

inline std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

inline void WriteFile(const std::filesystem::path& path, const std::string& content)
{
    std::ofstream(path, std::ios::binary) << content;
}

#ifdef KARROW_TEST_DATA
// The report of the window's defaults as released: every byte of it is the system's own.
inline std::string GoldenReport()
{
    return ReadFile(std::filesystem::path(KARROW_TEST_DATA) / "default_report.txt");
}
#endif

// The lines of a CR LF text, without their line ends.
inline std::vector<std::string> CrLfLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

} // namespace karrow::test
