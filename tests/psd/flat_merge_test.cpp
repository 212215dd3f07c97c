// PSDs read as one flat picture through the image codecs: layers merged in
// place of a placeholder composite within bounded memory, a cancel between
// layers or while passing over rows above the canvas, and 32-bit documents
// read as linear light.

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "allocation_cap.h"
#include "platform/foundation/failure_cause.h"
#include "platform/imageio/decode_cancel.h"
#include "platform/imageio/image_source.h"
#include "platform/imageio/pixel_convert.h"
#include "platform/imageio/psd_channel_rows.h"
#include "platform/imageio/psd_flat_format.h"
#include "platform/imageio/psd_flat_layers.h"
#include "platform/raster/color_conversion.h"
#include "reader_psd_builder.h"
#include "support/deflated_zeros.h"
#include "session/conversion_window.h"
#include "support/test_support.h"

using namespace psdtest;

namespace {

static_assert(imageio::psd::kMergeWorkingBytes <= velumar::ConversionWindowOptions{}.memoryBudget / 4,
              "the merge's working buffers stay well within the batch's decode budget");

// The version-info resource: whether the stored composite is the real one.
Resource versionInfo(bool realMerged) {
  return Resource{1057, {0, 0, 0, 1, std::uint8_t(realMerged ? 1 : 0), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}};
}

Bytes floatPlane(const std::vector<float>& values) {
  Bytes out;
  for (float v : values) {
    std::uint32_t bits;
    std::memcpy(&bits, &v, 4);
    put32(out, bits);
  }
  return out;
}

raster::ImageRef decode(const testsupport::TempDir& dir, const Bytes& bytes) {
  const std::string path = dir.file("in.psd");
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  foundation::clearFailure();
  const auto source = imageio::ImageSource::open(path);
  return source ? source->createImage(0) : nullptr;
}

// Overwrites the stored length of the first layer's channel `channel`.
void claimChannelLength(Bytes& bytes, int channel, std::uint32_t length) {
  const auto info = imageio::psd::parseFlat(bytes.data(), bytes.size());
  ASSERT_TRUE(info);
  const std::size_t at = info->layerSectionOffset + 4 + 2 + 16 + 2 + std::size_t(channel) * 6 + 2;
  for (int i = 0; i < 4; ++i) bytes[at + std::size_t(i)] = std::uint8_t(length >> (24 - 8 * i));
}

// Takes bytes off the stored length of the layer info (the channel data
// stay where they are).
void shortenLayerInfo(Bytes& bytes, std::uint32_t by) {
  const auto info = imageio::psd::parseFlat(bytes.data(), bytes.size());
  ASSERT_TRUE(info);
  const std::size_t at = info->layerSectionOffset;
  const std::uint32_t length = std::uint32_t(bytes[at]) << 24 | std::uint32_t(bytes[at + 1]) << 16 |
                               std::uint32_t(bytes[at + 2]) << 8 | bytes[at + 3];
  for (int i = 0; i < 4; ++i) bytes[at + std::size_t(i)] = std::uint8_t((length - by) >> (24 - 8 * i));
}

Document placeholderDocument(std::uint32_t width, std::uint32_t height, std::uint16_t depth, std::uint16_t mode) {
  Document d;
  d.width = width;
  d.height = height;
  d.depth = depth;
  d.mode = mode;
  d.channels = mode == 4 ? 4 : mode == 1 ? 1 : 3;
  d.resources.push_back(versionInfo(false));
  d.compositeData = Bytes{0, 0};
  return d;
}

}  // namespace

