#include "platform/imageio/jpeg_band_guard.h"

// clang-format off
#include <jpegint.h>
// clang-format on

#include <cstring>
#include <limits>
#include <new>

namespace imageio {

bool JpegBandGuard::start(std::uint64_t owned, int first, int last, int high, int low) {
  active_ = false;
  store_ = nullptr;
  if ((owned | 1) == ~std::uint64_t(0) || first < 1 || last >= DCTSIZE2 || first > last) return false;
  owned_ = 0;
  for (int k = 0; k < DCTSIZE2; ++k)
    if ((owned >> k) & 1) owned_ |= std::uint64_t(1) << jpeg_natural_order[k];
  band_.clear();
  for (int k = first; k <= last; ++k) band_.push_back(jpeg_natural_order[k]);
  refines_ = high != 0;
  // A first pass writes nonzero values below 2^15 in magnitude, shifted
  // left by its low bit (so even when that is above 0); a refinement writes
  // +-2^low with low at most 13.
  sentinel_ = high == 0 && low > 0 ? JCOEF(1) : std::numeric_limits<JCOEF>::min();
  active_ = true;
  return true;
}

JBLOCKARRAY JpegBandGuard::rows(JBLOCKARRAY store, JDIMENSION count, JDIMENSION blocksPerRow) {
  // A merge leaves the rows all sentinel again: they are filled only when
  // their size or sentinel changes.
  const std::size_t size = std::size_t(count) * blocksPerRow * DCTSIZE2;
  try {
    if (blocks_.size() != size || filledWith_ != sentinel_) blocks_.assign(size, sentinel_);
    rows_.resize(count);
  } catch (const std::bad_alloc&) {
    blocks_.clear();
    return nullptr;
  }
  filledWith_ = sentinel_;
  for (JDIMENSION row = 0; row < count; ++row) {
    rows_[row] = reinterpret_cast<JBLOCKROW>(blocks_.data() + std::size_t(row) * blocksPerRow * DCTSIZE2);
    if (!refines_) continue;
    for (JDIMENSION block = 0; block < blocksPerRow; ++block)
      for (const int position : band_) rows_[row][block][position] = store[row][block][position];
  }
  store_ = store;
  count_ = count;
  blocksPerRow_ = blocksPerRow;
  return rows_.data();
}

bool JpegBandGuard::merge() {
  if (!store_) return true;
  const JCOEF sentinel = sentinel_;
  const bool refines = refines_;
  const std::uint64_t pattern = std::uint64_t(std::uint16_t(sentinel)) * 0x0001000100010001u;
  for (JDIMENSION row = 0; row < count_; ++row) {
    for (JDIMENSION block = 0; block < blocksPerRow_; ++block) {
      JCOEF* const own = rows_[row][block];
      JCOEF* const shared = store_[row][block];
      for (const int position : band_) {
        if (refines || own[position] != sentinel) shared[position] = own[position];
        own[position] = sentinel;
      }
      // Mostly nothing outside the band was written: one pass over the
      // block, four coefficients at a time, finds that.
      std::uint64_t written = 0;
      for (int i = 0; i < DCTSIZE2; i += 4) {
        std::uint64_t four;
        std::memcpy(&four, own + i, sizeof four);
        written |= four ^ pattern;
      }
      if (written == 0) continue;
      for (int position = 0; position < DCTSIZE2; ++position) {
        if (own[position] == sentinel) continue;
        if (!((owned_ >> position) & 1)) return false;
        shared[position] = own[position];
        own[position] = sentinel;
      }
    }
  }
  store_ = nullptr;
  return true;
}

bool JpegBandGuard::stop() {
  const bool merged = merge();
  active_ = false;
  return merged;
}

}  // namespace imageio
