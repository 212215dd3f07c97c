#include "psd/kd_psd_zip.h"

#include <zlib.h>

#include <algorithm>
#include <climits>

namespace velumar {

std::size_t inflateZipData(const std::uint8_t* source, std::size_t sourceLength, std::uint8_t* out,
                           std::size_t outLength) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return 0;
  std::size_t inDone = 0;
  std::size_t outDone = 0;
  int status = Z_OK;
  // zlib counts in 32-bit units: feed it in chunks.
  while (status == Z_OK && outDone < outLength) {
    if (z.avail_in == 0) {
      const std::size_t chunk = std::min<std::size_t>(sourceLength - inDone, UINT_MAX);
      if (chunk == 0) break;
      z.next_in = const_cast<Bytef*>(source + inDone);
      z.avail_in = uInt(chunk);
      inDone += chunk;
    }
    const std::size_t room = std::min<std::size_t>(outLength - outDone, UINT_MAX);
    z.next_out = out + outDone;
    z.avail_out = uInt(room);
    const uInt inBefore = z.avail_in;
    status = inflate(&z, Z_NO_FLUSH);
    outDone += room - z.avail_out;
    const bool progressed = z.avail_in != inBefore || z.avail_out != room;
    if (status == Z_BUF_ERROR && progressed) status = Z_OK;
  }
  inflateEnd(&z);
  return outDone;
}

void undoRowDelta(std::uint8_t* plane, std::size_t rows, std::size_t columns) {
  for (std::size_t y = 0; y < rows; ++y) {
    std::uint8_t* row = plane + y * columns;
    for (std::size_t x = 1; x < columns; ++x) row[x] = std::uint8_t(row[x] + row[x - 1]);
  }
}

}  // namespace velumar
