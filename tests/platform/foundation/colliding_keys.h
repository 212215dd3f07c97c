#pragma once
// Keys that share one std::hash value, all 64 bits, under libstdc++'s
// 64-bit string hash (a multiply-and-shift hash with one fixed seed in
// every process): a fixed prefix, 16 chosen bytes and a fixed suffix, made
// in linear time. The first 8 chosen bytes count up; the second 8 are
// solved for the state the first leave, which the block mixing lets one
// invert. A table indexed by that hash puts them all in one bucket.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace plisttest {

// None when prefix is not a whole number of 8-byte blocks long. Only keys
// whose solved bytes all pass allowedByte are kept.
template <class AllowedByte>
std::vector<std::string> collidingUnderStdHash(std::size_t count, std::string_view prefix, std::string_view suffix,
                                               AllowedByte allowedByte) {
  if (prefix.size() % 8 != 0) return {};
  constexpr std::uint64_t kMultiplier = 0xc6a4a7935bd1e995ull;
  constexpr std::uint64_t kSeed = 0xc70f6907ull;
  std::uint64_t inverse = kMultiplier;  // each Newton step doubles the bits right
  for (int i = 0; i < 6; ++i) inverse *= 2 - kMultiplier * inverse;
  auto shiftMix = [](std::uint64_t v) { return v ^ (v >> 47); };  // its own inverse
  auto mixBlock = [&](std::uint64_t block) { return shiftMix(block * kMultiplier) * kMultiplier; };
  auto unmixBlock = [&](std::uint64_t mixed) { return shiftMix(mixed * inverse) * inverse; };
  std::uint64_t start = kSeed ^ ((prefix.size() + 16 + suffix.size()) * kMultiplier);
  for (std::size_t at = 0; at < prefix.size(); at += 8) {
    std::uint64_t block = 0;
    for (std::size_t i = 0; i < 8; ++i) block |= std::uint64_t(std::uint8_t(prefix[at + i])) << (8 * i);
    start = (start ^ mixBlock(block)) * kMultiplier;
  }
  constexpr std::uint64_t kSharedState = 0x5eed5eed5eed5eedull;  // before the last multiply
  static const char kAlphabet[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_-";
  std::vector<std::string> keys;
  keys.reserve(count);
  for (std::uint64_t n = 0; keys.size() < count; ++n) {
    std::uint64_t first = 'c';
    for (int i = 1; i < 8; ++i) first |= std::uint64_t(kAlphabet[(n >> (6 * (i - 1))) & 63]) << (8 * i);
    const std::uint64_t second = unmixBlock(((start ^ mixBlock(first)) * kMultiplier) ^ kSharedState);
    bool allowed = true;
    for (int i = 0; i < 8 && allowed; ++i) allowed = allowedByte(std::uint8_t(second >> (8 * i)));
    if (!allowed) continue;
    std::string key(prefix);
    for (int i = 0; i < 16; ++i) key += char((i < 8 ? first : second) >> (8 * (i % 8)));
    key += suffix;
    keys.push_back(std::move(key));
  }
  return keys;
}

// 16 ASCII bytes without NUL.
inline std::vector<std::string> keysCollidingUnderStdHash(std::size_t count) {
  return collidingUnderStdHash(count, {}, {}, [](std::uint8_t byte) { return byte != 0 && byte < 0x80; });
}

// Paths of files in folder (its length with the '/' a whole number of 8-byte
// blocks) named with 16 printable ASCII bytes and suffix. About ten times
// slower to make than keys.
inline std::vector<std::string> pathsCollidingUnderStdHash(std::size_t count, const std::string& folder,
                                                           std::string_view suffix) {
  return collidingUnderStdHash(count, folder + '/', suffix,
                               [](std::uint8_t byte) { return byte >= 0x20 && byte < 0x7f && byte != '/'; });
}

}  // namespace plisttest
