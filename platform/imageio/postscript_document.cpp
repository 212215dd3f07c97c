#include "platform/imageio/postscript_document.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "platform/foundation/log.h"
#include "platform/foundation/plain_numbers.h"
#include "platform/imageio/ghostscript.h"
#include "platform/imageio/mapped_file.h"
#include "platform/imageio/pixel_convert.h"
#include "platform/imageio/png_memory.h"
#include "platform/imageio/postscript_time_budget.h"

namespace imageio {

namespace {

constexpr std::size_t kCommentWindow = 256 * 1024;

// The PostScript part of a file: DOS EPS binaries carry it at an offset.
std::pair<const char*, std::size_t> postScriptSection(const MappedFile& file) {
  const std::uint8_t* data = file.data();
  const std::size_t size = file.size();
  if (size >= 30 && data[0] == 0xc5 && data[1] == 0xd0 && data[2] == 0xd3 && data[3] == 0xc6) {
    auto le32 = [&](std::size_t at) {
      return std::uint32_t(data[at]) | std::uint32_t(data[at + 1]) << 8 | std::uint32_t(data[at + 2]) << 16 |
             std::uint32_t(data[at + 3]) << 24;
    };
    const std::size_t start = le32(4), length = le32(8);
    if (start <= size && length <= size - start) return {reinterpret_cast<const char*>(data + start), length};
    return {nullptr, 0};
  }
  return {reinterpret_cast<const char*>(data), size};
}

// Four numbers at the start of a comment's value, as DSC writes them.
std::optional<PostScriptBox> fourNumbers(std::string_view line) {
  PostScriptBox box;
  for (double* field : {&box.x0, &box.y0, &box.x1, &box.y1}) {
    const std::optional<double> number = foundation::readDecimal(line);
    if (!number) return std::nullopt;
    *field = *number;
  }
  return box;
}

// The value of the last "key" comment line in text (4 numbers), if any.
std::optional<PostScriptBox> findBox(const char* text, std::size_t size, const char* key, bool* atend) {
  const std::size_t keyLength = std::strlen(key);
  std::optional<PostScriptBox> found;
  for (std::size_t at = 0; at + keyLength <= size; ++at) {
    if ((at != 0 && text[at - 1] != '\n' && text[at - 1] != '\r') ||
        std::memcmp(text + at, key, keyLength) != 0)
      continue;
    std::size_t end = at + keyLength;
    while (end < size && end - at < 200 && text[end] != '\n' && text[end] != '\r') ++end;
    const std::string line(text + at + keyLength, end - at - keyLength);
    if (line.find("(atend)") != std::string::npos) {
      if (atend) *atend = true;
      continue;
    }
    const std::optional<PostScriptBox> box = fourNumbers(line);
    if (box && std::isfinite(box->x0 + box->y0 + box->x1 + box->y1) && box->width() > 0 &&
        box->height() > 0 && box->width() < 1e6 && box->height() < 1e6) {
      found = box;
      if (!atend || !*atend) return found;  // the header's box wins unless it deferred to the trailer
    }
  }
  return found;
}

// The file's name as Ghostscript gets it: absolute, since Ghostscript runs
// in a folder of its own (and a name like "%pipe%..." is never a device).
std::string absolutePath(const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  return error ? std::string() : absolute.string();
}

std::string number(double value) {
  return foundation::fixedDecimal(value, 6);
}

}  // namespace

std::optional<PostScriptBox> boundingBoxFromComments(const std::string& path) {
  auto file = MappedFile::open(path);
  if (!file) return std::nullopt;
  auto [text, size] = postScriptSection(*file);
  if (text == nullptr || size < 4) return std::nullopt;
  for (const char* key : {"%%HiResBoundingBox:", "%%BoundingBox:"}) {
    bool atend = false;
    auto box = findBox(text, std::min(size, kCommentWindow), key, &atend);
    if (box && !atend) return box;
    if (atend && size > kCommentWindow) {
      const std::size_t tail = std::min(size, kCommentWindow);
      box = findBox(text + size - tail, tail, key, nullptr);
    }
    if (box) return box;
  }
  return std::nullopt;
}

std::optional<PostScriptBox> postScriptBoundingBox(const std::string& path) {
  if (auto box = boundingBoxFromComments(path)) return box;
  if (auto record = postScriptRunRecord(path)) {
    if (record->timedOut) {
      foundation::log("postscript: {} ran out of time before", path);
      return std::nullopt;
    }
    if (record->measuredBox) return record->measuredBox;
  }
  const std::string file = absolutePath(path);
  if (file.empty()) return std::nullopt;
  // Let Ghostscript measure the first page.
  const auto start = std::chrono::steady_clock::now();
  BoundedResult result =
      runGhostscript({"-dFirstPage=1", "-dLastPage=1", "-sDEVICE=bbox", "-sstdout=%stderr", "-f", file},
                     postScriptTimeLimit(), 1 << 20);
  PostScriptRunRecord record;
  record.timedOut = result.timedOut;
  record.measuringSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!result.timedOut) {
    const std::string& text = result.errors;
    record.measuredBox = findBox(text.c_str(), text.size(), "%%HiResBoundingBox:", nullptr);
    if (!record.measuredBox)
      record.measuredBox = findBox(text.c_str(), text.size(), "%%BoundingBox:", nullptr);
  }
  rememberPostScriptRun(path, record);
  if (!record.measuredBox) foundation::log("postscript: no bounding box for {}", path);
  return record.measuredBox;
}

