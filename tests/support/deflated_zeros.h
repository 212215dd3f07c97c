#pragma once
// A long run of zero bytes, deflated in 1 MiB chunks as tightly as zlib can:
// a ZIP-compressed PSD channel that costs little to store but much to
// inflate.

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace testsupport {

inline std::vector<std::uint8_t> deflatedZeros(std::uint64_t bytes) {
  z_stream zip{};
  deflateInit(&zip, 9);
  const std::vector<std::uint8_t> zeros(std::size_t(1) << 20, 0);
  std::vector<std::uint8_t> out(std::size_t(1) << 20), packed;
  int flush = Z_NO_FLUSH;
  do {
    if (zip.avail_in == 0 && flush == Z_NO_FLUSH) {
      const std::size_t chunk = std::size_t(std::min<std::uint64_t>(bytes, zeros.size()));
      zip.next_in = const_cast<Bytef*>(zeros.data());
      zip.avail_in = uInt(chunk);
      bytes -= chunk;
      if (bytes == 0) flush = Z_FINISH;
    }
    zip.next_out = out.data();
    zip.avail_out = uInt(out.size());
    deflate(&zip, flush);
    packed.insert(packed.end(), out.data(), out.data() + (out.size() - zip.avail_out));
  } while (!(flush == Z_FINISH && zip.avail_out != 0));
  deflateEnd(&zip);
  return packed;
}

}  // namespace testsupport
