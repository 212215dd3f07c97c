#include "engine/image_modify_info.h"

#include <cstring>
#include <type_traits>

namespace velumar {

static_assert(std::is_trivially_copyable_v<ImageModifyInfo>, "the record is copied as plain bytes");

ImageModifyInfo ImageModifyInfo::zeroed() {
  ImageModifyInfo info;
  // All-zero bytes are false, 0 and +0.0 for every member.
  std::memset(static_cast<void*>(&info), 0, sizeof info);
  return info;
}

}  // namespace velumar
