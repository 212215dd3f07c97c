#include "platform/foundation/keyed_hash.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "platform/foundation/colliding_keys.h"

namespace foundation {
namespace {

std::string bytesUpTo(int count) {
  std::string bytes;
  for (int i = 0; i < count; ++i) bytes += char(i);
  return bytes;
}

// Outputs of an independent implementation, checked against the published
// SipHash-2-4 vectors and then run with one compression and three
// finalisation rounds. Lengths cover an empty input, a partial last word,
// a whole word and several words.
TEST(KeyedHash, IsSipHash13) {
  constexpr std::uint64_t k0 = 0x0706050403020100ull, k1 = 0x0f0e0d0c0b0a0908ull;
  const struct {
    std::uint64_t k0, k1;
    std::string bytes;
    std::uint64_t hash;
  } rows[] = {
      {k0, k1, "", 0xabac0158050fc4dcull},
      {k0, k1, bytesUpTo(7), 0xd3927d989bb11140ull},
      {k0, k1, bytesUpTo(8), 0x369095118d299a8eull},
      {k0, k1, bytesUpTo(15), 0xd320d86d2a519956ull},
      {k0, k1, bytesUpTo(64), 0xf17997ec4b4a6065ull},
      {0, 0, "x", 0xd141bba7fdc215a3ull},
      {~0ull, 0x0123456789abcdefull, "/home/user/Pictures/photo 001.png", 0x6f18e7906d78f7a5ull},
  };
  for (const auto& row : rows)
    EXPECT_EQ(sipHash13(row.k0, row.k1, row.bytes), row.hash) << row.bytes.size() << " bytes";
}

// The child is a new run of this program (not a fork), so it draws its key
// afresh: its hash of a string differs from this process's.
TEST(KeyedHashDeathTest, EachProcessDrawsItsOwnKey) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  auto hashText = [] {
    char text[24];
    std::snprintf(text, sizeof text, "<%016llx>", static_cast<unsigned long long>(keyedHash("x")));
    return std::string(text);
  };
  const std::string here = hashText();
  EXPECT_EXIT(
      {
        std::fputs(hashText().c_str(), stderr);
        _exit(0);
      },
      testing::ExitedWithCode(0), testing::AllOf(testing::HasSubstr("<"), testing::Not(testing::HasSubstr(here))));
}

// File paths chosen to share one standard-library hash spread over the
// buckets of a keyed table. Checked as it fills, so that a hash they
// collide under fails at once.
TEST(KeyedHash, PathsChosenToCollideSpreadOverBuckets) {
  const std::vector<std::string> paths =
      plisttest::pathsCollidingUnderStdHash(10000, "/home/user/Pictures/new", ".png");
  ASSERT_EQ(paths.size(), 10000u);
  ASSERT_EQ(std::hash<std::string>{}(paths.front()), std::hash<std::string>{}(paths.back()));
  KeyedStringSet table;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    table.insert(paths[i]);
    if (i % 1000 != 999) continue;
    std::size_t largest = 0;
    for (std::size_t bucket = 0; bucket < table.bucket_count(); ++bucket)
      largest = std::max(largest, table.bucket_size(bucket));
    ASSERT_LE(largest, 16u) << i + 1 << " paths";
  }
  EXPECT_EQ(table.size(), paths.size());
}

}  // namespace
}  // namespace foundation
