#pragma once

// A melt as JSON, the one way a material file and an input set's "melt" entry both hold it: the
// viscosity law and the temperature shift by name, each in its own object with its constants,
// and the density and heat capacity beside them. Both documents read and write it here, so that
// what one accepts the other does; each words a refusal in its own way, as its users know it.
// Only run/ sources include this: JSON stays out of the core's interface.

#include "solver/melt.h"

#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

namespace karrow {

using MeltJson = nlohmann::ordered_json;

// What is wrong with which key of a document: the reader finds it, its caller words it.
struct KeyRefusal {
    enum class Fault {
        Missing,
        NotANumber, // or not a finite one
        NotAText,
        EmptyText,
        NotAnObject,
        UnknownKey,
        UnknownName, // of a law or a shift: Name is none of KnownNames
    };
    std::string Section; // "viscosity", "melt.viscosity"; "" for the document's top
    std::string Key;
    Fault What = Fault::Missing;
    std::string Name;
    std::vector<std::string> KnownNames;

    // "section.key", or the key alone at the top.
    std::string Entry() const;
};

enum class EmptyText { Allowed, Refused };

// The keys of an object, each read or refused with a KeyRefusal naming `section` and the key.
const MeltJson& MemberAt(
    const MeltJson& object, const std::string& key, const std::string& section);
double NumberAt(const MeltJson& object, const std::string& key, const std::string& section);
std::string TextAt(const MeltJson& object, const std::string& key, const std::string& section,
    EmptyText empty = EmptyText::Allowed);
const MeltJson& ObjectAt(
    const MeltJson& object, const std::string& key, const std::string& section);
void RefuseUnknownKeys(
    const MeltJson& object, const std::set<std::string>& known, const std::string& section);

// The parts of a melt object whose keys are checked: the object itself, its law, its shift.
enum class MeltPart { Object, Viscosity, Shift };

// Where the two documents differ in how they hold a melt.
struct MeltObjectRules {
    std::string Section; // of the melt object: "" when it is the document, "melt" in a set
    EmptyText LawNames = EmptyText::Allowed; // or left to be a name no law has
    // The keys the object holds besides the melt's own, when MeltPart::Object is checked here.
    std::set<std::string> OtherKeys;
    // The parts whose unknown keys are refused, in the order they are looked at, which decides
    // the refusal of an object with several; a part left out is its caller's to check.
    std::vector<MeltPart> UnknownKeysOrder;
};

// The melt of `object`: the law and shift by name, then each of their constants from its
// section, then no key the melt does not have, as it is most likely a misspelt one. Throws a
// KeyRefusal; whether the constants make a melt is MeltProblem's to say.
Melt MeltOfObject(const MeltJson& object, const MeltObjectRules& rules);

// Adds the melt's law and shift, each with its constants, and then its density and heat
// capacity to `object`, as MeltOfObject reads them.
void AddMelt(MeltJson& object, const Melt& melt);

} // namespace karrow
