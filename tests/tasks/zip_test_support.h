#pragma once
// What the zip extraction tests compare: the paths below a folder.

#include <filesystem>
#include <set>
#include <string>

namespace zip_test {

// Every path below root, relative to it, folders marked with a trailing '/'.
inline std::set<std::string> Tree(const std::string& root) {
  namespace fs = std::filesystem;
  std::set<std::string> out;
  if (!fs::exists(root)) return out;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    // Spelled with "/" on every platform.
    std::string relative = fs::relative(e.path(), root).generic_string();
    out.insert(e.is_directory() && !e.is_symlink() ? relative + "/" : relative);
  }
  return out;
}

}  // namespace zip_test
