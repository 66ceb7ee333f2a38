#include "platform/file_lock.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/win32/native_file.h"

namespace platform {
namespace {

constexpr std::int64_t kRetryStepMs = 20;

}  // namespace

FileLock::FileLock() = default;
FileLock::~FileLock() { Release(); }

// LockFileEx on the first byte, exclusive and without waiting, tried again
// until the time-out: a lock belongs to the handle, so every open of the file
// is a holder of its own.
Status FileLock::Acquire(const std::string& path, std::int64_t timeout_ms) {
  Release();
  NativeFile file(CreateNativeFile(path, GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   OPEN_ALWAYS, FilePermissions::kPrivate, /*no_follow=*/true));
  if (!file.valid()) return Failure("cannot open lock file", path, ::GetLastError());
  if (!IsRegularFileHandle(file.get())) return Status::Fail("not a lock file: '" + path + "'");
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::milliseconds(std::max<std::int64_t>(0, timeout_ms));
  for (;;) {
    OVERLAPPED at{};
    if (::LockFileEx(file.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                     &at)) {
      file_ = std::make_unique<NativeFile>(std::move(file));
      return Status::Ok();
    }
    const DWORD error = ::GetLastError();
    if (error != ERROR_LOCK_VIOLATION && error != ERROR_IO_PENDING)
      return Failure("cannot lock", path, error);
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now())
                    .count();
    if (left <= 0) return Status::Fail("'" + path + "' is locked by another process");
    std::this_thread::sleep_for(
        std::chrono::milliseconds(std::min<std::int64_t>(left, kRetryStepMs)));
  }
}

void FileLock::Release() {
  file_.reset();  // closing the handle lets go of the lock
}

}  // namespace platform
