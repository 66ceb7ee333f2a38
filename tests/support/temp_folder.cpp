#include "tests/support/temp_folder.h"

#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "platform/file_system.h"

TempFolder::TempFolder() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/velmora-test-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (!mkdtemp(buffer.data())) throw std::runtime_error("mkdtemp failed");
  path_ = buffer.data();
}

TempFolder::~TempFolder() { platform::RemoveTree(path_); }

std::string TempFolder::operator/(std::string_view name) const {
  return path_ + "/" + std::string(name);
}

std::string TempFolder::Write(std::string_view name, std::string_view bytes) const {
  std::string path = *this / name;
  auto slash = path.find_last_of('/');
  platform::CreateFolders(path.substr(0, slash));
  if (!platform::WriteFileAtomic(path, bytes)) throw std::runtime_error("cannot write " + path);
  return path;
}

std::string TempFolder::Read(std::string_view name) const {
  return platform::ReadFile(*this / name, 1 << 30).value_or("");
}
