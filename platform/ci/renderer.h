#pragma once
// Pull rendering of a graph: the requested region is cut into tiles that
// render in parallel. For each tile the regions of interest travel from the
// output to the sources first, so that every node renders exactly the
// union of what its consumers need, once, and its pixels are dropped as
// soon as its last consumer has read them.

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "platform/ci/image.h"

namespace ci {

class RenderPlan {
 public:
  explicit RenderPlan(const ImageRef& root);
  // Renders one region of the root into out (resized to the region).
  void renderTile(const PixelRegion& tile, TileBuffer& out) const;
  // Renders tile, a part of region, into topDownPixels: region's rows, its
  // highest first, floatsPerRow apart.
  void renderTileInto(const PixelRegion& tile, const PixelRegion& region, float* topDownPixels,
                      std::size_t floatsPerRow) const;
  std::size_t nodeCount() const { return nodes_.size(); }
  // Lets every node prepare itself, inputs first (see Image::prepare).
  void prepare() const;

 private:
  void visit(const Image* node, std::unordered_map<const Image*, std::size_t>& index,
             std::vector<const Image*>& postOrder);
  std::vector<const Image*> nodes_;               // consumers before their inputs; root first
  std::vector<std::vector<std::size_t>> inputs_;  // input positions per node
  std::vector<int> consumers_;                    // consumer edges per node
};

inline constexpr std::int64_t kDefaultTileSize = 128;

// region cut into tiles tileSize on a side (smaller at its right and top
// edges), counted row by row from its lower-left corner.
std::int64_t tileCount(const PixelRegion& region, std::int64_t tileSize);
PixelRegion tileOf(const PixelRegion& region, std::int64_t tileSize, std::int64_t index);

// Renders region of image into premultiplied float RGBA rows stored
// top-down (the first row is the region's highest), floatsPerRow apart.
// A tileSize of 0 uses the process-wide tile size (see setTileSizeForTesting).
void renderRegion(const ImageRef& image, const PixelRegion& region, float* topDownPixels,
                  std::size_t floatsPerRow, std::int64_t tileSize = 0);

// The tile size of every render that names none: kDefaultTileSize unless a
// test set another (0 puts the default back). Tests render with tiny and
// with huge tiles to show that no filter depends on the tiling.
void setTileSizeForTesting(std::int64_t tileSize);
std::int64_t currentTileSize();

}  // namespace ci
