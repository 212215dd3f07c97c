// The colour model a colour-space menu item gives.

#include <gtest/gtest.h>

#include "engine/color_space_menu.h"
#include "engine/imported_image.h"
#include "engine_test_images.h"

namespace velumar {
namespace {

struct MenuCase {
  std::int64_t item;
  std::int64_t model;
  std::int64_t itemAfter;
};

TEST(ColorModelMenu, NamedItemsAndInvalidPositions) {
  const MenuCase cases[] = {{1, 1, 1}, {2, 1, 2}, {3, 1, 3}, {4, 2, 4},  {5, 2, 5},
                            {6, 0, 6}, {7, 0, 7}, {0, 1, 0}, {-3, 1, 0}, {8, 1, 0}};
  for (const MenuCase& c : cases) {
    std::int64_t item = c.item;
    EXPECT_EQ(selectColorSpaceModelFromColorSpace(item, std::nullopt, {}, {}, {}), c.model) << c.item;
    EXPECT_EQ(item, c.itemAfter) << c.item;
  }
}

using testimages::installedProfileCopy;

TEST(ColorModelMenu, ProfileItemsGoByTheirTitle) {
  testsupport::TempDir dir;
  const auto rgb = installedProfileCopy(color::NamedProfile::AdobeRGB1998, dir, "rgb.icc");
  const auto gray = installedProfileCopy(color::NamedProfile::GrayGamma22, dir, "gray.icc");
  const auto cmyk = installedProfileCopy(color::NamedProfile::GenericCMYK, dir, "cmyk.icc");
  ASSERT_TRUE(rgb && gray && cmyk);
  ImportedImage engine;
  engine.profiles = {gray, cmyk, rgb};
  engine.profilesRGB = {rgb};
  engine.profilesGray = {gray};
  engine.profilesCMYK = {cmyk};

  const MenuCase cases[] = {{8, 0, 8}, {9, 2, 9}, {10, 1, 10}, {11, 1, 0}, {3, 1, 3}};
  for (const MenuCase& c : cases) {
    std::int64_t item = c.item;
    EXPECT_EQ(selectColorSpaceModelFromColorSpace(item, engine), c.model) << c.item;
    EXPECT_EQ(item, c.itemAfter) << c.item;
  }

  // A title in none of the lists falls back to no conversion.
  engine.profilesGray.clear();
  std::int64_t item = 8;
  EXPECT_EQ(selectColorSpaceModelFromColorSpace(item, engine), 1);
  EXPECT_EQ(item, 0);

  EXPECT_TRUE(searchColorSpaceModelForDescription(*rgb->description(), {gray, rgb}));
  EXPECT_FALSE(searchColorSpaceModelForDescription("No such profile", {gray, rgb, nullptr}));
}

}  // namespace
}  // namespace velumar
