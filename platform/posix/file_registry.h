#pragma once
// The registry of Linux: a store of files of its own behind IRegistry.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"
#include "platform/status.h"

namespace platform {

class RegistryStore;

// The store behind SystemRegistry() on Linux, usable with a folder of its own
// (the tests give it one).
//
// Each root key is one file, "<ROOT NAME>.reg" (e.g. "HKEY_CURRENT_USER.reg"),
// of UTF-8 lines ended by a line feed:
//
//   velmora-registry 1
//   key "Software\\Vendor\\App"
//   value "Path" sz "C:\\Program Files\\App"
//   value "" expand_sz "%HOME%/app"
//   value "Count" dword 12
//   value "Big" qword 18446744073709551615
//   value "Blob" binary 01ff7e
//   value "List" multi_sz "first\0second\0"
//   key "Software\\Vendor\\App\\Empty"
//
// The first line names the format. A "key" line names a key by its full path
// (the empty path is the root key); the "value" lines after it belong to it.
// Names and texts are double-quoted with the escapes \\ \" \n \r \t \0 and
// \xHH (every byte below 0x20 and 0x7F is escaped), so no name or value can
// start a line of its own. dword and qword are unsigned decimal numbers,
// binary is lower-case hexadecimal digit pairs. Blank lines and lines
// beginning with "#" are ignored and not kept. A file that breaks these rules
// is refused as a whole and never overwritten: writes to its root fail.
//
// Every change takes an exclusive lock (flock on "<ROOT NAME>.lock" beside
// the file) across reading, changing and writing, and writes the file to a
// temporary file renamed into place, so readers see the old or the new store
// and two processes never lose each other's changes. A root that becomes empty
// (no values, no subkeys) has its file removed. Files are private to the user.
class FileRegistry : public IRegistry {
 public:
  // Largest store file that is read.
  static constexpr std::uint64_t kMaxFileBytes = 64ull << 20;

  // folder: where the files live; "" resolves $XDG_CONFIG_HOME (or
  // ~/.config) + "/velmora/registry" anew at every call.
  explicit FileRegistry(std::string folder = {});

  RegistryKeyRead QueryKey(RegistryRoot root, std::string_view subkey) override;
  // One read of the store.
  RegistryDepthRead QueryExistingDepth(RegistryRoot root, std::string_view subkey) override;
  Status CreateKey(RegistryRoot root, std::string_view subkey) override;
  Status DeleteKey(RegistryRoot root, std::string_view subkey) override;
  RegistryValueRead QueryValue(RegistryRoot root, std::string_view subkey,
                               std::string_view name) override;
  Status SetValue(RegistryRoot root, std::string_view subkey, std::string_view name,
                  const RegistryValue& value) override;
  Status DeleteValue(RegistryRoot root, std::string_view subkey, std::string_view name) override;

  // The folder in use and the file of a root.
  std::string Folder() const;
  std::string FilePath(RegistryRoot root) const;

 private:
  // The store of root, loaded for a read of subkey, and the subkey's parts;
  // the failure when the subkey or the folder is wrong or the store unreadable.
  Status LoadForRead(RegistryRoot root, std::string_view subkey, RegistryStore& store,
                     std::vector<std::string>& path) const;
  std::string folder_;
};

}  // namespace platform
