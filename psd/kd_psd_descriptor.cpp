#include "psd/kd_psd_descriptor.h"

#include "platform/foundation/log.h"
#include "psd/kd_psd_byte_order.h"
#include "psd/kd_psd_stream.h"
#include "psd/kd_psd_text_engine.h"

namespace velumar {
namespace {

// Descriptors nest a few levels in real files; deeper nesting is refused so
// crafted data cannot exhaust the stack.
constexpr int kMaxNesting = 32;

thread_local int tNesting = 0;

struct NestingGuard {
  NestingGuard() { ++tNesting; }
  ~NestingGuard() { --tNesting; }
  bool tooDeep() const { return tNesting > kMaxNesting; }
};

void readEnumeration(KDPSDStream& stream) {
  std::uint32_t ignored = 0;
  stream.readPSDStringOrGetFourByteID(ignored);
  stream.readPSDStringOrGetFourByteID(ignored);
}

}  // namespace

std::shared_ptr<KDPSDDescriptor> KDPSDDescriptor::descriptorWithStream(KDPSDStream& stream, KDPSD* psd) {
  NestingGuard guard;
  if (guard.tooDeep()) {
    foundation::log("PSD descriptor nested too deeply");
    return nullptr;
  }
  auto descriptor = std::make_shared<KDPSDDescriptor>();
  descriptor->psd = psd;
  if (!descriptor->readStream(stream)) return nullptr;
  return descriptor;
}

const KDPSDDescriptorValue* KDPSDDescriptor::attribute(const std::string& key) const {
  auto it = attributes.find(key);
  return it == attributes.end() ? nullptr : &it->second;
}

const std::string* KDPSDDescriptor::layerText() const {
  const KDPSDDescriptorValue* value = attribute("layerText");
  return value ? std::get_if<std::string>(value) : nullptr;
}

bool KDPSDDescriptor::readStream(KDPSDStream& stream) {
  stream.readPSDString16();  // name
  std::uint32_t code = 0;
  if (auto name = stream.readPSDStringOrGetFourByteID(code)) {
    classIdString = *name;
  } else {
    classId = code;
  }
  itemCount = stream.readInt32();

  for (std::uint32_t i = 0; i < itemCount; ++i) {
    std::uint32_t keyCode = 0;
    const std::optional<std::string> keyString = stream.readPSDStringOrGetFourByteID(keyCode);
    const bool isCode = !keyString.has_value();

    if (isCode) {
      bool handled = true;
      switch (keyCode) {
        case fourCharCode("AntA"):
        case fourCharCode("Ornt"):
          stream.readInt32();
          readEnumeration(stream);
          break;
        case fourCharCode("Objc"):
          if (!descriptorWithStream(stream, psd)) return false;
          break;
        case fourCharCode("Txt "):
          stream.readInt32();
          attributes["layerText"] = stream.readPSDString16();
          break;
        case fourCharCode("doub"):
          stream.readDouble64();
          break;
        case fourCharCode("enum"):
          readEnumFromStream(stream);
          break;
        case fourCharCode("long"):
        case fourCharCode("null"):
          stream.readInt32();
          break;
        case fourCharCode("tdta"):
          stream.skipLength(stream.readInt32());
          break;
        default:
          handled = false;
      }
      if (handled) continue;
    }

    const std::string key = keyString.value_or("");
    if (key == "textGridding") {
      stream.readInt32();
      stream.readPSDString();
      std::uint32_t ignored = 0;
      stream.readPSDStringOrGetFourByteID(ignored);
    } else if (key == "bounds" || key == "boundingBox") {
      stream.readInt32();
      auto nested = descriptorWithStream(stream, psd);
      // A nested descriptor that cannot be read leaves the stream in an
      // unknown place: the enclosing read fails too.
      if (!nested) return false;
      attributes[key] = nested;
    } else if (key == "warpStyle" || key == "warpRotate") {
      stream.readInt32();
      readEnumeration(stream);
    } else if (key == "warpValue" || key == "warpPerspective" || key == "warpPerspectiveOther") {
      stream.readInt32();
      stream.readDouble64();
    } else if (key == "EngineData") {
      stream.readInt32();
      const std::uint32_t length = stream.readInt32();
      auto parser = std::make_shared<KDPSDTextEngineParser>();
      parser->parseData(stream.readDataOfLength(length));
      attributes[key] = parser;
    } else {
      if (key.empty() && !isCode) {
        foundation::log("Unknown type: {} / '{}'", quotedFourCharCode(keyCode), key);
        return false;
      }
      const std::string name = isCode ? quotedFourCharCode(keyCode) : key;
      foundation::log("guessing for {} / '{}' offset {}", isCode ? fourCharCodeText(keyCode) : "", key,
                      stream.location());
      if (!readItemByType(stream, name)) return false;
    }
  }
  return true;
}

bool KDPSDDescriptor::readItemByType(KDPSDStream& stream, const std::string& name) {
  const std::uint32_t type = stream.readInt32();
  switch (type) {
    case fourCharCode("Objc"): {
      auto nested = descriptorWithStream(stream, psd);
      if (!nested) return false;
      attributes[name] = nested;
      return true;
    }
    case fourCharCode("UntF"): {
      const std::uint32_t unit = stream.readInt32();
      foundation::log("unitType: {}", quotedFourCharCode(unit));
      attributes[name] = stream.readDouble64();
      return true;
    }
    case fourCharCode("doub"):
      attributes[name] = stream.readDouble64();
      return true;
    case fourCharCode("long"):
      attributes[name] = std::int64_t(stream.readInt32());
      return true;
    case fourCharCode("bool"):
      attributes[name] = std::int64_t(stream.readInt8());
      return true;
    case fourCharCode("tdta"):
      stream.skipLength(stream.readInt32());
      return true;
    default:
      return false;
  }
}

void KDPSDDescriptor::readEnumFromStream(KDPSDStream& stream) {
  const std::string name = stream.readPSDString();
  if (name == "textGridding") {
    stream.skipLength(56);
    return;
  }
  readEnumeration(stream);
  stream.readInt32();
  std::uint32_t ignored = 0;
  stream.readPSDStringOrGetFourByteID(ignored);
}

}  // namespace velumar
