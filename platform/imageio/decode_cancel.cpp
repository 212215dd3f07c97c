#include "platform/imageio/decode_cancel.h"

namespace imageio {

namespace {
thread_local const std::atomic<bool>* currentFlag = nullptr;
}  // namespace

DecodeCancelScope::DecodeCancelScope(const std::atomic<bool>* flag) : previous_(currentFlag) {
  currentFlag = flag;
}

DecodeCancelScope::~DecodeCancelScope() { currentFlag = previous_; }

const std::atomic<bool>* decodeCancelFlag() { return currentFlag; }

bool decodeCancelled() { return currentFlag != nullptr && currentFlag->load(std::memory_order_relaxed); }

}  // namespace imageio
