#include "platform/raster/bitmap_context.h"

#include <cmath>
#include <new>

#include "platform/foundation/log.h"
#include "platform/raster/color_conversion.h"
#include "platform/raster/context_internals.h"
#include "platform/raster/pixel_buffer_recycler.h"
#include "platform/raster/pixel_layout.h"
#include "platform/raster/row_order.h"

namespace raster {

namespace {

bool sizeAllowed(std::int64_t width, std::int64_t height, const PixelFormat& format) {
  if (width <= 0 || height <= 0 || width > kMaxDimension || height > kMaxDimension) return false;
  std::uint64_t bytes = std::uint64_t(width) * std::uint64_t(height) * std::uint64_t(format.bytesPerPixel());
  return bytes <= kMaxBytes;
}

void setDefaultColors(ContextState& state, const PixelFormat& format) {
  opaqueBlack(format, state.fill);
  opaqueBlack(format, state.stroke);
}

}  // namespace

// A colour of any space in the working form of the context.
void convertColorForContext(const BitmapContext& context, const Color& color, float* out) {
  const PixelFormat& format = context.format();
  const int colors = workingColors(format);
  const ColorSpace* from = color.space.get();
  const ColorSpace* to = context.colorSpace().get();
  const int fromColors = from ? from->components() : colors;
  if (color.count < fromColors || fromColors > 4) {
    opaqueBlack(format, out);
    return;
  }
  double alpha = color.count > fromColors ? color.components[std::size_t(fromColors)] : 1.0;
  if (colors == 0) {
    out[0] = float(alpha);  // an alpha-only context keeps the alpha alone
    return;
  }
  std::shared_ptr<const ColorConversion> conversion;
  if (from && to && !ColorConversion::isIdentity(from, to)) {
    conversion = ColorConversion::between(from, to);
  } else if (fromColors != colors) {
    conversion = std::make_shared<const ColorConversion>(fromColors, colors, nullptr);
  }
  if (!conversion) {
    double values[5] = {0, 0, 0, 0, 0};
    for (int c = 0; c < colors; ++c) values[c] = color.components[std::size_t(c)];
    values[colors] = alpha;
    workingColor(format, values, colors + 1, out);
    return;
  }
  float in[5], scratch[5], converted[5];
  for (int c = 0; c < fromColors; ++c) in[c] = float(color.components[std::size_t(c)] * alpha);
  in[fromColors] = float(alpha);
  conversion->convertRow(in, converted, 1, scratch);
  for (int c = 0; c <= colors; ++c) out[c] = converted[c];
}

void opaqueBlack(const PixelFormat& format, float* out) {
  // K = 1 in CMYK, zero colour elsewhere.
  const int colors = workingColors(format);
  for (int c = 0; c < colors; ++c) out[c] = (colors == 4 && c == 3) ? 1.0f : 0.0f;
  out[colors] = 1.0f;
}

void workingColor(const PixelFormat& format, const double* components, int count, float* out) {
  int colors = workingColors(format);
  double alpha = 1.0;
  if (colors == 0) {
    if (count > 0) alpha = components[count - 1];
  } else if (count > colors) {
    alpha = components[colors];
  }
  for (int c = 0; c < colors; ++c) out[c] = float((c < count ? components[c] : 0.0) * alpha);
  out[colors] = float(alpha);
}

bool BitmapContext::supports(const PixelFormat& format, const ColorSpace* space) {
  // Alpha-only masks carry no colour; a gray space is accepted (and dropped)
  // since the gray-with-alpha draws make their alpha pass that way.
  if (format.alpha == AlphaInfo::Only)
    return format.bitsPerComponent == 8 && (!space || space->model() == ColorModel::Gray);
  if (!space) return false;
  ColorModel model = space->model();
  if (model != ColorModel::Gray && model != ColorModel::RGB && model != ColorModel::CMYK) return false;
  if (space->components() != format.colorComponents) return false;
  if (format.bitsPerComponent == 5)
    return model == ColorModel::RGB && format.alpha == AlphaInfo::NoneSkipFirst;
  if (format.bitsPerComponent != 8 && format.bitsPerComponent != 16 && format.bitsPerComponent != 32)
    return false;
  if (model != ColorModel::RGB) return format.alpha == AlphaInfo::None;
  return true;
}

std::unique_ptr<BitmapContext> BitmapContext::create(std::int64_t width, std::int64_t height,
                                                     PixelFormat format, ColorSpaceRef space) {
  if (!supports(format, space.get()) || !sizeAllowed(width, height, format)) {
    foundation::log("raster: refused bitmap context {}x{} ({} bits, {} components, alpha {})", width, height,
                    format.bitsPerComponent, format.colorComponents, int(format.alpha));
    return nullptr;
  }
  std::size_t bytesPerRow = std::size_t(width) * std::size_t(format.bytesPerPixel());
  PixelStorage storage = newPixelStorage(bytesPerRow * std::size_t(height));
  if (!storage) {
    foundation::log("raster: no memory for a {}x{} bitmap context", width, height);
    return nullptr;
  }
  auto context = std::unique_ptr<BitmapContext>(new BitmapContext());
  context->width_ = width;
  context->height_ = height;
  context->format_ = format;
  context->space_ = format.alpha == AlphaInfo::Only ? nullptr : std::move(space);
  context->bytesPerRow_ = bytesPerRow;
  context->pixels_ = storage->data();
  context->storage_ = std::move(storage);
  context->states_.push_back(std::make_unique<ContextState>());
  setDefaultColors(*context->states_.back(), format);
  return context;
}

std::unique_ptr<BitmapContext> BitmapContext::createWithData(void* data, std::int64_t width,
                                                             std::int64_t height, std::size_t bytesPerRow,
                                                             PixelFormat format, ColorSpaceRef space) {
  if (!data || !supports(format, space.get()) || !sizeAllowed(width, height, format) ||
      bytesPerRow < std::size_t(width) * std::size_t(format.bytesPerPixel())) {
    foundation::log("raster: refused bitmap context over a buffer, {}x{}", width, height);
    return nullptr;
  }
  auto context = std::unique_ptr<BitmapContext>(new BitmapContext());
  context->width_ = width;
  context->height_ = height;
  context->format_ = format;
  context->space_ = format.alpha == AlphaInfo::Only ? nullptr : std::move(space);
  context->bytesPerRow_ = bytesPerRow;
  context->pixels_ = static_cast<std::uint8_t*>(data);
  context->states_.push_back(std::make_unique<ContextState>());
  setDefaultColors(*context->states_.back(), format);
  return context;
}

BitmapContext::~BitmapContext() = default;

std::uint8_t* BitmapContext::mutableData() {
  ContextAccess::detach(*this);
  return pixels_;
}

bool BitmapContext::prepareConcurrentDraws() {
  const ContextState& state = *states_.back();
  if (state.shadow.active || !layers_.empty() || !state.ctm.isIdentity()) return false;
  ContextAccess::detach(*this);
  return true;
}

void ContextAccess::detach(BitmapContext& c) {
  if (c.storage_ && c.storage_.use_count() > 1) {
    PixelStorage copy = newPixelStorage(c.storage_->size(), c.storage_->data());
    if (!copy) throw std::bad_alloc();
    c.storage_ = std::move(copy);
    c.pixels_ = c.storage_->data();
  }
}

ImageRef BitmapContext::makeImage() const {
  if (storage_) {
    std::shared_ptr<const void> keepAlive = storage_;
    return Image::wrap(width_, height_, format_, space_, std::move(keepAlive), pixels_, bytesPerRow_);
  }
  std::size_t packed = std::size_t(width_) * std::size_t(format_.bytesPerPixel());
  std::vector<std::uint8_t> copy(packed * std::size_t(height_));
  for (std::int64_t y = 0; y < height_; ++y)
    std::copy_n(pixels_ + std::size_t(y) * bytesPerRow_, packed, copy.data() + std::size_t(y) * packed);
  return Image::make(width_, height_, format_, space_, std::move(copy), packed);
}

Surface ContextAccess::target(BitmapContext& c) {
  if (ContextLayer* layer = topLayer(c)) return layer->surface;
  detach(c);
  return Surface{c.pixels_, c.bytesPerRow_, c.format_, c.width_, c.height_};
}

AffineTransform ContextAccess::userToDevice(const BitmapContext& c) {
  return yUpToTopDown(double(c.height_)).concat(state(c).ctm);
}

PixelBounds ContextAccess::clipBounds(const BitmapContext& c) {
  PixelBounds all{0, 0, c.width_, c.height_};
  const CoverageMaskRef& clip = state(c).clip;
  return clip ? all.intersection(clip->bounds) : all;
}

// Graphics state.

void BitmapContext::saveGState() {
  states_.push_back(std::make_unique<ContextState>(*states_.back()));
}

void BitmapContext::restoreGState() {
  std::size_t floor = layers_.empty() ? 1 : layers_.back()->stackDepthAtBegin;
  if (states_.size() > floor) states_.pop_back();
}

const AffineTransform& BitmapContext::ctm() const {
  return states_.back()->ctm;
}
void BitmapContext::concatCTM(const AffineTransform& t) {
  states_.back()->ctm = states_.back()->ctm.concat(t);
}
void BitmapContext::translate(double x, double y) {
  concatCTM(AffineTransform::translation(x, y));
}
void BitmapContext::scale(double sx, double sy) {
  concatCTM(AffineTransform::scaling(sx, sy));
}
void BitmapContext::rotate(double radians) {
  concatCTM(AffineTransform::rotation(radians));
}

void BitmapContext::clipToRect(const Rect& rect) {
  Path path;
  path.addRect(rect);
  clipToPath(path);
}

void BitmapContext::clipToRoundedRect(const Rect& rect, double radiusX, double radiusY) {
  Path path;
  path.addRoundedRect(rect, radiusX, radiusY);
  clipToPath(path);
}

void BitmapContext::clipToPath(const Path& path, FillRule rule) {
  ContextState& state = *states_.back();
  CoverageMaskRef mask =
      rasterizePath(path, ContextAccess::userToDevice(*this), ContextAccess::clipBounds(*this), rule, nullptr,
                    state.antialias, state.flatness);
  state.clip = state.clip ? intersectMasks(*state.clip, *mask) : mask;
}

Rect BitmapContext::clipBoundingBox() const {
  PixelBounds b = ContextAccess::clipBounds(*this);
  Rect topDown(double(b.x0), double(b.y0), double(b.width()), double(b.height()));
  auto deviceToUser = ContextAccess::userToDevice(*this).inverted();
  return deviceToUser ? deviceToUser->applyToRect(topDown) : Rect();
}

void BitmapContext::setAlpha(double alpha) {
  states_.back()->alpha = float(std::clamp(alpha, 0.0, 1.0));
}
void BitmapContext::setBlendMode(BlendMode mode) {
  states_.back()->blend = mode;
}
BlendMode BitmapContext::blendMode() const {
  return states_.back()->blend;
}
void BitmapContext::setInterpolationQuality(InterpolationQuality q) {
  states_.back()->interpolation = q;
}
InterpolationQuality BitmapContext::interpolationQuality() const {
  return states_.back()->interpolation;
}
void BitmapContext::setShouldAntialias(bool antialias) {
  states_.back()->antialias = antialias;
}
void BitmapContext::setFlatness(double flatness) {
  if (flatness > 0 && std::isfinite(flatness)) states_.back()->flatness = flatness;
}

void BitmapContext::setFillColor(const double* components, int count) {
  if (components && count > 0) workingColor(format_, components, count, states_.back()->fill);
}
void BitmapContext::setStrokeColor(const double* components, int count) {
  if (components && count > 0) workingColor(format_, components, count, states_.back()->stroke);
}
void BitmapContext::setFillColor(const Color& color) {
  convertColorForContext(*this, color, states_.back()->fill);
}
void BitmapContext::setStrokeColor(const Color& color) {
  convertColorForContext(*this, color, states_.back()->stroke);
}

void BitmapContext::setLineWidth(double width) {
  if (width >= 0 && std::isfinite(width)) states_.back()->strokeStyle.width = width;
}
void BitmapContext::setLineCap(LineCap cap) {
  states_.back()->strokeStyle.cap = cap;
}
void BitmapContext::setLineJoin(LineJoin join) {
  states_.back()->strokeStyle.join = join;
}
void BitmapContext::setMiterLimit(double limit) {
  if (limit > 0 && std::isfinite(limit)) states_.back()->strokeStyle.miterLimit = limit;
}

void BitmapContext::setShadow(Size offset, double blur) {
  setShadow(offset, blur, Color::black(1.0 / 3.0));
}

void BitmapContext::setShadow(Size offset, double blur, const Color& color) {
  ShadowState& shadow = states_.back()->shadow;
  shadow.offset = offset;
  shadow.blur = std::isfinite(blur) ? std::max(0.0, blur) : 0.0;
  convertColorForContext(*this, color, shadow.color);
  shadow.active = shadow.color[workingColors(format_)] > 0.0f;
}

void BitmapContext::clearShadow() {
  states_.back()->shadow = ShadowState{};
}

}  // namespace raster
