#pragma once
// Reads one action descriptor, the typed key-value structure inside a type
// layer's text block. Keeps the plain text, the bounds descriptors and the
// parsed text-engine data; steps over known items and reads other values by
// their type where the type is known.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <variant>

namespace velumar {

class KDPSD;
class KDPSDStream;
class KDPSDDescriptor;
class KDPSDTextEngineParser;

// A kept value: text, a number, a nested descriptor or a text-engine parse.
using KDPSDDescriptorValue = std::variant<std::string, double, std::int64_t, std::shared_ptr<KDPSDDescriptor>,
                                          std::shared_ptr<KDPSDTextEngineParser>>;

class KDPSDDescriptor {
 public:
  // A descriptor read from the stream's position, or nullptr when an item
  // cannot be read. Reads past the end raise the stream's overrun.
  static std::shared_ptr<KDPSDDescriptor> descriptorWithStream(KDPSDStream& stream, KDPSD* psd);

  bool readStream(KDPSDStream& stream);
  void readEnumFromStream(KDPSDStream& stream);

  const KDPSDDescriptorValue* attribute(const std::string& key) const;
  // The "layerText" entry, when there is one.
  const std::string* layerText() const;

  KDPSD* psd = nullptr;
  std::map<std::string, KDPSDDescriptorValue> attributes;
  std::uint32_t classId = 0;
  std::string classIdString;
  std::uint32_t itemCount = 0;

 private:
  bool readItemByType(KDPSDStream& stream, const std::string& name);
};

}  // namespace velumar
