#include "psd/psd_merged_image.h"

#include "platform/imageio/mapped_file.h"
#include "psd/kd_psd.h"
#include "psd/kd_psd_byte_order.h"
#include "psd/kd_psd_compositing.h"
#include "psd/psd_loader.h"

namespace velumar {
namespace {

constexpr std::uint16_t kResourceVersionInfo = 1057;
constexpr std::size_t kHeaderLength = 26;

}  // namespace

bool storesRealMergedImage(const std::string& path) {
  const auto file = imageio::MappedFile::open(path);
  if (!file) return true;
  const std::uint8_t* bytes = file->data();
  const std::size_t size = file->size();
  // Header, then the colour mode data and the resources, each after its
  // 32-bit length.
  std::size_t at = kHeaderLength;
  if (size < at + 4) return true;
  at += 4 + std::size_t(readBigEndian32(bytes + at));
  if (size < at + 4 || size - at - 4 < readBigEndian32(bytes + at)) return true;
  const std::size_t end = at + 4 + readBigEndian32(bytes + at);
  at += 4;
  // Blocks: signature, id, padded Pascal name, padded data after its length.
  while (at + 7 <= end) {
    const std::uint16_t id = std::uint16_t(bytes[at + 4] << 8 | bytes[at + 5]);
    const std::size_t nameLength = bytes[at + 6];
    at += 6 + ((nameLength + 2) & ~std::size_t(1));
    if (at + 4 > end) break;
    const std::size_t length = readBigEndian32(bytes + at);
    at += 4;
    if (length > end - at) break;
    // Version info: a 32-bit version, then the "has real merged data" flag.
    if (id == kResourceVersionInfo && length >= 5) return bytes[at + 4] != 0;
    at += length + (length & 1);
  }
  return true;
}

raster::ImageRef flattenedLayers(const std::string& path) {
  const std::unique_ptr<KDPSD> document = KDPSD::imageWithContetsOfURL(path);
  if (!document || !document->baseLayerGroup || document->baseLayerGroup->layers.empty()) return nullptr;
  return imageFromBitmap(compositeImage(*document), colorSpaceForDocument(*document));
}

}  // namespace velumar
