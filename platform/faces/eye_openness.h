#pragma once
// How far each eye is open, one eye at a time. The 68-point landmark model
// fits both eyes of a face alike, so one shut eye only pulls both ratios
// part of the way down. Here the face is turned upright from its
// landmarks, one half is mirrored onto the other about the nose bridge and
// the landmarks are fitted again: on that face both eyes are the one eye.

#include <dlib/image_processing.h>

#include <optional>

namespace faces {

struct EyeOpenings {
  // Mean lid opening over the eye's width, for the eye on the image's left
  // and on its right.
  double left = 0, right = 0;
};

// Lid opening of the six landmarks first..first + 5 (corners at 0 and 3).
double eyeAspectRatio(const dlib::full_object_detection& shape, unsigned long first);

// shape: the 68 landmarks of a face in pixels. Nothing when the face
// cannot be turned upright (landmarks missing or degenerate).
std::optional<EyeOpenings> measureEyeOpenings(const dlib::shape_predictor& model,
                                              const dlib::array2d<unsigned char>& pixels,
                                              const dlib::full_object_detection& shape);

}  // namespace faces
