// The desktop entry offers Velumar for every type it reads: each readable
// type's extensions, as the shared MIME database names them, are listed.
#include <gtest/gtest.h>

#include <QMimeDatabase>
#include <fstream>
#include <set>

#include "platform/imageio/codec.h"
#include "platform/imageio/type_detection.h"

namespace {

std::set<std::string> listedMimeTypes() {
  std::ifstream entry(VELUMAR_DESKTOP_FILE);
  std::set<std::string> types;
  for (std::string line; std::getline(entry, line);) {
    if (line.rfind("MimeType=", 0) != 0) continue;
    std::size_t start = 9;
    for (std::size_t end; (end = line.find(';', start)) != std::string::npos; start = end + 1)
      types.insert(line.substr(start, end - start));
  }
  return types;
}

}  // namespace

TEST(DesktopEntry, ListsEveryReadableType) {
  const std::set<std::string> listed = listedMimeTypes();
  ASSERT_FALSE(listed.empty());
  QMimeDatabase database;
  for (const std::string& type : imageio::readableTypes()) {
    const imageio::Codec* codec = imageio::codecForType(type);
    ASSERT_NE(codec, nullptr) << type;
    for (const std::string& extension : codec->extensions) {
      const QMimeType mime =
          database.mimeTypeForFile(QString::fromStdString("x." + extension), QMimeDatabase::MatchExtension);
      if (mime.isDefault()) continue;  // no MIME type to register for
      QStringList names = mime.aliases();
      names << mime.name();
      const bool found = std::any_of(names.begin(), names.end(), [&](const QString& name) {
        return listed.contains(name.toStdString());
      });
      EXPECT_TRUE(found) << type << " ." << extension << " is " << mime.name().toStdString();
    }
  }
  for (const char* required : {"image/jpeg", "image/heic", "application/pdf", "image/x-eps"})
    EXPECT_TRUE(listed.contains(required)) << required;
}
