#pragma once
// A keyed hash of byte strings for hash tables that hold outside input
// (keys read from files). The key is drawn once per process from the
// system's random source, so which strings collide cannot be worked out
// beforehand: a file cannot be made to pile its keys into one bucket. The
// values differ from one process to the next; never store or send them.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace foundation {

// SipHash-1-3 of bytes under the process's key.
std::uint64_t keyedHash(std::string_view bytes);

// SipHash-1-3 of bytes under the key (k0, k1): keyedHash under a known key,
// so its outputs can be checked.
std::uint64_t sipHash13(std::uint64_t k0, std::uint64_t k1, std::string_view bytes);

// The hasher of tables keyed by text from files, folders or other programs.
struct KeyedStringHash {
  std::size_t operator()(std::string_view bytes) const { return std::size_t(keyedHash(bytes)); }
};

template <class Mapped>
using KeyedStringMap = std::unordered_map<std::string, Mapped, KeyedStringHash>;
using KeyedStringSet = std::unordered_set<std::string, KeyedStringHash>;

// The most keys that share one bucket of a hash table: a few when its hash
// spreads them, all of them when they collide under it.
template <class Table>
std::size_t largestBucket(const Table& table) {
  std::size_t largest = 0;
  for (std::size_t bucket = 0; bucket < table.bucket_count(); ++bucket)
    largest = std::max(largest, table.bucket_size(bucket));
  return largest;
}

}  // namespace foundation
