#pragma once
// The layers of a PSD or PSB file merged at the file's own depth, for files
// whose stored composite is only a placeholder (saved without a merged
// image). Pixel layers are laid over each other with their opacity and
// transparency, groups pass on their visibility and opacity; hidden layers
// are left out. Blend modes other than normal, masks and clipping are
// merged as plain normal layers (logged). Byte level, no raster types.

#include <cstddef>
#include <cstdint>

#include "platform/imageio/psd_flat_format.h"

namespace imageio::psd {

// The most bytes the merge holds besides its output: bands of decoded
// layer rows. Well within the budget a batch gives the files it decodes
// ahead, so a merge never needs more than the decoded picture itself.
inline constexpr std::int64_t kMergeWorkingBytes = std::int64_t(32) << 20;

// Merges the layers into out, laid out as decodeComposite's output with
// alpha at sample colorComponents, straight colour (CMYK as ink).
// Gray, duotone, RGB and CMYK files of 8, 16 or 32 bits only. False when
// there is nothing to merge, the layer data are damaged or the decode was
// cancelled between layers (decode_cancel.h); the cause is logged and noted
// (foundation::noteFailure).
bool mergeLayers(const std::uint8_t* data, std::size_t size, const FlatInfo& info, std::int64_t pixelLimit,
                 std::uint8_t* out, std::size_t bytesPerRow, int samplesPerPixel);

}  // namespace imageio::psd
