#pragma once

// A melt as JSON, as a material file and an input set's "melt" entry both hold it: the law and
// the shift by name, each in its own object with its constants, and the density and heat
// capacity beside them. Both documents read and write it here, so that what one accepts the
// other does, and each words a refusal as its users know it. JSON stays out of the core's
// interface: only run/ sources include this.

#include "solver/melt.h"

#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

namespace karrow {

using MeltJson = nlohmann::ordered_json;

// What is wrong with which key of a document, for the reader's caller to word.
struct KeyRefusal {
    enum class Fault { Missing, NotANumber, NotAText, NotAnObject, UnknownKey, UnknownName };
    std::string Section; // "viscosity", "melt.viscosity"; "" at the document's top
    std::string Key;
    Fault What = Fault::Missing;
    std::string Name = {}; // of a law or shift that none of KnownNames is
    std::vector<std::string> KnownNames = {};

    std::string Entry() const; // "section.key", or the key alone at the top
};

// A key of `object`, or a KeyRefusal naming `section` and the key. A number must be finite; an
// empty text, where empty ones are refused, is NotAText.
enum class EmptyText { Allowed, Refused };
const MeltJson& MemberAt(
    const MeltJson& object, const std::string& key, const std::string& section);
double NumberAt(const MeltJson& object, const std::string& key, const std::string& section);
std::string TextAt(const MeltJson& object, const std::string& key, const std::string& section,
    EmptyText empty = EmptyText::Allowed);
const MeltJson& ObjectAt(
    const MeltJson& object, const std::string& key, const std::string& section);
void RefuseUnknownKeys(
    const MeltJson& object, const std::set<std::string>& known, const std::string& section);

// Where the two documents differ in how they hold a melt.
enum class MeltPart { Object, Viscosity, Shift };
struct MeltObjectRules {
    std::string Section; // of the melt object: "" when it is the whole document
    EmptyText LawNames = EmptyText::Allowed; // Allowed: refused as a name no law has
    std::set<std::string> OtherKeys; // beside the melt's own, when the object's keys are checked
    // The parts whose unknown keys are refused, in this order, which decides the refusal of an
    // object with several; a part left out is its caller's to check.
    std::vector<MeltPart> UnknownKeysOrder;
};

// The melt of `object`: the law and shift by name, then each of their constants from its part,
// then no key the melt does not have, as it is most likely a misspelt one; or a KeyRefusal.
// Whether the constants make a melt is MeltProblem's to say.
Melt MeltOfObject(const MeltJson& object, const MeltObjectRules& rules);

// Adds the melt's law and shift, each with its constants, and then its density and heat
// capacity to `object`, as MeltOfObject reads them back.
void AddMelt(MeltJson& object, const Melt& melt);

} // namespace karrow
