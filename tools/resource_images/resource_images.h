#pragma once
// Every image the application loads by name that this generator makes, and
// writing them all into a resources folder.

#include <string>
#include <vector>

namespace resourceimages {

struct ResourceImage {
  std::string path;  // relative to the resources folder
  int width;
  int height;
  bool hasAlpha;
};

// In a fixed order; SVG files carry their nominal size.
const std::vector<ResourceImage>& resourceImages();

// Renders every image into folder (subfolders created). false when one
// could not be written.
bool writeResourceImages(const std::string& folder);

}  // namespace resourceimages
