#pragma once
// Property-list files (XML or binary) read into and written from Value.
// Reading answers nullopt, with a log line, for anything that is not a
// well-formed property list whose root is a dictionary.

#include <optional>
#include <string>

#include "platform/foundation/property_list_limits.h"
#include "platform/foundation/value.h"

namespace foundation {

// Largest property-list file read; bigger files read as none.
inline constexpr std::size_t kMaxPropertyListBytes = 64u << 20;

// Reads an XML or binary property list whose root is a dictionary; when it
// cannot, *refusal (unless null) says whether it went over a budget.
std::optional<Value> readPropertyList(const std::string& path, PropertyListRefusal* refusal = nullptr);
std::optional<Value> readPropertyListData(const Data& bytes);

// The XML form of value. Null entries of dictionaries are left out; a null
// anywhere else, or a dictionary key holding a NUL character (the readers
// refuse it), cannot be written and answers nullopt, as does a text holding
// a NUL character (XML cannot hold it). Dates are written to the second, as
// the XML form holds no fractions.
std::optional<Data> propertyListXML(const Value& value);

// The binary form of value, under the same rules as the XML form except
// that texts holding a NUL character are written whole; for property lists
// stored inside other property lists as data.
std::optional<Data> propertyListBinary(const Value& value);

// The file writePropertyList writes for value: its XML form, or its binary
// form when the readers would refuse the XML one (base64 makes data a third
// larger) or it cannot hold a text; nullopt when they would refuse both or
// value cannot be written.
std::optional<Data> propertyListFile(const Value& value);

// Whether a value read from a property list can be written back so that it
// reads again (propertyListFile answers), with room left for spareValues
// more values (keys count) and spareBytes more bytes: what a program adds
// before it writes the value back. Answered from a bound on the binary
// form's size, encoding only when the bound is over the limit.
bool propertyListFileFits(const Value& value, std::uint64_t spareValues = 0, std::uint64_t spareBytes = 0);

// Writes propertyListFile(value), atomically (an old file survives a failed
// write).
bool writePropertyList(const std::string& path, const Value& value);

// A real narrowed to single precision, for keys stored as 32-bit floats: the
// stored double is exactly double(float(x)).
Value singlePrecisionReal(double x);

}  // namespace foundation
