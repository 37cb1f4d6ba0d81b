#pragma once

// A grade of melt as a file holds it: the constants of its viscosity law and temperature shift in
// SI units (temperatures in °C), its melt density and heat capacity, the temperatures it is
// usually processed at, and where its constants come from. The library's grades, the user's own
// and the melts that "karrow-cli fit-melt" writes are all files of this one format.

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace karrow {

inline constexpr const char* MaterialFormatName = "karrow-material";
inline constexpr int MaterialFormatVersion = 1;
inline constexpr const char* MaterialExtension = ".json";

// A viscosity law or temperature shift with the names of its constants, as the files spell them.
enum class ConstantRange { Positive, NonNegative, Any, PowerLawIndex /* (0, 1.5] */ };
struct ConstantInfo {
    const char* Name;
    const char* Unit;
    const char* Meaning;
    ConstantRange Range = ConstantRange::Positive;
};
struct LawInfo {
    const char* Name;
    std::vector<ConstantInfo> Constants;
};

// "cross", "carreau-yasuda", "cross-wlf"; nullptr for another name.
const LawInfo* ViscosityLawNamed(const std::string& name);
// "none", "arrhenius", "wlf"; nullptr for another name. Cross-WLF carries its own shift: "none".
const LawInfo* ShiftNamed(const std::string& name);
const std::vector<LawInfo>& ViscosityLaws();
const std::vector<LawInfo>& Shifts();

struct TemperatureWindow {
    double Low = 0; // °C
    double High = 0; // °C
};

struct MaterialGrade {
    std::string Name; // what --material takes, unique in the library
    std::string Family; // LDPE, LLDPE, HDPE, PP, PS, PA6, PET, PVC, PC, ...
    std::string Model; // a ViscosityLawNamed
    std::map<std::string, double> Constants; // by the law's names
    std::string Shift = "none"; // a ShiftNamed
    std::map<std::string, double> ShiftConstants;
    double Density = 0; // kg/m3, of the melt
    double HeatCapacity = 0; // J/(kg K), of the melt
    TemperatureWindow Processing;
    std::string Source; // the citation: authors, title, year, table
    std::string Notes; // how the constants were taken into this form, when they were converted
};

// A grade read from a document, or why it is not one: the problem names the file (as `origin`)
// and the key.
struct MaterialReading {
    std::optional<MaterialGrade> Grade;
    std::string Problem;
};
MaterialReading ParseMaterial(const std::string& document, const std::string& origin);
// Reads the file `path`; a problem names the file.
MaterialReading ReadMaterialFile(const std::string& path);

// The document of a grade, as ParseMaterial reads it back. `fitJson` (an object of JSON, as
// text) is added as the document's "fit" when not empty.
std::string MaterialJson(const MaterialGrade& grade, const std::string& fitJson = "");

// Why a constant of a grade makes no sense (out of its range, missing, not finite), naming it,
// or nothing.
std::optional<std::string> ConstantsProblem(const MaterialGrade& grade);
// The same for the constants of the law and shift alone.
std::optional<std::string> LawConstantsProblem(const MaterialGrade& grade);

} // namespace karrow
