#pragma once
// Keeps the pixel buffers of a render made again and again at one size (the
// live preview during a slider drag) for the next one. Without it, each
// render maps, faults in and unmaps tens of megabytes: a quarter of the
// render's time, and the page-table work holds up every thread of the
// process, the window's included.
//
// While a Use lives on a thread, the bitmap contexts made on that thread
// take their buffers (a new context's, and the copy a context makes before
// drawing over pixels an image still shares) from the recycler. A buffer
// goes back to it when the last context or image holding it lets it go, on
// any thread. At most `kept` buffers are kept; smaller ones than a
// megabyte are left to the allocator.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace raster {

class PixelBufferRecycler {
 public:
  explicit PixelBufferRecycler(std::size_t kept = 4);
  // Frees the kept buffers; those still in use are freed when let go.
  ~PixelBufferRecycler();
  PixelBufferRecycler(const PixelBufferRecycler&) = delete;
  PixelBufferRecycler& operator=(const PixelBufferRecycler&) = delete;

  // Frees the kept buffers now (any thread).
  void release();
  std::size_t keptBuffers() const;

  // Makes the recycler the calling thread's until destroyed.
  class Use {
   public:
    explicit Use(PixelBufferRecycler& recycler);
    ~Use();
    Use(const Use&) = delete;
    Use& operator=(const Use&) = delete;

   private:
    std::shared_ptr<struct PixelBufferShelf> previous_;
  };

 private:
  std::shared_ptr<struct PixelBufferShelf> shelf_;
};

using PixelStorage = std::shared_ptr<std::vector<std::uint8_t>>;

// A buffer of size bytes, all zero, or a copy of copyOf's bytes when given
// (of that size); from the calling thread's recycler when it has one.
// nullptr when memory cannot be had.
PixelStorage newPixelStorage(std::size_t size, const std::uint8_t* copyOf = nullptr);

}  // namespace raster
