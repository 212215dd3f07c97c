#include "platform/ci/renderer.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "platform/foundation/parallel.h"
#include "platform/raster/row_order.h"

namespace ci {

RenderPlan::RenderPlan(const ImageRef& root) {
  if (!root) return;
  std::unordered_map<const Image*, std::size_t> postIndex;
  std::vector<const Image*> postOrder;
  visit(root.get(), postIndex, postOrder);
  // Reversed post-order: every consumer comes before its inputs.
  nodes_.assign(postOrder.rbegin(), postOrder.rend());
  std::unordered_map<const Image*, std::size_t> position;
  for (std::size_t i = 0; i < nodes_.size(); ++i) position[nodes_[i]] = i;
  inputs_.resize(nodes_.size());
  consumers_.assign(nodes_.size(), 0);
  for (std::size_t i = 0; i < nodes_.size(); ++i) {
    for (const ImageRef& input : nodes_[i]->inputs()) {
      std::size_t j = position.at(input.get());
      inputs_[i].push_back(j);
      ++consumers_[j];
    }
  }
}

void RenderPlan::visit(const Image* node, std::unordered_map<const Image*, std::size_t>& index,
                       std::vector<const Image*>& postOrder) {
  if (index.contains(node)) return;
  index[node] = SIZE_MAX;  // in progress; graphs of immutable nodes have no cycles
  for (const ImageRef& input : node->inputs()) visit(input.get(), index, postOrder);
  index[node] = postOrder.size();
  postOrder.push_back(node);
}

namespace {

// Node buffers of one tile render, reused by the next tile on the same
// thread. A stack of them serves renders nested on one thread (a node that
// renders a graph of its own, or a tile task picked up while waiting).
constexpr std::size_t kReusableFloats = std::size_t(4) << 20;  // 16 MB

struct TileScratch {
  std::vector<TileBuffer> buffers;
  TileBuffer output;  // renderTileInto's tile
};

class ScratchLease {
 public:
  ScratchLease() {
    if (stack().size() <= depth()) stack().push_back(std::make_unique<TileScratch>());
    scratch_ = stack()[depth()++].get();
  }
  ~ScratchLease() { --depth(); }
  ScratchLease(const ScratchLease&) = delete;
  ScratchLease& operator=(const ScratchLease&) = delete;
  TileScratch& operator*() const { return *scratch_; }

 private:
  static std::vector<std::unique_ptr<TileScratch>>& stack() {
    thread_local std::vector<std::unique_ptr<TileScratch>> scratches;
    return scratches;
  }
  static std::size_t& depth() {
    thread_local std::size_t d = 0;
    return d;
  }
  TileScratch* scratch_;
};

}  // namespace

void RenderPlan::prepare() const {
  for (std::size_t i = nodes_.size(); i-- > 0;) nodes_[i]->prepare();
}

void RenderPlan::renderTile(const PixelRegion& tile, TileBuffer& out) const {
  const std::size_t n = nodes_.size();
  if (n == 0 || tile.isEmpty()) {
    out.reset(tile);
    return;
  }
  std::vector<PixelRegion> regions(n);
  regions[0] = tile;
  std::vector<PixelRegion> asked;
  for (std::size_t i = 0; i < n; ++i) {
    if (regions[i].isEmpty() || inputs_[i].empty()) continue;
    nodes_[i]->inputRegions(regions[i], asked);
    for (std::size_t k = 0; k < inputs_[i].size() && k < asked.size(); ++k) {
      std::size_t j = inputs_[i][k];
      regions[j] = regions[j].unionWith(asked[k]);
    }
  }
  ScratchLease lease;
  std::vector<TileBuffer>& buffers = (*lease).buffers;
  if (buffers.size() < n) buffers.resize(n);
  std::vector<int> remaining = consumers_;
  std::vector<const TileBuffer*> inputs;
  for (std::size_t i = n; i-- > 0;) {
    TileBuffer& target = i == 0 ? out : buffers[i];
    if (nodes_[i]->writesWholeDomain() && nodes_[i]->domain().contains(regions[i])) {
      target.resetUninitialized(regions[i]);
    } else {
      target.reset(regions[i]);
    }
    if (!regions[i].isEmpty()) {
      inputs.clear();
      for (std::size_t j : inputs_[i]) inputs.push_back(&buffers[j]);
      nodes_[i]->render(inputs, target);
    }
    for (std::size_t j : inputs_[i]) {
      if (--remaining[j] == 0) buffers[j].release(buffers[j].capacityInFloats() <= kReusableFloats);
    }
  }
}

void RenderPlan::renderTileInto(const PixelRegion& tile, const PixelRegion& region, float* topDownPixels,
                                std::size_t floatsPerRow) const {
  ScratchLease lease;
  TileBuffer& buffer = (*lease).output;
  renderTile(tile, buffer);
  for (std::int64_t y = tile.y; y < tile.maxY(); ++y) {
    const std::int64_t topDown = raster::topDownRow(y - region.y, region.height);
    std::memcpy(topDownPixels + std::size_t(topDown) * floatsPerRow + std::size_t(tile.x - region.x) * 4,
                buffer.row(y), std::size_t(tile.width) * 4 * sizeof(float));
  }
  buffer.release(buffer.capacityInFloats() <= kReusableFloats);
}

std::int64_t tileCount(const PixelRegion& region, std::int64_t tileSize) {
  if (region.isEmpty()) return 0;
  return ((region.width + tileSize - 1) / tileSize) * ((region.height + tileSize - 1) / tileSize);
}

PixelRegion tileOf(const PixelRegion& region, std::int64_t tileSize, std::int64_t index) {
  const std::int64_t columns = (region.width + tileSize - 1) / tileSize;
  PixelRegion tile{region.x + index % columns * tileSize, region.y + index / columns * tileSize, 0, 0};
  tile.width = std::min(tileSize, region.maxX() - tile.x);
  tile.height = std::min(tileSize, region.maxY() - tile.y);
  return tile;
}

namespace {
std::atomic<std::int64_t> testTileSize{0};
}  // namespace

void setTileSizeForTesting(std::int64_t tileSize) { testTileSize = std::max<std::int64_t>(0, tileSize); }

std::int64_t currentTileSize() {
  const std::int64_t size = testTileSize.load(std::memory_order_relaxed);
  return size > 0 ? size : kDefaultTileSize;
}

void renderRegion(const ImageRef& image, const PixelRegion& region, float* topDownPixels,
                  std::size_t floatsPerRow, std::int64_t tileSize) {
  if (tileSize <= 0) tileSize = currentTileSize();
  if (region.isEmpty() || !topDownPixels) return;
  const std::size_t rowBytes = std::size_t(region.width) * 4 * sizeof(float);
  if (!image) {
    for (std::int64_t r = 0; r < region.height; ++r)
      std::memset(topDownPixels + std::size_t(r) * floatsPerRow, 0, rowBytes);
    return;
  }
  RenderPlan plan(image);
  plan.prepare();
  tileSize = std::max<std::int64_t>(16, tileSize);
  foundation::parallelFor(0, tileCount(region, tileSize), [&](std::int64_t t) {
    plan.renderTileInto(tileOf(region, tileSize, t), region, topDownPixels, floatsPerRow);
  });
}

}  // namespace ci
