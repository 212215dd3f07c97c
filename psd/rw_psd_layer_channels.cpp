// Channel image data of an ordinary layer: every channel is document-sized,
// PackBits-coded row by row; rows above and below the image and the margins
// left and right of it hold the fill value. Rows are encoded in parallel
// blocks and joined in order.

#include <algorithm>
#include <atomic>

#include "platform/foundation/log.h"
#include "platform/foundation/parallel.h"
#include "psd/rw_psd_layer.h"
#include "psd/rw_psd_packed_bits.h"

namespace velumar {

namespace {

constexpr std::int64_t kRowsPerBlock = 64;
constexpr std::size_t kMaxRowBytes = 0xFFFF;  // a row's byte count is a 16-bit field

}  // namespace

std::optional<std::vector<RWByteBuffer>> RWPSDLayer::layerChannels() {
  const std::int64_t DW = documentWidth(), DH = documentHeight();
  const std::int64_t channelCount = numberOfChannels_;
  const std::uint8_t fill = channelCount < 4 ? 255 : 0;
  const PixelRegion region = pixelRegion();
  const std::vector<std::uint8_t>* visible = nullptr;
  if (region.width > 0 && region.height > 0) {
    visible = visibleImageData();
    if (!visible) return std::nullopt;
  }

  // Shared packets: a row of fill samples, and the fill margins left and
  // right of the image.
  const std::vector<std::uint8_t> fillRow(std::size_t(std::max<std::int64_t>(DW, 0)), fill);
  std::vector<std::uint8_t> emptyRow, leftMargin, rightMargin;
  rwPackedBitsForRange(fillRow.data(), fillRow.size(), 0, fillRow.size(), 1, emptyRow);
  const std::int64_t leftColumns = region.documentX;
  const std::int64_t rightColumns = DW - region.documentX - region.width;
  if (visible && leftColumns > 0)
    rwPackedBitsForRange(fillRow.data(), fillRow.size(), 0, std::size_t(leftColumns), 1, leftMargin);
  if (visible && rightColumns > 0)
    rwPackedBitsForRange(fillRow.data(), fillRow.size(), 0, std::size_t(rightColumns), 1, rightMargin);

  const std::size_t stride = std::size_t(region.width) * 4;
  const std::int64_t blocksPerChannel = (DH + kRowsPerBlock - 1) / kRowsPerBlock;
  std::vector<RWByteBuffer> blocks(std::size_t(blocksPerChannel * channelCount));
  std::vector<std::uint16_t> rowCounts(std::size_t(DH * channelCount));
  std::atomic<bool> rowTooLong{false};

  foundation::parallelForRange(0, blocksPerChannel * channelCount, [&](std::int64_t begin, std::int64_t end) {
    for (std::int64_t task = begin; task < end; ++task) {
      const std::int64_t channel = task / blocksPerChannel;
      const std::int64_t firstRow = (task % blocksPerChannel) * kRowsPerBlock;
      const std::int64_t lastRow = std::min(DH, firstRow + kRowsPerBlock);
      RWByteBuffer& out = blocks[std::size_t(task)];
      for (std::int64_t row = firstRow; row < lastRow; ++row) {
        const std::size_t before = out.size();
        if (visible && row >= region.documentY && row < region.documentY + region.height) {
          out.insert(out.end(), leftMargin.begin(), leftMargin.end());
          const std::size_t location = stride * std::size_t(row - region.documentY) + std::size_t(channel);
          rwPackedBitsForRange(visible->data(), visible->size(), location, stride, 4, out);
          out.insert(out.end(), rightMargin.begin(), rightMargin.end());
        } else {
          out.insert(out.end(), emptyRow.begin(), emptyRow.end());
        }
        const std::size_t count = out.size() - before;
        if (count > kMaxRowBytes) rowTooLong = true;
        rowCounts[std::size_t(channel * DH + row)] = std::uint16_t(count);
      }
    }
  });
  if (rowTooLong) {
    foundation::log("psd writer: a row of layer '{}' does not fit its 16-bit byte count", name_);
    return std::nullopt;
  }

  auto channels = std::vector<RWByteBuffer>(std::size_t(channelCount));
  for (std::int64_t channel = 0; channel < channelCount; ++channel) {
    RWByteBuffer& item = channels[std::size_t(channel)];
    std::size_t dataBytes = 0;
    for (std::int64_t b = 0; b < blocksPerChannel; ++b)
      dataBytes += blocks[std::size_t(channel * blocksPerChannel + b)].size();
    item.reserve(2 + 2 * std::size_t(DH) + dataBytes);
    rwAppendValue(item, 1, 2);  // PackBits
    for (std::int64_t row = 0; row < DH; ++row)
      rwAppendValue(item, rowCounts[std::size_t(channel * DH + row)], 2);
    for (std::int64_t b = 0; b < blocksPerChannel; ++b) {
      RWByteBuffer& block = blocks[std::size_t(channel * blocksPerChannel + b)];
      item.insert(item.end(), block.begin(), block.end());
      RWByteBuffer().swap(block);
    }
  }
  return channels;
}

}  // namespace velumar
