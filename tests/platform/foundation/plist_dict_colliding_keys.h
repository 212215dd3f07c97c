#pragma once
// Keys that share one value, all 32 bits, of the property-list library's
// dictionary hash (h = h * 33 + byte from 5381, fixed in every process), so
// that its table of 4,096 buckets holds them all in one: each key is blocks
// of two letters, "az" or "bY", which add the same to the hash
// (33 * 'a' + 'z' == 33 * 'b' + 'Y'). Plain keys of the same length are
// numbered, which spreads them over the buckets.

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <string>
#include <vector>

namespace plisttest {

// count keys of 2 * blocks bytes; count at most 2^blocks.
inline std::vector<std::string> plistDictionaryKeys(std::size_t count, int blocks, bool colliding) {
  std::vector<std::string> keys;
  keys.reserve(count);
  for (std::size_t n = 0; n < count; ++n) {
    std::string key;
    if (colliding) {
      for (int block = 0; block < blocks; ++block) key += (n >> block) & 1 ? "bY" : "az";
    } else {
      key = std::to_string(n);
      key.insert(0, std::size_t(2 * blocks) - key.size(), '0');
    }
    keys.push_back(std::move(key));
  }
  return keys;
}

// An XML property list of a dictionary: first under "Key0", then the
// number i under the i-th of keys (from 1).
inline std::string xmlDictionaryOfKeys(const std::vector<std::string>& keys, int first) {
  std::string text =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n\t<key>Key0</key>\n"
      "\t<integer>" +
      std::to_string(first) + "</integer>\n";
  int i = 1;
  for (const std::string& key : keys)
    text += "\t<key>" + key + "</key>\n\t<integer>" + std::to_string(i++) + "</integer>\n";
  return text + "</dict>\n</plist>\n";
}

// Runs work on a thread of its own; when it has not returned within
// seconds, the test program ends at once with a failure: a reader the keys
// were made against would keep it busy for minutes.
inline void runWithHangGuard(const std::string& what, int seconds, const std::function<void()>& work) {
  auto done = std::async(std::launch::async, work);
  if (done.wait_for(std::chrono::seconds(seconds)) == std::future_status::ready) return done.get();
  std::printf("FAILED: %s did not finish within %d s\n", what.c_str(), seconds);
  std::fflush(stdout);
  std::_Exit(1);
}

// The hash the library's dictionaries index their keys by, to check the keys.
inline unsigned plistDictionaryHash(const std::string& key) {
  unsigned hash = 5381;
  for (char c : key) hash = hash * 33 + unsigned(static_cast<signed char>(c));
  return hash;
}

}  // namespace plisttest
