#pragma once
// Timing a filter step of ours against ImageMagick on the same 24-megapixel
// photo: a wallpaper photo of the Debian packages scaled to 6000 × 4000 and
// decoded into an RGBA8 bitmap. ImageMagick reads it as an MPC file (no
// codec) and writes to null:, with the same thread count and a policy of
// its own that lifts Debian's memory caps (which would push the pixel cache
// to disk). Runs alternate; the median ratio ours / ImageMagick is printed.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine_convert_photos.h"
#include "platform/foundation/parallel.h"
#include "platform/imageio/image_source.h"
#include "platform/raster/bitmap_context.h"

namespace imbench {

namespace fs = std::filesystem;

inline constexpr std::int64_t kWidth = 6000, kHeight = 4000;

// The photo, or nullptr (with a message) when no wallpaper package could be
// fetched.
inline raster::ImageRef benchmarkPhoto() {
  const std::vector<enginebench::Photo> photos = enginebench::fetchWallpaperPhotos(1);
  if (photos.empty()) {
    std::fprintf(stderr, "no wallpaper photo could be fetched\n");
    return nullptr;
  }
  const auto source = imageio::ImageSource::open(photos.front().path.string());
  raster::ImageRef decoded = source ? source->createImage(0) : nullptr;
  auto context = raster::BitmapContext::create(kWidth, kHeight, raster::PixelFormat::rgba8(),
                                               raster::ColorSpace::sRGB());
  if (!decoded || !context) return nullptr;
  context->setInterpolationQuality(raster::InterpolationQuality::High);
  context->drawImage(decoded, raster::Rect(0, 0, double(kWidth), double(kHeight)));
  return context->makeImage();
}

inline double secondsOf(const std::function<bool()>& work) {
  const auto start = std::chrono::steady_clock::now();
  if (!work()) return -1;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A scratch folder holding the photo as in.mpc and the policy.
class ImageMagickBench {
 public:
  explicit ImageMagickBench(const raster::ImageRef& photo) {
    folder_ = fs::temp_directory_path() / ("velumar-im-bench-" + std::to_string(::getpid()));
    fs::create_directories(folder_);
    std::ofstream(folder_ / "policy.xml")
        << "<policymap>\n"
           "  <policy domain=\"resource\" name=\"memory\" value=\"16GiB\"/>\n"
           "  <policy domain=\"resource\" name=\"map\" value=\"32GiB\"/>\n"
           "  <policy domain=\"resource\" name=\"area\" value=\"4GP\"/>\n"
           "  <policy domain=\"resource\" name=\"disk\" value=\"64GiB\"/>\n"
           "  <policy domain=\"resource\" name=\"width\" value=\"64KP\"/>\n"
           "  <policy domain=\"resource\" name=\"height\" value=\"64KP\"/>\n"
           "</policymap>\n";
    ::setenv("MAGICK_CONFIGURE_PATH", folder_.c_str(), 1);
    ::setenv("MAGICK_THREAD_LIMIT", std::to_string(foundation::hardwareConcurrency()).c_str(), 1);
    if (!photo) return;
    {
      std::ofstream ppm(folder_ / "in.ppm", std::ios::binary);
      ppm << "P6\n" << photo->width() << " " << photo->height() << "\n255\n";
      const std::uint8_t* bytes = photo->data();
      for (std::int64_t y = 0; y < photo->height(); ++y) {
        const std::uint8_t* row = bytes + y * photo->bytesPerRow();
        for (std::int64_t x = 0; x < photo->width(); ++x)
          ppm.write(reinterpret_cast<const char*>(row + x * 4), 3);
      }
    }
    ready_ = enginebench::runQuietly({"/usr/bin/convert", "in.ppm", "in.mpc"}, folder_);
    fs::remove(folder_ / "in.ppm");
  }
  ~ImageMagickBench() {
    std::error_code error;
    fs::remove_all(folder_, error);
  }
  bool ready() const { return ready_; }
  const fs::path& folder() const { return folder_; }

  // Seconds of `convert in.mpc <operations> null:`, negative on failure.
  double run(const std::vector<std::string>& operations) const {
    std::vector<std::string> argv = {"/usr/bin/convert", "in.mpc"};
    argv.insert(argv.end(), operations.begin(), operations.end());
    argv.push_back("null:");
    return secondsOf([&] { return enginebench::runQuietly(argv, folder_); });
  }

 private:
  fs::path folder_;
  bool ready_ = false;
};

// The photo, ImageMagick's copy of it and an RGBA8 context of its size
// for a filter benchmark.
struct Workbench {
  raster::ImageRef photo;
  std::unique_ptr<ImageMagickBench> magick;
  std::unique_ptr<raster::BitmapContext> context;
};

// nullopt, with the reason on standard error, when something is missing.
inline std::optional<Workbench> prepareWorkbench() {
  Workbench bench;
  bench.photo = benchmarkPhoto();
  if (!bench.photo) {
    std::fprintf(stderr, "no wallpaper photo could be fetched\n");
    return std::nullopt;
  }
  bench.magick = std::make_unique<ImageMagickBench>(bench.photo);
  bench.context = raster::BitmapContext::create(bench.photo->width(), bench.photo->height(),
                                                raster::PixelFormat::rgba8(), raster::ColorSpace::sRGB());
  if (!bench.magick->ready() || !bench.context) {
    std::fprintf(stderr, "ImageMagick could not make the MPC file\n");
    return std::nullopt;
  }
  bench.context->setBlendMode(raster::BlendMode::Copy);
  return bench;
}

// Alternates ours and theirs rounds times; prints every run and the median
// ratio. Returns that ratio (negative on failure).
inline double compareAlternating(const char* what, const std::function<double()>& ours,
                                 const std::function<double()>& theirs, int rounds = 5,
                                 const char* theirName = "ImageMagick") {
  std::vector<double> ratios;
  std::printf("%s (%d threads)\n", what, foundation::hardwareConcurrency());
  for (int i = 0; i < rounds; ++i) {
    const double a = ours(), b = theirs();
    if (a < 0 || b < 0) {
      std::printf("  run %d failed\n", i + 1);
      return -1;
    }
    ratios.push_back(a / b);
    std::printf("  run %d: ours %.3f s, %s %.3f s, ratio %.3f\n", i + 1, a, theirName, b, a / b);
  }
  std::sort(ratios.begin(), ratios.end());
  const double median = ratios[ratios.size() / 2];
  std::printf("  median ratio %.3f\n", median);
  return median;
}

}  // namespace imbench
