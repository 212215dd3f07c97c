// Faces and eyes on a real photo (scikit-image's astronaut), its painted
// closed-eye variants, and inputs the detector must survive.

#include "platform/faces/face_detector.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/face_photos.h"

namespace {

bool modelInstalled() {
  return std::ifstream(faces::kDefaultLandmarkModelPath).good();
}

faces::GrayImage grayOf(const facetest::Photo& photo) {
  return {photo.width, photo.height, photo.gray()};
}

// The astronaut's face spans (179, 83)-(266, 170) in top-down rows.
TEST(FaceDetector, FindsTheAstronautsFaceAndOpenEyes) {
  const facetest::Photo photo = facetest::skimagePhoto("astronaut.png");
  if (photo.width == 0) GTEST_SKIP() << "needs python3-skimage";
  if (!modelInstalled()) GTEST_SKIP() << "needs libdlib-data";
  faces::FaceDetector detector;
  const std::vector<faces::Face> found = detector.detect(grayOf(photo), {0.5, true});
  ASSERT_EQ(found.size(), 1u);
  const faces::Face& face = found[0];
  EXPECT_GT(face.score, 1.0);
  const double bottom = 512.0 - 170 - 1;  // y up
  EXPECT_NEAR(face.bounds.origin.x, 179, 4);
  EXPECT_NEAR(face.bounds.origin.y, bottom, 5);
  EXPECT_NEAR(face.bounds.size.width, 88, 2);
  EXPECT_NEAR(face.bounds.size.height, 88, 2);
  ASSERT_TRUE(face.leftEye && face.rightEye);
  EXPECT_LT(face.leftEye->centre.x, face.rightEye->centre.x);
  for (const faces::Eye& eye : {*face.leftEye, *face.rightEye}) {
    EXPECT_FALSE(eye.closed);
    EXPECT_NEAR(eye.aspectRatio, 0.33, 0.05);
    EXPECT_GT(eye.width, 10);
    EXPECT_TRUE(eye.centre.x > face.bounds.minX() && eye.centre.x < face.bounds.maxX() &&
                eye.centre.y > face.bounds.minY() && eye.centre.y < face.bounds.maxY());
    // Eyes sit in the upper half of the face (y up).
    EXPECT_GT(eye.centre.y, face.bounds.origin.y + face.bounds.size.height / 2);
  }

  // Its score is about 1.5.
  EXPECT_TRUE(detector.detect(grayOf(photo), {3.0, false}).empty());
  // Eyes added to faces found before match those found with them.
  std::vector<faces::Face> later = detector.detect(grayOf(photo), {0.5, false});
  ASSERT_EQ(later.size(), 1u);
  EXPECT_FALSE(later[0].leftEye);
  ASSERT_TRUE(detector.locateEyes(grayOf(photo), later));
  ASSERT_TRUE(later[0].leftEye);
  EXPECT_NEAR(later[0].leftEye->centre.x, face.leftEye->centre.x, 1);
  EXPECT_NEAR(later[0].leftEye->centre.y, face.leftEye->centre.y, 1);
}

// Each eye is judged on its own: a shut eye measures about 0.1 whatever the
// other one does, an open one about 0.33. An eye half shut beside an open
// one measures 0.18 to 0.19 on its own, where the fit of both eyes together
// decides: it stays open.
TEST(FaceDetector, PaintedShutEyesAreClosedOneByOne) {
  facetest::Photo photo = facetest::skimagePhoto("astronaut.png");
  if (photo.width == 0) GTEST_SKIP() << "needs python3-skimage";
  if (!modelInstalled()) GTEST_SKIP() << "needs libdlib-data";
  faces::FaceDetector detector;
  const std::vector<faces::Face> open = detector.detect(grayOf(photo), {0.5, true});
  ASSERT_EQ(open.size(), 1u);
  ASSERT_TRUE(open[0].leftEye && open[0].rightEye);
  // How far each eye is painted shut: 0 open, 1 shut.
  constexpr double kHalf = 0.54;
  const struct {
    double shutLeft, shutRight;
  } cases[] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}, {kHalf, 0}, {0, kHalf}};
  for (const auto& c : cases) {
    const facetest::Photo painted = facetest::withEyesShut(photo, open[0], c.shutLeft, c.shutRight);
    const std::vector<faces::Face> found = detector.detect(grayOf(painted), {0.0, true});
    ASSERT_EQ(found.size(), 1u);
    ASSERT_TRUE(found[0].leftEye && found[0].rightEye);
    const faces::Eye& left = *found[0].leftEye;
    const faces::Eye& right = *found[0].rightEye;
    const std::string row = std::to_string(c.shutLeft) + " " + std::to_string(c.shutRight) + ": " +
                            std::to_string(left.aspectRatio) + " " + std::to_string(right.aspectRatio);
    for (const auto& [eye, shut] : {std::pair{left, c.shutLeft}, std::pair{right, c.shutRight}}) {
      EXPECT_EQ(eye.closed, shut == 1) << row;
      // Clear of the cut-offs, or between them for a half-shut eye.
      if (shut == 1) {
        EXPECT_LT(eye.aspectRatio, 0.15) << row;
      } else if (shut == 0) {
        EXPECT_GT(eye.aspectRatio, 0.27) << row;
      } else {
        EXPECT_GE(eye.aspectRatio, faces::kClearlyClosedEyeAspectRatio) << row;
        EXPECT_LT(eye.aspectRatio, faces::kClosedEyeAspectRatio) << row;
      }
    }
  }
}

