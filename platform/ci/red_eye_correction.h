#pragma once
// CIRedEyeCorrection, a registered filter: inside the disc of inputRadius
// around inputCenter (image coordinates, y up), pixels whose redness
// r / (g + b) is high lose it; their red falls to the mean of green and
// blue. The edge of the disc is feathered; outside it nothing changes.

#include "platform/ci/filter.h"

namespace ci {

inline constexpr const char* kRedEyeCorrectionName = "CIRedEyeCorrection";

// Registers the filter (once; later calls do nothing).
void registerRedEyeCorrection();

// The correction of one pixel's straight or premultiplied colour, weighted
// by how far inside the disc it lies (0..1). Redness up to
// kRedEyeRednessStart is left alone; from kRedEyeRednessFull on the red is
// replaced entirely.
inline constexpr float kRedEyeRednessStart = 1.1f, kRedEyeRednessFull = 1.6f;
void correctRedEyePixel(float* rgba, float discWeight);

}  // namespace ci
