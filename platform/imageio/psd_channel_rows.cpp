#include "platform/imageio/psd_channel_rows.h"

#include <algorithm>
#include <cstring>

#include "platform/imageio/psd_flat_format.h"

namespace imageio::psd {

namespace {
// Rows inflated only to pass over them go through a buffer of this size;
// the cancel is polled between chunks.
constexpr std::size_t kSkipChunkBytes = std::size_t(1) << 20;
}  // namespace

ChannelRows::~ChannelRows() {
  if (zipOpen_) inflateEnd(&zip_);
}

bool ChannelRows::open(const std::uint8_t* data, std::size_t size, std::int64_t width, std::int64_t height,
                       int depth, bool bigDocument) {
  if (size < 2 || width < 1 || height < 1) return false;
  compression_ = data[0] << 8 | data[1];
  samples_ = data + 2;
  size_ = size - 2;
  width_ = width;
  height_ = height;
  depth_ = depth;
  row_ = 0;
  rowBytes_ = (std::uint64_t(width) * std::uint64_t(depth) + 7) / 8;
  const std::uint64_t planeBytes = rowBytes_ * std::uint64_t(height);
  switch (compression_) {
    case 0:
      return planeBytes <= size_;
    case 1: {
      entryBytes_ = bigDocument ? 4 : 2;
      const std::uint64_t tableBytes = std::uint64_t(height) * std::uint64_t(entryBytes_);
      // Every packed row takes at least two bytes per 128 samples.
      if (tableBytes > size_ || std::uint64_t(height) * ((rowBytes_ + 127) / 128) * 2 > size_ - tableBytes)
        return false;
      table_ = samples_;
      packedAt_ = std::size_t(tableBytes);
      return true;
    }
    case 2:
    case 3:
      // Deflate expands at most about 1032-fold.
      if (planeBytes > std::uint64_t(size_) * 1100 + 4096) return false;
      if (compression_ == 3 && depth == 1) return false;
      if (inflateInit(&zip_) != Z_OK) return false;
      zipOpen_ = true;
      // The stream's checksum is checked only at its end, which rows past
      // the canvas never reach; computing it would double the work of
      // inflating the rows above the canvas.
      inflateValidate(&zip_, 0);
      zip_.next_in = const_cast<Bytef*>(samples_);
      zip_.avail_in = uInt(std::min<std::size_t>(size_, 1u << 30));
      return true;
    default:
      return false;
  }
}

bool ChannelRows::inflateInto(std::uint8_t* out, std::size_t size) {
  zip_.next_out = out;
  zip_.avail_out = uInt(size);
  while (zip_.avail_out > 0) {
    if (zip_.avail_in == 0) {
      const std::size_t consumed = std::size_t(zip_.next_in - samples_);
      if (consumed >= size_) return false;
      zip_.avail_in = uInt(std::min<std::size_t>(size_ - consumed, 1u << 30));
    }
    const int status = inflate(&zip_, Z_NO_FLUSH);
    if (status == Z_STREAM_END) return zip_.avail_out == 0;
    if (status != Z_OK) return false;
  }
  return true;
}

bool ChannelRows::skip(std::int64_t count, const std::atomic<bool>* cancel) {
  if (count < 0 || count > height_ - row_) return false;
  switch (compression_) {
    case 0:
      row_ += count;
      return true;
    case 1:
      for (; count > 0; --count, ++row_) {
        const std::uint8_t* entry = table_ + std::size_t(row_) * std::size_t(entryBytes_);
        std::uint64_t length = 0;
        for (int i = 0; i < entryBytes_; ++i) length = length << 8 | entry[i];
        if (length > size_ - packedAt_) return false;
        packedAt_ += std::size_t(length);
      }
      return true;
    default: {
      // A ZIP stream cannot be entered mid-way: every row above is
      // inflated, which a cancel can cut short.
      std::uint64_t left = std::uint64_t(count) * rowBytes_;
      std::vector<std::uint8_t> chunk(std::size_t(std::min<std::uint64_t>(left, kSkipChunkBytes)));
      while (left > 0) {
        if (cancel && cancel->load(std::memory_order_relaxed)) {
          cancelled_ = true;
          return false;
        }
        const std::size_t size = std::size_t(std::min<std::uint64_t>(left, chunk.size()));
        if (!inflateInto(chunk.data(), size)) return false;
        left -= size;
      }
      row_ += count;
      return true;
    }
  }
}

bool ChannelRows::next(std::uint8_t* out) {
  if (row_ >= height_) return false;
  switch (compression_) {
    case 0:
      std::memcpy(out, samples_ + std::size_t(std::uint64_t(row_) * rowBytes_), std::size_t(rowBytes_));
      ++row_;
      return true;
    case 1: {
      const std::uint8_t* entry = table_ + std::size_t(row_) * std::size_t(entryBytes_);
      std::uint64_t length = 0;
      for (int i = 0; i < entryBytes_; ++i) length = length << 8 | entry[i];
      if (length > size_ - packedAt_) return false;
      if (!unpackBits(samples_ + packedAt_, std::size_t(length), out, std::size_t(rowBytes_))) return false;
      packedAt_ += std::size_t(length);
      ++row_;
      return true;
    }
    default:
      if (!inflateInto(out, std::size_t(rowBytes_))) return false;
      if (compression_ == 3) undoPrediction(out, width_, depth_, scratch_);
      ++row_;
      return true;
  }
}

}  // namespace imageio::psd
