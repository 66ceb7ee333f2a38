#include "platform/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/posix/native_file.h"

namespace platform {
namespace {

constexpr std::int64_t kRetryStepMs = 20;

}  // namespace

FileLock::FileLock() = default;
FileLock::~FileLock() { Release(); }

Status FileLock::Acquire(const std::string& path, std::int64_t timeout_ms) {
  Release();
  NativeFile fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW,
                       PermissionBits(FilePermissions::kPrivate)));
  if (!fd.valid())
    return Status::Fail("cannot open lock file '" + path + "': " + std::strerror(errno));
  struct stat state {};
  if (::fstat(fd.get(), &state) != 0 || !S_ISREG(state.st_mode))
    return Status::Fail("not a lock file: '" + path + "'");
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::milliseconds(std::max<std::int64_t>(0, timeout_ms));
  for (;;) {
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) == 0) {
      file_ = std::make_unique<NativeFile>(std::move(fd));
      return Status::Ok();
    }
    int error = errno;
    if (error == EINTR) continue;
    if (error != EWOULDBLOCK)
      return Status::Fail("cannot lock '" + path + "': " + std::strerror(error));
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now())
                    .count();
    if (left <= 0) return Status::Fail("'" + path + "' is locked by another process");
    std::this_thread::sleep_for(
        std::chrono::milliseconds(std::min<std::int64_t>(left, kRetryStepMs)));
  }
}

void FileLock::Release() {
  file_.reset();  // closing the description lets go of the lock
}

}  // namespace platform
