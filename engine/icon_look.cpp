#include "engine/icon_look.h"

#include <algorithm>

namespace velumar::icon_look {

namespace {

constexpr double kIconUnits = 1024;
constexpr double kShadowInset = 10;
constexpr double kShadowOffsetX = 1.1;
constexpr double kShadowOffsetY = -3.1;
constexpr double kShadowBlur = 10;
constexpr double kFlatness = 0.6;

struct Units {
  double x, y;
};

Units unitsOf(raster::Rect rect, double dpiFactor) {
  return {rect.size.width * dpiFactor / kIconUnits, rect.size.height * dpiFactor / kIconUnits};
}

}  // namespace

raster::Rect contentRect(raster::Rect rect, double dpiFactor, bool shadow) {
  if (!shadow) return rect;
  const Units k = unitsOf(rect, dpiFactor);
  const double dx = kShadowInset * k.x, dy = kShadowInset * k.y;
  return raster::Rect(rect.origin.x + dx, rect.origin.y + dy, rect.size.width - 2 * dx,
                      rect.size.height - 2 * dy);
}

void clipToShape(raster::BitmapContext& context, raster::Rect rect, double dpiFactor, bool rounded,
                 bool shadow) {
  const raster::Rect content = contentRect(rect, dpiFactor, shadow);
  if (rounded) {
    context.setFlatness(kFlatness);
    context.clipToRoundedRect(content, rect.size.width / 4, rect.size.height / 4);
  } else {
    context.clipToRect(content);
  }
}

Scope::Scope(raster::BitmapContext& context, raster::Rect rect, double dpiFactor, bool rounded, bool shadow)
    : context_(context), active_(rounded || shadow), layer_(shadow) {
  if (!active_) return;
  context_.saveGState();
  context_.clearRect(raster::Rect(0, 0, double(context_.width()), double(context_.height())));
  if (shadow) {
    const Units k = unitsOf(rect, dpiFactor);
    context_.setBlendMode(raster::BlendMode::Normal);
    context_.setShadow({kShadowOffsetX * k.x, kShadowOffsetY * k.y}, kShadowBlur * std::min(k.x, k.y),
                       raster::Color::black(1.0));
    context_.beginTransparencyLayer();
  }
  clipToShape(context_, rect, dpiFactor, rounded, shadow);
}

Scope::~Scope() {
  if (!active_) return;
  if (layer_) context_.endTransparencyLayer();
  context_.restoreGState();
}

void drawImage(raster::BitmapContext& context, const raster::ImageRef& image, raster::Rect rect,
               double dpiFactor, bool rounded, bool shadow) {
  if (!image) return;
  Scope look(context, rect, dpiFactor, rounded, shadow);
  context.drawImage(image, contentRect(rect, dpiFactor, shadow));
}

}  // namespace velumar::icon_look
