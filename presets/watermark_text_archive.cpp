#include "presets/watermark_text_archive.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "platform/foundation/log.h"
#include "platform/foundation/property_list.h"
#include "platform/raster/color_conversion.h"

namespace velumar {

namespace {

using foundation::Dictionary;
using foundation::Value;

constexpr const char* kRootKey = "Watermark Text Attributes";
constexpr double kLargestPointSize = 100000;

// The colour's sRGB components and alpha.
std::array<double, 4> srgbComponents(const raster::Color& color) {
  const raster::ColorSpaceRef srgb = raster::ColorSpace::sRGB();
  const int colours = std::max(color.count - 1, 0);
  const double alpha = color.count > 0 ? color.components[std::size_t(colours)] : 1.0;
  const auto conversion = raster::ColorConversion::between(color.space.get(), srgb.get());
  if (!conversion || conversion->sourceColors() != colours || conversion->destinationColors() != 3) {
    if (colours == 3) return {color.components[0], color.components[1], color.components[2], alpha};
    const double gray = colours >= 1 ? color.components[0] : 0.0;
    return {gray, gray, gray, alpha};
  }
  // The conversion works on premultiplied rows; convert the opaque colour.
  std::array<float, 6> in{}, scratch{};
  std::array<float, 4> out{};
  for (int i = 0; i < colours && i < 5; ++i) in[std::size_t(i)] = float(color.components[std::size_t(i)]);
  in[std::size_t(colours)] = 1.0f;
  conversion->convertRow(in.data(), out.data(), 1, scratch.data());
  return {out[0], out[1], out[2], alpha};
}

Value colorValue(const raster::Color& color) {
  const auto c = srgbComponents(color);
  return Value(foundation::Array{foundation::singlePrecisionReal(c[0]), foundation::singlePrecisionReal(c[1]),
                                 foundation::singlePrecisionReal(c[2]),
                                 foundation::singlePrecisionReal(c[3])});
}

// Decoding: each reader answers false when the key holds the wrong type.
struct Decoder {
  const Dictionary& fields;

  bool boolean(const char* key, bool& out) const {
    const Value* v = fields.find(key);
    if (!v) return true;
    if (!v->isBool()) return false;
    out = *v->toBool();
    return true;
  }
  bool real(const char* key, double& out) const {
    const Value* v = fields.find(key);
    if (!v) return true;
    if (!(v->isReal() || v->isInteger()) || !std::isfinite(*v->toDouble())) return false;
    out = *v->toDouble();
    return true;
  }
  static bool color(const Value* v, std::optional<raster::Color>& out) {
    if (!v) return true;
    const foundation::Array* a = v->asArray();
    if (!a || a->size() != 4) return false;
    std::array<double, 4> c{};
    for (std::size_t i = 0; i < 4; ++i) {
      const Value& item = (*a)[i];
      if (!(item.isReal() || item.isInteger()) || !std::isfinite(*item.toDouble())) return false;
      c[i] = std::clamp(*item.toDouble(), 0.0, 1.0);
    }
    out = raster::Color::rgb(c[0], c[1], c[2], c[3]);
    return true;
  }
};

std::optional<raster::TextAttributes> decode(const Dictionary& fields) {
  raster::TextAttributes a;
  const Decoder d{fields};
  if (const Value* family = fields.find("Font Family")) {
    if (!family->isString()) return std::nullopt;
    a.fontFamily = *family->asString();
  }
  if (!d.boolean("Bold", a.bold) || !d.boolean("Italic", a.italic) || !d.real("Point Size", a.pointSize) ||
      !Decoder::color(fields.find("Color"), a.color) || !d.real("Obliqueness", a.obliqueness) ||
      !d.boolean("Underline", a.underline) || !d.boolean("Strikethrough", a.strikethrough))
    return std::nullopt;
  if (!(a.pointSize > 0 && a.pointSize <= kLargestPointSize)) return std::nullopt;
  if (const Value* shadowValue = fields.find("Shadow")) {
    const Dictionary* s = shadowValue->asDictionary();
    if (!s) return std::nullopt;
    raster::TextShadow shadow;
    std::optional<raster::Color> shadowColor;
    const Decoder sd{*s};
    if (!sd.real("Offset Width", shadow.offset.width) || !sd.real("Offset Height", shadow.offset.height) ||
        !sd.real("Blur Radius", shadow.blurRadius) || !Decoder::color(s->find("Color"), shadowColor) ||
        shadow.blurRadius < 0)
      return std::nullopt;
    if (shadowColor) shadow.color = *shadowColor;
    a.shadow = shadow;
  }
  return a;
}

}  // namespace

std::optional<foundation::Data> archiveTextAttributes(const raster::TextAttributes& attributes) {
  Dictionary fields{{"Font Family", attributes.fontFamily},
                    {"Bold", attributes.bold},
                    {"Italic", attributes.italic},
                    {"Point Size", foundation::singlePrecisionReal(attributes.pointSize)}};
  if (attributes.color) fields.set("Color", colorValue(*attributes.color));
  fields.set("Obliqueness", foundation::singlePrecisionReal(attributes.obliqueness));
  fields.set("Underline", attributes.underline);
  fields.set("Strikethrough", attributes.strikethrough);
  if (attributes.shadow) {
    const raster::TextShadow& s = *attributes.shadow;
    fields.set("Shadow", Dictionary{{"Offset Width", foundation::singlePrecisionReal(s.offset.width)},
                                    {"Offset Height", foundation::singlePrecisionReal(s.offset.height)},
                                    {"Blur Radius", foundation::singlePrecisionReal(s.blurRadius)},
                                    {"Color", colorValue(s.color)}});
  }
  return foundation::propertyListBinary(Value(Dictionary{{kRootKey, Value(std::move(fields))}}));
}

std::optional<raster::TextAttributes> unarchiveTextAttributes(const foundation::Data& archive) {
  const std::optional<Value> root = foundation::readPropertyListData(archive);
  const Value* fields = root ? root->get(kRootKey) : nullptr;
  std::optional<raster::TextAttributes> attributes;
  if (fields && fields->asDictionary()) attributes = decode(*fields->asDictionary());
  if (!attributes)
    foundation::log("Preset: watermark text attributes are unreadable; the default font stays");
  return attributes;
}

}  // namespace velumar
