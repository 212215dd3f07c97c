#include "platform/foundation/keyed_hash.h"

#include <sys/random.h>

#include <bit>
#include <cstring>
#include <random>

namespace foundation {

namespace {

struct Key {
  std::uint64_t k0 = 0;
  std::uint64_t k1 = 0;
};

Key randomKey() {
  Key key;
  std::uint64_t words[2] = {};
  if (getrandom(words, sizeof words, 0) == ssize_t(sizeof words)) {
    key.k0 = words[0];
    key.k1 = words[1];
    return key;
  }
  // A kernel without getrandom: the library's source reads the same pool.
  std::random_device device;
  key.k0 = (std::uint64_t(device()) << 32) | device();
  key.k1 = (std::uint64_t(device()) << 32) | device();
  return key;
}

struct State {
  std::uint64_t v0, v1, v2, v3;

  void round() {
    v0 += v1;
    v1 = std::rotl(v1, 13);
    v1 ^= v0;
    v0 = std::rotl(v0, 32);
    v2 += v3;
    v3 = std::rotl(v3, 16);
    v3 ^= v2;
    v0 += v3;
    v3 = std::rotl(v3, 21);
    v3 ^= v0;
    v2 += v1;
    v1 = std::rotl(v1, 17);
    v1 ^= v2;
    v2 = std::rotl(v2, 32);
  }
  void absorb(std::uint64_t word, int rounds) {
    v3 ^= word;
    for (int i = 0; i < rounds; ++i) round();
    v0 ^= word;
  }
};

// Eight bytes as a little-endian word, whatever the machine's order.
std::uint64_t littleEndianWord(const char* bytes, std::size_t count) {
  std::uint64_t word = 0;
  for (std::size_t i = 0; i < count; ++i) word |= std::uint64_t(std::uint8_t(bytes[i])) << (8 * i);
  return word;
}

// SipHash with compressionRounds and finalRounds under the key (k0, k1); 2
// and 4 rounds is the reference form.
std::uint64_t sipHash(std::uint64_t k0, std::uint64_t k1, std::string_view bytes, int compressionRounds,
                      int finalRounds) {
  State s{k0 ^ 0x736f6d6570736575ull, k1 ^ 0x646f72616e646f6dull, k0 ^ 0x6c7967656e657261ull,
          k1 ^ 0x7465646279746573ull};
  const std::size_t whole = bytes.size() / 8 * 8;
  for (std::size_t at = 0; at < whole; at += 8) {
    std::uint64_t word;
    if constexpr (std::endian::native == std::endian::little) {
      std::memcpy(&word, bytes.data() + at, 8);
    } else {
      word = littleEndianWord(bytes.data() + at, 8);
    }
    s.absorb(word, compressionRounds);
  }
  // The last word holds the remaining bytes and the length's low byte.
  s.absorb(littleEndianWord(bytes.data() + whole, bytes.size() - whole) | (std::uint64_t(bytes.size()) << 56),
           compressionRounds);
  s.v2 ^= 0xff;
  for (int i = 0; i < finalRounds; ++i) s.round();
  return s.v0 ^ s.v1 ^ s.v2 ^ s.v3;
}

}  // namespace

std::uint64_t sipHash13(std::uint64_t k0, std::uint64_t k1, std::string_view bytes) {
  return sipHash(k0, k1, bytes, 1, 3);
}

std::uint64_t keyedHash(std::string_view bytes) {
  static const Key key = randomKey();
  return sipHash13(key.k0, key.k1, bytes);
}

}  // namespace foundation
