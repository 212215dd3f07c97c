#include "filters/custom_color_filters.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <vector>

#include "platform/ci/color_kernel.h"
#include "platform/ci/filter_attributes.h"
#include "platform/ci/working_space.h"

namespace velumar {

namespace {

using ci::colorkernel::luma;

struct InputAttributes {
  const char* key;
  double minimum, maximum;
  const char* displayName;  // nullptr for none
};

struct FilterDescription {
  const char* name;
  const char* displayName;
  std::vector<InputAttributes> inputs;
};

const std::vector<FilterDescription>& descriptions() {
  static const std::vector<FilterDescription> table = {
      {"HSVFilter",
       "HSVFilter",
       {{"inputSaturation", 0.0, 2.0, nullptr},
        {"inputValue", 0.1, 2.0, nullptr},
        {"inputContrast", 0.5, 2.0, nullptr}}},
      {"HSLFilter",
       "HSLFilter",
       {{"inputSaturation", 0.0, 2.0, nullptr}, {"inputLuminosity", 0.1, 2.0, nullptr}}},
      {"LabFilter",
       "LabFilter",
       {{"inputSaturation", 0.0, 2.0, nullptr}, {"inputLuminosity", 0.1, 2.0, nullptr}}},
      {"LevelSaturation",
       "Saturation",
       {{"inputSaturationShadows", 0.0, 2.0, "Shadows"},
        {"inputSaturationMidtones", 0.0, 2.0, "Midtones"},
        {"inputSaturationHighlights", 0.0, 2.0, "Highlights"}}},
      {"LevelExposure",
       "Exposure",
       {{"inputExposureShadows", 0.0, 2.0, "Shadows"},
        {"inputExposureMidtones", 0.0, 2.0, "Midtones"},
        {"inputExposureHighlights", 0.0, 2.0, "Highlights"}}},
  };
  return table;
}

// Every parameter's default and identity.
constexpr double kNeutral = 1.0;

const FilterDescription* descriptionOf(const std::string& name) {
  for (const FilterDescription& d : descriptions()) {
    if (name == d.name) return &d;
  }
  return nullptr;
}

foundation::Dictionary attributesOf(const FilterDescription& d) {
  foundation::Dictionary attributes{
      {ci::kAttributeFilterName, foundation::Value(d.name)},
      {ci::kAttributeFilterDisplayName, foundation::Value(d.displayName)},
      {ci::kAttributeFilterCategories,
       foundation::Value(foundation::Array{foundation::Value(ci::kCategoryColorAdjustment),
                                           foundation::Value(ci::kCategoryVideo),
                                           foundation::Value(ci::kCategoryStillImage)})}};
  for (const InputAttributes& input : d.inputs) {
    foundation::Dictionary entry{{ci::kAttributeType, foundation::Value(ci::kAttributeTypeScalar)},
                                 {ci::kAttributeMin, foundation::Value(input.minimum)},
                                 {ci::kAttributeSliderMin, foundation::Value(input.minimum)},
                                 {ci::kAttributeMax, foundation::Value(input.maximum)},
                                 {ci::kAttributeSliderMax, foundation::Value(input.maximum)},
                                 {ci::kAttributeDefault, foundation::Value(kNeutral)},
                                 {ci::kAttributeIdentity, foundation::Value(kNeutral)}};
    if (input.displayName) entry.set(ci::kAttributeDisplayName, foundation::Value(input.displayName));
    attributes.set(input.key, foundation::Value(std::move(entry)));
  }
  return attributes;
}

// RGB to HSV with hue in turns (0..1); s = 0 where max <= 0.
inline void toHSV(const float* p, float& h, float& s, float& v) {
  const float mx = std::max({p[0], p[1], p[2]}), mn = std::min({p[0], p[1], p[2]});
  const float delta = mx - mn;
  v = mx;
  s = mx > 0 ? delta / mx : 0.0f;
  h = 0;
  if (delta > 0) {
    if (mx == p[0]) {
      h = (p[1] - p[2]) / delta;
    } else if (mx == p[1]) {
      h = 2.0f + (p[2] - p[0]) / delta;
    } else {
      h = 4.0f + (p[0] - p[1]) / delta;
    }
    h /= 6.0f;
    h -= std::floor(h);
  }
}

inline void fromHSV(float h, float s, float v, float* o) {
  const float sector = h * 6.0f;
  const float i = std::floor(sector), f = sector - i;
  const float p = v * (1 - s), q = v * (1 - s * f), t = v * (1 - s * (1 - f));
  switch (int(i) % 6) {
    case 0:
      o[0] = v, o[1] = t, o[2] = p;
      break;
    case 1:
      o[0] = q, o[1] = v, o[2] = p;
      break;
    case 2:
      o[0] = p, o[1] = v, o[2] = t;
      break;
    case 3:
      o[0] = p, o[1] = q, o[2] = v;
      break;
    case 4:
      o[0] = t, o[1] = p, o[2] = v;
      break;
    default:
      o[0] = v, o[1] = p, o[2] = q;
      break;
  }
}

// HLS channel of hue h (turns) between m1 and m2.
inline float hlsChannel(float m1, float m2, float h) {
  h -= std::floor(h);
  if (h < 1.0f / 6) return m1 + (m2 - m1) * h * 6.0f;
  if (h < 0.5f) return m2;
  if (h < 2.0f / 3) return m1 + (m2 - m1) * (2.0f / 3 - h) * 6.0f;
  return m1;
}

// Lab forward and inverse companding, with the usual rounded constants.
inline float labF(float t) {
  return t > 0.008856f ? std::cbrt(t) : 7.787f * t + 16.0f / 116.0f;
}
inline float labFInverse(float t) {
  return t > 0.2068966f ? t * t * t : (t - 16.0f / 116.0f) / 7.787f;
}

bool allNeutral(std::initializer_list<float> values) {
  return std::all_of(values.begin(), values.end(), [](float v) { return v == float(kNeutral); });
}

}  // namespace

void CustomColorFilter::setDefaults() {
  ci::Filter::setDefaults();
  if (const FilterDescription* d = descriptionOf(name())) {
    for (const InputAttributes& input : d->inputs) setValue(input.key, kNeutral);
  }
}

foundation::Dictionary CustomColorFilter::customAttributes() const {
  const FilterDescription* d = descriptionOf(name());
  return d ? attributesOf(*d) : foundation::Dictionary{};
}

float CustomColorFilter::input(const char* key) const {
  return ci::colorkernel::parameter(number(key, kNeutral), float(kNeutral));
}

ci::ImageRef HSVFilter::outputImage() const {
  ci::ImageRef in = image(ci::kInputImageKey);
  const float saturation = input("inputSaturation"), value = input("inputValue"),
              contrast = input("inputContrast");
  if (!in || allNeutral({saturation, value, contrast})) return in;
  return ci::colorkernel::straightColor(in, [=](const float* p, float* o) {
    float h, s, v;
    toHSV(p, h, s, v);
    fromHSV(h, std::clamp(s * saturation, 0.0f, 1.0f), (v * value - 0.5f) * contrast + 0.5f, o);
    o[3] = p[3];
  });
}

ci::ImageRef HSLFilter::outputImage() const {
  ci::ImageRef in = image(ci::kInputImageKey);
  const float saturation = input("inputSaturation"), luminosity = input("inputLuminosity");
  if (!in || allNeutral({saturation, luminosity})) return in;
  return ci::colorkernel::straightColor(in, [=](const float* p, float* o) {
    const float mx = std::max({p[0], p[1], p[2]}), mn = std::min({p[0], p[1], p[2]});
    const float l = 0.5f * (mx + mn), delta = mx - mn;
    float h = 0, s = 0;
    if (delta > 0) {
      const float denominator = l <= 0.5f ? mx + mn : 2.0f - mx - mn;
      s = denominator > 1e-12f ? delta / denominator : 0.0f;
      float rc = (mx - p[0]) / delta, gc = (mx - p[1]) / delta, bc = (mx - p[2]) / delta;
      h = mx == p[0] ? bc - gc : mx == p[1] ? 2.0f + rc - bc : 4.0f + gc - rc;
      h /= 6.0f;
      h -= std::floor(h);
    }
    const float s2 = std::clamp(s * saturation, 0.0f, 1.0f), l2 = std::clamp(l * luminosity, 0.0f, 1.0f);
    if (s2 == 0) {
      o[0] = o[1] = o[2] = l2;
    } else {
      const float m2 = l2 <= 0.5f ? l2 * (1 + s2) : l2 + s2 - l2 * s2, m1 = 2 * l2 - m2;
      o[0] = hlsChannel(m1, m2, h + 1.0f / 3), o[1] = hlsChannel(m1, m2, h),
      o[2] = hlsChannel(m1, m2, h - 1.0f / 3);
    }
    o[3] = p[3];
  });
}

ci::ImageRef LabFilter::outputImage() const {
  ci::ImageRef in = image(ci::kInputImageKey);
  const float saturation = input("inputSaturation"), luminosity = input("inputLuminosity");
  if (!in || allNeutral({saturation, luminosity})) return in;
  const color::MatrixShaper& working = ci::workingMatrixShaper();
  std::array<float, 9> m{}, inv{};
  for (std::size_t k = 0; k < 9; ++k) m[k] = float(working.rgbToXYZ[k]);
  const color::Matrix3x3 toRGB = color::inverse(working.rgbToXYZ);
  for (std::size_t k = 0; k < 9; ++k) inv[k] = float(toRGB[k]);
  const float white[3] = {m[0] + m[1] + m[2], m[3] + m[4] + m[5], m[6] + m[7] + m[8]};
  const float gamma = float(working.gamma), inverseGamma = float(1.0 / working.gamma);
  return ci::colorkernel::straightColor(in, [=](const float* p, float* o) {
    float linear[3], xyz[3];
    for (int c = 0; c < 3; ++c) linear[c] = ci::colorkernel::signedPower(p[c], gamma);
    for (int r = 0; r < 3; ++r)
      xyz[r] = labF((m[std::size_t(r * 3)] * linear[0] + m[std::size_t(r * 3 + 1)] * linear[1] +
                     m[std::size_t(r * 3 + 2)] * linear[2]) /
                    white[r]);
    const float fy = ((116.0f * xyz[1] - 16.0f) * luminosity + 16.0f) / 116.0f;
    const float fx = fy + (xyz[0] - xyz[1]) * saturation, fz = fy - (xyz[1] - xyz[2]) * saturation;
    const float back[3] = {labFInverse(fx) * white[0], labFInverse(fy) * white[1],
                           labFInverse(fz) * white[2]};
    for (int r = 0; r < 3; ++r) {
      const float v = inv[std::size_t(r * 3)] * back[0] + inv[std::size_t(r * 3 + 1)] * back[1] +
                      inv[std::size_t(r * 3 + 2)] * back[2];
      o[r] = ci::colorkernel::signedPower(v, inverseGamma);
    }
    o[3] = p[3];
  });
}

namespace {

// Shadow, midtone and highlight weights of a luma.
inline void toneWeights(float l, float& shadows, float& midtones, float& highlights) {
  l = std::clamp(l, 0.0f, 1.0f);
  shadows = (1 - l) * (1 - l), midtones = 2 * l * (1 - l), highlights = l * l;
}

}  // namespace

ci::ImageRef LevelSaturation::outputImage() const {
  ci::ImageRef in = image(ci::kInputImageKey);
  const float s = input("inputSaturationShadows"), m = input("inputSaturationMidtones"),
              h = input("inputSaturationHighlights");
  if (!in || allNeutral({s, m, h})) return in;
  return ci::colorkernel::straightColor(in, [=](const float* p, float* o) {
    const float l = luma(p);
    float ws, wm, wh;
    toneWeights(l, ws, wm, wh);
    const float factor = std::max(0.0f, ws * s + wm * m + wh * h);
    for (int c = 0; c < 3; ++c) o[c] = l + factor * (p[c] - l);
    o[3] = p[3];
  });
}

ci::ImageRef LevelExposure::outputImage() const {
  ci::ImageRef in = image(ci::kInputImageKey);
  const float s = input("inputExposureShadows"), m = input("inputExposureMidtones"),
              h = input("inputExposureHighlights");
  if (!in || allNeutral({s, m, h})) return in;
  return ci::colorkernel::straightColor(in, [=](const float* p, float* o) {
    float ws, wm, wh;
    toneWeights(luma(p), ws, wm, wh);
    const float stops = std::clamp(ws * (s - 1) + wm * (m - 1) + wh * (h - 1), -126.0f, 126.0f);
    const float gain = std::exp2(stops);
    o[0] = p[0] * gain, o[1] = p[1] * gain, o[2] = p[2] * gain, o[3] = p[3];
  });
}

namespace {

template <typename FilterClass>
void registerOne() {
  const FilterClass probe;
  const FilterDescription* d = descriptionOf(probe.name());
  if (!d) return;
  ci::registerFilterName(
      d->name,
      [](const std::string&) -> ci::FilterRef {
        auto filter = std::make_shared<FilterClass>();
        filter->setDefaults();
        return filter;
      },
      attributesOf(*d));
}

}  // namespace

void registerCustomColorFilters() {
  registerOne<HSVFilter>();
  registerOne<HSLFilter>();
  registerOne<LabFilter>();
  registerOne<LevelSaturation>();
  registerOne<LevelExposure>();
}

}  // namespace velumar
