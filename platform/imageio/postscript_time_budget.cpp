#include "platform/imageio/postscript_time_budget.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>

#include "platform/imageio/file_identity.h"

namespace imageio {

namespace {

constexpr std::size_t kMaxRecords = 1024;

std::atomic<double> timeLimit{60.0};
std::mutex recordsMutex;
std::map<FileIdentity, PostScriptRunRecord>& records() {
  static std::map<FileIdentity, PostScriptRunRecord> all;
  return all;
}

}  // namespace

double postScriptTimeLimit() {
  return timeLimit.load();
}

void setPostScriptTimeLimit(double seconds) {
  if (seconds > 0) timeLimit.store(seconds);
}

std::optional<PostScriptRunRecord> postScriptRunRecord(const std::string& path) {
  const auto identity = identityOf(path);
  if (!identity) return std::nullopt;
  std::lock_guard lock(recordsMutex);
  const auto found = records().find(*identity);
  if (found == records().end()) return std::nullopt;
  return found->second;
}

void rememberPostScriptRun(const std::string& path, const PostScriptRunRecord& record) {
  const auto identity = identityOf(path);
  if (!identity) return;
  std::lock_guard lock(recordsMutex);
  auto& all = records();
  // What is kept stays bounded: when full, start over; forgetting a file
  // only costs measuring it again.
  if (all.size() >= kMaxRecords && all.find(*identity) == all.end()) all.clear();
  all[*identity] = record;
}

double postScriptTimeLeft(const std::string& path) {
  const auto record = postScriptRunRecord(path);
  if (!record) return postScriptTimeLimit();
  if (record->timedOut) return 0;
  return std::max(0.0, postScriptTimeLimit() - record->measuringSeconds);
}

}  // namespace imageio