raster::ImageRef renderPostScript(const std::string& path, const PostScriptBox& box, std::int64_t width,
                                  std::int64_t height, std::int64_t pixelLimit) {
  if (!withinImageLimits(width, height, 4, pixelLimit) || !(box.width() > 0) || !(box.height() > 0)) {
    foundation::log("postscript: cannot render {} at {}x{}", path, width, height);
    return nullptr;
  }
  const double timeLeft = postScriptTimeLeft(path);
  const std::string file = absolutePath(path);
  if (timeLeft <= 0 || file.empty()) {
    foundation::log("postscript: {} ran out of time before", path);
    return nullptr;
  }
  const double xres = double(width) * 72.0 / box.width();
  const double yres = double(height) * 72.0 / box.height();
  // The page is exactly the box at the resolution; the program is moved so
  // that the box's corner lands on the page's origin. The closing showpage
  // prints EPS files that never call it; only the first page is kept.
  const std::string setup = number(-box.x0) + " " + number(-box.y0) + " translate";
  BoundedResult result = runGhostscript(
      {"-dFirstPage=1", "-dLastPage=1", "-sDEVICE=pngalpha", "-dTextAlphaBits=4", "-dGraphicsAlphaBits=4",
       "-r" + number(xres) + "x" + number(yres), "-g" + std::to_string(width) + "x" + std::to_string(height),
       "-dFIXEDMEDIA", "-sstdout=%stderr", "-sOutputFile=-", "-c", setup, "-f", file, "-c", "showpage"},
      timeLeft, std::size_t(width * height) * 5 + (1 << 20));
  if (result.timedOut) {
    PostScriptRunRecord record = postScriptRunRecord(path).value_or(PostScriptRunRecord{});
    record.timedOut = true;
    rememberPostScriptRun(path, record);
  }
  if (result.exitCode != 0 || result.output.empty()) {
    foundation::log("postscript: Ghostscript could not render {}: {}", path, result.errors);
    return nullptr;
  }
  auto png = decodePngRgba(result.output.data(), result.output.size(), pixelLimit);
  if (!png) return nullptr;
  // Ghostscript rounds the page size; keep exactly what was asked for.
  const std::size_t bytesPerRow = std::size_t(width) * 4;
  std::vector<std::uint8_t> pixels(bytesPerRow * std::size_t(height), 0);
  const std::int64_t rows = std::min(height, png->height), columns = std::min(width, png->width);
  for (std::int64_t y = 0; y < rows; ++y)
    std::memcpy(pixels.data() + std::size_t(y) * bytesPerRow,
                png->rgba.data() + std::size_t(y * png->width * 4), std::size_t(columns) * 4);
  return raster::Image::make(width, height, decodedFormat(8, 3, true), raster::ColorSpace::sRGB(),
                             std::move(pixels), bytesPerRow);
}

}  // namespace imageio
