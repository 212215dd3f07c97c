#pragma once
// Readable names for value-parameterised engine tests.

#include <cctype>
#include <string>
#include <string_view>

namespace velumar::testing_names {

// "fit width, never enlarges" -> "3_fit_width_never_enlarges".
inline std::string paramName(std::size_t index, std::string_view text) {
  std::string name = std::to_string(index) + "_";
  bool gap = false;
  for (char c : text) {
    if (std::isalnum(static_cast<unsigned char>(c))) {
      if (gap && name.back() != '_') name += '_';
      name += c;
      gap = false;
    } else {
      gap = true;
    }
  }
  return name;
}

// Names a parameter by its `name` member.
struct ByNameMember {
  template <typename Info>
  std::string operator()(const Info& info) const {
    return paramName(info.index, info.param.name);
  }
};

}  // namespace velumar::testing_names
