#include "updater/process/temporary_update_files.h"

#include <algorithm>
#include <utility>

CTemporaryUpdateFiles& CTemporaryUpdateFiles::Instance() {
  static CTemporaryUpdateFiles instance;
  return instance;
}

void CTemporaryUpdateFiles::ResetInstance() { Instance().Take(); }

void CTemporaryUpdateFiles::Add(const std::string& path) {
  std::lock_guard lock(mutex_);
  if (std::find(paths_.begin(), paths_.end(), path) == paths_.end()) paths_.push_back(path);
}

std::vector<std::string> CTemporaryUpdateFiles::Take() {
  std::lock_guard lock(mutex_);
  return std::exchange(paths_, {});
}

std::vector<std::string> CTemporaryUpdateFiles::Paths() const {
  std::lock_guard lock(mutex_);
  return paths_;
}

std::size_t CTemporaryUpdateFiles::Size() const {
  std::lock_guard lock(mutex_);
  return paths_.size();
}
