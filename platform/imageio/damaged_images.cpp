#include "platform/imageio/damaged_images.h"

#include <mutex>
#include <set>
#include <utility>

#include "platform/imageio/file_identity.h"

namespace imageio {

namespace {

constexpr std::size_t kMaxRecords = 256;

std::mutex recordsMutex;
std::set<std::pair<FileIdentity, std::size_t>>& records() {
  static std::set<std::pair<FileIdentity, std::size_t>> all;
  return all;
}

}  // namespace

bool isKnownDamaged(const std::string& path, std::size_t index) {
  const auto identity = identityOf(path);
  if (!identity) return false;
  std::lock_guard lock(recordsMutex);
  return records().contains({*identity, index});
}

void rememberDamaged(const std::string& path, std::size_t index) {
  const auto identity = identityOf(path);
  if (!identity) return;
  std::lock_guard lock(recordsMutex);
  // Bounded: forgetting a file only costs decoding it again.
  if (records().size() >= kMaxRecords) records().clear();
  records().insert({*identity, index});
}

}  // namespace imageio
