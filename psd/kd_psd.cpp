#include "psd/kd_psd.h"

#include <fmt/format.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>

#include "platform/foundation/log.h"
#include "platform/foundation/user_defaults.h"
#include "psd/kd_psd_byte_order.h"
#include "psd/kd_psd_stream.h"

namespace velumar {
namespace {

constexpr std::uint32_t k8BPS = fourCharCode("8BPS");
constexpr std::uint32_t k8BIM = fourCharCode("8BIM");
constexpr std::uint32_t kMeSa = fourCharCode("MeSa");
constexpr std::uint16_t kResourceICCProfile = 1039;
constexpr std::uint16_t kResourceResolution = 1005;
constexpr std::uint16_t kColorModeRGB = 3;
constexpr std::uint32_t kMaxDocumentSide = 30000;
constexpr std::uint16_t kMaxChannels = 56;

// Decoded pixels may take at most this many times the file's size (real
// encoders never reach it), within fixed floor and ceiling.
constexpr std::uint64_t kBudgetPerFileByte = 1100;
constexpr std::uint64_t kBudgetFloor = std::uint64_t(64) << 20;
constexpr std::uint64_t kBudgetCeiling = std::uint64_t(16) << 30;

std::atomic<bool> gDebugEnabled{false};

void fail(KDPSDError* error, const char* domain, int code, const std::string& text) {
  foundation::log("{}", text);
  if (error) *error = KDPSDError{domain, code, text};
}

}  // namespace

void kdpsdDebugLog(const std::string& line) {
  if (!gDebugEnabled.load(std::memory_order_relaxed)) return;
  std::fputs(line.c_str(), stdout);
  std::fputc('\n', stdout);
}

bool KDPSD::debugEnabled() {
  return gDebugEnabled.load();
}
void KDPSD::setDebugEnabled(bool on) {
  gDebugEnabled.store(on);
}

KDPSD::KDPSD() : baseLayerGroup(KDPSDLayer::baseLayer()) {}
KDPSD::~KDPSD() = default;

bool KDPSD::reserveDecodedBytes(std::uint64_t n) {
  if (n > decodedByteBudget_ || decodedBytes_ > decodedByteBudget_ - n) return false;
  decodedBytes_ += n;
  return true;
}

std::unique_ptr<KDPSD> KDPSD::imageWithContetsOfURL(const std::string& path, KDPSDError* error) {
  return imageWithContetsOfURL(path, error, false);
}

std::unique_ptr<KDPSD> KDPSD::imageWithContetsOfURL(const std::string& path, KDPSDError* error,
                                                    bool printDebugInfo) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return nullptr;
  setDebugEnabled(printDebugInfo ||
                  foundation::UserDefaults::standard().boolForKey("KDPSDDebug").value_or(false));
  kdpsdDebugLog(fmt::format("Opening stream at {}", path));
  std::unique_ptr<KDPSDStream> stream = KDPSDStream::PSDStreamForReadingURL(path);
  if (!stream) {
    fail(error, "8BPS", 1, "Empty PSD file");
    return nullptr;
  }
  return readFromStream(*stream, error);
}

std::unique_ptr<KDPSD> KDPSD::imageWithData(std::vector<std::uint8_t> bytes, KDPSDError* error) {
  KDPSDStream stream(std::move(bytes));
  return readFromStream(stream, error);
}

std::unique_ptr<KDPSD> KDPSD::readFromStream(KDPSDStream& stream, KDPSDError* error) {
  auto document = std::make_unique<KDPSD>();
  document->decodedByteBudget_ =
      std::clamp(stream.fileLength() * kBudgetPerFileByte, kBudgetFloor, kBudgetCeiling);
  try {
    if (!document->readStream(stream, error)) return nullptr;
  } catch (const KDPSDBufferOverrun& overrun) {
    foundation::log("{}: {}", KDPSDBufferOverrun::name, overrun.what());
    return nullptr;
  } catch (const std::bad_alloc&) {
    foundation::log("PSD read ran out of memory");
    return nullptr;
  }
  return document;
}

