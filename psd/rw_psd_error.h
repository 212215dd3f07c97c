#pragma once
// Failure reports of the layered PSD writer.

#include <string>

namespace velumar {

inline constexpr const char* kRWPSDErrorDomain = "RWPSDWriterErrorDomain";

enum RWPSDErrorCode : int {
  kRWPSDErrorNoDocumentSize = 1,
  kRWPSDErrorNoVisibleLayers = 2,
  kRWPSDErrorNoOpenedGroup = 3,
  kRWPSDErrorTooLarge = 4,
  kRWPSDErrorNoPixelData = 5,
};

struct RWPSDError {
  std::string domain = kRWPSDErrorDomain;
  int code = 0;
  std::string description;
};

// Stores code and message in *error when the caller asked for it.
inline void rwSetError(RWPSDError* error, int code, std::string description) {
  if (!error) return;
  error->domain = kRWPSDErrorDomain;
  error->code = code;
  error->description = std::move(description);
}

}  // namespace velumar
