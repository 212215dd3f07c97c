#pragma once
// The look of application icons: corners rounded by a quarter of each side
// and a soft black drop shadow, measured for a 1024-pixel icon and scaled to
// the rectangle they are drawn in. Used by the icon writers' master draw and
// by the preview.

#include "platform/raster/bitmap_context.h"
#include "platform/raster/geometry.h"
#include "platform/raster/image.h"

namespace velumar::icon_look {

// Where the picture goes inside rect: rect itself, or with the shadow rect
// inset by 10 units per 1024 on every side (room for the shadow).
raster::Rect contentRect(raster::Rect rect, double dpiFactor, bool shadow);

// Clips context to the icon's shape on rect: the content rectangle, rounded
// with radii of a quarter of rect's width and height when rounded.
void clipToShape(raster::BitmapContext& context, raster::Rect rect, double dpiFactor, bool rounded,
                 bool shadow);

// Draws made between construction and destruction get the look: with either
// flag the context is cleared first and clipped to the shape; with the
// shadow they land in one transparency layer that casts one shadow (offset
// 1.1 right and 3.1 down, blur 10, per 1024 units). The graphics state is
// restored at the end.
class Scope {
 public:
  Scope(raster::BitmapContext& context, raster::Rect rect, double dpiFactor, bool rounded, bool shadow);
  ~Scope();
  Scope(const Scope&) = delete;
  Scope& operator=(const Scope&) = delete;

 private:
  raster::BitmapContext& context_;
  bool active_;
  bool layer_;
};

// image scaled into the content rectangle of rect, with the look.
void drawImage(raster::BitmapContext& context, const raster::ImageRef& image, raster::Rect rect,
               double dpiFactor, bool rounded, bool shadow);

}  // namespace velumar::icon_look
