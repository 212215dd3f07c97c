#pragma once
// Numbers as the user reads and types them: ICU's number formats in the
// user's locale, decimal or percent, with a fixed range of fraction digits
// and a rounding increment. Not safe to share between threads.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace foundation {

class NumberFormatter {
 public:
  enum class Style { Decimal, Percent };

  NumberFormatter(Style style, int minFractionDigits, int maxFractionDigits, double roundingIncrement);
  ~NumberFormatter();
  NumberFormatter(const NumberFormatter&) = delete;
  NumberFormatter& operator=(const NumberFormatter&) = delete;

  // The text of value; percent style shows fractions as percentages
  // (0.85 as "85%"). Non-finite values give "".
  std::string format(double value) const;
  // The number a text holds, surrounding white space allowed; nullopt when
  // the whole text is not one number. Percent style reads "85%", "85 %" and
  // a plain "85" alike, as 0.85.
  std::optional<double> parse(std::string_view text) const;

 private:
  // ICU's format handles, opaque here.
  struct Closer {
    void operator()(void* format) const;
  };
  using Handle = std::unique_ptr<void, Closer>;
  std::optional<double> parseWith(void* format, std::string_view text) const;

  Style style_;
  Handle format_;
  Handle plain_;  // percent style: reads plain numbers
};

}  // namespace foundation
