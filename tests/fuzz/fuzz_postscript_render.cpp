// PostScript rendered by the confined Ghostscript, within a short time
// limit. Inputs that paint their first pixel red got through the
// confinement (the committed reproducers do so when an attempt to reach a
// file succeeds), and no file may take more than its one time limit.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "platform/imageio/image_source.h"
#include "platform/imageio/pixel_convert.h"
#include "platform/imageio/postscript_time_budget.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  constexpr double kLimit = 2.0;
  imageio::setPostScriptTimeLimit(kLimit);
  fuzzing::InputFile file(data, size, true);
  if (!file.ok()) return 0;
  const auto start = std::chrono::steady_clock::now();
  const auto source = imageio::ImageSource::open(file.path(), 1 << 20);
  const auto image = source ? source->createImage(0) : nullptr;
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (seconds > 2 * kLimit + 1) {
    std::fprintf(stderr, "postscript: %.1f s for one file\n", seconds);
    std::abort();
  }
  if (image) {
    std::vector<std::uint8_t> row(std::size_t(image->width()) * 4);
    imageio::exportRow(*image, 0, {8, true}, row.data());
    const std::uint8_t* pixel = row.data();
    if (pixel[0] == 255 && pixel[1] == 0 && pixel[2] == 0) {
      std::fprintf(stderr, "postscript: the file reached outside its run\n");
      std::abort();
    }
  }
  return 0;
}
