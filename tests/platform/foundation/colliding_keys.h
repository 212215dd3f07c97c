#pragma once
// Keys that share one std::hash value, all 64 bits, under libstdc++'s
// 64-bit string hash (a multiply-and-shift hash with one fixed seed in
// every process): 16 ASCII bytes without NUL, made in linear time. The
// first 8 bytes count up; the second 8 are solved for the state the first
// leave, which the block mixing lets one invert. A table indexed by that
// hash puts them all in one bucket.

#include <cstdint>
#include <string>
#include <vector>

namespace plisttest {

inline std::vector<std::string> keysCollidingUnderStdHash(std::size_t count) {
  constexpr std::uint64_t kMultiplier = 0xc6a4a7935bd1e995ull;
  constexpr std::uint64_t kSeed = 0xc70f6907ull;
  std::uint64_t inverse = kMultiplier;  // each Newton step doubles the bits right
  for (int i = 0; i < 6; ++i) inverse *= 2 - kMultiplier * inverse;
  auto shiftMix = [](std::uint64_t v) { return v ^ (v >> 47); };  // its own inverse
  auto mixBlock = [&](std::uint64_t block) { return shiftMix(block * kMultiplier) * kMultiplier; };
  auto unmixBlock = [&](std::uint64_t mixed) { return shiftMix(mixed * inverse) * inverse; };
  const std::uint64_t start = kSeed ^ (16 * kMultiplier);
  constexpr std::uint64_t kSharedState = 0x5eed5eed5eed5eedull;  // before the last multiply
  static const char kAlphabet[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_-";
  std::vector<std::string> keys;
  keys.reserve(count);
  for (std::uint64_t n = 0; keys.size() < count; ++n) {
    std::uint64_t first = 'c';
    for (int i = 1; i < 8; ++i) first |= std::uint64_t(kAlphabet[(n >> (6 * (i - 1))) & 63]) << (8 * i);
    const std::uint64_t second = unmixBlock(((start ^ mixBlock(first)) * kMultiplier) ^ kSharedState);
    // Every byte of the second block in 1..127: ASCII, no NUL.
    const bool ascii = (second & 0x8080808080808080ull) == 0 &&
                       ((second - 0x0101010101010101ull) & ~second & 0x8080808080808080ull) == 0;
    if (!ascii) continue;
    std::string key(16, '\0');
    for (int i = 0; i < 8; ++i) {
      key[std::size_t(i)] = char(first >> (8 * i));
      key[std::size_t(8 + i)] = char(second >> (8 * i));
    }
    keys.push_back(std::move(key));
  }
  return keys;
}

}  // namespace plisttest
