#include "platform/foundation/property_list_limits.h"

#include <cstring>
#include <optional>
#include <vector>

namespace foundation {

namespace {

constexpr std::size_t kHeaderSize = 8;
constexpr std::size_t kTrailerSize = 32;

std::uint64_t readBigEndian(const std::uint8_t* p, std::size_t width) {
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < width; ++i) value = (value << 8) | p[i];
  return value;
}

struct BinaryList {
  const std::uint8_t* bytes;
  std::size_t size;
  std::size_t objectsEnd;  // the offset table starts here
  std::size_t offsetSize;
  std::size_t refSize;
  std::uint64_t objectCount;
  std::uint64_t tableOffset;

  std::uint64_t objectOffset(std::uint64_t index) const {
    return readBigEndian(bytes + tableOffset + index * offsetSize, offsetSize);
  }
};

// The length field of the object at offset: the low nibble of the marker,
// or a following integer object when the nibble is 0xF. *position receives
// where the payload starts; false when the length runs past the objects.
bool objectLength(const BinaryList& list, std::uint64_t offset, std::uint64_t* length,
                  std::uint64_t* position) {
  std::uint64_t count = list.bytes[offset] & 0x0f;
  *position = offset + 1;
  if (count == 0x0f) {
    if (*position >= list.objectsEnd) return false;
    const std::uint8_t intMarker = list.bytes[*position];
    if ((intMarker >> 4) != 0x1) return false;
    const std::size_t width = std::size_t(1) << (intMarker & 0x0f);
    if (width > 8 || *position + 1 + width > list.objectsEnd) return false;
    count = readBigEndian(list.bytes + *position + 1, width);
    *position += 1 + width;
  }
  *length = count;
  return true;
}

// Whether the scalar at offset has a size the parser accepts and fits
// before the offset table. Containers are checked by containerReferences.
bool scalarIsWellFormed(const BinaryList& list, std::uint64_t offset) {
  const std::uint8_t marker = list.bytes[offset];
  const std::uint64_t available = list.objectsEnd - offset - 1;
  switch (marker >> 4) {
    case 0x0:  // null, false, true, fill
      return marker == 0x00 || marker == 0x08 || marker == 0x09 || marker == 0x0f;
    case 0x1: {  // integers of 1, 2, 4, 8 or 16 bytes
      const std::uint64_t width = std::uint64_t(1) << (marker & 0x0f);
      return (marker & 0x0f) <= 4 && width <= available;
    }
    case 0x2:  // reals of 4 or 8 bytes
      return ((marker & 0x0f) == 2 && available >= 4) || ((marker & 0x0f) == 3 && available >= 8);
    case 0x3:  // dates are 8-byte reals
      return marker == 0x33 && available >= 8;
    case 0x4:    // data
    case 0x5:    // ASCII string
    case 0x6: {  // UTF-16 string
      std::uint64_t length = 0, position = 0;
      if (!objectLength(list, offset, &length, &position)) return false;
      const std::uint64_t unit = (marker >> 4) == 0x6 ? 2 : 1;
      return length <= (list.objectsEnd - position) / unit;
    }
    case 0x8:  // UIDs of 1 to 8 bytes
      return (marker & 0x0f) < 8 && std::uint64_t((marker & 0x0f) + 1) <= available;
    default:
      return false;
  }
}

// Whether the object at offset is a string usable as a dictionary key: the
// parser refuses other kinds and aborts on a key holding a NUL character.
bool isUsableKey(const BinaryList& list, std::uint64_t offset) {
  if (offset < kHeaderSize || offset >= list.objectsEnd) return false;
  const std::uint8_t kind = list.bytes[offset] >> 4;
  if (kind != 0x5 && kind != 0x6) return false;
  std::uint64_t length = 0, position = 0;
  if (!objectLength(list, offset, &length, &position)) return false;
  const std::uint64_t unit = kind == 0x6 ? 2 : 1;
  if (length > (list.objectsEnd - position) / unit) return false;
  const std::uint8_t* text = list.bytes + position;
  for (std::uint64_t i = 0; i < length; ++i) {
    if (unit == 1 ? text[i] == 0 : (text[2 * i] == 0 && text[2 * i + 1] == 0)) return false;
  }
  return true;
}

// The bytes a string or data object holds (UTF-16 counted as the up to
// three bytes per unit it takes as UTF-8); 0 for other objects. The object
// is known to be well-formed.
std::uint64_t payloadBytes(const BinaryList& list, std::uint64_t offset) {
  const std::uint8_t kind = list.bytes[offset] >> 4;
  if (kind != 0x4 && kind != 0x5 && kind != 0x6) return 0;
  std::uint64_t length = 0, position = 0;
  if (!objectLength(list, offset, &length, &position)) return 0;
  return kind == 0x6 ? length * 3 : length;
}

// The references of the container at offset, as [first, first + count * width);
// false when the object is malformed. Well-formed scalars answer count 0 and
// the bytes they hold in *payload.
// keyVerdicts remembers per object whether it was found usable as a key
// (1) or not (2), so a key shared by many dictionaries is read once.
bool containerReferences(const BinaryList& list, std::uint64_t offset, std::vector<std::uint8_t>& keyVerdicts,
                         std::uint64_t* refsStart, std::uint64_t* refCount, std::uint64_t* payload) {
  *refCount = 0;
  *payload = 0;
  if (offset < kHeaderSize || offset >= list.objectsEnd) return false;
  const std::uint8_t kind = list.bytes[offset] >> 4;
  if (kind != 0xA && kind != 0xC && kind != 0xD) {
    if (!scalarIsWellFormed(list, offset)) return false;
    *payload = payloadBytes(list, offset);
    return true;
  }
  std::uint64_t count = 0, position = 0;
  if (!objectLength(list, offset, &count, &position)) return false;
  const std::uint64_t refs = kind == 0xD ? count * 2 : count;
  if (kind == 0xD && count > (std::uint64_t(1) << 62)) return false;
  if (refs > (list.objectsEnd - position) / list.refSize) return false;
  // A dictionary's first half are its keys.
  for (std::uint64_t i = 0; kind == 0xD && i < count; ++i) {
    const std::uint64_t key = readBigEndian(list.bytes + position + i * list.refSize, list.refSize);
    if (key >= list.objectCount) return false;
    std::uint8_t& verdict = keyVerdicts[std::size_t(key)];
    if (verdict == 0) verdict = isUsableKey(list, list.objectOffset(key)) ? 1 : 2;
    if (verdict != 1) return false;
  }
  *refsStart = position;
  *refCount = refs;
  return true;
}

}  // namespace

