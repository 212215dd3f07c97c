#pragma once
// Builds binary property lists object by object, with 4-byte references and
// offsets, so tests and benchmarks can make files that share objects, nest
// or hold counts no writer would: hostile inputs made on the spot.

#include <cstdint>
#include <string>
#include <vector>

namespace plisttest {

class BinaryPlistBuilder {
 public:
  using Bytes = std::vector<std::uint8_t>;

  // Adds an object and answers its index, the number references use.
  std::uint32_t add(Bytes object) {
    objects_.push_back(std::move(object));
    return std::uint32_t(objects_.size() - 1);
  }
  // Replaces the object at index, for containers added before their items.
  void set(std::uint32_t index, Bytes object) { objects_[index] = std::move(object); }

  static void appendBig(Bytes& out, std::uint64_t value, int width) {
    for (int i = width - 1; i >= 0; --i) out.push_back(std::uint8_t(value >> (8 * i)));
  }
  // A marker of kind with its count: in the low nibble, or as a following
  // 8-byte integer.
  static Bytes marker(std::uint8_t kind, std::uint64_t count) {
    Bytes out;
    if (count < 15) {
      out.push_back(std::uint8_t(kind << 4 | count));
    } else {
      out.push_back(std::uint8_t(kind << 4 | 0x0f));
      out.push_back(0x13);
      appendBig(out, count, 8);
    }
    return out;
  }
  // An array (0xA) or dictionary (0xD, keys then values) of references.
  static Bytes container(std::uint8_t kind, std::uint64_t count, const std::vector<std::uint32_t>& refs) {
    Bytes out = marker(kind, count);
    for (std::uint32_t ref : refs) appendBig(out, ref, 4);
    return out;
  }
  static Bytes array(const std::vector<std::uint32_t>& refs) { return container(0xA, refs.size(), refs); }
  // keys and values of equal length.
  static Bytes dictionary(const std::vector<std::uint32_t>& keys, const std::vector<std::uint32_t>& values) {
    std::vector<std::uint32_t> refs = keys;
    refs.insert(refs.end(), values.begin(), values.end());
    return container(0xD, keys.size(), refs);
  }
  static Bytes ascii(const std::string& text) {
    Bytes out = marker(0x5, text.size());
    out.insert(out.end(), text.begin(), text.end());
    return out;
  }
  static Bytes data(std::size_t length, std::uint8_t fill = 0x5a) {
    Bytes out = marker(0x4, length);
    out.insert(out.end(), length, fill);
    return out;
  }
  static Bytes integer(std::uint64_t value) {
    Bytes out{0x13};
    appendBig(out, value, 8);
    return out;
  }
  static Bytes uid(std::uint32_t value) {
    Bytes out{0x83};
    appendBig(out, value, 4);
    return out;
  }

  Bytes build(std::uint32_t top = 0) const {
    Bytes out{'b', 'p', 'l', 'i', 's', 't', '0', '0'};
    std::vector<std::uint64_t> offsets;
    offsets.reserve(objects_.size());
    for (const auto& object : objects_) {
      offsets.push_back(out.size());
      out.insert(out.end(), object.begin(), object.end());
    }
    const std::uint64_t table = out.size();
    for (std::uint64_t offset : offsets) appendBig(out, offset, 4);
    out.insert(out.end(), 6, 0);
    out.push_back(4);
    out.push_back(4);
    appendBig(out, objects_.size(), 8);
    appendBig(out, top, 8);
    appendBig(out, table, 8);
    return out;
  }

 private:
  std::vector<Bytes> objects_;
};

// A keyed archive whose root object (class "KeyShortcut") has the fields
// KeyCode 1 and ModifierFlags 0 plus what extra adds: extra(builder,
// objects, keys, values) may add plist objects, append them to the archive's
// object table (objects; a UID n refers to objects[n]) and add fields to the
// root object (keys and values, as plist object indices).
template <typename Extra>
BinaryPlistBuilder::Bytes keyedArchiveWith(Extra extra) {
  BinaryPlistBuilder b;
  const std::uint32_t root = b.add({});  // filled in last
  const std::uint32_t rootObject = b.add({});
  const std::uint32_t classObject = b.add({});
  const std::uint32_t table = b.add({});
  std::vector<std::uint32_t> objects{b.add(BinaryPlistBuilder::ascii("$null")), rootObject, classObject};
  std::vector<std::uint32_t> keys{b.add(BinaryPlistBuilder::ascii("$class")), b.add(BinaryPlistBuilder::ascii("KeyCode")),
                                  b.add(BinaryPlistBuilder::ascii("ModifierFlags"))};
  std::vector<std::uint32_t> values{b.add(BinaryPlistBuilder::uid(2)), b.add(BinaryPlistBuilder::integer(1)),
                                    b.add(BinaryPlistBuilder::integer(0))};
  extra(b, objects, keys, values);

  b.set(rootObject, BinaryPlistBuilder::dictionary(keys, values));
  b.set(classObject, BinaryPlistBuilder::dictionary({b.add(BinaryPlistBuilder::ascii("$classname"))},
                                                    {b.add(BinaryPlistBuilder::ascii("KeyShortcut"))}));
  b.set(table, BinaryPlistBuilder::array(objects));
  const std::uint32_t top =
      b.add(BinaryPlistBuilder::dictionary({b.add(BinaryPlistBuilder::ascii("root"))}, {b.add(BinaryPlistBuilder::uid(1))}));
  b.set(root, BinaryPlistBuilder::dictionary(
                  {b.add(BinaryPlistBuilder::ascii("$top")), b.add(BinaryPlistBuilder::ascii("$objects"))}, {top, table}));
  return b.build(root);
}

}  // namespace plisttest
