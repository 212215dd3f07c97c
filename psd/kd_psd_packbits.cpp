#include "psd/kd_psd_packbits.h"

#include <algorithm>
#include <cstring>

namespace velumar {

std::size_t unpackBitsRow(const std::uint8_t* source, std::size_t sourceLength, std::uint8_t* row,
                          std::size_t rowLength) {
  std::size_t in = 0;
  std::size_t produced = 0;
  while (in < sourceLength) {
    const int header = int(std::int8_t(source[in++]));
    if (header >= 0) {
      const std::size_t count = std::size_t(header) + 1;
      const std::size_t available = std::min(count, sourceLength - in);
      if (produced < rowLength) {
        std::memcpy(row + produced, source + in, std::min(available, rowLength - produced));
      }
      in += available;
      produced += count;
    } else {
      // -128 repeats 129 times, as the original decoder treats it.
      const std::size_t count = std::size_t(1 - header);
      if (in >= sourceLength) break;
      const std::uint8_t value = source[in++];
      if (produced < rowLength) std::memset(row + produced, value, std::min(count, rowLength - produced));
      produced += count;
    }
  }
  return produced;
}

std::size_t packBitsRow(const std::uint8_t* row, std::size_t rowLength, std::vector<std::uint8_t>& out) {
  const std::size_t before = out.size();
  std::size_t i = 0;
  while (i < rowLength) {
    std::size_t run = 1;
    while (i + run < rowLength && run < 128 && row[i + run] == row[i]) ++run;
    if (run >= 2) {
      out.push_back(std::uint8_t(std::int8_t(1 - int(run))));
      out.push_back(row[i]);
      i += run;
      continue;
    }
    // A literal stretch up to the next run of three or more equal bytes.
    std::size_t length = 1;
    while (i + length < rowLength && length < 128) {
      const std::size_t j = i + length;
      if (j + 2 < rowLength && row[j] == row[j + 1] && row[j] == row[j + 2]) break;
      ++length;
    }
    out.push_back(std::uint8_t(length - 1));
    out.insert(out.end(), row + i, row + i + length);
    i += length;
  }
  return out.size() - before;
}

}  // namespace velumar
