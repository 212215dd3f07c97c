// Time of decoding a small hostile PSD through the flat PSD decoder, and how
// soon a cancel stops it: a file saved without a merged image whose one
// gray ZIP layer (or RGB with transparency, --rgba) is 100,000 pixels wide
// and starts far above a 1000 x 1000 canvas, so that reaching the visible
// rows means inflating gigabytes of zeros from a few megabytes per channel.
// Peak memory: run it under /usr/bin/time -v.
//
//   bench_psd_layer_skip [--rows-above N] [--rgba 1] [--cancel-after MS] [--keep PATH]
//
// The file is made in a temporary folder (or at PATH, kept for other
// readers); --cancel-after sets the decode's cancel flag after MS
// milliseconds and reports how long the decode ran on after it.

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/foundation/failure_cause.h"
#include "platform/foundation/files.h"
#include "platform/imageio/decode_cancel.h"
#include "platform/imageio/image_source.h"
#include "tests/support/deflated_zeros.h"

namespace {

using Bytes = foundation::Data;
using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kCanvas = 1000;
constexpr std::uint32_t kLayerWidth = 100000;

void put16(Bytes& out, std::uint32_t v) {
  out.push_back(std::uint8_t(v >> 8));
  out.push_back(std::uint8_t(v));
}

void put32(Bytes& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(std::uint8_t(v >> shift));
}

void putText(Bytes& out, const char* text) {
  out.insert(out.end(), text, text + std::strlen(text));
}


// 8-bit gray or RGB, 1000 x 1000, saved without a merged image; one layer
// of kLayerWidth x (rowsAbove + 1000) from rowsAbove rows above the canvas,
// RGB layers with transparency.
Bytes hostilePsd(std::uint32_t rowsAbove, bool rgba) {
  const std::vector<std::int16_t> ids =
      rgba ? std::vector<std::int16_t>{-1, 0, 1, 2} : std::vector<std::int16_t>{0};
  Bytes file;
  putText(file, "8BPS");
  put16(file, 1);
  file.insert(file.end(), 6, 0);
  put16(file, rgba ? 3 : 1);  // channels
  put32(file, kCanvas);
  put32(file, kCanvas);
  put16(file, 8);
  put16(file, rgba ? 3 : 1);  // RGB or gray
  put32(file, 0);             // colour mode data
  // Version info: the stored composite is not the real merged image.
  const std::uint8_t versionInfo[] = {0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0};
  put32(file, 12 + sizeof versionInfo);
  putText(file, "8BIM");
  put16(file, 1057);
  put16(file, 0);
  put32(file, 17);
  file.insert(file.end(), std::begin(versionInfo), std::end(versionInfo));

  Bytes channel;
  put16(channel, 2);  // ZIP
  const Bytes packed = testsupport::deflatedZeros((std::uint64_t(rowsAbove) + kCanvas) * kLayerWidth);
  channel.insert(channel.end(), packed.begin(), packed.end());
  Bytes info;
  put16(info, 1);  // one layer
  put32(info, std::uint32_t(-std::int32_t(rowsAbove)));
  put32(info, 0);
  put32(info, kCanvas);
  put32(info, kLayerWidth);
  put16(info, std::uint32_t(ids.size()));
  for (const std::int16_t id : ids) {
    put16(info, std::uint16_t(id));
    put32(info, std::uint32_t(channel.size()));
  }
  putText(info, "8BIMnorm");
  info.insert(info.end(), {255, 0, 0, 0});
  put32(info, 12);  // no mask, no blending ranges, empty name
  info.insert(info.end(), 12, 0);
  for (std::size_t i = 0; i < ids.size(); ++i) info.insert(info.end(), channel.begin(), channel.end());
  if (info.size() % 2) info.push_back(0);

  put32(file, std::uint32_t(info.size() + 8));
  put32(file, std::uint32_t(info.size()));
  file.insert(file.end(), info.begin(), info.end());
  put32(file, 0);  // global layer mask
  put16(file, 0);  // placeholder composite: raw, no rows needed
  return file;
}

}  // namespace

int main(int argc, char** argv) {
  std::uint32_t rowsAbove = 40000;
  long cancelAfter = -1;
  bool rgba = false;
  std::string keep;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--rows-above")
      rowsAbove = std::uint32_t(std::strtoul(argv[i + 1], nullptr, 10));
    else if (option == "--cancel-after")
      cancelAfter = std::strtol(argv[i + 1], nullptr, 10);
    else if (option == "--keep")
      keep = argv[i + 1];
    else if (option == "--rgba")
      rgba = std::strcmp(argv[i + 1], "0") != 0;
  }
  const std::string path = keep.empty() ? (std::filesystem::temp_directory_path() /
                                           ("velumar-psd-skip-" + std::to_string(getpid()) + ".psd"))
                                              .string()
                                        : keep;
  if (!std::filesystem::exists(path)) {
    const Bytes file = hostilePsd(rowsAbove, rgba);
    if (!foundation::writeFileAtomically(path, file)) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
  }
  std::printf("file: %s, %.1f MB, layer %u x %u from %u rows above\n", path.c_str(),
              double(std::filesystem::file_size(path)) / 1e6, kLayerWidth, rowsAbove + kCanvas, rowsAbove);

  std::atomic<bool> cancel{false};
  Clock::time_point cancelledAt{};
  std::thread canceller;
  if (cancelAfter >= 0)
    canceller = std::thread([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(cancelAfter));
      cancelledAt = Clock::now();
      cancel = true;
    });
  const Clock::time_point start = Clock::now();
  bool decoded = false;
  {
    const imageio::DecodeCancelScope scope(&cancel);
    foundation::clearFailure();
    if (const auto source = imageio::ImageSource::open(path)) decoded = bool(source->createImage(0));
  }
  const Clock::time_point end = Clock::now();
  if (canceller.joinable()) canceller.join();
  const auto ms = [](Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); };
  std::printf("decode: %s in %.0f ms (%s)\n", decoded ? "picture" : "no picture", ms(end - start),
              foundation::lastFailure().describe().c_str());
  if (cancelAfter >= 0) {
    if (cancel)
      std::printf("cancel after %ld ms: seen %.1f ms later\n", cancelAfter, ms(end - cancelledAt));
    else
      std::printf("cancel after %ld ms: the decode had ended\n", cancelAfter);
  }
  if (keep.empty()) std::filesystem::remove(path);
  return 0;
}
