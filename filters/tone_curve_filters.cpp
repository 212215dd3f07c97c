#include "filters/tone_curve_filters.h"

#include <memory>

#include "filters/curve_interpolation.h"
#include "platform/ci/filter_attributes.h"

namespace velumar {

namespace {

const char* displayNameOf(const std::string& name) {
  if (name == "ToneCurveChannelRed") return "Tone Curve - Red";
  if (name == "ToneCurveChannelGreen") return "Tone Curve - Green";
  if (name == "ToneCurveChannelBlue") return "Tone Curve - Blue";
  return "Tone Curve";
}

foundation::Dictionary attributesOf(const std::string& name) {
  foundation::Dictionary attributes;
  const ci::ToneCurvePoints diagonal = ci::diagonalToneCurve();
  for (std::size_t i = 0; i < 5; ++i) {
    attributes.set(
        ci::kToneCurvePointKeys[i],
        foundation::Value(foundation::Dictionary{
            {ci::kAttributeDefault, foundation::Value(foundation::Array{foundation::Value(diagonal[i].x),
                                                                        foundation::Value(diagonal[i].y)})},
            {ci::kAttributeType, foundation::Value(ci::kAttributeTypePosition)},
            {ci::kAttributeDisplayName, foundation::Value("Point" + std::to_string(i))}}));
  }
  attributes.set(ci::kAttributeFilterName, foundation::Value(name));
  attributes.set(ci::kAttributeFilterDisplayName, foundation::Value(displayNameOf(name)));
  return attributes;
}

template <typename FilterClass>
void registerOne() {
  const std::string name = FilterClass().name();
  foundation::Dictionary attributes{
      {ci::kAttributeFilterDisplayName, foundation::Value(displayNameOf(name))},
      {ci::kAttributeFilterCategories,
       foundation::Value(foundation::Array{foundation::Value(ci::kCategoryColorAdjustment),
                                           foundation::Value(ci::kCategoryVideo),
                                           foundation::Value(ci::kCategoryStillImage)})}};
  ci::registerFilterName(
      name,
      [](const std::string&) -> ci::FilterRef {
        auto filter = std::make_shared<FilterClass>();
        filter->setDefaults();
        return filter;
      },
      std::move(attributes));
}

}  // namespace

void ToneCurveFilterBase::setDefaults() {
  ci::Filter::setDefaults();
  const ci::ToneCurvePoints diagonal = ci::diagonalToneCurve();
  for (std::size_t i = 0; i < 5; ++i)
    setValue(ci::kToneCurvePointKeys[i], ci::Vector{diagonal[i].x, diagonal[i].y});
}

foundation::Dictionary ToneCurveFilterBase::customAttributes() const {
  return attributesOf(name());
}

ci::ImageRef ToneCurveFilterBase::outputImage() const {
  ci::ImageRef in = image(ci::kInputImageKey);
  if (!in) return nullptr;
  std::vector<CurvePoint> points;
  for (const char* key : ci::kToneCurvePointKeys) {
    const ci::FilterValue value = valueForKey(key);
    const std::optional<ci::Vector> v = value.vector();
    if (!v || v->count() != 2) return in;
    points.push_back({v->at(0), v->at(1)});
  }
  const std::array<CurvePoint, 5> safe = normalizeCurvePoints(points);
  ci::FilterRef curve = ci::Filter::withName("CIToneCurve");
  if (!curve) return in;
  curve->setDefaults();
  for (std::size_t i = 0; i < 5; ++i)
    curve->setValue(ci::kToneCurvePointKeys[i], ci::Vector{safe[i].x, safe[i].y});
  curve->setValue(ci::kInputImageKey, in);
  ci::ImageRef curved = curve->outputImage();
  curve->setValue(ci::kInputImageKey, ci::ImageRef());
  if (!curved) return in;
  if (channel_ < 0 || curved == in) return curved;
  // The input with its own channel taken from the curved image.
  const int channel = channel_;
  ci::ImageRef merged = ci::Image::kernel(
      {in, curved}, in->extent(),
      [channel](const ci::KernelRow& row) {
        const float* original = row.inputs[0];
        const float* changed = row.inputs[1];
        for (std::int64_t i = 0; i < row.count * 4; i += 4) {
          for (int c = 0; c < 4; ++c) row.output[i + c] = original[i + c];
          row.output[i + channel] = changed[i + channel];
        }
      },
      true);
  return merged ? merged : in;
}

void registerToneCurveFilters() {
  registerOne<ToneCurveFilter>();
  registerOne<ToneCurveChannelRed>();
  registerOne<ToneCurveChannelGreen>();
  registerOne<ToneCurveChannelBlue>();
}

}  // namespace velumar
