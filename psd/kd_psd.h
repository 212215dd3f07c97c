#pragma once
// A layered PSD document: reads an RGB, 8-bit, version 1 file into a tree of
// layers with their own bitmaps, plus the stored composite image.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "psd/kd_psd_error.h"
#include "psd/kd_psd_layer.h"

namespace velumar {

class KDPSDStream;

class KDPSD {
 public:
  // The document at path, or nullptr: no file there, not a readable layered
  // RGB 8-bit PSD, or a read past the end of the data (logged). error, when
  // given, receives the record of the failures that have one.
  static std::unique_ptr<KDPSD> imageWithContetsOfURL(const std::string& path, KDPSDError* error = nullptr);
  static std::unique_ptr<KDPSD> imageWithContetsOfURL(const std::string& path, KDPSDError* error,
                                                      bool printDebugInfo);
  // The same from bytes in memory.
  static std::unique_ptr<KDPSD> imageWithData(std::vector<std::uint8_t> bytes, KDPSDError* error = nullptr);

  KDPSD();
  ~KDPSD();

  std::uint16_t version = 0;
  std::uint16_t channels = 0;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint16_t depth = 0;
  std::uint16_t colorMode = 0;

  std::shared_ptr<KDPSDLayer> baseLayerGroup;
  std::shared_ptr<KDPSDLayer> compositeLayer;
  std::vector<std::uint8_t> colormapData;
  std::vector<std::uint8_t> iccProfile;  // image resource 1039, as stored (padded)
  bool hasICCProfile = false;

  // Every layer record kept, in file order (bottom of the stack first).
  std::vector<std::shared_ptr<KDPSDLayer>> allLayers;

  // Takes n bytes from the document's allowance for decoded pixels; false
  // (and nothing taken) when that would exceed it.
  bool reserveDecodedBytes(std::uint64_t n);
  void setDecodedByteBudget(std::uint64_t bytes) { decodedByteBudget_ = bytes; }

  // Whether debug lines are printed (process-wide).
  static bool debugEnabled();
  static void setDebugEnabled(bool on);

 private:
  bool readStream(KDPSDStream& stream, KDPSDError* error);
  bool readHeader(KDPSDStream& stream, KDPSDError* error);
  bool readImageResources(KDPSDStream& stream, KDPSDError* error, std::uint32_t& layerSectionLength);
  bool readLayerSection(KDPSDStream& stream, std::uint32_t sectionLength, KDPSDError* error);
  void buildGroupTree(const std::vector<std::shared_ptr<KDPSDLayer>>& layers);
  void readComposite(KDPSDStream& stream, KDPSDError* error);
  static std::unique_ptr<KDPSD> readFromStream(KDPSDStream& stream, KDPSDError* error);

  std::uint64_t decodedByteBudget_ = 0;
  std::uint64_t decodedBytes_ = 0;
};

// Debug lines go to standard output only while the debug flag is on.
void kdpsdDebugLog(const std::string& line);

}  // namespace velumar
