#pragma once

// A grade of melt as a file holds it: its melt (viscosity law, temperature shift, density and heat
// capacity, in SI units with temperatures in °C, the constants named as solver/melt.h names
// them), the temperatures it is usually processed at, and where its constants come from. The
// library's grades, the user's own and the melts that "karrow-cli fit-melt" writes are all files
// of this one format (docs/karrow-material.schema.json).

#include "solver/melt.h"

#include <optional>
#include <string>

namespace karrow {

inline constexpr const char* MaterialFormatName = "karrow-material";
inline constexpr int MaterialFormatVersion = 1;
inline constexpr const char* MaterialExtension = ".json";

struct TemperatureWindow {
    double Low = 0; // °C
    double High = 0; // °C
};

struct MaterialGrade {
    std::string Name; // what --material takes, unique in the library
    std::string Family; // LDPE, LLDPE, HDPE, PP, PS, PA6, PET, PVC, PC, ...
    struct Melt Melt;
    TemperatureWindow Processing;
    std::string Source; // the citation: authors, title, year, table
    std::string Notes; // how the constants were taken into this form, when they were converted
};

// The section of a file that holds a melt constant: "viscosity", "shift", or "" for the
// document itself (density, heat capacity).
std::string SectionOf(const MeltConstant& constant);

// A grade read from a document, or why it is not one: the problem names the file (as `origin`)
// and the key, as "viscosity.tau_star".
struct MaterialReading {
    std::optional<MaterialGrade> Grade;
    std::string Problem;
};
MaterialReading ParseMaterial(const std::string& document, const std::string& origin);
// Reads the file `path`; a problem names the file.
MaterialReading ReadMaterialFile(const std::string& path);
// The melt of a melt file, for --melt FILE.
inline MaterialReading ReadMeltFile(const std::string& path) { return ReadMaterialFile(path); }

// The document of a grade, as ParseMaterial reads it back. `fitJson` (a JSON object, as text) is
// added as the document's "fit" when not empty.
std::string MaterialJson(const MaterialGrade& grade, const std::string& fitJson = "");

} // namespace karrow
