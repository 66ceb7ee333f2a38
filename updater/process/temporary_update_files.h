#pragma once
// CTemporaryUpdateFiles: the files an update downloads into the user's
// temporary folder. The download task adds each such destination; the
// finishing work after a completed installation takes the list and deletes
// the files that lie in that folder.

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

class CTemporaryUpdateFiles {
 public:
  // The process-wide list, created empty on first use.
  static CTemporaryUpdateFiles& Instance();
  // Empties the process-wide list (tests).
  static void ResetInstance();

  // Adds a path; a path already listed is not added again.
  void Add(const std::string& path);
  // Hands out every listed path in the order of addition and empties the list.
  std::vector<std::string> Take();
  // A copy of the list.
  std::vector<std::string> Paths() const;
  std::size_t Size() const;

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> paths_;
};
