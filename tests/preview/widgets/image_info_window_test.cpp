#include "preview/image_info_window.h"

#include <gtest/gtest.h>

namespace velumar {
namespace {

TEST(ImageInfoWindow, FollowsTheShownFile) {
  ImageInfoWindow window;
  EXPECT_EQ(window.fileValues().count("--"), 11);
  EXPECT_EQ(window.cameraValues().count("--"), 24);
  EXPECT_TRUE(window.fileLabels().startsWith("File name:"));

  const foundation::Value information(foundation::Dictionary{
      {"Original Filename", std::string("a.jpg")},
      {"Image is PDF", false},
      {"Image Dictionary",
       foundation::Value(foundation::Dictionary{{"PixelWidth", 4000}, {"PixelHeight", 3000}})}});
  foundation::NotificationCenter::defaultCenter().post("previewNewImageFromDragAndDrop", nullptr,
                                                       information);
  EXPECT_TRUE(window.fileValues().startsWith("a.jpg\n"));
  EXPECT_TRUE(window.fileValues().contains("4000 x 3000"));
  foundation::NotificationCenter::defaultCenter().post("previewNewImageFromDragAndDrop");
  EXPECT_EQ(window.fileValues().count("--"), 11);

  window.bringForward();
  EXPECT_TRUE(window.isVisible());
}

}  // namespace
}  // namespace velumar
