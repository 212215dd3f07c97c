#pragma once
// The values a filter takes by key: numbers, vectors, colours, affine
// transforms, data and images.

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/ci/image.h"
#include "platform/raster/geometry.h"

namespace ci {

// A vector of numbers (points, sizes, rectangles as x, y, width, height,
// colour matrices' rows).
struct Vector {
  std::vector<double> values;
  Vector() = default;
  Vector(std::initializer_list<double> v) : values(v) {}
  explicit Vector(std::vector<double> v) : values(std::move(v)) {}
  // Component i, 0 beyond the end (as the platform's vectors answer).
  double at(std::size_t i) const { return i < values.size() ? values[i] : 0.0; }
  std::size_t count() const { return values.size(); }
  bool operator==(const Vector&) const = default;
};

using Data = std::vector<std::uint8_t>;

class FilterValue {
 public:
  FilterValue() = default;
  FilterValue(double number) : v_(number) {}
  // Single-precision numbers are kept as the float's exact value.
  FilterValue(float number) : v_(double(number)) {}
  FilterValue(int number) : v_(double(number)) {}
  FilterValue(bool flag) : v_(flag ? 1.0 : 0.0) {}
  FilterValue(Vector vector) : v_(std::move(vector)) {}
  FilterValue(const Color& color) : v_(color) {}
  FilterValue(const raster::AffineTransform& transform) : v_(transform) {}
  FilterValue(Data data) : v_(std::make_shared<const Data>(std::move(data))) {}
  // Shared bytes are kept without a copy.
  FilterValue(std::shared_ptr<const Data> data) : v_(std::move(data)) {}
  FilterValue(ImageRef image) : v_(std::move(image)) {}
  FilterValue(std::string text) : v_(std::move(text)) {}

  bool isNull() const { return v_.index() == 0; }
  std::optional<double> number() const { return get<double>(); }
  std::optional<Vector> vector() const { return get<Vector>(); }
  std::optional<Color> color() const { return get<Color>(); }
  std::optional<raster::AffineTransform> transform() const { return get<raster::AffineTransform>(); }
  const Data* data() const {
    const auto* shared = std::get_if<std::shared_ptr<const Data>>(&v_);
    return shared ? shared->get() : nullptr;
  }
  std::shared_ptr<const Data> sharedData() const {
    const auto* shared = std::get_if<std::shared_ptr<const Data>>(&v_);
    return shared ? *shared : nullptr;
  }
  ImageRef image() const {
    const ImageRef* image = std::get_if<ImageRef>(&v_);
    return image ? *image : nullptr;
  }
  std::optional<std::string> text() const { return get<std::string>(); }

 private:
  template <typename T>
  std::optional<T> get() const {
    const T* value = std::get_if<T>(&v_);
    return value ? std::optional<T>(*value) : std::nullopt;
  }
  std::variant<std::monostate, double, Vector, Color, raster::AffineTransform, std::shared_ptr<const Data>,
               ImageRef, std::string>
      v_;
};

}  // namespace ci
