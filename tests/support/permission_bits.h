#pragma once
// The permission bits of a file as the tests check them (links followed).

#include <filesystem>
#include <string>
#include <system_error>

// The bits 07777 of the file's mode; 0 when the path does not exist.
inline unsigned PermissionBits(const std::string& path) {
  std::error_code error;
  const auto status = std::filesystem::status(path, error);
  if (error || !std::filesystem::exists(status)) return 0;
  return static_cast<unsigned>(status.permissions()) & 07777;
}

// True when the owner may write the file: the one permission bit that
// Windows files show too (their read-only attribute).
inline bool OwnerMayWrite(const std::string& path) { return (PermissionBits(path) & 0200) != 0; }

// Sets the bits 0777 of the file's mode; false when it cannot.
inline bool SetPermissionBits(const std::string& path, unsigned bits) {
  std::error_code error;
  std::filesystem::permissions(path, static_cast<std::filesystem::perms>(bits & 0777),
                               std::filesystem::perm_options::replace, error);
  return !error;
}
