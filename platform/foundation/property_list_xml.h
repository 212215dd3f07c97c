#pragma once
// The XML property-list form read straight into Value with GLib's markup
// parser: no table is keyed by the file's keys but the keyed Dictionary
// itself. For property_list.cpp; the size and nesting pre-check runs first.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/value.h"

namespace foundation {

// Property-list dates count seconds from 2001-01-01 00:00:00 UTC.
inline constexpr std::int64_t kReferenceDateUnixSeconds = 978307200;

// The value at the root of an XML property list (of any type), or nullopt
// with *problem saying why. Files read as the property-list library's XML
// reader, used before, read them.
std::optional<Value> readXmlPropertyList(const Data& bytes, std::string* problem);

// An XML parser turns every line end into "\n"; the property-list form has
// always kept texts as they stand. When text holds a carriage return,
// markupKeepingCarriageReturns answers the markup to parse instead: in
// character data each carriage return becomes this mark and 'r', and the
// mark itself (a control character, which the parser passes through),
// written or referenced, becomes the mark twice. It notes in selfClosing,
// for each start tag in order, whether it closes itself ("<key/>" is no
// key, "<date/>" another date than "<date></date>").
inline constexpr char kCarriageReturnMark = '\x1f';
std::optional<std::string> markupKeepingCarriageReturns(std::string_view text,
                                                        std::vector<bool>& selfClosing);

// Scalars of the XML form from their element's text: an integer in decimal,
// leading zeros and all, or in hexadecimal after "0x", after one sign (and,
// past blanks, one more); a real through strtod in the "C" locale; a date
// by its first 31 characters to the second (in 32 bits from the reference
// date); data as base64 skipping what is not base64.
std::int64_t xmlInteger(const std::string& text);
double xmlReal(const std::string& text);
Date xmlDate(const std::string& text);
Date xmlDateOfEmptyElement();
Data xmlData(std::string_view text);

}  // namespace foundation
