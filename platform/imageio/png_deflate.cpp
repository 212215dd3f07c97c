#include "platform/imageio/png_deflate.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>

#include "platform/foundation/parallel.h"

namespace imageio {

namespace {

// Input bytes per block: large enough that restarting the dictionary costs
// little, small enough to spread over the cores.
constexpr std::size_t kBlockBytes = std::size_t(1) << 20;

inline int paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return a;
  return pb <= pc ? b : c;
}

template <int Filter>
std::uint64_t applyFilter(const std::uint8_t* row, const std::uint8_t* previous, std::size_t rowBytes,
                          int bpp, std::uint8_t* out) {
  std::uint64_t sum = 0;
  const std::size_t step = std::size_t(bpp);
  for (std::size_t i = 0; i < rowBytes; ++i) {
    const int x = row[i];
    const int a = i >= step ? row[i - step] : 0;
    const int b = previous[i];
    int v = x;
    if constexpr (Filter == 1) v = x - a;
    if constexpr (Filter == 2) v = x - b;
    if constexpr (Filter == 3) v = x - ((a + b) >> 1);
    if constexpr (Filter == 4) v = x - paeth(a, b, i >= step ? previous[i - step] : 0);
    out[i] = std::uint8_t(v);
    sum += std::uint64_t(std::abs(int(std::int8_t(out[i]))));
  }
  return sum;
}

// Filters one row with each of the five filters and keeps the one with the
// smallest sum of absolute (signed) values, the usual heuristic.
void filterRow(const std::uint8_t* row, const std::uint8_t* previous, std::size_t rowBytes, int bpp,
               std::uint8_t* out, std::uint8_t* scratch) {
  using Apply = std::uint64_t (*)(const std::uint8_t*, const std::uint8_t*, std::size_t, int, std::uint8_t*);
  static constexpr Apply kFilters[] = {applyFilter<0>, applyFilter<1>, applyFilter<2>, applyFilter<3>,
                                       applyFilter<4>};
  std::uint64_t best = ~std::uint64_t(0);
  for (int filter = 0; filter < 5; ++filter) {
    const std::uint64_t sum = kFilters[filter](row, previous, rowBytes, bpp, scratch);
    if (sum < best) {
      best = sum;
      out[0] = std::uint8_t(filter);
      std::memcpy(out + 1, scratch, rowBytes);
    }
  }
}

struct Block {
  std::vector<std::uint8_t> compressed;
  std::uint32_t adler = 1;
  std::size_t length = 0;  // filtered input bytes
};

}  // namespace

std::optional<std::vector<std::uint8_t>> compressPngRows(
    std::int64_t height, std::size_t rowBytes, int bytesPerPixel,
    const std::function<void(std::int64_t y, std::uint8_t* out)>& rowSource, int level) {
  if (height <= 0 || rowBytes == 0) return std::nullopt;
  const std::int64_t rowsPerBlock = std::max<std::int64_t>(1, std::int64_t(kBlockBytes / (rowBytes + 1)));
  const std::int64_t blockCount = (height + rowsPerBlock - 1) / rowsPerBlock;
  std::vector<Block> blocks(static_cast<std::size_t>(blockCount));
  std::atomic<bool> failed{false};

  foundation::parallelFor(0, blockCount, [&](std::int64_t b) {
    const std::int64_t first = b * rowsPerBlock;
    const std::int64_t last = std::min(height, first + rowsPerBlock);
    const std::size_t rows = std::size_t(last - first);
    // Raw rows with the row before the block in front (zeros at the top).
    std::vector<std::uint8_t> raw((rows + 1) * rowBytes, 0);
    if (first > 0) rowSource(first - 1, raw.data());
    for (std::size_t r = 0; r < rows; ++r)
      rowSource(first + std::int64_t(r), raw.data() + (r + 1) * rowBytes);
    std::vector<std::uint8_t> filtered(rows * (rowBytes + 1));
    std::vector<std::uint8_t> scratch(rowBytes);
    for (std::size_t r = 0; r < rows; ++r) {
      filterRow(raw.data() + (r + 1) * rowBytes, raw.data() + r * rowBytes, rowBytes, bytesPerPixel,
                filtered.data() + r * (rowBytes + 1), scratch.data());
    }
    raw = {};

    Block& block = blocks[std::size_t(b)];
    block.length = filtered.size();
    block.adler = std::uint32_t(adler32(1, filtered.data(), uInt(filtered.size())));
    z_stream stream{};
    if (deflateInit2(&stream, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
      failed = true;
      return;
    }
    block.compressed.resize(deflateBound(&stream, uLong(filtered.size())) + 16);
    stream.next_in = filtered.data();
    stream.avail_in = uInt(filtered.size());
    stream.next_out = block.compressed.data();
    stream.avail_out = uInt(block.compressed.size());
    const bool lastBlock = b == blockCount - 1;
    const int result = deflate(&stream, lastBlock ? Z_FINISH : Z_SYNC_FLUSH);
    const bool ok = lastBlock ? result == Z_STREAM_END : (result == Z_OK && stream.avail_in == 0);
    block.compressed.resize(block.compressed.size() - stream.avail_out);
    deflateEnd(&stream);
    if (!ok) failed = true;
  });
  if (failed) return std::nullopt;

  std::size_t total = 6;
  for (const Block& block : blocks) total += block.compressed.size();
  std::vector<std::uint8_t> out;
  out.reserve(total);
  out.push_back(0x78);  // deflate, 32 KB window
  out.push_back(0x9C);  // default level, header check bits
  std::uint32_t adler = 1;
  for (const Block& block : blocks) {
    out.insert(out.end(), block.compressed.begin(), block.compressed.end());
    adler = std::uint32_t(adler32_combine(adler, block.adler, z_off_t(block.length)));
  }
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(std::uint8_t(adler >> shift));
  return out;
}

}  // namespace imageio