bool binaryPropertyListWithinLimits(const std::uint8_t* bytes, std::size_t size,
                                    const PropertyListLimits& limits, std::string* problem,
                                    PropertyListRefusal* refusal) {
  auto fail = [&](const char* why, PropertyListRefusal kind = PropertyListRefusal::Malformed) {
    if (problem) *problem = why;
    if (refusal) *refusal = kind;
    return false;
  };
  auto overBudget = [&](PropertyListRefusal kind) {
    return fail(kind == PropertyListRefusal::TooManyValues ? "too many objects once shared ones are expanded"
                                                           : "too many bytes once shared objects are expanded",
                kind);
  };
  if (size < kHeaderSize + kTrailerSize || std::memcmp(bytes, "bplist00", kHeaderSize) != 0) {
    return fail("too short or not a binary property list");
  }
  const std::uint8_t* trailer = bytes + size - kTrailerSize;
  BinaryList list{
      bytes, size, 0, trailer[6], trailer[7], readBigEndian(trailer + 8, 8), readBigEndian(trailer + 24, 8)};
  const std::uint64_t topObject = readBigEndian(trailer + 16, 8);
  if (list.offsetSize < 1 || list.offsetSize > 8 || list.refSize < 1 || list.refSize > 8) {
    return fail("bad integer sizes in the trailer");
  }
  const std::uint64_t tableLimit = size - kTrailerSize;
  if (list.objectCount == 0 || topObject >= list.objectCount || list.tableOffset < kHeaderSize ||
      list.tableOffset > tableLimit || list.objectCount > (tableLimit - list.tableOffset) / list.offsetSize) {
    return fail("bad object count, top object or offset table");
  }
  list.objectsEnd = std::size_t(list.tableOffset);
  if (list.objectCount > list.objectsEnd) return fail("more objects than bytes");
  if (list.objectCount > limits.maxNodes) return fail("too many objects", PropertyListRefusal::TooManyValues);

  // Depth-first walk from the top object, each object once: depth and the
  // expanded node and byte counts are computed bottom-up, a reference back
  // to an object still being walked is a cycle.
  enum : std::uint8_t { kUnseen, kActive, kDone };
  std::vector<std::uint8_t> state(std::size_t(list.objectCount), kUnseen);
  std::vector<std::uint32_t> depth(std::size_t(list.objectCount), 0);
  std::vector<std::uint64_t> nodes(std::size_t(list.objectCount), 0);  // capped by maxNodes
  std::vector<std::uint64_t> expanded(std::size_t(list.objectCount), 0);  // bytes, capped by maxBytes
  std::vector<std::uint8_t> keyVerdicts(std::size_t(list.objectCount), 0);
  struct Frame {
    std::uint64_t object;
    std::uint64_t refsStart;
    std::uint64_t refCount;
    std::uint64_t next;
  };
  std::vector<Frame> stack;
  auto enter = [&](std::uint64_t object) -> bool {
    std::uint64_t refsStart = 0;
    std::uint64_t refCount = 0;
    std::uint64_t payload = 0;
    if (!containerReferences(list, list.objectOffset(object), keyVerdicts, &refsStart, &refCount, &payload))
      return false;
    state[object] = kActive;
    depth[object] = 1;
    nodes[object] = 1;
    expanded[object] = payload;
    stack.push_back({object, refsStart, refCount, 0});
    return true;
  };
  // Adds a finished child's counts to its parent; the budget the parent
  // goes over, if any. Both sums stay far below overflow, as each term is
  // within its limit.
  auto addChild = [&](std::uint64_t parent, std::uint64_t child) -> std::optional<PropertyListRefusal> {
    depth[parent] = std::max(depth[parent], depth[child] + 1);
    nodes[parent] += nodes[child];
    expanded[parent] += expanded[child];
    if (nodes[parent] > limits.maxNodes) return PropertyListRefusal::TooManyValues;
    if (expanded[parent] > limits.maxBytes) return PropertyListRefusal::TooManyBytes;
    return std::nullopt;
  };
  if (!enter(topObject)) return fail("malformed object");
  if (expanded[topObject] > limits.maxBytes) return overBudget(PropertyListRefusal::TooManyBytes);
  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (frame.next == frame.refCount) {
      const std::uint64_t finished = frame.object;
      state[finished] = kDone;
      stack.pop_back();
      if (!stack.empty()) {
        if (const auto over = addChild(stack.back().object, finished)) return overBudget(*over);
      }
      continue;
    }
    const std::uint64_t child =
        readBigEndian(list.bytes + frame.refsStart + frame.next * list.refSize, list.refSize);
    ++frame.next;
    if (child >= list.objectCount) return fail("reference out of range");
    if (state[child] == kActive) return fail("reference cycle");
    if (state[child] == kDone) {
      if (const auto over = addChild(frame.object, child)) return overBudget(*over);
      continue;
    }
    if (stack.size() >= std::size_t(limits.maxDepth)) return fail("nested too deeply");
    if (!enter(child)) return fail("malformed object");
  }
  if (depth[topObject] > std::uint32_t(limits.maxDepth)) return fail("nested too deeply");
  return true;
}

