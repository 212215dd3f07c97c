// Recycled context buffers: taken again at the same size, always cleared or
// copied in full, never shared with a live image, and safe to let go on any
// thread, before or after the recycler.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <thread>

#include "platform/raster/bitmap_context.h"
#include "platform/raster/pixel_buffer_recycler.h"

using namespace raster;

namespace {

std::unique_ptr<BitmapContext> rgba(std::int64_t side) {
  return BitmapContext::create(side, side, PixelFormat::rgba8(), ColorSpace::sRGB());
}

bool allBytes(const BitmapContext& context, std::uint8_t value) {
  const std::uint8_t* data = context.data();
  return std::all_of(data, data + context.bytesPerRow() * std::size_t(context.height()),
                     [value](std::uint8_t byte) { return byte == value; });
}

void paint(BitmapContext& context, std::uint8_t value) {
  std::fill_n(context.mutableData(), context.bytesPerRow() * std::size_t(context.height()), value);
}

}  // namespace

TEST(PixelBufferRecycler, NewContextsTakeKeptBuffersCleared) {
  struct Case {
    std::int64_t firstSide, secondSide;
    bool secondInUse;  // else made and let go once the Use has ended
    std::size_t keptBetween, keptAfter;
  };
  // 600 × 600 × 4 bytes is above the smallest kept buffer, 300 × 300 below.
  const Case cases[] = {
      {600, 600, true, 1, 0}, {600, 601, true, 1, 1}, {300, 300, true, 0, 0}, {600, 600, false, 1, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.firstSide << " then " << c.secondSide << " in use "
                                    << c.secondInUse);
    PixelBufferRecycler recycler;
    std::optional<PixelBufferRecycler::Use> use(std::in_place, recycler);
    auto first = rgba(c.firstSide);
    paint(*first, 0xAB);
    const std::uint8_t* firstData = first->data();
    first.reset();
    EXPECT_EQ(recycler.keptBuffers(), c.keptBetween);
    if (!c.secondInUse) use.reset();
    auto second = rgba(c.secondSide);
    EXPECT_EQ(recycler.keptBuffers(), c.keptAfter);
    if (c.keptBetween > c.keptAfter) {
      EXPECT_EQ(second->data(), firstData);
    }
    EXPECT_TRUE(allBytes(*second, 0));
    if (c.secondInUse) continue;
    second.reset();
    EXPECT_EQ(recycler.keptBuffers(), c.keptAfter);
  }
}

// A context drawing over pixels a snapshot shares copies them into a kept
// buffer: the copy is whole, and the snapshot keeps its own pixels.
TEST(PixelBufferRecycler, CopyBeforeDrawingIsWhole) {
  PixelBufferRecycler recycler;
  const PixelBufferRecycler::Use use(recycler);
  {
    // Two kept buffers of the size, dirty: one for the context, one for the copy.
    auto first = rgba(600), second = rgba(600);
    paint(*first, 0x11);
    paint(*second, 0x11);
  }
  ASSERT_EQ(recycler.keptBuffers(), 2u);
  auto context = rgba(600);
  paint(*context, 0x5C);
  const ImageRef snapshot = context->makeImage();
  context->mutableData()[0] = 1;  // detaches
  EXPECT_EQ(recycler.keptBuffers(), 0u);
  EXPECT_EQ(snapshot->data()[0], 0x5C);
  EXPECT_EQ(context->data()[0], 1);
  const std::size_t size = context->bytesPerRow() * 600;
  EXPECT_TRUE(std::equal(context->data() + 1, context->data() + size, snapshot->data() + 1));
}

// Images outliving the Use, the recycler or their thread give their
// buffers back or free them; the kept count stays within its bound.
TEST(PixelBufferRecycler, BuffersLetGoAnywhere) {
  ImageRef outlives;
  {
    PixelBufferRecycler recycler(2);
    std::vector<ImageRef> images;
    {
      const PixelBufferRecycler::Use use(recycler);
      for (int i = 0; i < 4; ++i) images.push_back(rgba(600)->makeImage());
      outlives = rgba(600)->makeImage();
    }
    std::thread([moved = std::move(images)]() mutable { moved.clear(); }).join();
    EXPECT_EQ(recycler.keptBuffers(), 2u);
    recycler.release();
    EXPECT_EQ(recycler.keptBuffers(), 0u);
  }
  outlives.reset();  // after its recycler: simply freed
}
