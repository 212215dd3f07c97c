#pragma once
// Structural checks run before a property list is handed to the parser, so
// that hostile files cannot exhaust the stack or memory: nesting depth and,
// for the binary form whose objects may be shared, the size of the tree once
// every shared reference is expanded, in values and in the bytes of its
// strings and data (the parser copies a shared object at each use). The binary check also refuses what the
// parser would abort the process on (a dictionary key holding a NUL
// character) and objects whose sizes it would misread.

#include <cstddef>
#include <cstdint>
#include <string>

namespace foundation {

// The budget of every property list and keyed archive read: values, and
// bytes of strings, data and keys, each shared object counted at each use.
inline constexpr std::uint64_t kMaxExpandedBytes = 64u << 20;

struct PropertyListLimits {
  int maxDepth = 512;
  std::uint64_t maxNodes = 1'000'000;
  std::uint64_t maxBytes = kMaxExpandedBytes;
  // Keys of one dictionary in the XML form: a larger one is refused, as it
  // was when the XML form was read in time that grew with the square of the
  // keys; the binary form has no such limit.
  std::uint64_t maxXmlDictionaryKeys = 150'000;
};

// Why a property list is refused.
enum class PropertyListRefusal {
  Malformed,      // not a well-formed property list, nested too deeply or not readable
  TooManyValues,  // more values than the budget (keys count), or an XML dictionary of too many keys
  TooManyBytes,   // a file, or strings, data and keys, larger than the budget
};

// True when the binary property list is well-formed at the level of its
// trailer, offset table and object references, every reachable object has a
// valid marker and size, every key is a string without NUL, there is no
// reference cycle and it stays within limits. Otherwise false with the
// reason in *problem and *refusal (either may be null).
bool binaryPropertyListWithinLimits(const std::uint8_t* bytes, std::size_t size,
                                    const PropertyListLimits& limits, std::string* problem,
                                    PropertyListRefusal* refusal = nullptr);

// True when the XML text nests arrays and dictionaries no deeper than the
// limit, holds no more elements than the value limit (keys count, as in
// the binary form, plus a few for the prologue) and no dictionary with more
// keys than its limit. Counts tags textually, so
// it may refuse an odd but valid file; it never accepts one beyond a limit.
// Its strings cannot expand beyond the file, so bytes need no check.
// *refusal (may be null) says why not.
bool xmlPropertyListWithinLimits(const std::uint8_t* bytes, std::size_t size,
                                 const PropertyListLimits& limits, PropertyListRefusal* refusal = nullptr);

}  // namespace foundation
