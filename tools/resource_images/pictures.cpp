#include "tools/resource_images/pictures.h"

namespace resourceimages {
namespace {

// A photo card: paper border, sky, sun and two hills.
void addCard(Picture& picture, double x, double y, Rgba sky, Rgba sun, Rgba hill, Rgba farHill) {
  const double w = 0.42, h = 0.33, inset = 0.028;
  picture.push_back(roundedRect(x, y, w, h, 0.035, {247, 244, 236}));
  const double ix = x + inset, iy = y + inset, iw = w - 2 * inset, ih = h - 2 * inset;
  picture.push_back(roundedRect(ix, iy, iw, ih, 0.015, sky));
  picture.push_back(ellipse(ix + iw * 0.74, iy + ih * 0.3, iw * 0.1, iw * 0.1, sun));
  picture.push_back(polygon({ix, iy + ih, ix, iy + ih * 0.62, ix + iw * 0.35, iy + ih * 0.38, ix + iw * 0.7,
                             iy + ih * 0.7, ix + iw * 0.7, iy + ih},
                            farHill));
  picture.push_back(polygon(
      {ix + iw * 0.25, iy + ih, ix + iw * 0.62, iy + ih * 0.5, ix + iw, iy + ih * 0.78, ix + iw, iy + ih},
      hill));
}

}  // namespace

Picture applicationIcon() {
  Picture picture;
  picture.push_back(roundedRect(0.0625, 0.0625, 0.875, 0.875, 0.19, {38, 84, 130}));
  addCard(picture, 0.12, 0.16, {126, 178, 224}, {250, 205, 80}, {70, 150, 80}, {120, 170, 110});
  addCard(picture, 0.46, 0.51, {240, 150, 90}, {255, 240, 176}, {106, 70, 150}, {170, 100, 140});
  // Arrow from the first card down to the second.
  picture.push_back(polygon({0.2, 0.56, 0.27, 0.56, 0.27, 0.69, 0.34, 0.69, 0.34, 0.63, 0.44, 0.725, 0.34,
                             0.82, 0.34, 0.76, 0.2, 0.76},
                            {250, 205, 80}));
  return picture;
}

Picture statusGlyph(bool forDarkPanel) {
  const Rgba ink = forDarkPanel ? Rgba{240, 240, 240} : Rgba{32, 32, 32};
  Picture picture;
  // Card outline as four bars, so a single colour suffices.
  const double x = 0.08, y = 0.14, w = 0.62, h = 0.48, line = 0.085;
  picture.push_back(roundedRect(x, y, w, line, 0.02, ink));
  picture.push_back(roundedRect(x, y + h - line, w, line, 0.02, ink));
  picture.push_back(roundedRect(x, y, line, h, 0.02, ink));
  picture.push_back(roundedRect(x + w - line, y, line, h, 0.02, ink));
  picture.push_back(polygon({x + line, y + h - line, x + 0.26, y + 0.2, x + 0.42, y + h - line}, ink));
  picture.push_back(ellipse(x + 0.45, y + 0.17, 0.065, 0.065, ink));
  // Arrow to the lower right.
  picture.push_back(
      polygon({0.5, 0.7, 0.66, 0.7, 0.66, 0.6, 0.92, 0.77, 0.66, 0.94, 0.66, 0.84, 0.5, 0.84}, ink));
  return picture;
}

}  // namespace resourceimages
