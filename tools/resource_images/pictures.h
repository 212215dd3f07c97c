#pragma once
// The vector pictures: the application icon and the status-item glyph.

#include "tools/resource_images/vector_art.h"

namespace resourceimages {

// Two photo cards, the second recoloured, with an arrow from one to the
// other, on a rounded blue tile.
Picture applicationIcon();
// A one-colour card-and-arrow glyph on a transparent ground: dark for light
// panels, light for dark panels.
Picture statusGlyph(bool forDarkPanel);

}  // namespace resourceimages
