// Text drawing of BitmapContext: pango lays the text out and cairo renders
// its coverage into a mask, which is blended with the text colour.

#include <cairo.h>
#include <pango/pangocairo.h>

#include <cmath>
#include <cstring>
#include <memory>

#include "platform/raster/context_internals.h"
#include "platform/raster/pixel_layout.h"

namespace raster {

namespace {

struct LayoutDeleter {
  void operator()(PangoLayout* layout) const { g_object_unref(layout); }
};
using LayoutPtr = std::unique_ptr<PangoLayout, LayoutDeleter>;

void configureFontOptions(cairo_t* cr, bool antialias) {
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_antialias(options, antialias ? CAIRO_ANTIALIAS_GRAY : CAIRO_ANTIALIAS_NONE);
  cairo_set_font_options(cr, options);
  cairo_font_options_destroy(options);
}

// A layout of the text for cr, sized in user units (1 point = 1 unit).
LayoutPtr makeLayout(cairo_t* cr, const AttributedText& text) {
  LayoutPtr layout(pango_cairo_create_layout(cr));
  const TextAttributes& a = text.attributes;
  PangoFontDescription* font = pango_font_description_new();
  pango_font_description_set_family(font, a.fontFamily.empty() ? "Sans" : a.fontFamily.c_str());
  double size = std::isfinite(a.pointSize) ? std::clamp(a.pointSize, 0.01, 100000.0) : 12.0;
  pango_font_description_set_absolute_size(font, size * PANGO_SCALE);
  pango_font_description_set_weight(font, a.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
  pango_font_description_set_style(font, a.italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
  pango_layout_set_font_description(layout.get(), font);
  pango_font_description_free(font);
  PangoAttrList* attributes = pango_attr_list_new();
  if (a.underline) pango_attr_list_insert(attributes, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
  if (a.strikethrough) pango_attr_list_insert(attributes, pango_attr_strikethrough_new(TRUE));
  pango_layout_set_attributes(layout.get(), attributes);
  pango_attr_list_unref(attributes);
  pango_layout_set_text(layout.get(), text.text.c_str(), int(text.text.size()));
  return layout;
}

Size logicalSize(PangoLayout* layout) {
  PangoRectangle logical;
  pango_layout_get_extents(layout, nullptr, &logical);
  return {double(logical.width) / PANGO_SCALE, double(logical.height) / PANGO_SCALE};
}

}  // namespace

Size BitmapContext::measureText(const AttributedText& text) {
  if (text.text.empty()) return {0, 0};
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
  cairo_t* cr = cairo_create(surface);
  configureFontOptions(cr, true);
  LayoutPtr layout = makeLayout(cr, text);
  Size size = logicalSize(layout.get());
  layout.reset();
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
  return size;
}

void BitmapContext::drawText(const AttributedText& text, Point point) {
  if (text.text.empty()) return;
  ContextState& state = *states_.back();
  PixelBounds limit = ContextAccess::clipBounds(*this);
  if (limit.isEmpty()) return;
  const Size size = measureText(text);
  const double slant = std::isfinite(text.attributes.obliqueness) ? text.attributes.obliqueness : 0.0;
  // Generous user-space box: ink may overhang the logical box.
  const double margin = size.height * (0.5 + std::abs(slant));
  const Rect box(point.x - margin, point.y - margin, size.width + 2 * margin, size.height + 2 * margin);
  const AffineTransform userToDevice = ContextAccess::userToDevice(*this);
  if (!userToDevice.isFinite() || !std::isfinite(point.x) || !std::isfinite(point.y)) return;
  Rect deviceBox = userToDevice.applyToRect(box);
  PixelBounds bounds{std::int64_t(std::floor(std::max(deviceBox.minX(), -1e9))),
                     std::int64_t(std::floor(std::max(deviceBox.minY(), -1e9))),
                     std::int64_t(std::ceil(std::min(deviceBox.maxX(), 1e9))),
                     std::int64_t(std::ceil(std::min(deviceBox.maxY(), 1e9)))};
  bounds = bounds.intersection(limit);
  if (bounds.isEmpty() || bounds.width() > 32767 || bounds.height() > 32767) return;

  const int w = int(bounds.width()), h = int(bounds.height());
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_A8, w, h);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    return;
  }
  cairo_t* cr = cairo_create(surface);
  configureFontOptions(cr, state.antialias);
  LayoutPtr layout = makeLayout(cr, text);
  const double baseline = double(pango_layout_get_baseline(layout.get())) / PANGO_SCALE;
  // Layout space (y down from the top of the box) → user space → device.
  const AffineTransform layoutToUser =
      AffineTransform::translation(point.x, point.y + size.height).concat(AffineTransform::scaling(1, -1));
  const AffineTransform slanted{1, 0, -slant, 1, slant * baseline, 0};
  const AffineTransform m = AffineTransform::translation(-double(bounds.x0), -double(bounds.y0))
                                .concat(userToDevice)
                                .concat(layoutToUser)
                                .concat(slanted);
  cairo_matrix_t matrix;
  cairo_matrix_init(&matrix, m.a, m.b, m.c, m.d, m.tx, m.ty);
  cairo_set_matrix(cr, &matrix);
  pango_cairo_update_layout(cr, layout.get());
  cairo_set_source_rgba(cr, 0, 0, 0, 1);
  pango_cairo_show_layout(cr, layout.get());
  layout.reset();
  cairo_destroy(cr);
  cairo_surface_flush(surface);

  CoverageMask mask;
  mask.bounds = bounds;
  mask.coverage.resize(std::size_t(w) * std::size_t(h));
  const unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  for (int y = 0; y < h; ++y)
    std::memcpy(mask.coverage.data() + std::size_t(y) * w, data + std::size_t(y) * stride, w);
  cairo_surface_destroy(surface);

  float color[5] = {0, 0, 0, 0, 1};
  if (text.attributes.color) {
    convertColorForContext(*this, *text.attributes.color, color);
  } else {
    opaqueBlack(format_, color);
  }
  const ShadowState saved = state.shadow;
  if (const auto& shadow = text.attributes.shadow) {
    state.shadow.offset = shadow->offset;
    state.shadow.blur = std::max(0.0, shadow->blurRadius);
    convertColorForContext(*this, shadow->color, state.shadow.color);
    state.shadow.active = state.shadow.color[workingColors(format_)] > 0.0f;
  }
  ContextAccess::drawCoverage(*this, &mask, mask.bounds, color, nullptr);
  states_.back()->shadow = saved;
}

}  // namespace raster
