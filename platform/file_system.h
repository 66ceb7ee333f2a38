#pragma once
// Files and folders. Paths are UTF-8 with the platform separator.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_permissions.h"
#include "platform/status.h"

namespace platform {

// The separator of path components on this platform.
char PathSeparator();
// True for the platform separator and, on every platform, for the backslash,
// which files written for Windows use.
bool IsPathSeparator(char c);
// Returns the path with every backslash and slash turned into the platform separator.
std::string NormalizeSeparators(std::string_view path);

bool FileExists(const std::string& path);    // a regular file (links followed)
bool FolderExists(const std::string& path);  // a directory (links followed)
bool PathExists(const std::string& path);    // anything, a dangling link included
bool IsSymbolicLink(const std::string& path);

// Creates the folder and every missing parent. Succeeds when it already exists.
Status CreateFolders(const std::string& path);
// Removes a file or an empty folder; a missing path is success.
Status RemoveFile(const std::string& path);
// Removes a folder and everything below it. Symbolic links are removed as links,
// never followed. A missing path is success.
Status RemoveTree(const std::string& path);
// Gives a file a new path on the same volume, replacing a file there. A
// symbolic link at source is moved as a link, never followed.
Status RenameFile(const std::string& source, const std::string& destination);
// Names of the entries of a folder, without "." and "..".
std::optional<std::vector<std::string>> ListFolder(const std::string& path);

// Reads a whole file of at most max_bytes; fails for larger files.
std::optional<std::string> ReadFile(const std::string& path, std::uint64_t max_bytes);
// How long a written file must last. kDurable: it reaches the disk before it
// takes its path, so it survives a crash of the system. kThisRun: the system
// writes it out when it likes; for files that only this run reads and removes
// (working copies in the run's temporary folder).
enum class Durability { kDurable, kThisRun };
// Writes bytes to a temporary file beside path and renames it into place, so
// readers see the old or the new content, never a part. The permissions apply
// to a new file; an existing file keeps its own unless existing says otherwise.
Status WriteFileAtomic(const std::string& path, std::string_view bytes,
                       FilePermissions permissions = FilePermissions::kNormal,
                       ExistingPermissions existing = ExistingPermissions::kKeep,
                       Durability durability = Durability::kDurable);
std::optional<std::uint64_t> FileSize(const std::string& path);

// Last modification time of a regular file (links followed), in seconds since
// 1970-01-01 00:00:00 UTC; nullopt when the path is not a regular file.
std::optional<std::int64_t> FileModificationTime(const std::string& path);
// Sets the last access and modification time of a file (seconds since the epoch).
Status SetFileModificationTime(const std::string& path, std::int64_t seconds);

}  // namespace platform
