#include <gtest/gtest.h>

#include "presets/color_space_check.h"
#include "presets/preset_loader.h"
#include "presets/presets_test_support.h"

using namespace velumar;
using foundation::Dictionary;

namespace {

struct Loaded {
  std::int64_t colorSpace;
  std::int64_t model;
};

Loaded loadColorSpace(const ImportedImage& engine, const Dictionary& dictionary) {
  const auto preset = imageInfoFromPresetDictionary(dictionary, "/p/Colour", engine);
  const ImageModifyInfo r = preset->imageModifyInfo();
  return {r.colorSpace, r.colorSpaceModel};
}

}  // namespace

// Remaps stored profile indexes by description, against the profiles
// installed on this machine.
TEST(PresetColorSpace, StoredProfileIsFoundByDescription) {
  const auto engine = presets_test::engineWithInstalledProfiles();
  const Profile::List& profiles = engine->profiles;
  // A described RGB profile that is not the first entry, so a stale index can
  // point before it.
  std::optional<std::size_t> rgbAt;
  for (std::size_t i = 1; i < profiles.size() && !rgbAt; ++i) {
    const auto description = profiles[i]->description();
    if (!description || description->empty()) continue;
    for (const auto& rgb : engine->profilesRGB)
      if (rgb->description() == description) rgbAt = i;
  }
  if (!rgbAt) GTEST_SKIP() << "needs two installed profiles, the second RGB";
  // The first profile with that description is where the index must go.
  const std::string description = *profiles[*rgbAt]->description();
  std::size_t first = 0;
  while (profiles[first]->description() != description) ++first;
  const auto at = std::int64_t(kFirstProfileMenuItem + first);
  const auto past = std::int64_t(kFirstProfileMenuItem + profiles.size());

  struct Case {
    std::int64_t stored;
    std::optional<std::string> description;
    Loaded expected;
  };
  const Case cases[] = {
      {at, description, {at, 1}},                         // still in place
      {kFirstProfileMenuItem + 0, description, {at, 1}},  // the list changed: moved
      {at, std::string("No such profile, surely"), {0, 1}},
      {at, std::nullopt, {0, 1}},
      {at, std::string(), {0, 1}},
      {past, description, {0, 1}},  // past the menu
      {-3, description, {0, 1}},
      {5, std::nullopt, {5, 2}},  // fixed spaces need no description
      {6, description, {6, 0}},
      {2, std::nullopt, {2, 1}},
  };
  for (const Case& c : cases) {
    Dictionary dictionary{{"Color Space", c.stored}};
    if (c.description) dictionary.set("Profile Description", *c.description);
    const Loaded got = loadColorSpace(*engine, dictionary);
    EXPECT_EQ(got.colorSpace, c.expected.colorSpace) << c.stored;
    EXPECT_EQ(got.model, c.expected.model) << c.stored;
  }
}

TEST(PresetColorSpace, AMovedIndexMustStillBeAMenuItem) {
  const auto engine = presets_test::engineWithInstalledProfiles();
  if (engine->profiles.size() < 2 || !engine->profiles[1]->description()) GTEST_SKIP();
  std::int64_t index = kFirstProfileMenuItem;
  const auto description = engine->profiles[1]->description();
  if (engine->profiles[0]->description() == description) GTEST_SKIP();
  // A menu that ends before the profile's item.
  verifyColorSpaceForIndex(index, description, engine->profiles, std::size_t(kFirstProfileMenuItem + 1));
  EXPECT_EQ(index, 0);
}
