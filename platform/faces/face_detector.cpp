#include "platform/faces/face_detector.h"

#include <dlib/image_processing.h>
#include <dlib/image_processing/frontal_face_detector.h>
#include <dlib/image_transforms.h>

#include <cmath>
#include <exception>
#include <map>

#include "platform/faces/eye_openness.h"
#include "platform/foundation/log.h"
#include "platform/raster/row_order.h"

namespace faces {

namespace {

using LandmarkModel = dlib::shape_predictor;

// The landmark model is about 100 MB: read once per process and path, on
// first use. A file that cannot be read stays unavailable (logged once).
std::shared_ptr<const LandmarkModel> landmarkModel(const std::string& path) {
  static std::mutex mutex;
  static std::map<std::string, std::shared_ptr<const LandmarkModel>> models;
  std::lock_guard lock(mutex);
  if (auto found = models.find(path); found != models.end()) return found->second;
  std::shared_ptr<LandmarkModel> model;
  try {
    auto loaded = std::make_shared<LandmarkModel>();
    dlib::deserialize(path) >> *loaded;
    if (loaded->num_parts() == 68) {
      model = std::move(loaded);
    } else {
      foundation::log("faces: {} holds {} landmarks, not 68; eyes unknown", path, loaded->num_parts());
    }
  } catch (const std::exception& error) {
    foundation::log("faces: cannot read the landmark model {}: {}; eyes unknown", path, error.what());
  }
  models[path] = model;
  return model;
}

double distance(const dlib::point& a, const dlib::point& b) {
  return std::hypot(double(a.x() - b.x()), double(a.y() - b.y()));
}

// Eye from its six landmarks, first..first + 5 (corners at 0 and 3), and its
// own lid opening. toImage maps a dlib pixel to y-up coordinates.
template <typename ToImage>
Eye eyeFromLandmarks(const dlib::full_object_detection& shape, unsigned long first, double ownRatio,
                     double scale, const ToImage& toImage) {
  const auto p = [&](unsigned long i) { return shape.part(first + i); };
  Eye eye;
  eye.width = distance(p(0), p(3)) / scale;
  eye.aspectRatio = ownRatio;
  eye.closed = eyeIsClosed(ownRatio, eyeAspectRatio(shape, first));
  double x = 0, y = 0;
  for (unsigned long i = 0; i < 6; ++i) x += double(p(i).x()), y += double(p(i).y());
  eye.centre = toImage(x / 6, y / 6);
  return eye;
}

}  // namespace

struct FaceDetector::Impl {
  std::string modelPath;
  std::optional<dlib::frontal_face_detector> detector;
  // The image as the detector saw it: upsampled when small.
  dlib::array2d<unsigned char> pixels;
  double scale = 1;
  std::int64_t height = 0;
  std::vector<dlib::rectangle> rectangles;

  bool load(const GrayImage& image) {
    if (image.width <= 0 || image.height <= 0 ||
        image.pixels.size() != std::size_t(image.width) * std::size_t(image.height)) {
      foundation::log("faces: a {} × {} image with {} bytes is not a gray image", image.width, image.height,
                      image.pixels.size());
      return false;
    }
    pixels.set_size(long(image.height), long(image.width));
    for (std::int64_t row = 0; row < image.height; ++row) {
      const std::uint8_t* source = image.pixels.data() + std::size_t(row) * std::size_t(image.width);
      std::copy(source, source + image.width, &pixels[long(row)][0]);
    }
    scale = 1;
    if (std::max(image.width, image.height) < kUpsampleBelow) {
      dlib::pyramid_up(pixels);
      scale = 2;
    }
    height = image.height;
    return true;
  }

  // dlib's pixel coordinates (centres on integers, top-down, possibly
  // upsampled) → y-up image coordinates.
  raster::Point toImage(double x, double y) const {
    return raster::yUpToTopDown(double(height)).apply({(x + 0.5) / scale, (y + 0.5) / scale});
  }

