#pragma once
// Helpers the fuzz targets share: the libFuzzer entry point's signature and
// an in-memory file for parsers that read from a path.

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace fuzzing {

// The bytes as a file reachable through path() while the object lives: an
// anonymous in-memory file, or (named) a file in the temporary folder that
// other processes can open too.
class InputFile {
 public:
  InputFile(const std::uint8_t* data, std::size_t size, bool named = false);
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  bool ok() const { return fd_ >= 0; }
  const std::string& path() const { return path_; }

 private:
  int fd_ = -1;
  std::string path_;
  bool named_ = false;
};

// Opens the bytes with the codec of type (or, with an empty type, as the
// image source chooses by contents) and reads the properties of every
// image and the pixels of the smaller ones. Aborts when an image beyond the
// decoder limits was opened at all.
void decodeEveryImage(const std::string& type, const std::uint8_t* data, std::size_t size);

}  // namespace fuzzing