bool xmlPropertyListWithinLimits(const std::uint8_t* bytes, std::size_t size,
                                 const PropertyListLimits& limits, PropertyListRefusal* refusal) {
  auto fail = [&](PropertyListRefusal kind) {
    if (refusal) *refusal = kind;
    return false;
  };
  // Per open array or dictionary: the keys seen in it (arrays never count).
  struct Open {
    bool dictionary;
    std::uint64_t keys;
  };
  std::vector<Open> open;
  std::uint64_t elements = 0;
  for (std::size_t i = 0; i < size; ++i) {
    if (bytes[i] != '<') continue;
    std::size_t j = i + 1;
    const bool closing = j < size && bytes[j] == '/';
    if (closing) ++j;
    // Every value and key is one element, as keys are objects of the binary
    // form; a few more for the prologue and the plist element.
    if (!closing && ++elements > limits.maxNodes + 16) return fail(PropertyListRefusal::TooManyValues);
    auto nameIs = [&](const char* name) {
      const std::size_t length = std::strlen(name);
      if (j + length > size || std::memcmp(bytes + j, name, length) != 0) return false;
      // The name must end here: "<array>", "<array/>", "<dict >".
      return j + length == size || bytes[j + length] == '>' || bytes[j + length] == '/' ||
             bytes[j + length] == ' ' || bytes[j + length] == '\t' || bytes[j + length] == '\n' ||
             bytes[j + length] == '\r';
    };
    if (!closing && nameIs("key") && !open.empty() && open.back().dictionary &&
        ++open.back().keys > limits.maxXmlDictionaryKeys)
      return fail(PropertyListRefusal::TooManyValues);
    const bool dictionary = nameIs("dict");
    if (!dictionary && !nameIs("array")) continue;
    if (closing) {
      if (!open.empty()) open.pop_back();
      continue;
    }
    // An empty element "<array/>" does not nest.
    std::size_t end = j;
    while (end < size && bytes[end] != '>') ++end;
    if (end < size && bytes[end - 1] == '/') continue;
    if (open.size() >= std::size_t(limits.maxDepth)) return fail(PropertyListRefusal::Malformed);
    open.push_back({dictionary, 0});
  }
  return true;
}

}  // namespace foundation
