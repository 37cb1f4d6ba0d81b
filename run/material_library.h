#pragma once

// The grades a user can name with --material: the library that ships with Karrow (one file per
// grade) and the user's own grades, files of the same format in the XDG data folder
// ($XDG_DATA_HOME/karrow/materials, by default ~/.local/share/karrow/materials). A user grade of
// the same name as a library grade replaces it: a designer who measured their own lot of a resin
// means that one, and the listing says so.

#include "material_grade.h"

#include <optional>
#include <string>
#include <vector>

namespace karrow {

struct MaterialFolders {
    std::string Library; // empty: none found
    std::string User; // empty: no home to hold one
};

// $XDG_DATA_HOME/karrow/materials when that is an absolute path (the XDG rule), else
// $HOME/.local/share/karrow/materials, else nothing. Either argument may be null.
std::string UserMaterialFolder(const char* xdgDataHome, const char* home);

// The folders a front end reads: the library beside the program (`programFolder`/../share/
// karrow/materials, as a package installs it), else the first of `otherLibraries` that is a
// folder (the installed one, then the source tree's for a build that was not installed); the
// user's folder from the environment.
MaterialFolders MaterialFoldersOf(const std::string& programFolder,
    const std::vector<std::string>& otherLibraries, const char* xdgDataHome, const char* home);

enum class GradeOrigin { Library, User };

struct ListedGrade {
    MaterialGrade Grade;
    GradeOrigin Origin = GradeOrigin::Library;
    std::string Path;
    bool ReplacesLibraryGrade = false; // a user grade that hides the library's of its name
};

// Every grade of the folders, by name (case-insensitive order), and the files that could not be
// read, each problem naming its file. Files are those ending in ".json"; a missing folder holds
// none.
struct MaterialCatalogue {
    std::vector<ListedGrade> Grades;
    std::vector<std::string> Problems;
};
MaterialCatalogue ListMaterials(const MaterialFolders& folders);

// The grade called `name` (case-insensitive), or why there is none: no such name (with the names
// there are), or the file of that name that could not be read.
struct MaterialLookup {
    std::optional<ListedGrade> Found;
    std::string Problem;
};
MaterialLookup FindMaterial(const MaterialFolders& folders, const std::string& name);

} // namespace karrow
