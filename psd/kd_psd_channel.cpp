// Channel image data of a layer record or of the composite: decoding each
// plane (raw, run-length, ZIP with or without prediction) and composing the
// planes into the layer's RGBA bitmap, rows in parallel.
#include <fmt/format.h>

#include <algorithm>
#include <atomic>
#include <cstring>

#include "platform/foundation/log.h"
#include "platform/foundation/parallel.h"
#include "psd/kd_psd.h"
#include "psd/kd_psd_byte_order.h"
#include "psd/kd_psd_layer.h"
#include "psd/kd_psd_packbits.h"
#include "psd/kd_psd_stream.h"
#include "psd/kd_psd_zip.h"

namespace velumar {
namespace {

enum Compression : std::uint16_t { kRaw = 0, kRunLength = 1, kZip = 2, kZipPrediction = 3 };

// No real encoder packs more than this many decoded bytes into one stored
// byte (deflate's limit is about 1032); a channel that claims more is absurd.
constexpr std::uint64_t kMaxExpansion = 1100;
constexpr std::uint64_t kExpansionAllowance = 1 << 16;
constexpr std::int64_t kRunLengthRowGrain = 64;

bool planeFitsItsData(std::uint64_t planeBytes, std::uint64_t storedLength) {
  return planeBytes <= storedLength * kMaxExpansion + kExpansionAllowance;
}

// Reads the zlib data that fills the rest of the stream into plane.
void readZipPlane(KDPSDStream& stream, bool prediction, std::int64_t rows, std::int64_t columns,
                  std::uint8_t* plane) {
  const std::uint64_t available =
      std::uint64_t(std::max<std::int64_t>(0, stream.limit() - stream.location()));
  const std::uint8_t* data = stream.peek(available);
  const std::size_t planeBytes = std::size_t(rows) * std::size_t(columns);
  const std::size_t produced = inflateZipData(data, available, plane, planeBytes);
  if (produced < planeBytes) foundation::log("PSD ZIP channel short by {} bytes", planeBytes - produced);
  if (prediction) undoRowDelta(plane, std::size_t(rows), std::size_t(columns));
  stream.skipLength(available);
}

}  // namespace

void decodeRunLengthPlane(KDPSDStream& stream, const std::uint16_t* rowLengths, std::int64_t rows,
                          std::int64_t columns, std::uint8_t* plane) {
  // Row offsets are known from the lengths, so rows unpack in parallel.
  std::vector<std::uint64_t> offsets(static_cast<std::size_t>(rows) + 1, 0);
  for (std::int64_t y = 0; y < rows; ++y)
    offsets[std::size_t(y) + 1] = offsets[std::size_t(y)] + rowLengths[y];
  const std::uint64_t total = offsets.back();
  const std::uint8_t* packed = stream.peek(total);
  std::atomic<std::size_t> wrongLength{0};
  foundation::parallelForRange(
      0, rows,
      [&](std::int64_t begin, std::int64_t end) {
        std::size_t wrong = 0;
        for (std::int64_t y = begin; y < end; ++y) {
          const std::size_t produced =
              unpackBitsRow(packed + offsets[std::size_t(y)], rowLengths[y],
                            plane + std::size_t(y) * std::size_t(columns), std::size_t(columns));
          if (produced != std::size_t(columns)) ++wrong;
        }
        wrongLength += wrong;
      },
      kRunLengthRowGrain);
  stream.skipLength(total);
  if (wrongLength) foundation::log("PSD run-length data: {} rows of the wrong length", wrongLength.load());
}

bool KDPSDLayer::readPlane(KDPSDStream& channel, std::int64_t columns, std::int64_t rows,
                           std::vector<std::uint8_t>& plane, KDPSDError* error) {
  const std::uint64_t storedLength = std::uint64_t(channel.limit() - channel.location());
  if (storedLength < 2) return false;
  const std::uint16_t compression = channel.readInt16();
  if (storedLength == 2) return false;  // no pixels stored
  if (compression > kZipPrediction) {
    foundation::log("_layerName: '{}'", layerName.value_or(""));
    foundation::log("_channels: {}", channels());
    foundation::log("_channelLens: {}", storedLength);
    const std::string text =
        fmt::format("{}:{} Bad encoding ({}) at offset {}",
                    "-[KDPSDLayer readPlaneFromStream:lineLengths:needReadPlaneInfo:planeNum:error:]", 859,
                    compression, channel.location());
    foundation::log("{}", text);
    if (error) *error = KDPSDError{kKDPSDErrorDomain, 3, text};
    return false;
  }
  const std::uint64_t planeBytes = std::uint64_t(rows) * std::uint64_t(columns);
  if (!planeFitsItsData(planeBytes, storedLength)) {
    foundation::log("PSD channel of {} bytes cannot hold a {} x {} plane", storedLength, columns, rows);
    return false;
  }
  plane.assign(std::size_t(planeBytes), 0);
  try {
    switch (compression) {
      case kRaw:
        channel.read(plane.data(), planeBytes);
        break;
      case kRunLength: {
        std::vector<std::uint16_t> rowLengths(static_cast<std::size_t>(rows));
        for (auto& length : rowLengths) length = channel.readInt16();
        decodeRunLengthPlane(channel, rowLengths.data(), rows, columns, plane.data());
        break;
      }
      default:
        readZipPlane(channel, compression == kZipPrediction, rows, columns, plane.data());
        break;
    }
  } catch (const KDPSDBufferOverrun&) {
    foundation::log("PSD channel of layer '{}' cut short", layerName.value_or(""));
    plane.clear();
    return false;
  }
  return true;
}

bool KDPSDLayer::readImageDataFromStream(KDPSDStream& stream, const std::vector<std::uint16_t>*, bool,
                                         KDPSDError* error) {
  const std::uint64_t pixelCount = std::uint64_t(std::max(width, 0)) * std::uint64_t(std::max(height, 0));
  bool decodePixels = pixelCount > 0;
  if (decodePixels && psd && !psd->reserveDecodedBytes(pixelCount * 4)) {
    foundation::log("PSD layer '{}' of {} x {} exceeds the byte budget", layerName.value_or(""), width,
                    height);
    decodePixels = false;
  }
  const std::uint64_t maskPixels = std::uint64_t(maskWidth) * std::uint64_t(maskHeight);

  std::vector<std::uint8_t> red, green, blue, alpha, maskPlane;
  bool haveRed = false, haveGreen = false, haveBlue = false, haveAlpha = false, haveMask = false;

  for (const KDPSDChannelInfo& info : channelInfo) {
    const std::int64_t start = stream.location();
    // The whole channel must lie inside the file; a cut file ends the read.
    stream.peek(info.length);
    KDPSDStream channel = stream.subStream(info.length);
    std::vector<std::uint8_t> plane;
    switch (info.id) {
      case kChannelIdMask:
        if (maskPixels > 0 && (!psd || psd->reserveDecodedBytes(maskPixels))) {
          haveMask = readPlane(channel, maskWidth, maskHeight, maskPlane, error);
        }
        break;
      case kChannelIdAlpha:
        if (decodePixels) haveAlpha = readPlane(channel, width, height, alpha, error) || haveAlpha;
        break;
      case 0:
        if (decodePixels && readPlane(channel, width, height, plane, error)) red.swap(plane), haveRed = true;
        break;
      case 1:
        if (decodePixels && readPlane(channel, width, height, plane, error))
          green.swap(plane), haveGreen = true;
        break;
      case 2:
        if (decodePixels && readPlane(channel, width, height, plane, error))
          blue.swap(plane), haveBlue = true;
        break;
      default:
        break;
    }
    // Continue after the channel's stated length, whatever was decoded.
    stream.seek(start + std::int64_t(info.length));
  }

  if (decodePixels) {
    std::vector<std::uint8_t>* planes[4] = {haveRed ? &red : nullptr, haveGreen ? &green : nullptr,
                                            haveBlue ? &blue : nullptr, haveAlpha ? &alpha : nullptr};
    composeBitmap(planes);
  }
  if (haveMask) {
    KDPSDBitmap bitmap;
    bitmap.width = maskWidth;
    bitmap.height = maskHeight;
    bitmap.channels = 1;
    bitmap.pixels = std::move(maskPlane);
    mask = std::move(bitmap);
  }
  return true;
}

bool KDPSDLayer::readCompositeImageData(KDPSDStream& stream, KDPSDError* error) {
  const std::uint16_t compression = stream.readInt16();
  const std::int64_t rows = height;
  const std::int64_t columns = width;
  const std::size_t planeBytes = std::size_t(rows) * std::size_t(columns);
  const std::size_t count = channelInfo.size();
  if (planeBytes == 0) return true;
  if (psd && !psd->reserveDecodedBytes(std::uint64_t(planeBytes) * 4)) {
    foundation::log("PSD composite of {} x {} exceeds the byte budget", columns, rows);
    return false;
  }

  std::vector<std::vector<std::uint8_t>> planes(std::min<std::size_t>(count, 4));
  if (compression == kRunLength) {
    stream.peek(std::uint64_t(count) * std::uint64_t(rows) * 2);  // the table must be in the file
    std::vector<std::uint16_t> rowLengths(count * std::size_t(rows));
    for (auto& length : rowLengths) length = stream.readInt16();
    for (std::size_t c = 0; c < count; ++c) {
      const std::uint16_t* lengths = rowLengths.data() + c * std::size_t(rows);
      if (c >= planes.size()) {
        for (std::int64_t y = 0; y < rows; ++y) stream.skipLength(lengths[y]);
        continue;
      }
      planes[c].assign(planeBytes, 0);
      decodeRunLengthPlane(stream, lengths, rows, columns, planes[c].data());
    }
  } else if (compression == kRaw) {
    for (std::size_t c = 0; c < count; ++c) {
      if (c >= planes.size()) {
        stream.skipLength(planeBytes);
        continue;
      }
      planes[c].assign(planeBytes, 0);
      stream.read(planes[c].data(), planeBytes);
    }
  } else if (compression == kZip || compression == kZipPrediction) {
    // One zlib stream holds every plane of the composite.
    const std::uint64_t available =
        std::uint64_t(std::max<std::int64_t>(0, stream.limit() - stream.location()));
    if (!planeFitsItsData(std::uint64_t(planeBytes) * count, available)) return false;
    std::vector<std::uint8_t> all(planeBytes * count, 0);
    inflateZipData(stream.peek(available), available, all.data(), all.size());
    stream.skipLength(available);
    for (std::size_t c = 0; c < planes.size(); ++c) {
      planes[c].assign(all.begin() + std::ptrdiff_t(c * planeBytes),
                       all.begin() + std::ptrdiff_t((c + 1) * planeBytes));
      if (compression == kZipPrediction)
        undoRowDelta(planes[c].data(), std::size_t(rows), std::size_t(columns));
    }
  } else {
    const std::string text =
        fmt::format("PSD composite: Bad encoding ({}) at offset {}", compression, stream.location());
    foundation::log("{}", text);
    if (error) *error = KDPSDError{kKDPSDErrorDomain, 3, text};
    return false;
  }

  std::vector<std::uint8_t>* slots[4] = {nullptr, nullptr, nullptr, nullptr};
  for (std::size_t c = 0; c < planes.size(); ++c) {
    const std::int16_t id = channelIdForRow(c);
    const int slot = id == kChannelIdAlpha ? 3 : id;
    if (slot >= 0 && slot < 4) slots[slot] = &planes[c];
  }
  composeBitmap(slots);
  return true;
}

void KDPSDLayer::composeBitmap(std::vector<std::uint8_t>* planes[4]) {
  KDPSDBitmap bitmap;
  bitmap.width = width;
  bitmap.height = height;
  bitmap.channels = 4;
  bitmap.pixels.resize(std::size_t(width) * std::size_t(height) * 4);
  const std::size_t columns = std::size_t(width);
  const std::uint8_t* sources[4];
  for (int c = 0; c < 4; ++c) sources[c] = planes[c] ? planes[c]->data() : nullptr;
  std::uint8_t* out = bitmap.pixels.data();
  // Each row writes its own part of the bitmap; the planes are only read.
  foundation::parallelFor(0, height, [&](std::int64_t y) {
    const std::size_t offset = std::size_t(y) * columns;
    std::uint8_t* dst = out + offset * 4;
    for (int c = 0; c < 4; ++c) {
      const std::uint8_t* src = sources[c] ? sources[c] + offset : nullptr;
      const std::uint8_t fill = c == 3 ? 255 : 0;  // missing alpha is opaque, missing colour black
      if (src) {
        for (std::size_t x = 0; x < columns; ++x) dst[x * 4 + std::size_t(c)] = src[x];
      } else {
        for (std::size_t x = 0; x < columns; ++x) dst[x * 4 + std::size_t(c)] = fill;
      }
    }
  });
  image = std::move(bitmap);
}

}  // namespace velumar
