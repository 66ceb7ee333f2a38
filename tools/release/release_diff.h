#pragma once
// What changed between two releases: files that are new or whose bytes
// differ (by MD5 and size), and files that are gone.

#include <cstdint>
#include <string>
#include <vector>

#include "tools/release/release_tree.h"

// A file of the next release that the update publishes.
struct PublishedFile {
  std::string relative;  // "/" between components
  std::string source;    // full path in the next release folder
  std::string md5;       // 32 lower-case hex digits of its bytes
  std::string sha256;    // 64 lower-case hex digits of its bytes
  std::uint64_t size = 0;
  bool is_new = false;  // not in the previous release
};

struct ReleaseDiff {
  std::vector<PublishedFile> published;  // new and changed, by relative path
  std::vector<std::string> removed;      // relative paths gone, by relative path
  std::size_t unchanged = 0;
  // Files that could not be read, and a file of the next release that stands
  // where the previous release had a folder (the updater cannot replace a
  // folder by a file). A diff with problems must not be used for a release.
  std::vector<std::string> problems;
};

ReleaseDiff DiffReleases(const ReleaseTree& previous, const ReleaseTree& next);
