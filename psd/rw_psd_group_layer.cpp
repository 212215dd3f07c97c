#include "psd/rw_psd_group_layer.h"

namespace velumar {

namespace {

constexpr std::uint32_t kOpenFolder = 1;
constexpr std::uint32_t kClosedFolder = 2;
constexpr std::uint32_t kBoundingDivider = 3;

}  // namespace

RWPSDGroupLayer::RWPSDGroupLayer() = default;

RWPSDGroupLayer::RWPSDGroupLayer(std::string name) : RWPSDGroupLayer(std::move(name), 1.0f, false) {}

RWPSDGroupLayer::RWPSDGroupLayer(std::string name, float opacity, bool isOpened) {
  setName(std::move(name));
  setIsOpened(isOpened);
  setOpacity(opacity);
}

void RWPSDGroupLayer::copyGroupInformationFrom(const RWPSDGroupLayer& other) {
  setName(other.name());
  setOpacity(other.opacity());
  setIsOpened(other.isOpened());
  setBlendMode(other.blendMode());
}

std::optional<std::vector<RWByteBuffer>> RWPSDGroupLayer::layerChannels() {
  std::vector<RWByteBuffer> channels(4);
  for (RWByteBuffer& channel : channels) rwAppendValue(channel, 0, 2);
  return channels;
}

void RWPSDGroupLayer::writeSectionDividerOn(RWByteBuffer& buffer, std::uint32_t type,
                                            const std::string* blendMode) {
  rwAppendUTF8String(buffer, "8BIM");
  rwAppendUTF8String(buffer, "lsct");
  rwAppendValue(buffer, blendMode ? 12 : 4, 4);
  rwAppendValue(buffer, type, 4);
  if (blendMode) {
    rwAppendUTF8String(buffer, "8BIM");
    rwAppendUTF8String(buffer, *blendMode);
  }
}

RWByteBuffer RWPSDGroupOpeningLayer::extraLayerInformation() {
  // Written under the divider's name; the layer keeps its own.
  std::string ownName = name();
  setName(kRWPSDGroupDividerName);
  RWByteBuffer extra;
  rwAppendValue(extra, 0, 4);  // layer mask data
  rwAppendValue(extra, 0, 4);  // blending ranges
  writeNameOn(extra, 4);
  writeSectionDividerOn(extra, kBoundingDivider, nullptr);
  writeUnicodeNameOn(extra);
  setName(std::move(ownName));
  return extra;
}

void RWPSDGroupClosingLayer::refreshFromOpeningLayer() {
  if (groupOpeningLayer_) copyGroupInformationFrom(*groupOpeningLayer_);
}

RWByteBuffer RWPSDGroupClosingLayer::extraLayerInformation() {
  refreshFromOpeningLayer();
  RWByteBuffer extra;
  rwAppendValue(extra, 0, 4);  // layer mask data
  rwAppendValue(extra, 0, 4);  // blending ranges
  writeNameOn(extra, 4);
  writeSectionDividerOn(extra, isOpened_ ? kOpenFolder : kClosedFolder, &blendMode_);
  writeUnicodeNameOn(extra);
  return extra;
}

}  // namespace velumar