// Layers that claim more than the file holds or than the canvas shows are
// refused, or merged, without buffers sized by the claim.
TEST(PsdFlatMerge, HostileLayersStayWithinBoundedMemory) {
  struct Case {
    const char* name;
    std::uint16_t depth, mode;
    std::uint32_t canvasWidth, canvasHeight;
    Layer layer;
    std::uint32_t claimedChannelLength;  // 0: as stored
    bool decodes;
    std::uint32_t layerInfoShortenedBy = 0;
  };
  // 300,000 x 1,666 pixels over a 1 x 1 canvas, channels claiming a
  // megabyte each in a file of a few hundred bytes.
  Layer claiming;
  claiming.right = 300000;
  claiming.bottom = 1666;
  for (std::int16_t id : {-1, 0, 1, 2, 3}) claiming.channels.push_back(rawChannel(id, {}));
  // 20,000 x 2,000 pixels of compressed zeros, of which a 4 x 4 canvas
  // shows the top-left corner.
  Layer overhanging;
  overhanging.right = 20000;
  overhanging.bottom = 2000;
  for (std::int16_t id : {0, 1, 2})
    overhanging.channels.push_back(zipChannel(id, Bytes(std::size_t(20000) * 2000, 0), 20000, 2000, false));
  // A raw channel one byte short of its plane.
  Layer shortRaw = solidLayer("short", 0, 0, 4, 4, 9, 8, 7, 255, 0);
  shortRaw.channels[2].bytes.pop_back();
  // Four rows above a 4 x 4 canvas; the first channel's first run-length
  // row claims 28 bytes where its 8 rows hold 16, so that its visible rows
  // would be read from the next channel's rows.
  Layer overclaimingRow = solidLayer("rows", 0, -4, 4, 8, 9, 8, 7, 255, 1);
  overclaimingRow.channels[0].bytes[3] = 28;
  const Case cases[] = {
      {"raw channel shorter than its plane", 8, 3, 4, 4, shortRaw, 0, false},
      {"channel lengths past the layer info", 8, 3, 4, 4, solidLayer("past", 0, 0, 4, 4, 9, 8, 7, 255), 0,
       false, 4},
      {"run-length rows past the channel, skipped rows", 8, 3, 4, 4, overclaimingRow, 0, false},
      {"claims past the file, 8-bit RGB", 8, 3, 1, 1, claiming, 1u << 20, false},
      {"claims past the file, 32-bit CMYK", 32, 4, 1, 1, claiming, 1u << 24, false},
      {"large canvas, one small layer", 8, 3, 3000, 3000, solidLayer("small", 10, 10, 2, 2, 9, 8, 7, 255), 0,
       true},
      {"layer far beyond a small canvas", 8, 3, 4, 4, overhanging, 0, true},
  };
  testsupport::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Document d = placeholderDocument(c.canvasWidth, c.canvasHeight, c.depth, c.mode);
    d.layers = {c.layer};
    Bytes bytes = build(d);
    if (c.claimedChannelLength) claimChannelLength(bytes, 1, c.claimedChannelLength);
    if (c.layerInfoShortenedBy) shortenLayerInfo(bytes, c.layerInfoShortenedBy);
    // The decoded picture itself, and a little more.
    const std::size_t picture = std::size_t(c.canvasWidth) * c.canvasHeight * 5 * (c.depth / 8);
    raster::ImageRef image;
    {
      AllocationCap cap(picture + (std::size_t(4) << 20));
      image = decode(dir, bytes);
    }
    EXPECT_EQ(bool(image), c.decodes);
    if (!c.decodes) {
      EXPECT_EQ(foundation::lastFailure().cause, foundation::FailureCause::SourceDamaged);
      // The bytes alone in a buffer of their exact size: refused without a
      // read past its end.
      const auto info = imageio::psd::parseFlat(bytes.data(), bytes.size());
      ASSERT_TRUE(info);
      const auto exact = std::make_unique<std::uint8_t[]>(bytes.size());
      std::memcpy(exact.get(), bytes.data(), bytes.size());
      const int samples = info->colorComponents + 1;
      std::vector<std::uint8_t> out(std::size_t(c.canvasWidth) * c.canvasHeight * std::size_t(samples) *
                                    (c.depth / 8));
      EXPECT_FALSE(imageio::psd::mergeLayers(exact.get(), bytes.size(), *info, 1 << 20, out.data(),
                                             out.size() / c.canvasHeight, samples));
    }
  }
}


