#pragma once
// Text with one set of attributes, as the watermark and label drawing use
// it: font family and style, size in points, colour, slant, decorations
// and an optional shadow.

#include <optional>
#include <string>

#include "platform/raster/drawing_types.h"
#include "platform/raster/geometry.h"

namespace raster {

struct TextShadow {
  Size offset{0, 0};  // y up
  double blurRadius = 0;
  Color color = Color::black(1.0 / 3.0);
};

struct TextAttributes {
  std::string fontFamily;  // empty: the system's sans-serif font
  bool bold = false;
  bool italic = false;
  double pointSize = 12;
  std::optional<Color> color;  // none: black
  double obliqueness = 0;      // horizontal slant of the glyphs (x += obliqueness · height)
  bool underline = false;
  bool strikethrough = false;
  std::optional<TextShadow> shadow;
};

struct AttributedText {
  std::string text;  // UTF-8
  TextAttributes attributes;
};

}  // namespace raster
