#pragma once
// The property-list library's node trees, for code inside foundation that
// needs more than Value holds (the UIDs of keyed archives).

#include <plist/plist.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/value.h"

namespace foundation {

// Deeper nesting than this is refused when reading and writing, rather than
// risking the stack.
inline constexpr int kMaxPropertyListDepth = 512;

struct PlistDeleter {
  void operator()(plist_t node) const { plist_free(node); }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

// Parses XML or binary bytes under the same size, depth and structure limits
// as readPropertyListData; nullptr with a log line when they fail.
PlistPtr parsePropertyListNodes(const Data& bytes);

// The binary property list of a node tree.
std::optional<Data> binaryOfNodes(plist_t root);

// Calls visit with each key and item of a dictionary node in order until it
// answers false; false when it did or the node cannot be walked.
bool forEachDictionaryItem(plist_t dictionary, const std::function<bool(std::string, plist_t)>& visit);

// Calls visit with each item of an array node in order until it answers
// false; false when it did or the node cannot be walked. Linear in the
// array's size, where indexing item by item is quadratic.
bool forEachArrayItem(plist_t array, const std::function<bool(plist_t)>& visit);

// One node as a Value (UIDs read as integers); nullopt when unreadable.
std::optional<Value> valueFromPlistNode(plist_t node);
// A date as the whole seconds since 2001-01-01 00:00:00 UTC that both forms
// store (rounded down; clamped, with a log line, to 32 bits).
std::int32_t wholeSecondsSinceReferenceDate(const Date& date);

// value as a node tree; nullptr when it holds a null outside a dictionary.
PlistPtr plistNodeFromValue(const Value& value);

}  // namespace foundation
