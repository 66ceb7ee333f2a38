#include "platform/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>

#include "platform/posix/native_file.h"

namespace platform {
namespace {

std::string ErrnoText(const std::string& what, const std::string& path) {
  return what + " '" + path + "': " + std::strerror(errno);
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

}  // namespace

char PathSeparator() { return '/'; }

bool IsPathSeparator(char c) { return c == '/' || c == '\\'; }

std::string NormalizeSeparators(std::string_view path) {
  std::string out(path);
  for (char& c : out)
    if (IsPathSeparator(c)) c = PathSeparator();
  return out;
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool FolderExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool PathExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::lstat(path.c_str(), &st) == 0;
}

bool IsSymbolicLink(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

Status CreateFolders(const std::string& path) {
  if (path.empty()) return Status::Fail("cannot create a folder with an empty name");
  if (FolderExists(path)) return Status::Ok();
  std::string parent = FolderOf(path);
  if (!parent.empty() && parent != path && !FolderExists(parent)) {
    Status s = CreateFolders(parent);
    if (!s) return s;
  }
  if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST)
    return Status::Fail(ErrnoText("cannot create folder", path));
  if (!FolderExists(path)) return Status::Fail("not a folder: '" + path + "'");
  return Status::Ok();
}

Status RemoveFile(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return Status::Ok();
  int rc = S_ISDIR(st.st_mode) ? ::rmdir(path.c_str()) : ::unlink(path.c_str());
  if (rc != 0 && errno != ENOENT) return Status::Fail(ErrnoText("cannot remove", path));
  return Status::Ok();
}

Status RenameFile(const std::string& source, const std::string& destination) {
  if (::rename(source.c_str(), destination.c_str()) != 0)
    return Status::Fail(ErrnoText("cannot rename", source));
  return Status::Ok();
}

Status RemoveTree(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return Status::Ok();
  if (S_ISDIR(st.st_mode)) {
    auto entries = ListFolder(path);
    if (!entries) return Status::Fail(ErrnoText("cannot list folder", path));
    Status first = Status::Ok();
    for (const auto& name : *entries) {
      Status s = RemoveTree(path + "/" + name);
      if (!s && first) first = s;
    }
    if (!first) return first;
  }
  return RemoveFile(path);
}

std::optional<std::vector<std::string>> ListFolder(const std::string& path) {
  DIR* dir = ::opendir(path.c_str());
  if (!dir) return std::nullopt;
  std::vector<std::string> names;
  while (dirent* e = ::readdir(dir)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    names.push_back(std::move(name));
  }
  ::closedir(dir);
  return names;
}

std::optional<std::string> ReadFile(const std::string& path, std::uint64_t max_bytes) {
  NativeFile fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return std::nullopt;
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  if (static_cast<std::uint64_t>(st.st_size) > max_bytes) return std::nullopt;
  std::string bytes;
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    if (n == 0) break;
    if (bytes.size() + static_cast<std::uint64_t>(n) > max_bytes) return std::nullopt;
    bytes.append(buffer, static_cast<size_t>(n));
  }
  return bytes;
}

Status WriteFileAtomic(const std::string& path, std::string_view bytes, FilePermissions permissions,
                       ExistingPermissions existing, Durability durability) {
  struct stat st {};
  mode_t final_mode = PermissionBits(permissions);
  if (existing == ExistingPermissions::kKeep && ::stat(path.c_str(), &st) == 0)
    final_mode = st.st_mode & 07777;

  static thread_local std::mt19937_64 rng{std::random_device{}()};
  std::string temp;
  NativeFile fd(-1);
  for (int attempt = 0; attempt < 16 && fd.get() < 0; ++attempt) {
    temp = path + ".tmp" + std::to_string(rng() % 1000000000ULL);
    fd.reset(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                    PermissionBits(FilePermissions::kPrivate)));
    if (fd.get() < 0 && errno != EEXIST) return Status::Fail(ErrnoText("cannot create", temp));
  }
  if (fd.get() < 0) return Status::Fail("cannot create a temporary file beside '" + path + "'");
  bool ok = WriteAll(fd.get(), bytes) && ::fchmod(fd.get(), final_mode) == 0 &&
            (durability == Durability::kThisRun || ::fsync(fd.get()) == 0);
  ok = fd.close() && ok;
  if (!ok || ::rename(temp.c_str(), path.c_str()) != 0) {
    std::string message = ErrnoText("cannot write", path);
    ::unlink(temp.c_str());
    return Status::Fail(message);
  }
  return Status::Ok();
}

std::optional<std::uint64_t> FileSize(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return static_cast<std::uint64_t>(st.st_size);
}

std::optional<std::int64_t> FileModificationTime(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return static_cast<std::int64_t>(st.st_mtim.tv_sec);
}

Status SetFileModificationTime(const std::string& path, std::int64_t seconds) {
  struct timespec times[2]{};
  times[0].tv_sec = static_cast<time_t>(seconds);
  times[1].tv_sec = static_cast<time_t>(seconds);
  if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0)
    return Status::Fail(ErrnoText("cannot set the time of", path));
  return Status::Ok();
}

}  // namespace platform