bool KDPSD::readStream(KDPSDStream& stream, KDPSDError* error) {
  if (!stream.hasLengthToRead(4)) {
    fail(error, "8BPS", 1, "Empty PSD file");
    return false;
  }
  if (!readHeader(stream, error)) return false;

  const std::uint32_t colormapLength = stream.readInt32();
  kdpsdDebugLog(fmt::format("colorMapLen: {}", colormapLength));
  colormapData = stream.readDataOfLength(colormapLength);

  std::uint32_t layerSectionLength = 0;
  if (!readImageResources(stream, error, layerSectionLength)) return false;
  if (!readLayerSection(stream, layerSectionLength, error)) return false;
  if (baseLayerGroup->layers.empty()) {
    foundation::log("PSD without layers left to the flat decoders");
    return false;
  }

  kdpsdDebugLog(fmt::format("location when reading in composite: {}", stream.location()));
  readComposite(stream, error);
  return true;
}

bool KDPSD::readHeader(KDPSDStream& stream, KDPSDError* error) {
  const std::uint32_t signature = stream.readInt32();
  if (signature != k8BPS) {
    fail(error, "8BPS", 1,
         fmt::format("{}:{} invalid start signature {}", "-[KDPSD readDataAtURL:error:]", 200,
                     quotedFourCharCode(signature)));
    return false;
  }
  version = stream.readInt16();
  kdpsdDebugLog(fmt::format("Version {}", version));
  if (version != 1) {
    foundation::log("Not a valid psd, version number is wrong ({})", version);
    return false;
  }
  stream.skipLength(6);
  channels = stream.readInt16();
  height = stream.readInt32();
  width = stream.readInt32();
  depth = stream.readInt16();
  colorMode = stream.readInt16();
  kdpsdDebugLog(fmt::format("_channels:  {}", channels));
  kdpsdDebugLog(fmt::format("_height:    {}", height));
  kdpsdDebugLog(fmt::format("_width:     {}", width));
  kdpsdDebugLog(fmt::format("_depth:     {}", depth));
  kdpsdDebugLog(fmt::format("_colorMode: {}", colorMode));
  // Files the layered reader leaves alone still convert through the flat
  // decoder: only developers hear why.
  if (colorMode != kColorModeRGB) {
    foundation::logDebug("Unsupported color mode ({})", colorMode);
    return false;
  }
  // Every sample is decoded as one byte, so other depths are refused here
  // rather than misread.
  if (depth != 8) {
    foundation::logDebug("Unsupported depth ({})", depth);
    return false;
  }
  if (channels < 1 || channels > kMaxChannels || width < 1 || height < 1 || width > kMaxDocumentSide ||
      height > kMaxDocumentSide) {
    foundation::log("Not a valid psd: {} channels, {} x {}", channels, width, height);
    return false;
  }
  return true;
}

bool KDPSD::readImageResources(KDPSDStream& stream, KDPSDError* error, std::uint32_t& layerSectionLength) {
  const std::uint32_t length = stream.readInt32();
  kdpsdDebugLog(fmt::format("doc resource length: {}", length));
  const std::int64_t sectionEnd = stream.location() + std::int64_t(length);
  std::int64_t blockStart = stream.location();
  std::uint32_t word = stream.readInt32();
  while (blockStart < sectionEnd) {
    if (word != k8BIM && word != kMeSa) {
      fail(error, "8BIM", 1,
           fmt::format("{}:{} invalid signature at loc {} {}", "-[KDPSD readDataAtURL:error:]", 257,
                       stream.location(), quotedFourCharCode(word)));
      return false;
    }
    const std::uint16_t id = stream.readInt16();
    const std::string name = stream.readPascalString();
    const std::uint32_t dataLength = stream.readInt32();
    const std::uint64_t padded = std::uint64_t(dataLength) + (dataLength & 1);
    kdpsdDebugLog(fmt::format(" + {} '{}' len: {}", id, name, dataLength));
    if (id == kResourceICCProfile) {
      iccProfile = stream.readDataOfLength(padded);
      hasICCProfile = true;
    } else if (id == kResourceResolution) {
      stream.peek(padded);
      stream.skipLength(padded);
    } else {
      stream.skipLength(padded);
    }
    blockStart = stream.location();
    word = stream.readInt32();
  }
  // The layer section length follows the stated end of the resources, even
  // when a block claimed to run past it.
  if (blockStart != sectionEnd) {
    stream.seek(sectionEnd);
    word = stream.readInt32();
  }
  layerSectionLength = word;
  kdpsdDebugLog(fmt::format("layer and mask info length: {}", layerSectionLength));
  return true;
}

