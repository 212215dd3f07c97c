// A node that renders its finite input once and keeps the pixels, for
// inputs that many tiles read far around themselves (the reduced image of
// a wide blur): each tile then copies what it needs instead of rendering
// the input's whole neighbourhood again.

#include <mutex>
#include <new>

#include "platform/ci/image_nodes.h"
#include "platform/ci/renderer.h"
#include "platform/foundation/log.h"

namespace ci::nodes {

namespace {

// Larger inputs are not held (1 GiB of floats).
constexpr std::int64_t kMaximumCachedPixels = std::int64_t(1) << 26;

class CacheNode final : public Image {
 public:
  explicit CacheNode(const ImageRef& input) : Image(input->extent(), {}), source_(input) {}

  void prepare() const override {
    std::call_once(once_, [this] {
      const PixelRegion region = domain();
      try {
        pixels_.reset(region);
      } catch (const std::bad_alloc&) {
        foundation::log("ci: no memory to hold a {}x{} intermediate image", region.width, region.height);
        return;
      }
      std::vector<float> topDown(std::size_t(region.area()) * 4);
      renderRegion(source_, region, topDown.data(), pixels_.floatsPerRow());
      for (std::int64_t r = 0; r < region.height; ++r) {
        std::copy_n(topDown.data() + std::size_t(r) * pixels_.floatsPerRow(), pixels_.floatsPerRow(),
                    pixels_.row(region.maxY() - 1 - r));
      }
    });
  }

  void render(std::span<const TileBuffer* const>, TileBuffer& out) const override {
    prepare();
    copyOverlap(pixels_, out);
  }

 private:
  ImageRef source_;
  mutable std::once_flag once_;
  mutable TileBuffer pixels_;
};

}  // namespace

ImageRef cached(const ImageRef& input) {
  if (!input || isInfinite(input->extent())) return nullptr;
  const PixelRegion region = input->domain();
  if (region.isEmpty() || region.width > kMaximumCachedPixels / region.height) return nullptr;
  return std::make_shared<CacheNode>(input);
}

}  // namespace ci::nodes
