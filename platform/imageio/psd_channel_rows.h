#pragma once
// The rows of one layer channel, top to bottom, decoded one at a time: raw,
// PackBits after its table of row lengths, ZIP or ZIP with prediction. Only
// a row's worth of memory is held, so a layer is never expanded whole, and
// rows past the last one wanted are never decoded.

#include <zlib.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace imageio::psd {

class ChannelRows {
 public:
  ChannelRows() = default;
  ~ChannelRows();
  ChannelRows(const ChannelRows&) = delete;
  ChannelRows& operator=(const ChannelRows&) = delete;

  // data is the channel as stored: the compression word, then its samples.
  // False when the compression is unknown or the data cannot hold the
  // channel's rows (checked before anything is decoded).
  bool open(const std::uint8_t* data, std::size_t size, std::int64_t width, std::int64_t height, int depth,
            bool bigDocument);
  std::size_t rowBytes() const { return std::size_t(rowBytes_); }
  // Passes over the next count rows: raw and PackBits rows by their byte
  // counts, ZIP rows by inflating them in chunks, giving up (cancelled()
  // then answers true) as soon as cancel is set.
  bool skip(std::int64_t count, const std::atomic<bool>* cancel = nullptr);
  bool cancelled() const { return cancelled_; }
  // The next row's big-endian samples into out (rowBytes()).
  bool next(std::uint8_t* out);

 private:
  bool inflateInto(std::uint8_t* out, std::size_t size);

  int compression_ = 0;
  int depth_ = 8;
  std::int64_t width_ = 0, height_ = 0, row_ = 0;
  std::uint64_t rowBytes_ = 0;
  bool cancelled_ = false;
  const std::uint8_t* samples_ = nullptr;  // after the compression word
  std::size_t size_ = 0;
  // PackBits: the row table and where the next row's bytes start.
  const std::uint8_t* table_ = nullptr;
  int entryBytes_ = 2;
  std::size_t packedAt_ = 0;
  // ZIP: the stream and a row of scratch for the 32-bit prediction.
  z_stream zip_{};
  bool zipOpen_ = false;
  std::vector<std::uint8_t> scratch_;
};

}  // namespace imageio::psd
