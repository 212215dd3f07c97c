#pragma once
// The layer-and-mask section of a flat file with transparency: the picture
// once more as one layer the size of the canvas, under a negative layer
// count, which says that the composite's first extra channel is its
// transparency. Without it, readers take that channel for a spare one and
// show the composite opaque. 8-bit layers go into the layer info; 16- and
// 32-bit ones into an 'Lr16' or 'Lr32' block after an empty layer info.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

namespace imageio::psd {

struct PackedPlanes {
  std::int64_t width = 0, height = 0;
  int colorComponents = 3;  // colour planes, then one of transparency
  int depth = 8;            // 8, 16 or 32
  bool bigDocument = false;
  // PackBits rows, plane after plane, height rows each; rowBytes unpacked.
  const std::vector<std::vector<std::uint8_t>>* rows = nullptr;
  std::size_t rowBytes = 0;
  // The largest length a plain file's 32-bit fields state; lower only to
  // try the decision on small layers.
  std::uint64_t lengthLimit = std::numeric_limits<std::uint32_t>::max();
};

// What one plane takes as layer channel data, from the sizes of its
// PackBits rows: PackBits when every row's count fits its field (16 bits,
// 32 in a large document), raw rows of rowBytes otherwise.
struct ChannelLength {
  bool packed = true;
  std::uint64_t bytes = 0;  // the compression field included
};
ChannelLength layerChannelLength(const std::vector<std::size_t>& packedRowSizes, std::size_t rowBytes,
                                 bool bigDocument);

// Whether channels of channelBytes in all fit the 32-bit lengths of a PSD
// file's layer section (lengthLimit; a large document's are 64-bit); when
// not, says so in the log.
bool layerFitsSection(std::uint64_t channelBytes, int planes, bool bigDocument,
                      std::uint64_t lengthLimit = std::numeric_limits<std::uint32_t>::max());

// The section after its length field; empty (logged) when it would
// overflow the lengths a PSD file can state, and the file goes without it.
std::vector<std::uint8_t> transparencyLayerSection(const PackedPlanes& layer);

}  // namespace imageio::psd
