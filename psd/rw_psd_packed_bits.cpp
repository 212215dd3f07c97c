#include "psd/rw_psd_packed_bits.h"

#include <fmt/format.h>

#include <algorithm>

namespace velumar {

namespace {

constexpr std::size_t kLiteralBufferSize = 130;
constexpr std::size_t kMaxLiteral = 128;
constexpr int kMaxRun = 127;

void appendLiteral(std::vector<std::uint8_t>& out, const std::uint8_t* samples, std::size_t count) {
  out.push_back(std::uint8_t(count - 1));
  out.insert(out.end(), samples, samples + count);
}

}  // namespace

std::size_t rwPackedBitsForRange(const std::uint8_t* bytes, std::size_t byteCount, std::size_t location,
                                 std::size_t length, std::size_t skip, std::vector<std::uint8_t>& out) {
  if (skip == 0) skip = 1;
  if (location >= byteCount || length == 0) return 0;
  const std::size_t end = std::min(byteCount, location + std::min(length, byteCount - location));
  const std::size_t before = out.size();

  std::uint8_t literal[kLiteralBufferSize];
  std::size_t count = 0;  // samples held in literal
  std::size_t position = location;
  std::uint8_t sample = bytes[position];
  position += skip;

  for (;;) {
    const std::size_t held = count;
    literal[count++] = sample;
    if (held >= 2 && literal[held - 1] == sample && literal[held - 2] == sample) {
      if (held >= 3) appendLiteral(out, literal, held - 2);
      int run = 3;
      bool endedOnDifferent = false;
      std::uint8_t different = 0;
      while (run < kMaxRun && position < end) {
        const std::uint8_t next = bytes[position];
        position += skip;
        if (next != sample) {
          endedOnDifferent = true;
          different = next;
          break;
        }
        ++run;
      }
      out.push_back(std::uint8_t(std::int8_t(1 - run)));
      out.push_back(sample);
      count = 0;
      if (endedOnDifferent) {
        sample = different;
        continue;
      }
    } else if (count == kLiteralBufferSize) {
      appendLiteral(out, literal, kMaxLiteral);
      literal[0] = literal[kMaxLiteral];
      literal[1] = literal[kMaxLiteral + 1];
      count = 2;
    }
    if (position >= end) break;
    sample = bytes[position];
    position += skip;
  }

  if (count > kMaxLiteral) {
    appendLiteral(out, literal, kMaxLiteral);
    appendLiteral(out, literal + kMaxLiteral, count - kMaxLiteral);
  } else if (count > 0) {
    appendLiteral(out, literal, count);
  }
  return out.size() - before;
}

std::vector<std::uint8_t> rwPackedBitsForRange(const std::vector<std::uint8_t>& bytes, std::size_t location,
                                               std::size_t length, std::size_t skip) {
  std::vector<std::uint8_t> out;
  rwPackedBitsForRange(bytes.data(), bytes.size(), location, length, skip, out);
  return out;
}

std::string rwPackedBitsDescription(const std::vector<std::uint8_t>& packed) {
  std::string text;
  long total = 0;
  std::size_t i = 0;
  while (i < packed.size()) {
    const int header = int(std::int8_t(packed[i]));
    if (header >= 0) {
      text += fmt::format("Printing {} literal bytes. ", header + 1);
      total += header + 1;
      i += std::size_t(header) + 2;
    } else {
      const unsigned value = i + 1 < packed.size() ? packed[i + 1] : 0;
      text += fmt::format("Printing {} {} times. ", value, 1 - header);
      total += 1 - header;
      i += 2;
    }
  }
  text += fmt::format("Total: {} bytes decoded.", total);
  return text;
}

}  // namespace velumar
