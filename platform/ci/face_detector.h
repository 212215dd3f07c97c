#pragma once
// Face detection on images of the graph: the image is rendered to a gray
// copy whose longer side is at most kDetectionSide pixels, the faces are
// found there and mapped back to the image's own coordinates (y up). One
// detector serves many images; it is made with high accuracy (a score
// threshold of 0.5).

#include <memory>
#include <vector>

#include "platform/ci/image.h"
#include "platform/faces/face_detector.h"

namespace ci {

using FaceFeature = faces::Face;

class FaceDetector {
 public:
  static constexpr double kHighAccuracyScore = 0.5;
  static constexpr std::int64_t kDetectionSide = 2000;

  explicit FaceDetector(std::string landmarkModelPath = faces::kDefaultLandmarkModelPath)
      : detector_(std::move(landmarkModelPath)) {}

  // Faces of image (finite extent) with their eyes when eyes is set; none
  // for a missing, empty or infinite image.
  std::vector<FaceFeature> featuresInImage(const ImageRef& image, bool eyes);
  // Adds the eyes to features found in image; false when they cannot be
  // located (no landmark model, no image).
  bool locateEyes(const ImageRef& image, std::vector<FaceFeature>& features);

 private:
  struct GrayCopy {
    faces::GrayImage gray;
    double scale = 1;
    raster::Point origin;
  };
  static bool render(const ImageRef& image, GrayCopy& copy);

  faces::FaceDetector detector_;
};

}  // namespace ci
