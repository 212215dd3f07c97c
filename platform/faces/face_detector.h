#pragma once
// Faces in a gray image: bounds from a HOG frontal face detector, and, when
// asked, the eyes from a 68-point landmark model (centre, width, how far
// each eye's lids are open). Coordinates are y up, in the image's pixels. Nothing
// throws: a failure yields no faces, a missing landmark model no eyes.

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/raster/geometry.h"

namespace faces {

// 8-bit gray pixels, rows top-down, width bytes per row.
struct GrayImage {
  std::int64_t width = 0, height = 0;
  std::vector<std::uint8_t> pixels;
};

struct Eye {
  raster::Point centre;
  // Corner to corner.
  double width = 0;
  // Mean lid opening over the width, this eye's own (measured on the face
  // made of this eye's half and its mirror image); about 0.3 open, about
  // 0.1 shut.
  double aspectRatio = 0;
  bool closed = false;
};

struct Face {
  raster::Rect bounds;
  double score = 0;
  // Both or neither; "left" is the eye on the image's left.
  std::optional<Eye> leftEye, rightEye;
};

struct DetectionOptions {
  // Detections scoring below this are dropped (0.5 keeps confident faces).
  double scoreThreshold = 0.5;
  // Locate the eyes too (loads the landmark model on first use).
  bool eyes = false;
};

inline constexpr const char* kDefaultLandmarkModelPath =
    "/usr/share/dlib/shape_predictor_68_face_landmarks.dat";
// Cut-offs of the eye aspect ratio (see eyeIsClosed).
inline constexpr double kClosedEyeAspectRatio = 0.2;
inline constexpr double kClearlyClosedEyeAspectRatio = 0.17;

// An eye is closed when its own aspect ratio is below
// kClearlyClosedEyeAspectRatio, or when both its own and the one fitted with
// both eyes together are below kClosedEyeAspectRatio. A narrowed eye beside
// an open one (a squint, a smile) measures 0.18 to 0.2 on its own and stays
// open: a closed eye rejects the image, so doubt keeps it.
inline bool eyeIsClosed(double ownRatio, double togetherRatio) {
  return ownRatio < kClearlyClosedEyeAspectRatio ||
         (ownRatio < kClosedEyeAspectRatio && togetherRatio < kClosedEyeAspectRatio);
}
// Images whose longer side is below this are doubled before detection: the
// detector sees faces of about 80 pixels and up.
inline constexpr std::int64_t kUpsampleBelow = 1000;

class FaceDetector {
 public:
  explicit FaceDetector(std::string landmarkModelPath = kDefaultLandmarkModelPath);
  ~FaceDetector();
  FaceDetector(const FaceDetector&) = delete;
  FaceDetector& operator=(const FaceDetector&) = delete;

  // Faces in detection order (highest score first). Thread-safe.
  std::vector<Face> detect(const GrayImage& image, const DetectionOptions& options);
  // Adds the eyes to faces found in the same image; false (faces left as
  // they are) when the landmark model is unavailable.
  bool locateEyes(const GrayImage& image, std::vector<Face>& faces);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::mutex mutex_;
};

}  // namespace faces
