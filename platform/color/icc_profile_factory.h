#pragma once
// Internal: wraps an opened lcms2 profile into an IccProfile. Used by the
// loaders and the built-in profile makers of this folder only.

#include <lcms2.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/color/icc_profile.h"

namespace color {

struct IccProfileFactory {
  // Takes ownership of handle (closed on failure too). data is the
  // serialised profile; when empty it is saved from the handle. nullptr
  // when the profile cannot be serialised.
  static ProfileRef make(cmsHPROFILE handle, std::vector<std::uint8_t> data, std::string path);
};

// Routes lcms2's error messages to the log; installed once, idempotent.
void installLcmsErrorHandler();

// The profile's English description, empty when it has none.
std::string readDescription(cmsHPROFILE handle);

}  // namespace color
