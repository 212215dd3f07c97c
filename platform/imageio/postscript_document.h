#pragma once
// PostScript and EPS files: the bounding box from the file's comments (or
// from Ghostscript's bbox device when the comments have none), and pages
// rendered by Ghostscript run confined (see ghostscript.h), within the
// file's one time budget (see postscript_time_budget.h).

#include <cstdint>
#include <optional>
#include <string>

#include "platform/raster/image.h"

namespace imageio {

struct PostScriptBox {
  double x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // points
  double width() const { return x1 - x0; }
  double height() const { return y1 - y0; }
};

// %%HiResBoundingBox when present, else %%BoundingBox (also "(atend)" in the
// trailer, and inside DOS EPS binaries); nullopt when neither gives a
// non-empty box.
std::optional<PostScriptBox> boundingBoxFromComments(const std::string& path);

// The comments' box, else the box Ghostscript measures for the first page
// (measured once per file).
std::optional<PostScriptBox> postScriptBoundingBox(const std::string& path);

// The bounding box drawn into exactly width x height pixels, straight RGBA
// in sRGB, transparent where nothing is drawn. nullptr (logged) when
// Ghostscript fails, runs out of time or the size exceeds pixelLimit.
raster::ImageRef renderPostScript(const std::string& path, const PostScriptBox& box, std::int64_t width,
                                  std::int64_t height, std::int64_t pixelLimit);

}  // namespace imageio
