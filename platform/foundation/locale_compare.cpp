#include "platform/foundation/locale_compare.h"

#include <unicode/ucol.h>
#include <unicode/utf8.h>

#include <cstdint>
#include <limits>
#include <memory>

#include "platform/foundation/log.h"

namespace foundation {

namespace {

struct CollatorCloser {
  void operator()(UCollator* collator) const { ucol_close(collator); }
};
using CollatorPtr = std::unique_ptr<UCollator, CollatorCloser>;

// One collator per thread: ICU collators are not safe to share while they
// compare.
CollatorPtr makeCollator(UColAttributeValue strength, bool numeric) {
  UErrorCode status = U_ZERO_ERROR;
  // No locale name: ICU's default locale, taken from the environment.
  CollatorPtr collator(ucol_open(nullptr, &status));
  if (U_FAILURE(status) || !collator) {
    log("Locale comparison: no collator ({})", u_errorName(status));
    return nullptr;
  }
  ucol_setStrength(collator.get(), strength);
  if (numeric) ucol_setAttribute(collator.get(), UCOL_NUMERIC_COLLATION, UCOL_ON, &status);
  return collator;
}

int collate(const UCollator* collator, std::string_view a, std::string_view b) {
  if (!collator) return 0;
  UErrorCode status = U_ZERO_ERROR;
  const UCollationResult result =
      ucol_strcollUTF8(collator, a.data(), std::int32_t(a.size()), b.data(), std::int32_t(b.size()), &status);
  if (U_FAILURE(status)) return 0;
  return result == UCOL_LESS ? -1 : result == UCOL_GREATER ? 1 : 0;
}

bool isValidUTF8(std::string_view text) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  const auto length = std::int32_t(text.size());
  for (std::int32_t i = 0; i < length;) {
    UChar32 c = 0;
    U8_NEXT(bytes, i, length, c);
    if (c < 0) return false;
  }
  return true;
}

}  // namespace

bool localizedEqual(std::string_view a, std::string_view b) {
  if (a == b) return true;
  constexpr auto kMaxLength = std::size_t(std::numeric_limits<std::int32_t>::max());
  if (a.size() > kMaxLength || b.size() > kMaxLength) return false;
  // The collator reads every malformed sequence as one replacement
  // character, which would make different bytes equal.
  if (!isValidUTF8(a) || !isValidUTF8(b)) return false;
  thread_local const CollatorPtr collator = makeCollator(UCOL_TERTIARY, false);
  if (!collator) return false;
  UErrorCode status = U_ZERO_ERROR;
  const UCollationResult result = ucol_strcollUTF8(collator.get(), a.data(), std::int32_t(a.size()), b.data(),
                                                   std::int32_t(b.size()), &status);
  return U_SUCCESS(status) && result == UCOL_EQUAL;
}

int compareFileNames(std::string_view a, std::string_view b) {
  if (a == b) return 0;
  constexpr auto kMaxLength = std::size_t(std::numeric_limits<std::int32_t>::max());
  // Names that are not UTF-8 (or absurdly long) are ordered by their bytes
  // only; the collator would read the malformed bytes as one character.
  if (a.size() <= kMaxLength && b.size() <= kMaxLength && isValidUTF8(a) && isValidUTF8(b)) {
    thread_local const CollatorPtr loose = makeCollator(UCOL_SECONDARY, true);
    thread_local const CollatorPtr strict = makeCollator(UCOL_TERTIARY, true);
    if (int order = collate(loose.get(), a, b)) return order;
    if (int order = collate(strict.get(), a, b)) return order;
  }
  return a < b ? -1 : 1;
}

}  // namespace foundation
