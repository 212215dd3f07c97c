#pragma once
// Image metadata through exiv2: EXIF, GPS, IPTC and XMP read into the
// property dictionaries ({Exif}, {GPS}, {IPTC}, {TIFF} ...) with the raw
// blocks kept, and written back onto a finished file.

#include <string>
#include <vector>

#include "platform/foundation/value.h"
#include "platform/imageio/image_destination.h"

namespace imageio {

// Adds the metadata dictionaries of the file at path into properties (a
// dictionary). Malformed metadata is logged and skipped; false when nothing
// could be read.
bool readMetadata(const std::string& path, foundation::Value& properties);

// Writes the metadata found in the frames' properties (kept raw blocks and
// the {Exif}/{GPS}/{IPTC}/{TIFF} keys) into the file at path, which an
// encoder has just written. True when there was nothing to write.
bool writeMetadata(const std::string& path, const std::string& type, const std::vector<Frame>& frames);

// The Exif block (TIFF-structured, without the "Exif\0\0" prefix) that
// writeMetadata would store for these properties, for encoders that embed
// Exif themselves (HEIF). Empty when there is nothing to store.
foundation::Data exifBlockForProperties(const foundation::Value& properties);

// The key under which readMetadata keeps the raw blocks: a dictionary with
// "Exif" (TIFF-structured Exif), "XMP" (the packet) and "IPTC" (IIM
// datasets), each as data, present when the file has that block.
inline constexpr const char* kRawMetadataKey = "{RawMetadata}";

}  // namespace imageio
