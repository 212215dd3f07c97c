#pragma once
// A read-only memory map of a whole file, for parsers that look at a small
// part of large files (PSD composites, icon files).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace imageio {

class MappedFile {
 public:
  // nullptr (with a log line) when the file cannot be opened or mapped. An
  // empty file maps to a valid object of size 0.
  static std::shared_ptr<const MappedFile> open(const std::string& path);
  ~MappedFile();
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  const std::uint8_t* data() const { return data_; }
  std::size_t size() const { return size_; }

 private:
  MappedFile() = default;
  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  void* mapping_ = nullptr;
};

}  // namespace imageio