  raster::Rect toImage(const dlib::rectangle& r) const {
    const raster::Point topLeft = toImage(double(r.left()) - 0.5, double(r.top()) - 0.5);
    const raster::Point bottomRight = toImage(double(r.right()) + 0.5, double(r.bottom()) + 0.5);
    return raster::Rect(topLeft.x, bottomRight.y, bottomRight.x - topLeft.x, topLeft.y - bottomRight.y);
  }

  bool addEyes(std::vector<Face>& faces) {
    const std::shared_ptr<const LandmarkModel> model = landmarkModel(modelPath);
    if (!model) return false;
    for (std::size_t i = 0; i < faces.size() && i < rectangles.size(); ++i) {
      // A face given outside the image has no eyes to find.
      if (dlib::get_rect(pixels).intersect(rectangles[i]).is_empty()) continue;
      const dlib::full_object_detection shape = (*model)(pixels, rectangles[i]);
      if (shape.num_parts() != 68) continue;
      const auto map = [&](double x, double y) { return toImage(x, y); };
      // Both eyes as fitted together when the face cannot be measured one
      // eye at a time.
      const EyeOpenings openings =
          measureEyeOpenings(*model, pixels, shape)
              .value_or(EyeOpenings{eyeAspectRatio(shape, 36), eyeAspectRatio(shape, 42)});
      faces[i].leftEye = eyeFromLandmarks(shape, 36, openings.left, scale, map);
      faces[i].rightEye = eyeFromLandmarks(shape, 42, openings.right, scale, map);
    }
    return true;
  }
};

FaceDetector::FaceDetector(std::string landmarkModelPath) : impl_(std::make_unique<Impl>()) {
  impl_->modelPath = std::move(landmarkModelPath);
}

FaceDetector::~FaceDetector() = default;

std::vector<Face> FaceDetector::detect(const GrayImage& image, const DetectionOptions& options) {
  std::lock_guard lock(mutex_);
  std::vector<Face> faces;
  impl_->rectangles.clear();
  try {
    if (!impl_->load(image)) return faces;
    if (!impl_->detector) {
      // The model is decoded from dlib's header once; each detector copies it
      // (a detector changes while it scans, so instances are not shared).
      static const dlib::frontal_face_detector prototype = dlib::get_frontal_face_detector();
      impl_->detector = prototype;
    }
    std::vector<dlib::rect_detection> detections;
    (*impl_->detector)(impl_->pixels, detections, options.scoreThreshold);
    std::sort(detections.begin(), detections.end(),
              [](const auto& a, const auto& b) { return a.detection_confidence > b.detection_confidence; });
    for (const dlib::rect_detection& detection : detections) {
      if (!(detection.detection_confidence >= options.scoreThreshold)) continue;
      Face face;
      face.bounds = impl_->toImage(detection.rect);
      face.score = detection.detection_confidence;
      faces.push_back(face);
      impl_->rectangles.push_back(detection.rect);
    }
    if (options.eyes) impl_->addEyes(faces);
  } catch (const std::exception& error) {
    foundation::log("faces: detection failed: {}", error.what());
    faces.clear();
  }
  return faces;
}

bool FaceDetector::locateEyes(const GrayImage& image, std::vector<Face>& faces) {
  std::lock_guard lock(mutex_);
  try {
    if (!impl_->load(image)) return false;
    impl_->rectangles.clear();
    for (const Face& face : faces) {
      // Back from y-up image coordinates to the detector's pixels.
      const raster::Rect r = face.bounds;
      const raster::Point topLeft = raster::yUpToTopDown(double(impl_->height)).apply({r.minX(), r.maxY()});
      const double s = impl_->scale;
      impl_->rectangles.emplace_back(long(std::lround(topLeft.x * s)), long(std::lround(topLeft.y * s)),
                                     long(std::lround((topLeft.x + r.width()) * s)) - 1,
                                     long(std::lround((topLeft.y + r.height()) * s)) - 1);
    }
    return impl_->addEyes(faces);
  } catch (const std::exception& error) {
    foundation::log("faces: locating the eyes failed: {}", error.what());
    return false;
  }
}

}  // namespace faces
