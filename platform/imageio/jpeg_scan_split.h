#pragma once
// A progressive JPEG spends nearly all of its decode in the entropy decoding
// of its scans, one after the other. Scans that touch different
// coefficients (the DC scans, each colour component's AC scans) do not
// depend on one another, so each group of dependent scans can be decoded
// by a decoder of its own at the same time. This file finds those groups
// from the markers alone.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace imageio {

struct ByteRange {
  std::size_t begin = 0, end = 0;
};

// What one decoder reads for one group of scans.
struct JpegScanStream {
  // The byte ranges, in order: the start-of-image marker, every segment
  // that is not a scan (tables, restart intervals, metadata) where the file
  // has it, the group's own scans with their entropy-coded data, and the
  // end-of-image marker.
  std::vector<ByteRange> ranges;
  // Per component, bit k set for each zig-zag coefficient k that the
  // group's scans code: no other stream's scans code it.
  std::array<std::uint64_t, 4> coefficients{};
};

// One stream per group of AC scans, after a first stream with every DC
// scan (whose decoder then sees every component), when the file is a
// well-formed progressive Huffman JPEG up to its end-of-image marker with a
// complete, consistent progression: every coefficient of every component
// coded down to its last bit, each component's first scan a DC scan, each
// refinement continuing where the last scan of its coefficients stopped.
// Nothing otherwise, or when a segment is of a kind a well-formed file of
// this kind does not hold: the file is then decoded as one stream, which
// reports whatever is wrong with it.
std::optional<std::vector<JpegScanStream>> independentScanStreams(const std::uint8_t* bytes,
                                                                  std::size_t size);

}  // namespace imageio
