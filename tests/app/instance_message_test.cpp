// The message a second start sends: what is encoded, and how malformed
// messages of any shape are dropped without harm.
#include <gtest/gtest.h>

#include <string>

#include "app/instance_message.h"

using namespace velumar;
using Status = InstanceMessageReader::Status;

namespace {

std::string header(std::uint32_t length) {
  return {char(length >> 24), char(length >> 16), char(length >> 8), char(length)};
}

Status readAll(const std::string& bytes, InstanceMessageReader& reader, std::size_t chunk) {
  Status status = Status::NeedMore;
  for (std::size_t at = 0; at < bytes.size(); at += chunk)
    status = reader.feed(bytes.data() + at, std::min(chunk, bytes.size() - at));
  return status;
}

}  // namespace

TEST(InstanceMessage, RoundTripInAnyChunks) {
  const std::vector<std::string> paths = {"/home/u/a b.jpg", "/tmp/\xC3\xA9t\xC3\xA9/", "/x"};
  const std::optional<std::string> message = encodeInstanceMessage(paths);
  ASSERT_TRUE(message);
  for (std::size_t chunk : {std::size_t(1), std::size_t(3), message->size()}) {
    InstanceMessageReader reader;
    EXPECT_EQ(readAll(*message, reader, chunk), Status::Complete);
    EXPECT_EQ(reader.paths(), paths);
  }
  // Bytes after the announced length are not part of the message.
  InstanceMessageReader longer;
  EXPECT_EQ(readAll(header(3) + std::string("/a\0/b\0", 6), longer, 2), Status::Complete);
  EXPECT_EQ(longer.paths(), std::vector<std::string>{"/a"});
  InstanceMessageReader empty;
  EXPECT_EQ(readAll(*encodeInstanceMessage({}), empty, 4), Status::Complete);
  EXPECT_TRUE(empty.paths().empty());
}

TEST(InstanceMessage, RefusesToEncodeWhatCannotBeSent) {
  EXPECT_FALSE(encodeInstanceMessage({"relative.jpg"}));
  EXPECT_FALSE(encodeInstanceMessage({""}));
  EXPECT_FALSE(encodeInstanceMessage({std::string("/a\0b", 4)}));
  EXPECT_FALSE(encodeInstanceMessage(std::vector<std::string>(kInstanceMessageMaxPaths + 1, "/a")));
  EXPECT_FALSE(encodeInstanceMessage({"/" + std::string(kInstanceMessageMaxBytes, 'a')}));
  EXPECT_TRUE(encodeInstanceMessage(std::vector<std::string>(kInstanceMessageMaxPaths, "/a")));
}

TEST(InstanceMessage, MalformedMessagesAreDropped) {
  std::string manyPaths;
  for (std::size_t i = 0; i <= kInstanceMessageMaxPaths; ++i) manyPaths += std::string("/a\0", 3);
  struct Case {
    const char* what;
    std::string bytes;
    Status status;
  };
  const Case cases[] = {
      {"longer than allowed", header(kInstanceMessageMaxBytes + 1), Status::Invalid},
      {"the largest length", header(0xFFFFFFFF) + "/a", Status::Invalid},
      {"relative path", header(6) + std::string("a.jpg\0", 6), Status::Invalid},
      {"empty path", header(4) + std::string("\0/a\0", 4), Status::Invalid},
      {"unterminated path", header(2) + "/a", Status::Invalid},
      {"too many paths", header(std::uint32_t(manyPaths.size())) + manyPaths, Status::Invalid},
      {"cut short", header(10) + "/abc", Status::NeedMore},
      {"header only", header(0).substr(0, 3), Status::NeedMore},
  };
  for (const Case& c : cases) {
    InstanceMessageReader reader;
    EXPECT_EQ(readAll(c.bytes, reader, 7), c.status) << c.what;
    EXPECT_TRUE(reader.paths().empty()) << c.what;
    // Nothing after a verdict changes it.
    if (c.status == Status::Invalid) {
      EXPECT_EQ(reader.feed("x", 1), Status::Invalid) << c.what;
    }
  }
}