bool KDPSD::readLayerSection(KDPSDStream& stream, std::uint32_t sectionLength, KDPSDError* error) {
  if (sectionLength == 0) return true;
  const std::int64_t sectionStart = stream.location();
  const std::int64_t sectionEnd = sectionStart + std::int64_t(sectionLength);

  const std::uint32_t layerInfoLength = stream.readInt32();
  kdpsdDebugLog(fmt::format("layerInfoLen length: {}", layerInfoLength + (layerInfoLength & 1)));
  if (layerInfoLength != 0) {
    const std::int16_t storedCount = stream.readSInt16();
    const int count = std::abs(int(storedCount));
    kdpsdDebugLog(fmt::format("layer count: {}", count));
    if (count == 1) {
      foundation::log("PSD with a single layer left to the flat decoders");
      return false;
    }

    std::vector<std::shared_ptr<KDPSDLayer>> records;
    bool inStep = true;
    for (int i = 0; i < count; ++i) {
      auto layer = std::make_shared<KDPSDLayer>();
      layer->psd = this;
      if (!layer->readLayerInfo(stream, error)) {
        // Without its blend signature the record's end is unknown, and so is
        // where the channel data begin: the layers cannot be read.
        inStep = false;
        break;
      }
      records.push_back(std::move(layer));
    }
    if (inStep) {
      for (const auto& layer : records) layer->readImageDataFromStream(stream, nullptr, true, error);
      allLayers = records;
      buildGroupTree(records);
    }
  }
  kdpsdDebugLog(fmt::format("globalMaskSize: {}", std::max<std::int64_t>(0, sectionEnd - stream.location())));
  if (sectionEnd > stream.location()) stream.skipLength(std::uint64_t(sectionEnd - stream.location()));
  return true;
}

void KDPSD::buildGroupTree(const std::vector<std::shared_ptr<KDPSDLayer>>& layers) {
  baseLayerGroup = KDPSDLayer::baseLayer();
  std::shared_ptr<KDPSDLayer> current = baseLayerGroup;
  for (auto it = layers.rbegin(); it != layers.rend(); ++it) {
    const std::shared_ptr<KDPSDLayer>& layer = *it;
    if (layer->dividerType == 1) {
      layer->isGroup = true;
      current->addLayerToGroup(layer);
      layer->parent = current;
      current = layer;
    } else if (layer->dividerType == 2) {
      // A group end with no open group is ignored.
      if (auto enclosing = current->parent.lock()) current = enclosing;
    } else {
      current->addLayerToGroup(layer);
    }
  }
}

void KDPSD::readComposite(KDPSDStream& stream, KDPSDError* error) {
  compositeLayer = KDPSDLayer::layerWithSize(width, height, this);
  compositeLayer->channelInfo.resize(channels);
  compositeLayer->setupChannelIdsForCompositeRead();
  kdpsdDebugLog(
      fmt::format("rle composite: {}", stream.hasLengthToRead(2) && readBigEndian16(stream.peek(2)) == 1));
  compositeLayer->readCompositeImageData(stream, error);
}

}  // namespace velumar
