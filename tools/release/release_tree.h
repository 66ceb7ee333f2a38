#pragma once
// The files of one release folder: every regular file below it by its path
// relative to the folder, found without following symbolic links.

#include <cstddef>
#include <map>
#include <set>
#include <string>
#include <vector>

// Bounds of one scan: entries (files, folders and anything else) and depth of
// nested folders.
inline constexpr std::size_t kMaxTreeEntries = 200000;
inline constexpr std::size_t kMaxTreeDepth = 128;

struct ReleaseTree {
  // Relative path ("/" between components) -> full path of the regular file.
  std::map<std::string, std::string> files;
  // Relative paths of the folders below the root.
  std::set<std::string> folders;
};

struct TreeScan {
  ReleaseTree tree;
  // One line per entry that was refused: symbolic links (never followed),
  // special files, folders that cannot be listed, bounds exceeded. A scan
  // with problems must not be used for a release.
  std::vector<std::string> problems;
};

// Scans the folder `root` (which must exist and be a folder, not a link).
// `label` names the folder in the problem lines ("previous", "next").
TreeScan ScanReleaseTree(const std::string& root, const std::string& label);
