#include "tests/support/temp_folder.h"

#include <filesystem>
#include <random>
#include <stdexcept>
#include <system_error>

#include "platform/file_system.h"
#include "platform/path.h"

// A new folder of the test's own below the temporary folder ($TMPDIR or /tmp;
// the user's temporary folder on Windows), readable by its owner only.
TempFolder::TempFolder() {
  namespace fs = std::filesystem;
  std::error_code error;
  fs::path base = fs::temp_directory_path(error);
  if (error) base = "/tmp";
  std::random_device random;
  std::uniform_int_distribution<unsigned> digit(0, 35);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = "velmora-test-";
    for (int i = 0; i < 8; ++i) name += "0123456789abcdefghijklmnopqrstuvwxyz"[digit(random)];
    const fs::path candidate = base / name;
    if (fs::create_directory(candidate, error)) {
      fs::permissions(candidate, fs::perms::owner_all, fs::perm_options::replace, error);
      path_ = platform::NormalizeSeparators(candidate.string());
      return;
    }
    if (error) break;
  }
  throw std::runtime_error("cannot make a temporary folder below " + base.string());
}

TempFolder::~TempFolder() { platform::RemoveTree(path_); }

std::string TempFolder::operator/(std::string_view name) const {
  // Only the slashes: a backslash in a name stays what it is on Linux.
  std::string native(name);
  for (char& c : native)
    if (c == '/') c = platform::PathSeparator();
  return platform::JoinPath(path_, native);
}

std::string TempFolder::Write(std::string_view name, std::string_view bytes) const {
  std::string path = *this / name;
  platform::CreateFolders(platform::FolderOf(path));
  if (!platform::WriteFileAtomic(path, bytes)) throw std::runtime_error("cannot write " + path);
  return path;
}

std::string TempFolder::Read(std::string_view name) const {
  return platform::ReadFile(*this / name, 1 << 30).value_or("");
}