// A cancel reaches the merge between layers, and while it inflates the
// rows of a ZIP layer far above the canvas to pass over them: no picture,
// the cause says so, and the same file decodes afterwards without the flag
// (a cancelled decode does not leave it known as damaged).
TEST(PsdFlatMerge, CancelStopsTheMergeAndLeavesTheFileReadable) {
  Document between = placeholderDocument(16, 16, 8, 3);
  for (int i = 0; i < 3; ++i) between.layers.push_back(solidLayer("layer", i, i, 8, 8, 200, 100, 50, 255));
  // Gray, 4096 x 60,016, all but the last 16 rows above the canvas:
  // passing over them inflates about 250 MB.
  Document skipping = placeholderDocument(16, 16, 8, 1);
  Layer far;
  far.top = -60000;
  far.bottom = 16;
  far.right = 4096;
  far.channels.push_back(encodedChannel(0, 2, testsupport::deflatedZeros(std::uint64_t(4096) * 60016)));
  skipping.layers.push_back(far);
  struct Case {
    const char* name;
    const Document& document;
    int raiseAfterMs;  // -1: raised before the decode
  };
  const Case cases[] = {{"between layers", between, -1}, {"during a skip through ZIP rows", skipping, 5}};
  testsupport::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.file(std::string(c.name) + ".psd");
    const Bytes bytes = build(c.document);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    double cancelledSeconds = 0;
    {
      std::atomic<bool> flag{c.raiseAfterMs < 0};
      const imageio::DecodeCancelScope scope(&flag);
      std::thread raiser([&] {
        if (c.raiseAfterMs < 0) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(c.raiseAfterMs));
        flag = true;
      });
      foundation::clearFailure();
      const auto start = std::chrono::steady_clock::now();
      const auto source = imageio::ImageSource::open(path);
      EXPECT_FALSE(source && source->createImage(0));
      cancelledSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      raiser.join();
      EXPECT_EQ(foundation::lastFailure().cause, foundation::FailureCause::Cancelled);
    }
    foundation::clearFailure();
    const auto start = std::chrono::steady_clock::now();
    const auto source = imageio::ImageSource::open(path);
    EXPECT_TRUE(source && source->createImage(0));
    const double wholeSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(foundation::lastFailure().cause, foundation::FailureCause::None);
    // The skip stops at the cancel rather than run to its end.
    if (c.raiseAfterMs >= 0) {
      EXPECT_LT(cancelledSeconds, wholeSeconds / 2);
    }
  }
}

// Rows above the canvas in a ZIP channel must be inflated to be passed
// over; a cancel stops that too.
TEST(PsdFlatMerge, CancelStopsASkipThroughZipRows) {
  const Channel zip = zipChannel(0, Bytes(std::size_t(512) * 4096, 0), 512, 4096, false);
  for (const bool cancelled : {false, true}) {
    SCOPED_TRACE(cancelled);
    const std::atomic<bool> flag{cancelled};
    imageio::psd::ChannelRows rows;
    ASSERT_TRUE(rows.open(zip.bytes.data(), zip.bytes.size(), 512, 4096, 8, false));
    EXPECT_EQ(rows.skip(4095, &flag), !cancelled);
    EXPECT_EQ(rows.cancelled(), cancelled);
  }
}

