#pragma once
// Keyed archives: one object graph stored as a binary property list whose
// "$objects" table holds every object and whose references are property-list
// UIDs ("$top" {"root": UID}). Writing supports one root object whose fields
// are stored inline; reading resolves references, refusing cycles,
// references out of range and graphs deeper than 64 steps or larger than
// 100,000 values once resolved.

#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/value.h"

namespace foundation {

struct ArchivedObject {
  // The class chain, most derived first ({"KeyShortcut", "NSObject"}).
  std::vector<std::string> classes;
  // The object's keyed fields. When read, a field referring to another
  // archived object holds a dictionary with its fields and "$classname".
  Dictionary fields;

  const std::string& className() const;
};

// The binary keyed archive with root as its root object; nullopt when a
// field cannot be stored in a property list.
std::optional<Data> keyedArchive(const ArchivedObject& root);

// The root object of a keyed archive; nullopt with a log line for anything
// else (not a property list, not a keyed archive, a broken reference).
std::optional<ArchivedObject> readKeyedArchive(const Data& bytes);

}  // namespace foundation
