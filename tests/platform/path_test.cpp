#include "platform/path.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(PathText, FolderFileNameAndTrailingSeparators) {
  struct Case {
    std::string path;
    std::string folder;
    std::string file_name;
    std::string without_trailing;
  } cases[] = {
      {"", "", "", ""},
      {"name", "", "name", "name"},
      {"/", "/", "", "/"},
      {"//", "/", "", "/"},
      {"///x", "//", "x", "///x"},
      {"/name", "/", "name", "/name"},
      {"a//b", "a/", "b", "a//b"},
      {"/a/b/c.txt", "/a/b", "c.txt", "/a/b/c.txt"},
      {"a/b/", "a/b", "", "a/b"},
      {"/a//b//", "/a//b/", "", "/a//b"},
      {"a\\b\\c", "a\\b", "c", "a\\b\\c"},
      {"a\\b/c", "a\\b", "c", "a\\b/c"},
      {"a/b\\c", "a/b", "c", "a/b\\c"},
      {"\\name", "\\", "name", "\\name"},
      {"https://host//path/file.xml", "https://host//path", "file.xml",
       "https://host//path/file.xml"},
      {"C://x//y", "C://x/", "y", "C://x//y"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(platform::FolderOf(c.path), c.folder) << c.path;
    EXPECT_EQ(platform::FileNameOf(c.path), c.file_name) << c.path;
    EXPECT_EQ(platform::WithoutTrailingSeparators(c.path), c.without_trailing) << c.path;
  }
}

TEST(PathText, JoinPutsOneSeparatorBetween) {
  struct Case {
    std::string folder;
    std::string name;
    std::string joined;
  } cases[] = {
      {"", "name", "name"}, {"", "", ""},         {"/", "name", "/name"}, {"a", "b", "a/b"},
      {"a/", "b", "a/b"},   {"a\\", "b", "a\\b"}, {"a", "", "a/"},        {"a", "b/c", "a/b/c"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(platform::JoinPath(c.folder, c.name), c.joined) << c.folder << " + " << c.name;
}

TEST(PathText, CollapseDotsResolvesLexically) {
  struct Case {
    std::string path;
    std::string collapsed;
  } cases[] = {
      {"/", "/"},
      {"", "/"},
      {"/a/./b", "/a/b"},
      {"/a/../b", "/b"},
      {"/../../a", "/a"},
      {"/a/b/..", "/a"},
      {"/a/b/../", "/a/"},
      {"/a//b///c", "/a/b/c"},
      {"/a/..", "/"},
      {"/a/b\\..", "/a/b\\.."},
      {"/..a/.b/", "/..a/.b/"},
  };
  for (const auto& c : cases) EXPECT_EQ(platform::CollapseDots(c.path), c.collapsed) << c.path;
}

}  // namespace
