// The face stage inside the engine's draws, on a real face (scikit-image's
// astronaut): the eye-blink veto of the main draw and its absence from the
// preview, and face crops saved beside the output.

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/imported_image.h"
#include "filters/cifiltering.h"
#include "platform/imageio/image_source.h"
#include "support/face_photos.h"

namespace velumar {
namespace {

using BitmapRepRef = raster::BitmapImageRepRef;

struct Subjects {
  facetest::Photo open, closed, oneShut;
};

// The astronaut and copies with both eyes and with the right eye painted
// shut; empty when the photo or the landmark model is missing.
Subjects subjects() {
  Subjects s;
  s.open = facetest::skimagePhoto("astronaut.png");
  if (s.open.width == 0) return {};
  ci::FaceDetector detector;
  const auto features = detector.featuresInImage(ci::Image::withBitmap(s.open.image()), true);
  if (features.size() != 1 || !features[0].leftEye) return {};
  s.closed = facetest::withEyesShut(s.open, features[0], true, true);
  s.oneShut = facetest::withEyesShut(s.open, features[0], false, true);
  return s;
}

ImageModifyInfo eyeBlink() {
  ImageModifyInfo info;
  info.optionFeatures = true;
  info.optionFeaturesIsolateFaces = true;
  info.optionFeaturesEyeBlink = true;
  info.optionFeaturesFrameFaces = true;
  return info;
}

TEST(FaceStageInDraws, ClosedEyesRejectTheMainDrawButNotThePreview) {
  const Subjects s = subjects();
  if (s.open.width == 0) GTEST_SKIP() << "needs python3-skimage and libdlib-data";
  const raster::Size size{double(s.open.width), double(s.open.height)};
  const struct {
    const facetest::Photo* photo;
    bool drawn;
  } cases[] = {{&s.closed, false}, {&s.oneShut, false}, {&s.open, true}};
  for (const auto& c : cases) {
    ImportedImage engine;
    const BitmapRepRef rep = raster::BitmapImageRep::withImage(c.photo->image());
    rep->setSize({size.width / 2, size.height / 2});
    const BitmapRepRef drawn = engine.drawInCGContextFromBmpRep(rep, nullptr, size, eyeBlink());
    EXPECT_EQ(bool(drawn), c.drawn);
    // A rejected in-place draw gives the representation its size back.
    if (!c.drawn) {
      EXPECT_EQ(rep->size(), (raster::Size{size.width / 2, size.height / 2}));
    }
    EXPECT_FALSE(engine.ciPhotoFilters->facesRectArray());
    EXPECT_FALSE(engine.ciPhotoFilters->ciImage());

    // The preview has no veto: it shows the isolated face either way.
    engine.setImagePreviewOriginalSize(size);
    ImageModifyInfo isolate = eyeBlink();
    isolate.optionFeaturesFrameFaces = false;
    const auto preview = engine.resizePixelSizeForImage(
        std::make_shared<raster::ImageSet>(
            raster::ImageSet::withRepresentation(raster::BitmapImageRep::withImage(c.photo->image()))),
        nullptr, nullptr, 72, isolate);
    ASSERT_TRUE(preview);
    const raster::ImageRef shown = preview->representations().front()->image();
    const std::uint8_t* corner = shown->row(2) + 2 * 4;
    EXPECT_EQ(corner[0] + corner[1] + corner[2], 3 * 255) << "white outside the face";
  }
}

TEST(FaceStageInDraws, CropsOfARealFaceAreSavedBesideTheOutput) {
  const facetest::Photo photo = facetest::skimagePhoto("astronaut.png");
  if (photo.width == 0) GTEST_SKIP() << "needs python3-skimage";
  ImportedImage engine;
  ImageModifyInfo info;
  info.optionFeatures = info.optionFeaturesIsolateFaces = info.optionFeaturesSaveCropFaces = true;
  const BitmapRepRef rep = raster::BitmapImageRep::withImage(photo.image());
  ASSERT_TRUE(engine.drawInCGContextFromBmpRep(rep, nullptr, {512, 512}, info));
  ASSERT_EQ(engine.ciPhotoFilters->cropFacesArray.size(), 1u);
  testsupport::TempDir dir;
  engine.saveCropFaceRepsToFile(dir.file("astronaut.jpg"));
  EXPECT_TRUE(engine.ciPhotoFilters->cropFacesArray.empty());
  const std::string face = dir.file("Faces_astronaut/face_0.png");
  auto source = imageio::ImageSource::open(face);
  ASSERT_TRUE(source);
  const raster::ImageRef crop = source->createImage(0);
  ASSERT_TRUE(crop);
  EXPECT_NEAR(double(crop->width()), 88, 6);
  const auto described = testsupport::runCommand({"/usr/bin/identify", "-format", "%w %h %[channels]", face});
  EXPECT_EQ(described.output,
            std::to_string(crop->width()) + " " + std::to_string(crop->height()) + " srgba");
}

}  // namespace
}  // namespace velumar
