#pragma once
// Failure reports of the PSD reader: the error record handed to callers and
// the buffer-overrun condition, which never leaves the reader.

#include <stdexcept>
#include <string>

namespace velumar {

// Domain of the reader's own errors (bad channel encodings).
inline constexpr const char* kKDPSDErrorDomain = "KDPSDErrorDomain";

struct KDPSDError {
  std::string domain;  // "8BPS", "8BIM" or kKDPSDErrorDomain
  int code = 0;
  std::string description;
};

// Raised by the byte stream when a read would pass the end of its data;
// caught at the document reader's entry point.
class KDPSDBufferOverrun : public std::runtime_error {
 public:
  explicit KDPSDBufferOverrun(const std::string& reason) : std::runtime_error(reason) {}
  static constexpr const char* name = "PSD Buffer Overrun";
};

}  // namespace velumar
