#include "platform/file_attributes.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "platform/file_system.h"

namespace platform {

std::optional<FileFacts> GetFileFacts(const std::string& path) {
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return std::nullopt;
  FileFacts facts;
  facts.regular = S_ISREG(st.st_mode);
  facts.folder = S_ISDIR(st.st_mode);
  facts.size = static_cast<std::uint64_t>(st.st_size);
  facts.modification_time = static_cast<std::int64_t>(st.st_mtim.tv_sec);
  facts.volume = static_cast<std::uint64_t>(st.st_dev);
  facts.file_id = static_cast<std::uint64_t>(st.st_ino);
  return facts;
}

bool IsSameFile(const std::string& a, const std::string& b) {
  auto first = GetFileFacts(a);
  auto second = GetFileFacts(b);
  return first && second && first->volume == second->volume && first->file_id == second->file_id;
}

std::uint64_t FolderContentSize(const std::string& folder, int max_depth) {
  if (max_depth < 0) return 0;
  auto names = ListFolder(folder);
  if (!names) return 0;
  std::uint64_t total = 0;
  for (const std::string& name : *names) {
    std::string path = folder + "/" + name;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) continue;
    if (S_ISREG(st.st_mode))
      total += static_cast<std::uint64_t>(st.st_size);
    else if (S_ISDIR(st.st_mode))
      total += FolderContentSize(path, max_depth - 1);
  }
  return total;
}

Status SetReadOnly(const std::string& path, bool read_only) {
  struct stat st {};
  if (path.empty() || ::lstat(path.c_str(), &st) != 0)
    return Status::Fail("cannot find '" + path + "': " + std::strerror(errno));
  if (!S_ISREG(st.st_mode)) return Status::Fail("not a regular file: '" + path + "'");
  mode_t mode = st.st_mode & 07777;
  mode = read_only ? (mode & ~static_cast<mode_t>(0222)) : (mode | S_IWUSR);
  if (::chmod(path.c_str(), mode) != 0)
    return Status::Fail("cannot change the mode of '" + path + "': " + std::strerror(errno));
  return Status::Ok();
}

}  // namespace platform
