#include "tools/release/release_tree.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "platform/file_system.h"
#include "platform/path.h"

namespace {

std::string JoinRelative(const std::string& folder, const std::string& name) {
  return folder.empty() ? name : folder + "/" + name;
}

}  // namespace

TreeScan ScanReleaseTree(const std::string& root, const std::string& label) {
  TreeScan scan;
  struct Pending {
    std::string relative;
    std::size_t depth;
  };
  std::vector<Pending> pending = {{"", 0}};
  std::size_t entries = 0;
  while (!pending.empty()) {
    Pending folder = std::move(pending.back());
    pending.pop_back();
    const std::string full_folder =
        folder.relative.empty() ? root : platform::JoinPath(root, folder.relative);
    std::optional<std::vector<std::string>> names = platform::ListFolder(full_folder);
    if (!names) {
      scan.problems.push_back(label + " folder \"" + full_folder + "\" cannot be listed");
      continue;
    }
    std::sort(names->begin(), names->end());
    for (const std::string& name : *names) {
      if (++entries > kMaxTreeEntries) {
        scan.problems.push_back(label + " folder \"" + root + "\" holds more than " +
                                std::to_string(kMaxTreeEntries) + " entries");
        return scan;
      }
      const std::string relative = JoinRelative(folder.relative, name);
      const std::string full = platform::JoinPath(root, relative);
      if (platform::IsSymbolicLink(full)) {
        scan.problems.push_back(label + " \"" + relative +
                                "\" is a symbolic link; links are not followed");
      } else if (platform::FolderExists(full)) {
        if (folder.depth + 1 > kMaxTreeDepth) {
          scan.problems.push_back(label + " \"" + relative + "\" is nested deeper than " +
                                  std::to_string(kMaxTreeDepth) + " folders");
          continue;
        }
        scan.tree.folders.insert(relative);
        pending.push_back({relative, folder.depth + 1});
      } else if (platform::FileExists(full)) {
        scan.tree.files.emplace(relative, full);
      } else {
        scan.problems.push_back(label + " \"" + relative +
                                "\" is neither a regular file nor a folder");
      }
    }
  }
  return scan;
}
