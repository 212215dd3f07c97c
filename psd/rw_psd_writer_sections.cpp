// RWPSDWriter: preparing and writing the file's five sections.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "platform/foundation/log.h"
#include "platform/foundation/parallel.h"
#include "psd/rw_psd_packed_bits.h"
#include "psd/rw_psd_writer.h"

namespace velumar {

namespace {

constexpr std::uint64_t kMax32 = std::numeric_limits<std::uint32_t>::max();
constexpr std::int64_t kMaxLayerCount = 32767;  // the count is a signed 16-bit field
constexpr std::int64_t kRowsPerBlock = 64;

void patchBigEndian32(RWByteBuffer& buffer, std::size_t position, std::uint64_t value) {
  for (int k = 0; k < 4; ++k) buffer[position + std::size_t(k)] = std::uint8_t(value >> (24 - 8 * k));
}

std::uint64_t fixed16_16(float value) {
  const double fixed = double(value) * 65536.0 + 0.5;
  if (!(fixed > 0)) return 0;
  return std::uint64_t(std::min(std::trunc(fixed), double(kMax32)));
}

// A document side as the header stores it: truncated, within 0..2^32-1.
std::uint64_t storedSide(double side) {
  return std::uint64_t(std::clamp(std::trunc(std::isnan(side) ? 0.0 : side), 0.0, double(kMax32)));
}

void appendResourceHeader(RWByteBuffer& buffer, std::uint64_t id, std::uint64_t length) {
  rwAppendUTF8String(buffer, "8BIM");
  rwAppendValue(buffer, id, 2);
  rwAppendValue(buffer, 0, 2);  // empty name, padded
  rwAppendValue(buffer, length, 4);
}

}  // namespace

void RWPSDWriter::preprocess() {
  flattenedData_.clear();
  if (flattenedContext_) {
    const std::size_t width = std::size_t(flattenedContext_->width());
    const std::size_t height = std::size_t(flattenedContext_->height());
    const std::size_t stride = flattenedContext_->bytesPerRow();
    const std::uint8_t* source = flattenedContext_->data();
    flattenedData_.resize(width * height * 4);
    // Premultiplied colour plus the uncovered part in white: colour matted
    // against white, as PSD composites with transparency store it.
    foundation::parallelForRange(
        0, std::int64_t(height),
        [&](std::int64_t begin, std::int64_t end) {
          for (std::int64_t y = begin; y < end; ++y) {
            const std::uint8_t* in = source + std::size_t(y) * stride;
            std::uint8_t* out = flattenedData_.data() + std::size_t(y) * width * 4;
            for (std::size_t x = 0; x < width * 4; x += 4) {
              const std::uint8_t alpha = in[x + 3];
              for (std::size_t c = 0; c < 3; ++c)
                out[x + c] = std::uint8_t(std::min<unsigned>(255, unsigned(in[x + c]) + 255u - alpha));
              out[x + 3] = alpha;
            }
          }
        },
        64);
  }
  for (const auto& layer : layers_) {
    if (layer->shouldFlipLayerData() || layer->shouldUnpremultiplyLayerData())
      layer->prepareVisibleImageData();
  }
  std::int64_t balance = 0;
  for (const auto& layer : layers_) {
    if (dynamic_cast<const RWPSDGroupClosingLayer*>(layer.get())) {
      --balance;
    } else if (dynamic_cast<const RWPSDGroupOpeningLayer*>(layer.get())) {
      ++balance;
    }
  }
  for (; balance > 0; --balance) closeCurrentGroupLayer();
  openGroupPath_.clear();
}

std::vector<std::uint8_t> RWPSDWriter::createPSDData() {
  return createPSDDataWithError(nullptr);
}

std::vector<std::uint8_t> RWPSDWriter::createPSDDataWithError(RWPSDError* error) {
  RWByteBuffer buffer;
  if (visibleLayers().empty()) {
    rwSetError(error, kRWPSDErrorNoVisibleLayers, "No visible layers in the document");
    return buffer;
  }
  const double width = std::trunc(documentSize_.width), height = std::trunc(documentSize_.height);
  if (!(width >= 1 && height >= 1)) {
    rwSetError(error, kRWPSDErrorNoVisibleLayers, "No visible layers in the document");
    return buffer;
  }
  if (width > double(kMaximumSide) || height > double(kMaximumSide)) {
    foundation::log("psd writer: refusing a {}x{} document, larger than a PSD file allows", width, height);
    rwSetError(error, kRWPSDErrorTooLarge, "The document is too large for a PSD file");
    return buffer;
  }
  preprocess();
  if (flattenedData_.size() != std::size_t(width) * std::size_t(height) * 4) {
    rwSetError(error, kRWPSDErrorNoPixelData, "The composite image could not be made");
    return buffer;
  }
  writeFileHeaderSectionOn(buffer);
  writeColorModeDataSectionOn(buffer);
  writeImageResourceSectionOn(buffer);
  if (!writeLayerAndMaskInformationSectionOn(buffer, error)) return RWByteBuffer{};
  writeImageDataSectionOn(buffer);
  return buffer;
}

void RWPSDWriter::writeFileHeaderSectionOn(RWByteBuffer& buffer) const {
  rwAppendUTF8String(buffer, "8BPS");
  rwAppendValue(buffer, 1, 2);  // version
  rwAppendValue(buffer, 0, 6);  // reserved
  rwAppendValue(buffer, std::uint64_t(numberOfChannels()), 2);
  rwAppendValue(buffer, storedSide(documentSize_.height), 4);
  rwAppendValue(buffer, storedSide(documentSize_.width), 4);
  rwAppendValue(buffer, 8, 2);  // bits per channel
  rwAppendValue(buffer, 3, 2);  // RGB
}

void RWPSDWriter::writeColorModeDataSectionOn(RWByteBuffer& buffer) const {
  rwAppendValue(buffer, 0, 4);
}

void RWPSDWriter::writeImageResourceSectionOn(RWByteBuffer& buffer) const {
  RWByteBuffer blocks;
  appendResourceHeader(blocks, 1005, 16);  // resolution
  rwAppendValue(blocks, fixed16_16(documentResolution_.hResolution), 4);
  rwAppendValue(blocks, std::uint64_t(std::uint16_t(documentResolutionUnit_)), 2);
  rwAppendValue(blocks, 1, 2);  // width unit
  rwAppendValue(blocks, fixed16_16(documentResolution_.vResolution), 4);
  rwAppendValue(blocks, std::uint64_t(std::uint16_t(documentResolutionUnit_)), 2);
  rwAppendValue(blocks, 1, 2);            // height unit
  appendResourceHeader(blocks, 1024, 2);  // layer state
  rwAppendValue(blocks, 0, 2);
  const std::vector<std::uint8_t> profile = iccProfileData();
  if (!profile.empty() && profile.size() <= kMax32) {
    appendResourceHeader(blocks, 1039, profile.size());
    blocks.insert(blocks.end(), profile.begin(), profile.end());
    if (profile.size() % 2) blocks.push_back(0);  // resource data is padded to even length
  }
  rwAppendValue(buffer, blocks.size(), 4);
  buffer.insert(buffer.end(), blocks.begin(), blocks.end());
}

bool RWPSDWriter::writeLayerAndMaskInformationSectionOn(RWByteBuffer& buffer, RWPSDError* error) {
  const std::vector<std::shared_ptr<RWPSDLayer>> visible = visibleLayers();
  const auto count = std::int64_t(visible.size());
  if (count > kMaxLayerCount) {
    foundation::log("psd writer: {} layers are more than a PSD file holds", count);
    rwSetError(error, kRWPSDErrorTooLarge, "The document is too large for a PSD file");
    return false;
  }
  // Every channel is built before the records, which carry their lengths.
  std::vector<std::vector<RWByteBuffer>> channels;
  channels.reserve(visible.size());
  for (const auto& layer : visible) {
    std::optional<std::vector<RWByteBuffer>> layerChannels = layer->layerChannels();
    if (!layerChannels) {
      foundation::log("psd writer: no pixel data for layer '{}'", layer->name());
      rwSetError(error, kRWPSDErrorNoPixelData, "The pixels of a layer could not be read");
      return false;
    }
    for (const RWByteBuffer& channel : *layerChannels) {
      if (channel.size() > kMax32) {
        rwSetError(error, kRWPSDErrorTooLarge, "The document is too large for a PSD file");
        return false;
      }
    }
    channels.push_back(std::move(*layerChannels));
  }

  // Room for this section and the composite after it, so the file is never
  // copied while it grows.
  std::uint64_t channelBytes = 0;
  for (const auto& layerChannels : channels)
    for (const RWByteBuffer& channel : layerChannels) channelBytes += channel.size();
  const std::uint64_t sideW = storedSide(documentSize_.width), sideH = storedSide(documentSize_.height);
  const std::uint64_t compositeBound =
      std::uint64_t(numberOfChannels()) * sideH * (sideW + sideW / 128 + 8) + 2;
  buffer.reserve(buffer.size() + 16 + channelBytes + visible.size() * 512 + compositeBound);

  const std::size_t sectionStart = buffer.size();
  rwAppendValue(buffer, 0, 4);  // section length, patched below
  rwAppendValue(buffer, 0, 4);  // layer-info length, patched below
  const std::size_t infoStart = buffer.size();
  // A negative count says the composite's fourth channel is its transparency.
  const std::int64_t storedCount = numberOfChannels() == 4 ? -count : count;
  rwAppendValue(buffer, std::uint64_t(std::uint16_t(std::int16_t(storedCount))), 2);
  for (std::size_t i = 0; i < visible.size(); ++i) visible[i]->writeLayerInformationOn(buffer, channels[i]);
  for (auto& layerChannels : channels) {
    RWPSDLayer::writeLayerChannelsOn(buffer, layerChannels);
    std::vector<RWByteBuffer>().swap(layerChannels);
  }
  if ((buffer.size() - infoStart) % 2) buffer.push_back(0);
  const std::uint64_t infoLength = buffer.size() - infoStart;
  if (infoLength + 4 > kMax32) {
    foundation::log("psd writer: layer data of {} bytes overflow the section's 32-bit length", infoLength);
    buffer.resize(sectionStart);
    rwSetError(error, kRWPSDErrorTooLarge, "The document is too large for a PSD file");
    return false;
  }
  patchBigEndian32(buffer, sectionStart, infoLength + 4);
  patchBigEndian32(buffer, sectionStart + 4, infoLength);
  return true;
}

void RWPSDWriter::writeImageDataSectionOn(RWByteBuffer& buffer) const {
  const auto width = std::int64_t(std::min<std::uint64_t>(storedSide(documentSize_.width), kMaximumSide));
  const auto height = std::int64_t(std::min<std::uint64_t>(storedSide(documentSize_.height), kMaximumSide));
  const std::int64_t channelCount = numberOfChannels();
  const std::size_t stride = std::size_t(width) * 4;
  rwAppendValue(buffer, 1, 2);  // PackBits
  if (flattenedData_.size() < stride * std::size_t(height)) return;

  const std::int64_t blocksPerChannel = (height + kRowsPerBlock - 1) / kRowsPerBlock;
  std::vector<RWByteBuffer> blocks(std::size_t(blocksPerChannel * channelCount));
  std::vector<std::uint16_t> rowCounts(std::size_t(height * channelCount));
  foundation::parallelForRange(0, blocksPerChannel * channelCount, [&](std::int64_t begin, std::int64_t end) {
    for (std::int64_t task = begin; task < end; ++task) {
      const std::int64_t channel = task / blocksPerChannel;
      const std::int64_t firstRow = (task % blocksPerChannel) * kRowsPerBlock;
      const std::int64_t lastRow = std::min(height, firstRow + kRowsPerBlock);
      RWByteBuffer& out = blocks[std::size_t(task)];
      for (std::int64_t row = firstRow; row < lastRow; ++row) {
        const std::size_t location = std::size_t(channel) + std::size_t(row) * stride;
        const std::size_t bytes =
            rwPackedBitsForRange(flattenedData_.data(), flattenedData_.size(), location, stride, 4, out);
        rowCounts[std::size_t(channel * height + row)] = std::uint16_t(bytes);
      }
    }
  });
  buffer.reserve(buffer.size() + rowCounts.size() * 2 + stride * std::size_t(height));
  for (std::uint16_t rowCount : rowCounts) rwAppendValue(buffer, rowCount, 2);
  for (const RWByteBuffer& block : blocks) buffer.insert(buffer.end(), block.begin(), block.end());
}

}  // namespace velumar
