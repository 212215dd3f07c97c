// Every reader of outside paths refuses a FIFO, a socket, a folder and a
// device node at once: none blocks (a FIFO without a writer would block an
// ordinary open for good) and each reports a plain failure.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <future>

#include "app/single_instance.h"
#include "filters/cube_file.h"
#include "platform/color/icc_profile.h"
#include "platform/color/installed_profiles.h"
#include "platform/desktop/thumbnail_cache.h"
#include "platform/foundation/failure_cause.h"
#include "platform/foundation/files.h"
#include "platform/foundation/property_list.h"
#include "platform/foundation/user_defaults.h"
#include "platform/imageio/codec.h"
#include "platform/imageio/metadata.h"
#include "platform/imageio/pdf_document.h"
#include "platform/imageio/type_detection.h"
#include "preview/image_info_dictionary.h"
#include "psd/kd_psd_stream.h"
#include "session/folder_scan.h"
#include "support/test_support.h"

using namespace velumar;
namespace fs = std::filesystem;

namespace {

enum class Kind { Fifo, Socket, Folder, Device };

const char* nameOf(Kind kind) {
  switch (kind) {
    case Kind::Fifo: return "FIFO";
    case Kind::Socket: return "socket";
    case Kind::Folder: return "folder";
    case Kind::Device: return "device";
  }
  return "";
}

// Makes a special file of kind at path. The device is a real node when the
// tests may make one, else a link to /dev/null (readers follow links).
void make(Kind kind, const fs::path& path) {
  fs::create_directories(path.parent_path());
  switch (kind) {
    case Kind::Fifo:
      ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
      break;
    case Kind::Socket: {
      const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
      sockaddr_un address{};
      address.sun_family = AF_UNIX;
      ASSERT_LT(path.string().size(), sizeof address.sun_path);
      std::strcpy(address.sun_path, path.c_str());
      ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
      ::close(fd);
      break;
    }
    case Kind::Folder:
      fs::create_directory(path);
      break;
    case Kind::Device:
      if (::mknod(path.c_str(), S_IFCHR | 0600, makedev(1, 3)) != 0) fs::create_symlink("/dev/null", path);
      break;
  }
}

// Runs read on a worker; a reader still blocked after a few seconds is
// freed by opening the FIFO for writing, and fails the test.
void expectPrompt(const std::string& what, Kind kind, const fs::path& special,
                  const std::function<bool()>& refused) {
  auto result = std::async(std::launch::async, [&] {
    foundation::clearFailure();
    const bool ok = refused();
    return std::make_pair(ok, foundation::takeFailure().cause);
  });
  if (result.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
    ADD_FAILURE() << what << " blocked on a " << nameOf(kind);
    const int writer = ::open(special.c_str(), O_RDWR | O_NONBLOCK);
    result.wait();
    if (writer >= 0) ::close(writer);
    return;
  }
  const auto [ok, cause] = result.get();
  EXPECT_TRUE(ok) << what << " accepted a " << nameOf(kind);
  // What was opened and refused names the cause.
  if (cause != foundation::FailureCause::None) {
    EXPECT_EQ(cause, foundation::FailureCause::SourceUnreadable) << what << ", " << nameOf(kind);
  }
}

}  // namespace

TEST(SpecialFiles, EveryReaderRefusesWithoutBlocking) {
  for (Kind kind : {Kind::Fifo, Kind::Socket, Kind::Folder, Kind::Device}) {
    testsupport::TempDir dir;
    const fs::path image = dir.path() / "photo.png";
    make(kind, image);
    // The same special file under the names the other readers look for.
    auto special = [&](const fs::path& path) {
      make(kind, path);
      return path;
    };

    expectPrompt("type detection", kind, image, [&] {
      return imageio::typeFromContents(image.string()).empty() && imageio::typeFromHeader(image.string()).empty();
    });
    for (const imageio::Codec& codec : imageio::codecs()) {
      if (codec.open == nullptr) continue;
      expectPrompt(codec.type + " decoder", kind, image,
                   [&] { return codec.open(image.string(), imageio::kDefaultPixelLimit) == nullptr; });
    }
    expectPrompt("image source", kind, image, [&] { return imageio::ImageSource::open(image.string()) == nullptr; });
    expectPrompt("PDF document", kind, image, [&] { return imageio::PdfDocument::open(image.string()) == nullptr; });
    expectPrompt("metadata", kind, image, [&] {
      foundation::Value properties;
      return !imageio::readMetadata(image.string(), properties);
    });
    expectPrompt("layered PSD", kind, image, [&] { return KDPSDStream::PSDStreamForReadingURL(image.string()) == nullptr; });
    expectPrompt("preset file", kind, image, [&] { return !foundation::readPropertyList(image.string()); });
    const fs::path settings = special(dir.path() / "config" / "velumar.plist");
    expectPrompt("preferences", kind, settings, [&] {
      foundation::UserDefaults defaults(settings.string());
      return !defaults.object("FilePath");
    });
    expectPrompt(".cube file", kind, image, [&] { return !readCubeFile(image.string()); });
    expectPrompt("profile", kind, image, [&] { return color::IccProfile::fromFile(image.string()) == nullptr; });
    const fs::path profiles = dir.path() / "icc";
    special(profiles / "display.icc");
    expectPrompt("installed profiles", kind, profiles / "display.icc",
                 [&] { return color::scanProfileFolders({profiles}).empty(); });

    const desktop::ThumbnailCache cache((dir.path() / "thumbnails").string());
    const desktop::ThumbnailStamp stamp{"file:///photo.png", 1, 2};
    const fs::path entry = special(cache.thumbnailPath(stamp.uri, desktop::ThumbnailSize::Normal));
    expectPrompt("thumbnail entry", kind, entry,
                 [&] { return !cache.lookup(stamp, desktop::ThumbnailSize::Normal); });
    expectPrompt("image information", kind, image, [&] {
      const foundation::Value information = imageInformationForFile(image.string());
      return information.get("Image Dictionary")->asDictionary()->empty();
    });

    const fs::path runtime = dir.path() / "runtime";
    special(runtime / "velumar.lock");
    expectPrompt("single-instance lock", kind, runtime / "velumar.lock", [&] {
      SingleInstance instance(QString::fromStdString(runtime.string()));
      // Runs on its own: neither hands files over nor listens.
      return instance.claim() && !instance.listen();
    });

    const fs::path folder = dir.path() / "dropped";
    special(folder / "inside.jpg");
    expectPrompt("folder scan", kind, folder / "inside.jpg", [&] {
      const auto everything = [](const std::string&) { return true; };
      return findRecursiveDirectoryForArray({folder.string()}, true, everything).files.empty() &&
             findRecursiveDirectoryForArray({image.string()}, true, everything).files.empty();
    });
  }
}
