#pragma once
// Filters by name: a filter holds its parameters by key and makes its
// output image on request (a graph node; nothing is rendered). Built-in
// filters are known by name; an application registers its own with
// registerFilterName. Names that are neither yield no filter.

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "platform/ci/filter_value.h"
#include "platform/ci/image.h"
#include "platform/foundation/value.h"

namespace ci {

inline constexpr const char* kInputImageKey = "inputImage";
inline constexpr const char* kOutputImageKey = "outputImage";
inline constexpr const char* kInputBackgroundImageKey = "inputBackgroundImage";

class Filter;
using FilterRef = std::shared_ptr<Filter>;

class Filter {
 public:
  // nullptr for an unknown name. Built-in filters start with their defaults.
  static FilterRef withName(std::string_view name);

  virtual ~Filter() = default;
  const std::string& name() const { return name_; }

  // Resets every parameter to its default (the input image is kept unset).
  virtual void setDefaults();
  void setValue(const std::string& key, FilterValue value);
  // A null value for an unset key; "outputImage" answers the output.
  FilterValue valueForKey(const std::string& key) const;
  // nullptr when an input is missing or unusable.
  virtual ImageRef outputImage() const = 0;
  // A new filter of the same name holding the same parameters (images are
  // shared, they are immutable); nullptr when the name no longer makes one.
  FilterRef copy() const;

  // The parameter, or fallback when unset or of another type.
  double number(const std::string& key, double fallback = 0) const;
  Vector vector(const std::string& key, const Vector& fallback = {}) const;
  Color color(const std::string& key, const Color& fallback = {}) const;
  raster::AffineTransform transform(const std::string& key) const;
  ImageRef image(const std::string& key) const;

 protected:
  explicit Filter(std::string name) : name_(std::move(name)) {}
  const std::map<std::string, FilterValue>& values() const { return values_; }
  void clearValues() { values_.clear(); }

 private:
  std::string name_;
  std::map<std::string, FilterValue> values_;
};

// Makes an instance of a registered filter for its name.
using FilterConstructor = std::function<FilterRef(const std::string& name)>;

// Registers (or replaces) a filter of our own under name. attributes hold
// its descriptive attributes (display name, categories, parameter ranges).
void registerFilterName(const std::string& name, FilterConstructor constructor,
                        foundation::Dictionary attributes);
// The attributes given at registration (empty for built-ins and unknown names).
foundation::Dictionary filterAttributes(const std::string& name);

}  // namespace ci
