#include "material_library.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <system_error>

namespace karrow {

namespace {

    namespace fs = std::filesystem;

    std::string Folded(const std::string& text)
    {
        std::string folded = text;
        std::transform(folded.begin(), folded.end(), folded.begin(),
            [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return folded;
    }

    // The grade files of a folder in name order, so that a listing is the same on every machine.
    std::vector<std::string> GradeFiles(const std::string& folder)
    {
        std::vector<std::string> files;
        std::error_code error;
        if (folder.empty() || !fs::is_directory(folder, error))
            return files;
        for (fs::directory_iterator it(folder, error), end; !error && it != end;
             it.increment(error))
            if (it->path().extension() == MaterialExtension && it->is_regular_file(error))
                files.push_back(it->path().string());
        std::sort(files.begin(), files.end());
        return files;
    }

    // Reads the grades of one folder into `byName`; a second file of a name already read from
    // the same folder is a problem, not a silent choice.
    void ReadFolder(const std::string& folder, GradeOrigin origin,
        std::map<std::string, ListedGrade>& byName, std::vector<std::string>& problems)
    {
        std::map<std::string, std::string> seen; // folded name -> file, in this folder
        for (const std::string& path : GradeFiles(folder)) {
            MaterialReading reading = ReadMaterialFile(path);
            if (!reading.Grade) {
                problems.push_back(reading.Problem);
                continue;
            }
            const std::string key = Folded(reading.Grade->Name);
            if (const auto twin = seen.find(key); twin != seen.end()) {
                problems.push_back("\"" + path + "\": the name \"" + reading.Grade->Name
                    + "\" is already that of \"" + twin->second + "\"");
                continue;
            }
            seen[key] = path;
            const auto replaced = byName.find(key);
            const bool replaces = replaced != byName.end()
                && replaced->second.Origin == GradeOrigin::Library && origin == GradeOrigin::User;
            byName[key] = ListedGrade { std::move(*reading.Grade), origin, path, replaces };
        }
    }

} // namespace

std::string UserMaterialFolder(const char* xdgDataHome, const char* home)
{
    if (xdgDataHome != nullptr && xdgDataHome[0] == '/')
        return (fs::path(xdgDataHome) / "karrow" / "materials").string();
    if (home != nullptr && home[0] != '\0')
        return (fs::path(home) / ".local" / "share" / "karrow" / "materials").string();
    return {};
}

MaterialFolders MaterialFoldersOf(const std::string& programFolder,
    const std::vector<std::string>& otherLibraries, const char* xdgDataHome, const char* home)
{
    std::vector<fs::path> candidates;
    if (!programFolder.empty())
        candidates.push_back(
            fs::path(programFolder).parent_path() / "share" / "karrow" / "materials");
    candidates.insert(candidates.end(), otherLibraries.begin(), otherLibraries.end());
    MaterialFolders folders;
    std::error_code error;
    for (const fs::path& candidate : candidates)
        if (!candidate.empty() && fs::is_directory(candidate, error)) {
            folders.Library = candidate.lexically_normal().string();
            break;
        }
    folders.User = UserMaterialFolder(xdgDataHome, home);
    return folders;
}

MaterialCatalogue ListMaterials(const MaterialFolders& folders)
{
    std::map<std::string, ListedGrade> byName;
    MaterialCatalogue catalogue;
    ReadFolder(folders.Library, GradeOrigin::Library, byName, catalogue.Problems);
    ReadFolder(folders.User, GradeOrigin::User, byName, catalogue.Problems);
    for (auto& [key, grade] : byName)
        catalogue.Grades.push_back(std::move(grade));
    return catalogue;
}

MaterialLookup FindMaterial(const MaterialFolders& folders, const std::string& name)
{
    MaterialCatalogue catalogue = ListMaterials(folders);
    MaterialLookup lookup;
    const std::string key = Folded(name);
    for (ListedGrade& grade : catalogue.Grades)
        if (Folded(grade.Grade.Name) == key) {
            lookup.Found = std::move(grade);
            return lookup;
        }
    // A file that could not be read may be the grade asked for: say why rather than "none".
    for (const std::string& problem : catalogue.Problems)
        if (Folded(problem).find(key) != std::string::npos) {
            lookup.Problem = problem;
            return lookup;
        }
    std::string names;
    for (const ListedGrade& grade : catalogue.Grades)
        names += (names.empty() ? "" : ", ") + grade.Grade.Name;
    lookup.Problem = "no material named \"" + name + "\""
        + (names.empty() ? std::string(" (no grades were found)") : " (there are: " + names + ")");
    return lookup;
}

} // namespace karrow
