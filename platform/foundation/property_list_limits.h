#pragma once
// Structural checks run before a property list is handed to the parser, so
// that hostile files cannot exhaust the stack or memory: nesting depth and,
// for the binary form whose objects may be shared, the size of the tree once
// every shared reference is expanded.

#include <cstddef>
#include <cstdint>
#include <string>

namespace foundation {

struct PropertyListLimits {
  int maxDepth = 512;
  std::uint64_t maxNodes = 4'000'000;
};

// True when the binary property list is well-formed at the level of its
// trailer, offset table and object references, has no reference cycle and
// stays within limits. Otherwise false with the reason in *problem.
bool binaryPropertyListWithinLimits(const std::uint8_t* bytes, std::size_t size,
                                    const PropertyListLimits& limits, std::string* problem);

// True when the XML text nests arrays and dictionaries no deeper than the
// limit. Counts tags textually, so it may refuse an odd but valid file; it
// never accepts one nested deeper.
bool xmlPropertyListWithinLimits(const std::uint8_t* bytes, std::size_t size,
                                 const PropertyListLimits& limits);

}  // namespace foundation
