#pragma once
// Layer groups of the layered PSD writer. A group is two records: the
// bounding divider ("</Layer group>", below the group's members) written by
// the opening layer, and the folder record (above the members) written by the
// closing layer, which carries the group's name, opacity, open state and
// blend mode.

#include <memory>
#include <string>

#include "psd/rw_psd_layer.h"

namespace velumar {

class RWPSDGroupLayer : public RWPSDLayer {
 public:
  RWPSDGroupLayer();
  // Opacity 1.0, closed.
  explicit RWPSDGroupLayer(std::string name);
  RWPSDGroupLayer(std::string name, float opacity, bool isOpened);

  bool isOpened() const { return isOpened_; }
  void setIsOpened(bool opened) { isOpened_ = opened; }

  // Takes name, opacity, open state and blend mode of another group layer.
  void copyGroupInformationFrom(const RWPSDGroupLayer& other);

  bool hasValidSize() const override { return true; }
  bool isGroup() const override { return true; }
  // Four channels holding only the "raw" compression code.
  std::optional<std::vector<RWByteBuffer>> layerChannels() override;
  // Zero bounds: a group record covers no pixels.
  raster::Rect recordBounds() const override { return {}; }

 protected:
  // The 'lsct' section-divider block of the given type, with the blend key
  // appended for folders.
  static void writeSectionDividerOn(RWByteBuffer& buffer, std::uint32_t type, const std::string* blendMode);

  bool isOpened_ = false;
};

// The group's bounding divider, written below its members.
class RWPSDGroupOpeningLayer : public RWPSDGroupLayer {
 public:
  using RWPSDGroupLayer::RWPSDGroupLayer;
  RWByteBuffer extraLayerInformation() override;
};

// The group's folder record, written above its members.
class RWPSDGroupClosingLayer : public RWPSDGroupLayer {
 public:
  using RWPSDGroupLayer::RWPSDGroupLayer;

  const std::shared_ptr<RWPSDGroupOpeningLayer>& groupOpeningLayer() const { return groupOpeningLayer_; }
  void setGroupOpeningLayer(std::shared_ptr<RWPSDGroupOpeningLayer> layer) {
    groupOpeningLayer_ = std::move(layer);
  }

  // Takes the group's information from its opening layer before writing.
  void refreshFromOpeningLayer();
  RWByteBuffer extraLayerInformation() override;

 protected:
  void willWriteRecord() override { refreshFromOpeningLayer(); }

 private:
  std::shared_ptr<RWPSDGroupOpeningLayer> groupOpeningLayer_;
};

inline constexpr const char* kRWPSDGroupDividerName = "</Layer group>";

}  // namespace velumar
