#pragma once
// The layer-and-mask section of a flat file with transparency: the picture
// once more as one layer the size of the canvas, under a negative layer
// count, which says that the composite's first extra channel is its
// transparency. Without it, readers take that channel for a spare one and
// show the composite opaque. 8-bit layers go into the layer info; 16- and
// 32-bit ones into an 'Lr16' or 'Lr32' block after an empty layer info.

#include <cstddef>
#include <cstdint>
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
};

// The section after its length field; empty (logged) when it would
// overflow the lengths a PSD file can state.
std::vector<std::uint8_t> transparencyLayerSection(const PackedPlanes& layer);

}  // namespace imageio::psd
