#include "platform/imageio/mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/foundation/failure_cause.h"
#include "platform/foundation/files.h"
#include "platform/foundation/log.h"

namespace imageio {

std::shared_ptr<const MappedFile> MappedFile::open(const std::string& path) {
  const int fd = foundation::openRegularFile(path);
  if (fd < 0) {
    foundation::log("imageio: cannot open {} ({})", path, foundation::lastFailure().describe());
    return nullptr;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    ::close(fd);
    foundation::log("imageio: cannot examine {}", path);
    return nullptr;
  }
  std::shared_ptr<MappedFile> file(new MappedFile());
  file->size_ = std::size_t(info.st_size);
  if (file->size_ > 0) {
    void* mapping = ::mmap(nullptr, file->size_, PROT_READ, MAP_PRIVATE, fd, 0);
    if (mapping == MAP_FAILED) {
      ::close(fd);
      foundation::log("imageio: cannot map {}", path);
      return nullptr;
    }
    file->mapping_ = mapping;
    file->data_ = static_cast<const std::uint8_t*>(mapping);
  }
  ::close(fd);
  return file;
}

MappedFile::~MappedFile() {
  if (mapping_ != nullptr) ::munmap(mapping_, size_);
}

}  // namespace imageio
