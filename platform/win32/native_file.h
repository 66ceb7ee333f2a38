#pragma once
// The Windows side of the file interfaces: the owned file handle behind the
// readers, writers and locks of platform/, the creation of files with the
// access a FilePermissions intent stands for, and the shared steps of writing.
//
// Windows files carry no permission bits. An intent maps to:
// - the read-only attribute for the read-only intents;
// - for kPrivate, a security descriptor whose list grants the current user
//   (and the system account) full access and nobody else any, not inherited
//   from the folder;
// - nothing for the others (the folder's inherited access applies). Being a
//   program is a matter of the file name (".exe") on Windows.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/file_permissions.h"
#include "platform/path.h"
#include "platform/status.h"
#include "platform/win32/wide.h"

namespace platform {

class NativeFile : public UniqueHandle {
 public:
  using UniqueHandle::UniqueHandle;
  explicit NativeFile(UniqueHandle&& handle) noexcept : UniqueHandle(std::move(handle)) {}
};

// The folder to create a file beside: the folder of path, or "." for a bare name.
inline std::string FolderToOpen(const std::string& path) {
  std::string folder = FolderOf(path);
  return folder.empty() ? std::string(".") : folder;
}

// True for the intents that make a file read-only.
constexpr bool IsReadOnlyIntent(FilePermissions permissions) {
  return permissions == FilePermissions::kReadOnly ||
         permissions == FilePermissions::kReadOnlyExecutable ||
         permissions == FilePermissions::kReadOnlyOwnerExecutable;
}

// Creates or opens a file with CreateFileW. For kPrivate, a new file gets
// the owner-only security descriptor. Never follows a reparse point when
// no_follow is set (the point itself is opened, then refused by the caller).
HANDLE CreateNativeFile(const std::string& path, DWORD access, DWORD share, DWORD disposition,
                        FilePermissions permissions, bool no_follow = false);

// Gives an open file the owner-only access list (kPrivate) or leaves it.
Status ApplyPermissions(HANDLE file, const std::string& path, FilePermissions permissions);

// Sets or clears the read-only attribute of a path, the others kept.
Status SetReadOnlyAttribute(const std::string& path, bool read_only);

// Drops an access list of its own from the file at path: the entries it
// inherits from its folder apply again.
void InheritFolderAccess(const std::string& path);

// Gives the file at to the access list of the file at from (its own entries
// and whether it inherits); nothing happens when from has none to read.
void CopyAccess(const std::string& from, const std::string& to);

// Writes every byte to the handle.
bool WriteAllBytes(HANDLE file, std::string_view bytes);

// A short temporary name in the folder of path, ".velmora-<random>.tmp".
std::string TemporaryNameBeside(const std::string& path);

// Moves source over destination at once (MoveFileExW with replace-existing
// and write-through). A read-only destination is made writable first, as the
// replacement of a file that nobody may write is the caller's decision.
Status ReplaceByRename(const std::string& source, const std::string& destination);

// Opens what the path names, links followed, only to read its attributes
// (folders too); an invalid handle for an empty path or a failure.
UniqueHandle OpenForAttributes(const std::string& path);

// True for a handle to a regular file (not a folder, pipe or device).
bool IsRegularFileHandle(HANDLE file);

}  // namespace platform
