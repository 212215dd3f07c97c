#pragma once
// One node of the layer tree: a pixel layer, a group, the invisible root
// group or the document's composite image. Reads its layer record and its
// channel image data; pixels are kept as straight (non-premultiplied) RGBA,
// 8 bits per component, rows top-down.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/value.h"
#include "psd/kd_psd_error.h"

namespace velumar {

class KDPSD;
class KDPSDStream;
class KDPSDDescriptor;

// A plain pixel buffer: `channels` interleaved 8-bit components per pixel.
struct KDPSDBitmap {
  std::int32_t width = 0;
  std::int32_t height = 0;
  int channels = 4;
  std::vector<std::uint8_t> pixels;

  std::size_t bytesPerRow() const { return std::size_t(width) * std::size_t(channels); }
  const std::uint8_t* row(std::int32_t y) const { return pixels.data() + std::size_t(y) * bytesPerRow(); }
  std::uint8_t* row(std::int32_t y) { return pixels.data() + std::size_t(y) * bytesPerRow(); }
};

// One entry of a record's channel table.
struct KDPSDChannelInfo {
  std::int16_t id = 0;       // -2 layer mask, -1 transparency, 0 red, 1 green, 2 blue
  std::uint64_t length = 0;  // stored length of the channel's data, compression field included
};

class KDPSDLayer : public std::enable_shared_from_this<KDPSDLayer> {
 public:
  static constexpr std::int16_t kChannelIdMask = -2;
  static constexpr std::int16_t kChannelIdAlpha = -1;

  KDPSDLayer();
  ~KDPSDLayer();

  // The root group: isBase and isGroup, named "<Internal Base Layer>".
  static std::shared_ptr<KDPSDLayer> baseLayer();
  // A layer covering (0, 0, width, height) of the document.
  static std::shared_ptr<KDPSDLayer> layerWithSize(double width, double height, KDPSD* psd);

  // Reads one layer record. False when the record cannot be used at all
  // (bad blend signature); failures after the extra data length are
  // contained: the stream moves to the record's end and the layer stays.
  bool readLayerInfo(KDPSDStream& stream, KDPSDError* error);

  // Reads every channel of the record (needReadPlaneInfo: a compression
  // field per channel; the composite has none). Each channel is left at its
  // start plus its stated length. Then composes the bitmap.
  bool readImageDataFromStream(KDPSDStream& stream, const std::vector<std::uint16_t>* lineLengths,
                               bool needReadPlaneInfo, KDPSDError* error);
  // The composite image data, which has one compression field for all planes.
  bool readCompositeImageData(KDPSDStream& stream, KDPSDError* error);

  std::int16_t channelIdForRow(std::size_t slot) const;
  void setupChannelIdsForCompositeRead();
  void addLayerToGroup(std::shared_ptr<KDPSDLayer> layer);

  // Geometry, document pixels, origin top left.
  std::int32_t top = 0, left = 0, bottom = 0, right = 0;
  std::int32_t width = 0, height = 0;
  std::int32_t maskTop = 0, maskLeft = 0, maskBottom = 0, maskRight = 0;
  std::int32_t maskWidth = 0, maskHeight = 0;

  std::uint32_t layerId = 0;
  std::uint32_t blendMode = 0;  // four-character key, 'norm' by default
  bool isBase = false;
  bool isGroup = false;
  bool isText = false;
  bool visible = true;
  bool transparencyProtected = false;
  std::uint8_t opacity = 255;
  std::uint32_t dividerType = 0;  // 0 plain layer, 1 group start, 2 group end
  std::optional<std::string> layerName;

  std::vector<KDPSDChannelInfo> channelInfo;
  std::uint16_t channels() const { return std::uint16_t(channelInfo.size()); }

  // Straight RGBA pixels at the layer's own size; none for empty layers.
  std::optional<KDPSDBitmap> image;
  // 8-bit gray layer mask of maskWidth x maskHeight.
  std::optional<KDPSDBitmap> mask;

  std::shared_ptr<KDPSDDescriptor> textDescriptor;
  std::vector<std::shared_ptr<KDPSDLayer>> layers;  // members of a group, top-most first
  std::weak_ptr<KDPSDLayer> parent;
  foundation::Value layerInfo;  // null as read; the engine's own slot

  KDPSD* psd = nullptr;  // the owning document (for its size and byte budget)

 private:
  bool readAdditionalInfo(KDPSDStream& stream, std::int64_t extraEnd, KDPSDError* error);
  bool readAdditionalInfoBlock(KDPSDStream& block, std::uint32_t key, KDPSDError* error);
  void readMaskData(KDPSDStream& stream);
  bool readTypeToolBlock(KDPSDStream& block);
  // Decodes one channel found at the stream's position into plane (rows x
  // columns bytes); false when the plane is missing.
  bool readPlane(KDPSDStream& channel, std::int64_t columns, std::int64_t rows,
                 std::vector<std::uint8_t>& plane, KDPSDError* error);
  void composeBitmap(std::vector<std::uint8_t>* planes[4]);
};

// Decodes `rows` run-length rows of `columns` bytes whose compressed lengths
// are given, reading from the stream; short rows are zero-padded, overlong
// rows cut.
void decodeRunLengthPlane(KDPSDStream& stream, const std::uint16_t* rowLengths, std::int64_t rows,
                          std::int64_t columns, std::uint8_t* plane);

}  // namespace velumar