// Ratios measured on photos: an eye's own and both eyes fitted together.
TEST(FaceDetector, ANarrowedEyeBesideAnOpenOneStaysOpen) {
  const struct {
    const char* eye;
    double own, together;
    bool closed;
  } cases[] = {{"painted shut, other open", 0.113, 0.250, true},
               {"squinting, other open", 0.197, 0.341, false},
               {"downcast, other open", 0.180, 0.300, false},
               {"both narrowed", 0.190, 0.189, true},
               {"both fitted low, own open", 0.261, 0.187, false}};
  for (const auto& c : cases) EXPECT_EQ(faces::eyeIsClosed(c.own, c.together), c.closed) << c.eye;
}

TEST(FaceDetector, MissingOrBrokenModelLeavesTheEyesUnknown) {
  const facetest::Photo photo = facetest::skimagePhoto("astronaut.png");
  if (photo.width == 0) GTEST_SKIP() << "needs python3-skimage";
  testsupport::TempDir folder;
  const std::string truncated = folder.file("truncated.dat"), garbage = folder.file("garbage.dat");
  {
    std::ifstream in(faces::kDefaultLandmarkModelPath, std::ios::binary);
    std::vector<char> head(1 << 20);
    in.read(head.data(), std::streamsize(head.size()));
    std::ofstream(truncated, std::ios::binary).write(head.data(), in.gcount());
    std::ofstream(garbage, std::ios::binary) << "not a model at all";
  }
  for (const std::string& path : {folder.file("missing.dat"), truncated, garbage}) {
    faces::FaceDetector detector(path);
    std::vector<faces::Face> found = detector.detect(grayOf(photo), {0.5, true});
    ASSERT_EQ(found.size(), 1u) << path;
    EXPECT_FALSE(found[0].leftEye || found[0].rightEye) << path;
    EXPECT_FALSE(detector.locateEyes(grayOf(photo), found)) << path;
  }
}

TEST(FaceDetector, OddImagesGiveNoFacesAndNoCrash) {
  faces::FaceDetector detector;
  const struct {
    std::int64_t width, height;
    std::size_t bytes;
  } cases[] = {{1, 1, 1},  {10000, 1, 10000}, {1, 10000, 10000}, {0, 0, 0},
               {-5, 3, 0}, {64, 64, 100},     {3, 3, 0}};
  for (const auto& c : cases) {
    const faces::GrayImage image{c.width, c.height, std::vector<std::uint8_t>(c.bytes, 128)};
    std::vector<faces::Face> found = detector.detect(image, {0.5, true});
    EXPECT_TRUE(found.empty()) << c.width << "x" << c.height;
    // A face rectangle far outside the image.
    found.push_back(faces::Face{raster::Rect(-500, 900, 2, 1), 1, {}, {}});
    detector.locateEyes(image, found);
  }
}

}  // namespace
