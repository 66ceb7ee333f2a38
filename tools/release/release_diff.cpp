#include "tools/release/release_diff.h"

#include <optional>

#include "updater/description/md5.h"
#include "updater/description/sha256.h"

ReleaseDiff DiffReleases(const ReleaseTree& previous, const ReleaseTree& next) {
  ReleaseDiff diff;
  for (const auto& [relative, source] : next.files) {
    if (previous.folders.count(relative) != 0) {
      diff.problems.push_back("next \"" + relative +
                              "\" is a file where the previous release has a folder");
      continue;
    }
    std::optional<FileDigest> digest = Md5OfFile(source);
    if (!digest) {
      diff.problems.push_back("next \"" + relative + "\" cannot be read");
      continue;
    }
    PublishedFile file{relative, source, digest->hex, {}, digest->size, true};
    auto old = previous.files.find(relative);
    if (old != previous.files.end()) {
      std::optional<FileDigest> old_digest = Md5OfFile(old->second);
      if (!old_digest) {
        diff.problems.push_back("previous \"" + relative + "\" cannot be read");
        continue;
      }
      if (old_digest->hex == digest->hex && old_digest->size == digest->size) {
        ++diff.unchanged;
        continue;
      }
      file.is_new = false;
    }
    std::optional<std::string> sha256 = Sha256OfFile(source);
    if (!sha256) {
      diff.problems.push_back("next \"" + relative + "\" cannot be read");
      continue;
    }
    file.sha256 = std::move(*sha256);
    diff.published.push_back(std::move(file));
  }
  for (const auto& [relative, source] : previous.files) {
    if (next.files.count(relative) == 0) diff.removed.push_back(relative);
  }
  return diff;
}
