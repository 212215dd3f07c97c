#pragma once
// A keyed hash of byte strings for hash tables that hold outside input
// (keys read from files). The key is drawn once per process from the
// system's random source, so which strings collide cannot be worked out
// beforehand: a file cannot be made to pile its keys into one bucket. The
// values differ from one process to the next; never store or send them.

#include <cstdint>
#include <string_view>

namespace foundation {

// SipHash-1-3 of bytes under the process's key.
std::uint64_t keyedHash(std::string_view bytes);

}  // namespace foundation
