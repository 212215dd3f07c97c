#pragma once
// PNG image data made in parallel: rows are filtered and deflated in
// independent blocks joined with sync flushes into one zlib stream, the
// way parallel gzip compressors do, so large images encode on every core.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace imageio {

// The zlib stream of an image's filtered scanlines (the concatenated IDAT
// payload). rowSource(y, out) writes row y's rowBytes bytes in PNG order
// (16-bit samples big-endian). nullopt when zlib fails.
std::optional<std::vector<std::uint8_t>> compressPngRows(
    std::int64_t height, std::size_t rowBytes, int bytesPerPixel,
    const std::function<void(std::int64_t y, std::uint8_t* out)>& rowSource, int level = 6);

}  // namespace imageio
