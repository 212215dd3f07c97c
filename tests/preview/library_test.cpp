#include <gtest/gtest.h>

#include "preview/library_roots.h"
#include "preview/library_tree.h"

namespace velumar {
namespace {

OrganizedURLList entriesAt(const std::vector<std::string>& paths, const std::string& parent = "/") {
  OrganizedURLList entries;
  for (const auto& path : paths) entries.push_back(OrganizedURL::organizedURLWithPath(path, false, parent));
  return entries;
}

TEST(LibraryRoots, SharedLeadingComponents) {
  struct Case {
    std::string root, added, expected;
  };
  const Case cases[] = {
      {"/a/b/c", "/a/b/d", "/a/b"},
      {"/a/b", "/x", "/"},
      {"/a/b", "", ""},
      {"", "/a/b", ""},
      {"/a/b/c", "/a/b/c", "/a/b/c"},
      {"/a/bc", "/a/b", "/a"},
      {"/a//b/", "/a/b/c", "/a/b"},
      {"/", "/a", "/"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(verifyFileUrlsRootPath(c.added, c.root), c.expected) << c.root << " + " << c.added;
}

TEST(LibraryRoots, RootOfListNarrowsOverDistinctParents) {
  auto entries = entriesAt({"/a/b/c/1.jpg"}, "/a/b/c");
  entries.push_back(OrganizedURL::organizedURLWithPath("/a/b/d/2.jpg", false, "/a/b/d"));
  EXPECT_EQ(verifyFileUrlsRootPathForPreviewArray(entries), "/a/b");
  entries.push_back(OrganizedURL::organizedURLWithPath("/x/3.jpg", false, "/x"));
  EXPECT_EQ(verifyFileUrlsRootPathForPreviewArray(entries), "/");
  entries.push_back(OrganizedURL::organizedURLWithPath("/y/4.jpg", true, ""));
  EXPECT_EQ(verifyFileUrlsRootPathForPreviewArray(entries), "/");  // stops once only "/" is left
  EXPECT_EQ(verifyFileUrlsRootPathForPreviewArray({}), "");
}

std::vector<std::string> titles(const LibraryTree& tree) {
  std::vector<std::string> out;
  for (const auto& folder : tree) {
    std::string line = folder->pathValue + ":";
    for (const auto& leaf : folder->children) line += " " + leaf->pathValue;
    out.push_back(line);
  }
  return out;
}

TEST(LibraryTree, GroupsByOwnFolderInFileManagerOrder) {
  struct Case {
    std::vector<std::string> paths;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {{"/p/q/c.jpg", "/p/b.jpg", "/p/a.jpg"}, {"/p (2): b.jpg a.jpg", "/p/q (1): c.jpg"}},
      {{"/x/Img10/1.jpg", "/x/img2/1.jpg"}, {"/x/img2 (1): 1.jpg", "/x/Img10 (1): 1.jpg"}},
      {{"/n/\xff\xfe.jpg"}, {"/n (1): \xff\xfe.jpg"}},
      {{}, {}},
  };
  for (const auto& c : cases) EXPECT_EQ(titles(buildLibraryTree(entriesAt(c.paths))), c.expected);
}

TEST(LibraryTree, SelectionMapsBothWays) {
  const auto entries = entriesAt({"/p/a.jpg", "/p/q/c.jpg", "/p/b.jpg", "/r/d.jpg"});
  const LibraryTree tree = buildLibraryTree(entries);
  // Every entry knows its leaf, and the leaf its folder.
  for (const auto& entry : entries) {
    const auto leaf = entry->urlLibraryNode.lock();
    ASSERT_TRUE(leaf);
    EXPECT_EQ(leaf->pathOrganizedURL.lock(), entry);
    EXPECT_EQ(leaf->folder.lock()->pathValueURL, entry->folderPath());
  }
  const auto folders = foldersOfSelection(entries, OrganizedIndexSet::withIndexSet({0, 2, 3, 9}, 2));
  ASSERT_EQ(folders.size(), 2u);  // /p once, /r; out-of-range positions ignored
  EXPECT_EQ(folders[0]->pathValueURL, "/p");
  EXPECT_EQ(folders[1]->pathValueURL, "/r");

  // Leaves picked in the outline: positions by identity, the lowest current.
  const auto picked = selectionForLeaves({tree[2]->children[0], tree[0]->children[1]}, entries);
  ASSERT_TRUE(picked);
  EXPECT_EQ(*picked, OrganizedIndexSet::withIndexSet({2, 3}, 2));
  // An equal entry that is not the listed object is not found.
  const auto stranger = entriesAt({"/p/a.jpg"});
  const auto strangerTree = buildLibraryTree(stranger);
  EXPECT_FALSE(selectionForLeaves({strangerTree[0]->children[0]}, entries));
  EXPECT_FALSE(selectionForLeaves({}, entries));
}

TEST(OrganizedValues, CopyAndEquality) {
  auto entry = OrganizedURL::organizedURLWithPath("/a/b.jpg", true, "/a");
  entry->parentPathKey = "/a";
  const auto copy = entry->copy();
  EXPECT_NE(copy, entry);
  EXPECT_EQ(*copy, *entry);
  EXPECT_TRUE(copy->mediaFolder);
  EXPECT_EQ(copy->parentPathKey, "/a");
  EXPECT_TRUE(OrganizedURL::organizedURLWithPath("/a", false, "")->urlLibraryNode.expired());

  EXPECT_EQ(OrganizedIndexSet::withIndexSet({3, 1, 3}, 1), OrganizedIndexSet::withIndexSet({1, 3}, 1));
  EXPECT_EQ(OrganizedIndexSet::withIndexesInRange(1, 3, 1), OrganizedIndexSet::withIndexSet({3, 2, 1}, 1));
  EXPECT_NE(OrganizedIndexSet::withIndexSet({1, 3}, 1), OrganizedIndexSet::withIndexSet({1, 3}, 3));
  EXPECT_EQ(OrganizedIndexSet{}.imageCount, std::size_t(INT64_MAX));
}

}  // namespace
}  // namespace velumar
