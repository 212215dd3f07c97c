#pragma once
// The preview window's geometry as pure functions, in the drawing code's
// y-up coordinates (origin at the lower left, points): where the picture is
// drawn, how large a loaded picture is kept, the crop frame, and the window
// frame that fits a picture.

#include <cstdint>
#include <optional>

#include "platform/raster/geometry.h"

namespace velumar {

// The largest picture the preview keeps (2048 × 1536).
inline constexpr double kPreviewPixelCap = 3145728;
// Files with a larger side (in points) are not shown.
inline constexpr double kLargestPreviewSide = 10000;

// The picture of imagePixels fitted into bounds (enlarged or reduced,
// proportions kept) and centred, its origin rounded to whole points; ratio
// receives the fitting scale. An empty picture or bounds give an empty
// rectangle and ratio 0.
raster::Rect drawingRectForImage(raster::Size bounds, raster::Size imagePixels, double backingScale,
                                 double* ratio = nullptr);

// The pixel size a picture is kept at: unchanged up to the cap, else scaled
// down to fit it, each side rounded down.
raster::Size cappedPreviewPixelSize(raster::Size pixels);

// Dots per inch of a representation: its pixels per point × 72; 72 when
// the width in points is not positive.
double representationDpi(double pixelsWide, double pointsWide);

// A pointer location as percent of the drawn picture, from its lower-left
// corner; values beyond 0..100 pass unchanged.
raster::Point cropPointForLocation(raster::Point location, const raster::Rect& drawingRect);

// The crop frame over the drawn picture R: the crop region (cropOriginalSize
// in the picture's pixels, shown at ratio) centred on the percent point,
// clipped to R; nothing when no part lies over R.
std::optional<raster::Rect> cropFrameRect(const raster::Rect& drawingRect, double ratio,
                                          raster::Point cropPointPercent, raster::Size cropOriginalSize,
                                          double backingScale);
// Line width scale of the crop overlay: 1 for a drawn picture of one million
// square points.
double cropLineScale(const raster::Rect& drawingRect);

struct WindowFitting {
  raster::Rect frame;          // the window's frame now
  raster::Rect visibleScreen;  // the screen area it must stay in
  raster::Size imageSize;      // the picture, in pixels
  raster::Size decoration;     // frame size minus content size
  raster::Size minimumSize;    // of the frame
  double backingScale = 1.0;
  bool fittedOnce = false;       // a picture already sized the window
  bool remainsSameSize = false;  // the user's preference
  bool zoomed = false;           // maximised
};

// The frame that fits the picture: at most 1600 × 1200 points of content
// on ordinary screens (1024 × 768 on double-density ones) plus a 6-point
// allowance a side, shrunk to the screen, at least the minimum size, centred
// where the window was and moved into the screen. Nothing when the window
// keeps its frame (zoomed, or already fitted and meant to stay).
std::optional<raster::Rect> fittedWindowFrame(const WindowFitting& fitting);

}  // namespace velumar
