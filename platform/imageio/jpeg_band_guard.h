#pragma once
// Keeps a scan of a split JPEG decode from writing coefficients another
// stream decodes. A damaged file can make a scan write outside its own band
// (its runs are data, and a run can carry a write past the band's end); the
// decoder then writes into private rows, filled with a value the scan cannot
// write (and, for a refinement, with the band it reads), and only what it
// wrote onto this stream's own coefficients reaches the store.

// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on

#include <cstdint>
#include <vector>

namespace imageio {

class JpegBandGuard {
 public:
  // For an AC scan of band first..last (zig-zag) with approximation bits
  // high and low, by a stream that owns the zig-zag coefficients set in
  // owned. False when the stream owns every AC coefficient: the scan then
  // cannot reach another stream's and needs no guard.
  bool start(std::uint64_t owned, int first, int last, int high, int low);
  bool active() const { return active_; }

  // Private rows standing for count store rows of blocksPerRow blocks;
  // nullptr when memory ran out.
  JBLOCKARRAY rows(JBLOCKARRAY store, JDIMENSION count, JDIMENSION blocksPerRow);
  // Moves what the scan wrote in the rows handed out last to the store.
  // False when it wrote a coefficient the stream does not own.
  bool merge();
  // Merges, and guards no more.
  bool stop();

 private:
  bool active_ = false, refines_ = false;
  std::uint64_t owned_ = 0;  // natural order, a bit per position
  std::vector<int> band_;    // natural order
  JCOEF sentinel_ = 0, filledWith_ = 0;
  std::vector<JCOEF> blocks_;
  std::vector<JBLOCKROW> rows_;
  JBLOCKARRAY store_ = nullptr;
  JDIMENSION count_ = 0, blocksPerRow_ = 0;
};

}  // namespace imageio
