#pragma once
// The texts of the image-info window, made from the image information
// dictionary the preview builds for the file it shows: the file column
// (labels and values, for images or for PDF documents) and the camera
// column (24 EXIF and TIFF fields). Every line ends with a line feed;
// anything missing, of the wrong type or out of range shows "--".

#include <cstdint>
#include <string>

#include "platform/foundation/value.h"

namespace velumar {

struct ImageInfoColumn {
  std::string labels;
  std::string values;
};

// "%.2f MB" of bytes / 1,000,000, or "%.2f KB" below one megabyte.
std::string fileSizeText(std::int64_t bytes);

// The file column; nullptr (nothing shown) gives the image labels with
// eleven "--" values.
ImageInfoColumn fileInformationColumn(const foundation::Value* information);

// The 24 camera labels.
std::string cameraInformationLabels();
// The 24 camera values for the information (an empty one gives 24 "--").
std::string cameraInformationValues(const foundation::Value& information);

}  // namespace velumar
