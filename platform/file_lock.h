#pragma once
// An exclusive lock between processes, held on a lock file while the object lives.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/status.h"

namespace platform {

class NativeFile;

class FileLock {
 public:
  FileLock();
  // Releases the lock.
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // Opens the lock file (created private to the user when missing, never through a
  // symbolic link) and takes the exclusive lock, waiting at most timeout_ms for
  // another holder to let go. Fails when the file cannot be opened or the lock
  // stays taken; then nothing is held. Every open description of the file
  // counts as its own holder, also within one process.
  Status Acquire(const std::string& path, std::int64_t timeout_ms);
  // Lets go of the lock; the lock file stays.
  void Release();

  bool held() const { return file_ != nullptr; }

 private:
  std::unique_ptr<NativeFile> file_;
};

}  // namespace platform
