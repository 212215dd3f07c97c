// Reading whether a PSD's stored composite is real: the version-info
// resource found among others, and malformed resource sections that must
// neither crash nor be taken as saying anything.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/imageio/codec_support.h"
#include "psd/psd_merged_image.h"
#include "support/test_support.h"

namespace velumar {
namespace {

using Bytes = std::vector<std::uint8_t>;

void put32(Bytes& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(std::uint8_t(value >> shift));
}

Bytes block(std::uint16_t id, const std::string& name, const Bytes& data) {
  Bytes out = {'8', 'B', 'I', 'M', std::uint8_t(id >> 8), std::uint8_t(id), std::uint8_t(name.size())};
  for (char ch : name) out.push_back(std::uint8_t(ch));
  if (out.size() % 2) out.push_back(0);
  put32(out, std::uint32_t(data.size()));
  out.insert(out.end(), data.begin(), data.end());
  if (data.size() % 2) out.push_back(0);
  return out;
}

// A header, no colour mode data, the given resource blocks.
Bytes fileWith(const std::vector<Bytes>& blocks, std::int64_t statedLength = -1) {
  Bytes out = {'8', 'B', 'P', 'S', 0, 1, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 1, 0, 0, 0, 1, 0, 8, 0, 3};
  put32(out, 0);
  Bytes resources;
  for (const Bytes& b : blocks) resources.insert(resources.end(), b.begin(), b.end());
  put32(out, statedLength >= 0 ? std::uint32_t(statedLength) : std::uint32_t(resources.size()));
  out.insert(out.end(), resources.begin(), resources.end());
  return out;
}

const Bytes kNotReal = {0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
const Bytes kReal = {0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};

TEST(MergedImage, ReadsTheVersionInfoAndSurvivesMalformedSections) {
  const Bytes notReal = fileWith({block(1005, "", Bytes(16, 0)), block(1057, "odd", kNotReal)});
  struct Case {
    const char* name;
    Bytes file;
    bool real;
  } cases[] = {
      {"flag off after another block", notReal, false},
      {"flag on", fileWith({block(1057, "", kReal)}), true},
      {"no version info", fileWith({block(1005, "", Bytes(16, 0))}), true},
      {"version info too short", fileWith({block(1057, "", {0, 0, 0, 1})}), true},
      {"section longer than the file", fileWith({block(1057, "", kNotReal)}, 0x7fffffff), true},
      {"block longer than the section", fileWith({block(1005, "", Bytes(16, 0))}, 12), true},
      {"header only", Bytes(notReal.begin(), notReal.begin() + 26), true},
      {"empty file", {}, true},
  };
  testsupport::TempDir dir;
  for (const Case& c : cases) {
    const std::string path = dir.file("file.psd");
    ASSERT_TRUE(imageio::writeFileBytes(path, c.file.data(), c.file.size()));
    EXPECT_EQ(storesRealMergedImage(path), c.real) << c.name;
  }
  // Every truncation of a file that says "not real" either still finds the
  // flag or says nothing; none crashes.
  for (std::size_t length = 0; length < notReal.size(); ++length) {
    const std::string path = dir.file("cut.psd");
    ASSERT_TRUE(imageio::writeFileBytes(path, notReal.data(), length));
    EXPECT_TRUE(storesRealMergedImage(path)) << length;
  }
  EXPECT_TRUE(storesRealMergedImage(dir.file("missing.psd")));
  EXPECT_FALSE(flattenedLayers(dir.file("missing.psd")));
}

}  // namespace
}  // namespace velumar
