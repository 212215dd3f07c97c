// The band guard on its own: a stream's coefficients are named in zig-zag
// order, a scan writes at natural positions. What a scan writes in its band
// reaches the store; one write outside it is merged when the stream owns
// that coefficient and refused when it does not.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "platform/imageio/jpeg_band_guard.h"

namespace {

// Natural position of each zig-zag index.
constexpr std::array<int, 64> kNatural = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                                          12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                                          35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                                          58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

constexpr JCOEF kStored = 7;

TEST(JpegBandGuard, StrayWritesMergedOnlyOntoOwnedCoefficients) {
  struct Case {
    int first, last, high, low;
    int stray;  // natural position written outside the band, -1 for none
    bool merged;
  };
  // The stream owns zig-zag 1 to 5: natural 1, 8, 16, 9 and 2. Natural 16
  // is zig-zag 3, natural 3 is zig-zag 6.
  const std::uint64_t owned = 0b111110;
  const Case cases[] = {
      {1, 2, 0, 0, -1, true}, {1, 2, 0, 0, 16, true}, {1, 2, 0, 0, 3, false}, {2, 2, 0, 2, 16, true},
      {2, 2, 0, 2, 3, false}, {1, 2, 1, 0, 16, true}, {1, 2, 1, 0, 3, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.first << ".." << c.last << " " << c.high << "/" << c.low << " at "
                                    << c.stray);
    std::vector<JBLOCKROW> storeRows(1);
    std::vector<JCOEF> stored(2 * DCTSIZE2, kStored);
    storeRows[0] = reinterpret_cast<JBLOCKROW>(stored.data());
    imageio::JpegBandGuard guard;
    ASSERT_TRUE(guard.start(owned, c.first, c.last, c.high, c.low));
    const JBLOCKARRAY rows = guard.rows(storeRows.data(), 1, 2);
    ASSERT_NE(rows, nullptr);
    // A refinement reads the band as stored.
    const int last = kNatural[std::size_t(c.last)];
    if (c.high) {
      EXPECT_EQ(rows[0][1][last], kStored);
    }
    // First passes write multiples of 2^low, refinements +-2^low.
    const JCOEF written = JCOEF(c.high ? 1 << c.low : 3 << c.low);
    rows[0][1][last] = written;
    if (c.stray >= 0) rows[0][1][c.stray] = written;
    EXPECT_EQ(guard.stop(), c.merged);
    if (!c.merged) continue;
    for (int position = 0; position < DCTSIZE2; ++position) {
      const bool wrote = position == last || position == c.stray;
      EXPECT_EQ(stored[std::size_t(DCTSIZE2 + position)], wrote ? written : kStored) << position;
      EXPECT_EQ(stored[std::size_t(position)], kStored) << position;
    }
  }
  // A stream owning every AC coefficient needs no guard.
  EXPECT_FALSE(imageio::JpegBandGuard().start(~std::uint64_t(1), 1, 63, 0, 0));
}

}  // namespace
