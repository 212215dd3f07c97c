// The image information of a shown file: file facts, PDF attributes and the
// first image's properties. The first byte picks the extension the file is
// named with, since the name decides whether it is read as a PDF.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "fuzz/fuzz_input.h"
#include "preview/image_info_dictionary.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  static const char* const kExtensions[] = {"pdf", "png", "jpg", "tiff", "gif", "psd", "heic", "ai", "eps", ""};
  const char* extension = kExtensions[data[0] % (sizeof kExtensions / sizeof *kExtensions)];
  std::error_code error;
  std::string path = (std::filesystem::temp_directory_path(error) /
                      ("velumar-fuzz-info-" + std::to_string(::getpid())))
                         .string();
  if (extension[0] != '\0') path += std::string(".") + extension;
  {
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(data + 1), std::streamsize(size - 1));
  }
  velumar::imageInformationForFile(path);
  std::filesystem::remove(path, error);
  return 0;
}
