#include "psd/kd_psd_pascal_string.h"

#include <algorithm>
#include <string>

#include "psd/kd_psd_text_encoding.h"

namespace velumar {

void appendPascalString(std::vector<std::uint8_t>& out, std::string_view utf8, std::size_t padding) {
  const std::string text = utf8ToMacRoman(utf8);
  const std::size_t length = std::min<std::size_t>(text.size(), 255);
  out.push_back(std::uint8_t(length));
  out.insert(out.end(), text.begin(), text.begin() + std::ptrdiff_t(length));
  const std::size_t after = pascalStringBytesAfterLength(length, padding);
  out.insert(out.end(), after - length, 0);
}

}  // namespace velumar
