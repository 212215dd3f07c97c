#pragma once
// The watermark font: a family (empty for the system's sans-serif font), a
// style and a size in points, and the text attributes that hold only it.

#include <string>

#include "platform/raster/attributed_text.h"

namespace velumar {

struct TextFont {
  std::string family;  // empty: the system font
  bool bold = false;
  bool italic = false;
  double pointSize = 144;

  static TextFont systemFont(double pointSize) { return TextFont{{}, false, false, pointSize}; }

  bool operator==(const TextFont&) const = default;
};

// Text attributes whose only setting is the font; everything else default.
inline raster::TextAttributes textAttributesWithFont(const TextFont& font) {
  raster::TextAttributes attributes;
  attributes.fontFamily = font.family;
  attributes.bold = font.bold;
  attributes.italic = font.italic;
  attributes.pointSize = font.pointSize;
  return attributes;
}

// The size of the default watermark font.
inline constexpr double kDefaultWatermarkFontSize = 144;

}  // namespace velumar
