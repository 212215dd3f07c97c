#include "psd/kd_psd_layer.h"

#include <fmt/format.h>

#include "platform/foundation/log.h"
#include "psd/kd_psd.h"
#include "psd/kd_psd_byte_order.h"
#include "psd/kd_psd_descriptor.h"
#include "psd/kd_psd_pascal_string.h"
#include "psd/kd_psd_stream.h"
#include "psd/kd_psd_text_encoding.h"

namespace velumar {
namespace {

constexpr std::uint32_t k8BIM = fourCharCode("8BIM");
constexpr std::uint32_t kMeSa = fourCharCode("MeSa");

// The format allows at most 30000 pixels a side; anything beyond is refused.
constexpr std::int64_t kMaxLayerSide = 30000;

bool isBlockSignature(std::uint32_t signature) {
  return signature == k8BIM || signature == kMeSa;
}

void reportBadSignature(std::uint32_t signature, int line, std::int64_t location, KDPSDError* error) {
  const std::string text =
      fmt::format("{}:{} invalid signature at loc {} {}", "-[KDPSDLayer readLayerInfo:error:]", line,
                  location, quotedFourCharCode(signature));
  foundation::log("{}", text);
  if (error) *error = KDPSDError{"8BIM", 1, text};
}

// Width or height from two edges, in 64 bits; out-of-range sizes count as 0.
std::int32_t extent(std::int32_t from, std::int32_t to) {
  const std::int64_t size = std::int64_t(to) - std::int64_t(from);
  if (size <= 0) return 0;
  if (size > kMaxLayerSide) {
    foundation::log("PSD layer side of {} pixels refused", size);
    return 0;
  }
  return std::int32_t(size);
}

// Where a block of stated length that starts at dataStart really ends. Odd
// lengths are normally padded to even; when the stated end is not followed
// by another block signature but the padded one is, the padded end wins.
std::int64_t additionalInfoBlockEnd(const KDPSDStream& stream, std::int64_t dataStart, std::uint32_t length,
                                    std::int64_t extraEnd) {
  const std::int64_t stated = dataStart + std::int64_t(length);
  if ((length & 1) == 0 || stated >= extraEnd) return stated;
  const auto signatureAt = [&](std::int64_t position) {
    KDPSDStream probe = stream;
    probe.seek(position);
    if (position + 4 > extraEnd || !probe.hasLengthToRead(4)) return false;
    return isBlockSignature(readBigEndian32(probe.peek(4)));
  };
  if (signatureAt(stated)) return stated;
  return stated + 1;
}

}  // namespace

KDPSDLayer::KDPSDLayer() : blendMode(fourCharCode("norm")) {}
KDPSDLayer::~KDPSDLayer() = default;

std::shared_ptr<KDPSDLayer> KDPSDLayer::baseLayer() {
  auto layer = std::make_shared<KDPSDLayer>();
  layer->isBase = true;
  layer->isGroup = true;
  layer->layerName = "<Internal Base Layer>";
  return layer;
}

std::shared_ptr<KDPSDLayer> KDPSDLayer::layerWithSize(double w, double h, KDPSD* psd) {
  auto layer = std::make_shared<KDPSDLayer>();
  layer->width = std::int32_t(w);
  layer->height = std::int32_t(h);
  layer->right = layer->width;
  layer->bottom = layer->height;
  layer->psd = psd;
  return layer;
}

std::int16_t KDPSDLayer::channelIdForRow(std::size_t slot) const {
  return slot < channelInfo.size() ? channelInfo[slot].id : 0;
}

void KDPSDLayer::setupChannelIdsForCompositeRead() {
  static constexpr std::int16_t ids[4] = {0, 1, 2, kChannelIdAlpha};
  for (std::size_t i = 0; i < channelInfo.size(); ++i) {
    // Channels beyond the fourth are read and dropped.
    channelInfo[i].id = i < 4 ? ids[i] : std::int16_t(100 + i);
  }
}

void KDPSDLayer::addLayerToGroup(std::shared_ptr<KDPSDLayer> layer) {
  layers.push_back(std::move(layer));
}

bool KDPSDLayer::readLayerInfo(KDPSDStream& stream, KDPSDError* error) {
  top = stream.readSInt32();
  left = stream.readSInt32();
  bottom = stream.readSInt32();
  right = stream.readSInt32();
  width = extent(left, right);
  height = extent(top, bottom);

  const std::uint16_t channelCount = stream.readInt16();
  channelInfo.clear();
  channelInfo.reserve(channelCount);
  for (std::uint16_t i = 0; i < channelCount; ++i) {
    KDPSDChannelInfo info;
    info.id = stream.readSInt16();
    info.length = stream.readInt32();
    channelInfo.push_back(info);
  }

  const std::uint32_t signature = stream.readInt32();
  if (!isBlockSignature(signature)) {
    reportBadSignature(signature, 482, stream.location(), error);
    return false;
  }
  blendMode = stream.readInt32();
  opacity = stream.readInt8();
  stream.readInt8();  // clipping
  const std::uint8_t flags = stream.readInt8();
  transparencyProtected = (flags & 0x01) != 0;
  visible = (flags & 0x02) == 0;
  stream.readInt8();  // filler

  const std::uint32_t extraLength = stream.readInt32();
  if (extraLength == 0) return true;
  const std::int64_t extraStart = stream.location();
  const std::int64_t extraEnd = extraStart + std::int64_t(extraLength);

  // Everything inside the extra data is read within its bounds; a failure
  // there costs this record's remaining extras, never the records after it.
  KDPSDStream extra = stream.subStream(extraLength);
  try {
    readMaskData(extra);
    const std::uint32_t blendingRangesLength = extra.readInt32();
    extra.skipLength(blendingRangesLength);

    const std::uint8_t nameLength = extra.readInt8();
    const std::size_t nameBytes = pascalStringBytesAfterLength(nameLength, 4);
    const std::uint8_t* name = extra.peek(nameBytes);
    layerName = legacyNameToUtf8(name, nameLength);
    extra.skipLength(nameBytes);

    if (!readAdditionalInfo(extra, extraEnd, error)) {
      foundation::log("PSD layer '{}': extra data unreadable, skipped", layerName.value_or(""));
    }
  } catch (const KDPSDBufferOverrun&) {
    foundation::log("PSD layer '{}': extra data cut short, skipped", layerName.value_or(""));
  }
  stream.seek(extraEnd);
  return true;
}

void KDPSDLayer::readMaskData(KDPSDStream& stream) {
  const std::uint32_t length = stream.readInt32();
  if (length == 0) return;
  const std::int64_t start = stream.location();
  if (length >= 16) {
    maskTop = stream.readSInt32();
    maskLeft = stream.readSInt32();
    maskBottom = stream.readSInt32();
    maskRight = stream.readSInt32();
    maskWidth = extent(maskLeft, maskRight);
    maskHeight = extent(maskTop, maskBottom);
  }
  // The default colour, the flags and whatever follows (real mask, mask
  // parameters, padding) are consumed by the stated length.
  stream.seek(start + std::int64_t(length));
}

bool KDPSDLayer::readAdditionalInfo(KDPSDStream& stream, std::int64_t extraEnd, KDPSDError* error) {
  while (stream.location() < extraEnd) {
    // Fewer than the 12 bytes of a block header left: padding.
    if (extraEnd - stream.location() < 12) break;
    const std::uint32_t signature = stream.readInt32();
    if (!isBlockSignature(signature)) {
      reportBadSignature(signature, 614, stream.location(), error);
      return false;
    }
    const std::uint32_t key = stream.readInt32();
    const std::uint32_t length = stream.readInt32();
    const std::int64_t dataStart = stream.location();
    const std::int64_t blockEnd = additionalInfoBlockEnd(stream, dataStart, length, extraEnd);
    KDPSDStream block = stream.subStream(length);
    if (!readAdditionalInfoBlock(block, key, error)) return false;
    stream.seek(blockEnd);
  }
  return true;
}

bool KDPSDLayer::readAdditionalInfoBlock(KDPSDStream& block, std::uint32_t key, KDPSDError* error) {
  switch (key) {
    case fourCharCode("lyid"):
      layerId = block.readInt32();
      return true;
    case fourCharCode("lsct"):
    case fourCharCode("lsdk"): {
      const std::uint32_t type = block.readInt32();
      if (block.hasLengthToRead(8)) {
        const std::uint32_t signature = block.readInt32();
        if (!isBlockSignature(signature)) {
          reportBadSignature(signature, 646, block.location(), error);
          return false;
        }
        blendMode = block.readInt32();
      }
      if (type == 1 || type == 2) dividerType = 1;
      if (type == 3) dividerType = 2;
      return true;
    }
    case fourCharCode("luni"):
      layerName = block.readPSDString16();
      return true;
    case fourCharCode("TySh"):
      return readTypeToolBlock(block);
    default:
      return true;
  }
}

bool KDPSDLayer::readTypeToolBlock(KDPSDStream& block) {
  const std::uint16_t version = block.readInt16();
  if (version != 1) {
    foundation::log("Can't read the text data, we don't understand version {}!", version);
    return false;
  }
  for (int i = 0; i < 6; ++i) block.readDouble64();  // text transform
  const std::uint16_t textVersion = block.readInt16();
  block.readInt32();  // descriptor version
  if (textVersion != 50) {
    foundation::log("Can't read the text data!");
    return false;
  }
  textDescriptor = KDPSDDescriptor::descriptorWithStream(block, psd);
  if (textDescriptor) {
    block.readInt16();  // warp version
    block.readInt32();  // descriptor version
    KDPSDDescriptor::descriptorWithStream(block, psd);
  }
  isText = true;
  return true;
}

}  // namespace velumar
