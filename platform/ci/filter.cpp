#include "platform/ci/filter.h"

#include <mutex>

#include "platform/ci/builtin_filters.h"

namespace ci {

namespace {

class BuiltinFilter final : public Filter {
 public:
  BuiltinFilter(std::string name, const BuiltinFilterDefinition* definition)
      : Filter(std::move(name)), definition_(definition) {}

  void setDefaults() override {
    Filter::setDefaults();
    for (const auto& [key, value] : definition_->defaults) setValue(key, value);
  }
  ImageRef outputImage() const override { return definition_->output(*this); }

 private:
  const BuiltinFilterDefinition* definition_;
};

struct Registration {
  FilterConstructor constructor;
  foundation::Dictionary attributes;
};

struct Registry {
  std::mutex mutex;
  std::map<std::string, Registration, std::less<>> filters;
};

Registry& registry() {
  static Registry instance;
  return instance;
}

}  // namespace

const BuiltinFilterTable& builtinFilters() {
  static const BuiltinFilterTable table = [] {
    BuiltinFilterTable t;
    addGeometryFilters(t);
    addColorFilters(t);
    addCompositingFilters(t);
    addColorAdjustmentFilters(t);
    addTemperatureFilters(t);
    addHighlightShadowFilters(t);
    addColorLookFilters(t);
    addPhotoEffectFilters(t);
    addBlendFilters(t);
    addGeneratorFilters(t);
    addBlurFilters(t);
    addColorCubeFilters(t);
    addToneCurveFilters(t);
    addNeighbourhoodFilters(t);
    return t;
  }();
  return table;
}

FilterRef Filter::withName(std::string_view name) {
  const BuiltinFilterTable& builtins = builtinFilters();
  if (auto it = builtins.find(name); it != builtins.end()) {
    auto filter = std::make_shared<BuiltinFilter>(std::string(name), &it->second);
    filter->setDefaults();  // a new built-in filter starts from its defaults
    return filter;
  }
  FilterConstructor constructor;
  {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    auto it = r.filters.find(name);
    if (it == r.filters.end()) return nullptr;
    constructor = it->second.constructor;
  }
  return constructor ? constructor(std::string(name)) : nullptr;
}

FilterRef Filter::copy() const {
  FilterRef twin = withName(name_);
  if (!twin) return nullptr;
  twin->values_ = values_;
  return twin;
}

void registerFilterName(const std::string& name, FilterConstructor constructor,
                        foundation::Dictionary attributes) {
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  r.filters[name] = Registration{std::move(constructor), std::move(attributes)};
}

foundation::Dictionary filterAttributes(const std::string& name) {
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  auto it = r.filters.find(name);
  return it == r.filters.end() ? foundation::Dictionary{} : it->second.attributes;
}

void Filter::setDefaults() {
  // Images are inputs, not parameters: they survive.
  for (auto it = values_.begin(); it != values_.end();) {
    it = it->second.image() ? std::next(it) : values_.erase(it);
  }
}

void Filter::setValue(const std::string& key, FilterValue value) {
  if (value.isNull()) {
    values_.erase(key);
  } else {
    values_[key] = std::move(value);
  }
}

FilterValue Filter::valueForKey(const std::string& key) const {
  if (key == kOutputImageKey) return FilterValue(outputImage());
  auto it = values_.find(key);
  return it == values_.end() ? FilterValue() : it->second;
}

double Filter::number(const std::string& key, double fallback) const {
  auto it = values_.find(key);
  return it == values_.end() ? fallback : it->second.number().value_or(fallback);
}

Vector Filter::vector(const std::string& key, const Vector& fallback) const {
  auto it = values_.find(key);
  return it == values_.end() ? fallback : it->second.vector().value_or(fallback);
}

Color Filter::color(const std::string& key, const Color& fallback) const {
  auto it = values_.find(key);
  return it == values_.end() ? fallback : it->second.color().value_or(fallback);
}

raster::AffineTransform Filter::transform(const std::string& key) const {
  auto it = values_.find(key);
  return it == values_.end() ? raster::AffineTransform{}
                             : it->second.transform().value_or(raster::AffineTransform{});
}

ImageRef Filter::image(const std::string& key) const {
  auto it = values_.find(key);
  return it == values_.end() ? nullptr : it->second.image();
}

}  // namespace ci
