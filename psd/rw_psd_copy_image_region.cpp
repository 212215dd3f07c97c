#include "psd/rw_psd_copy_image_region.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "platform/foundation/log.h"
#include "platform/foundation/parallel.h"
#include "platform/raster/image_row_reader.h"
#include "platform/raster/pixel_layout.h"

namespace velumar {

namespace {

constexpr raster::PixelFormat kStraightRGBA{8, 3, raster::AlphaInfo::Last};

}  // namespace

std::optional<std::vector<std::uint8_t>> RWPSDCopyImageRegion(const raster::ImageRef& image,
                                                              const raster::Rect& region,
                                                              const raster::ColorSpaceRef& targetSpace) {
  if (!image) return std::nullopt;
  const double width = std::trunc(region.size.width), height = std::trunc(region.size.height);
  if (!(width >= 1 && height >= 1) || !std::isfinite(region.origin.x) || !std::isfinite(region.origin.y) ||
      width > double(raster::kMaxDimension) || height > double(raster::kMaxDimension))
    return std::nullopt;
  const std::int64_t w = std::int64_t(width), h = std::int64_t(height);
  const double originX = std::floor(region.origin.x), originY = std::floor(region.origin.y);
  if (std::abs(originX) > 1e12 || std::abs(originY) > 1e12) return std::nullopt;
  const std::int64_t x0 = std::int64_t(originX), y0 = std::int64_t(originY);
  const std::size_t rowBytes = std::size_t(w) * 4;

  std::vector<std::uint8_t> pixels;
  try {
    pixels.assign(rowBytes * std::size_t(h), 0);
  } catch (const std::bad_alloc&) {
    foundation::log("psd writer: no memory for a {}x{} layer region", w, h);
    return std::nullopt;
  }

  // Columns and rows of the region that the image covers.
  const std::int64_t firstColumn = std::max<std::int64_t>(x0, 0);
  const std::int64_t lastColumn = std::min<std::int64_t>(x0 + w, image->width());
  const std::int64_t firstRow = std::max<std::int64_t>(y0, 0);
  const std::int64_t lastRow = std::min<std::int64_t>(y0 + h, image->height());
  if (firstColumn >= lastColumn || firstRow >= lastRow) return pixels;

  const raster::ColorSpaceRef& own = image->colorSpace();
  raster::ColorSpaceRef target = targetSpace;
  if (!target || target->model() != raster::ColorModel::RGB)
    target = own && own->model() == raster::ColorModel::RGB ? own : raster::ColorSpace::genericRGB();
  const std::int64_t columns = lastColumn - firstColumn;
  const bool sameBytes =
      image->format() == kStraightRGBA && raster::ColorConversion::isIdentity(own.get(), target.get());
  const raster::ImageRowReader reader(*image, kStraightRGBA, target.get(), nullptr);

  foundation::parallelForRange(
      firstRow, lastRow,
      [&](std::int64_t begin, std::int64_t end) {
        raster::ImageRowReader::Scratch scratch;
        std::vector<float> working;
        if (!sameBytes) {
          scratch = reader.makeScratch(columns);
          working.resize(std::size_t(columns) * std::size_t(reader.channels()));
        }
        for (std::int64_t y = begin; y < end; ++y) {
          std::uint8_t* out =
              pixels.data() + std::size_t(y - y0) * rowBytes + std::size_t(firstColumn - x0) * 4;
          if (sameBytes) {
            std::memcpy(out, image->row(y) + std::size_t(firstColumn) * 4, std::size_t(columns) * 4);
            continue;
          }
          reader.read(y, firstColumn, lastColumn, working.data(), scratch);
          raster::storeRow(working.data(), kStraightRGBA, columns, out);
        }
      },
      std::max<std::int64_t>(1, 16384 / std::max<std::int64_t>(1, columns)));
  return pixels;
}

}  // namespace velumar