// 32-bit documents hold linear light: known linear values, stored as the
// composite or as a layer, come out as their sRGB encoding when drawn into
// 8-bit sRGB (or gray on the sRGB curve). Saturated colours show that an
// untagged file has the sRGB primaries.
TEST(PsdFlatMerge, ThirtyTwoBitDocumentsAreLinearLight) {
  const std::vector<std::array<float, 3>> linear = {
      {0.0f, 0.0f, 0.0f}, {0.01f, 0.01f, 0.01f}, {0.05f, 0.05f, 0.05f}, {0.18f, 0.18f, 0.18f},
      {0.5f, 0.5f, 0.5f}, {0.8f, 0.8f, 0.8f},    {1.0f, 1.0f, 1.0f},    {1.0f, 0.0f, 0.0f},
      {0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 1.0f},    {1.0f, 1.0f, 0.0f},    {0.05f, 0.5f, 1.0f}};
  auto plane = [&](int k) {
    std::vector<float> values;
    for (const auto& pixel : linear) values.push_back(pixel[std::size_t(k)]);
    return floatPlane(values);
  };
  const std::int64_t width = std::int64_t(linear.size());
  auto encoded = [](float v) {
    const double e = v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(double(v), 1 / 2.4) - 0.055;
    return int(std::lround(e * 255));
  };
  struct Case {
    const char* name;
    std::uint16_t mode;
    bool layers;
    bool srgbProfile;
  };
  const Case cases[] = {{"RGB composite", 3, false, false},
                        {"RGB composite, sRGB profile", 3, false, true},
                        {"RGB layer", 3, true, false},
                        {"gray composite", 1, false, false}};
  testsupport::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int colors = c.mode == 1 ? 1 : 3;
    Document d;
    d.width = std::uint32_t(width);
    d.height = 1;
    d.depth = 32;
    d.mode = c.mode;
    d.channels = std::uint16_t(colors);
    if (c.srgbProfile) d.resources.push_back(Resource{1039, raster::ColorSpace::sRGB()->profile()->data()});
    if (c.layers) {
      d.resources.push_back(versionInfo(false));
      Layer layer;
      layer.right = std::int32_t(width);
      layer.bottom = 1;
      layer.channels.push_back(rawChannel(-1, floatPlane(std::vector<float>(linear.size(), 1.0f))));
      for (std::int16_t id = 0; id < colors; ++id) layer.channels.push_back(rawChannel(id, plane(id)));
      d.layers.push_back(layer);
      d.compositeData = Bytes{0, 0};
    } else {
      Bytes composite{0, 0};
      for (int p = 0; p < colors; ++p) {
        const Bytes values = plane(p);
        composite.insert(composite.end(), values.begin(), values.end());
      }
      d.compositeData = composite;
    }
    const raster::ImageRef image = decode(dir, build(d));
    ASSERT_TRUE(image);
    ASSERT_EQ(image->format().bitsPerComponent, 32);
    // A 32-bit picture keeps the linear values.
    std::vector<float> row(std::size_t(width) * std::size_t(colors + 1));
    imageio::exportRow(*image, 0, imageio::RowRequest{32, true}, reinterpret_cast<std::uint8_t*>(row.data()));
    for (std::size_t x = 0; x < linear.size(); ++x)
      for (int k = 0; k < colors; ++k)
        EXPECT_FLOAT_EQ(row[x * std::size_t(colors + 1) + std::size_t(k)], linear[x][std::size_t(k)]);
    // Drawn into 8-bit sRGB (gray on the sRGB curve): the encoded values.
    const raster::ColorSpaceRef target = colors == 1 ? raster::ColorSpace::untaggedGray() : raster::ColorSpace::sRGB();
    const auto conversion = raster::ColorConversion::between(image->colorSpace().get(), target.get());
    ASSERT_TRUE(conversion);
    std::vector<float> out(row.size()), scratch(row.size());
    conversion->convertRow(row.data(), out.data(), width, scratch.data());
    for (std::size_t x = 0; x < linear.size(); ++x)
      for (int k = 0; k < colors; ++k)
        EXPECT_NEAR(std::lround(out[x * std::size_t(colors + 1) + std::size_t(k)] * 255),
                    encoded(linear[x][std::size_t(k)]), 1)
            << "pixel " << x;
  }
}
