#pragma once
// The registry: root keys holding a tree of keys, each key holding named,
// typed values. Key and value names are compared without regard to case and
// keep the case they were created with.
//
// On Linux the registry is a store of its own: one file per root key in
// $XDG_CONFIG_HOME/velmora/registry/ (FileRegistry in
// platform/posix/file_registry.h describes the format); on Windows it is the
// system's registry.
//
// Subkey paths separate their components with a backslash
// ("Software\\Vendor\\App"); the empty path is the root key itself. A path
// with an empty component ("A\\\\B", a leading or trailing backslash) is
// refused. Value names may hold any character; "" is the key's default value.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"

namespace platform {

enum class RegistryRoot {
  kClassesRoot,    // HKEY_CLASSES_ROOT
  kCurrentUser,    // HKEY_CURRENT_USER
  kLocalMachine,   // HKEY_LOCAL_MACHINE
  kUsers,          // HKEY_USERS
  kCurrentConfig,  // HKEY_CURRENT_CONFIG
};

// The root of a name such as "HKEY_CURRENT_USER", compared without regard to
// case; nullopt for any other text.
std::optional<RegistryRoot> RegistryRootFromName(std::string_view name);
// The upper-case name of a root ("HKEY_CURRENT_USER").
const char* RegistryRootName(RegistryRoot root);

// Value types, numbered as the system numbers them.
enum class RegistryType : std::uint32_t {
  kString = 1,        // REG_SZ
  kExpandString = 2,  // REG_EXPAND_SZ
  kBinary = 3,        // REG_BINARY
  kDword = 4,         // REG_DWORD
  kMultiString = 7,   // REG_MULTI_SZ
  kQword = 11,        // REG_QWORD
};

// A typed value. The meaning of data depends on the type:
//   kString, kExpandString: UTF-8 text;
//   kMultiString: UTF-8 texts, each followed by one NUL;
//   kBinary: the bytes;
//   kDword, kQword: exactly 4 or 8 bytes, little-endian.
struct RegistryValue {
  RegistryType type = RegistryType::kString;
  std::string data;

  static RegistryValue String(std::string_view text);
  static RegistryValue ExpandString(std::string_view text);
  static RegistryValue MultiString(const std::vector<std::string>& texts);
  static RegistryValue Binary(std::string_view bytes);
  static RegistryValue Dword(std::uint32_t number);
  static RegistryValue Qword(std::uint64_t number);

  // The number of a kDword or kQword value of the right size; nullopt otherwise.
  std::optional<std::uint32_t> AsDword() const;
  std::optional<std::uint64_t> AsQword() const;
  // The texts of a kMultiString value (a last text without its NUL counts too).
  std::vector<std::string> AsMultiString() const;
  // True when data fits the type (size of numbers, NUL-free strings, limits).
  bool IsWellFormed() const;

  bool operator==(const RegistryValue&) const = default;
};

// Limits the store enforces on every platform.
inline constexpr std::size_t kMaxRegistryKeyNameUnits = 255;  // one path component
inline constexpr std::size_t kMaxRegistryKeyDepth = 512;      // components of a path
inline constexpr std::size_t kMaxRegistryValueNameUnits = 16383;
inline constexpr std::size_t kMaxRegistryValueBytes = 1 << 20;

// The components of a subkey path, checked against the limits above; nullopt
// (with a reason in error) for a path that is refused.
std::optional<std::vector<std::string>> SplitRegistryPath(std::string_view path,
                                                          std::string* error = nullptr);
// Checks a value name against the limits; "" is the default value.
bool IsValidRegistryValueName(std::string_view name);
// The form of a key or value name under which names equal without regard to
// case are equal: every code point lowered. A name that is not UTF-8 keeps its
// bytes behind a byte UTF-8 never holds, so it equals only itself.
std::string FoldRegistryName(std::string_view name);

// Registry names and values as text, the notation of the restore information
// and of the Linux store file. Texts are double-quoted with the escapes \\ \"
// \n \r \t \0 and \xHH (every byte below 0x20 and 0x7F is escaped), so that
// no text can start a line of its own.
std::string QuoteRegistryText(std::string_view text);
// Reads a quoted text at line[pos] and moves pos past its closing quote;
// nullopt for a text that is not well formed.
std::optional<std::string> ReadQuotedRegistryText(std::string_view line, std::size_t& pos);
// A value's type and data as one line of text: the type word, a blank and the
// data ("sz \"text\"", "dword 12", "binary 01ff").
std::string RegistryValueToText(const RegistryValue& value);
// The value of such a text; nullopt (with a reason in error) when the type is
// unknown or the data do not fit it.
std::optional<RegistryValue> RegistryValueFromText(std::string_view text,
                                                   std::string* error = nullptr);

// A look-up that may find nothing without failing.
struct RegistryValueRead {
  Status status = Status::Ok();        // failed: the store is unreadable or the name refused
  std::optional<RegistryValue> value;  // nullopt: the key or the value does not exist
};

struct RegistryKeyInfo {
  std::size_t subkeys = 0;  // direct subkeys
  std::size_t values = 0;
};
struct RegistryKeyRead {
  Status status = Status::Ok();
  std::optional<RegistryKeyInfo> info;  // nullopt: the key does not exist
};

struct RegistryDepthRead {
  Status status = Status::Ok();
  std::size_t depth = 0;  // leading components of the path that exist as keys
};

class IRegistry {
 public:
  virtual ~IRegistry() = default;

  // How many leading components of subkey exist as keys (0: not even the
  // first), read at once. The default asks QueryKey for every prefix.
  virtual RegistryDepthRead QueryExistingDepth(RegistryRoot root, std::string_view subkey);

  // Whether the key exists, with the number of its subkeys and values.
  virtual RegistryKeyRead QueryKey(RegistryRoot root, std::string_view subkey) = 0;
  // Creates the key and every missing parent; success when it exists already.
  virtual Status CreateKey(RegistryRoot root, std::string_view subkey) = 0;
  // Removes a key and its values. Fails for the root key itself and for a key
  // that has subkeys; a missing key is success.
  virtual Status DeleteKey(RegistryRoot root, std::string_view subkey) = 0;

  virtual RegistryValueRead QueryValue(RegistryRoot root, std::string_view subkey,
                                       std::string_view name) = 0;
  // Sets a value of an existing key (fails when the key is missing). A value
  // that exists keeps the case of its name and its place among the key's values.
  virtual Status SetValue(RegistryRoot root, std::string_view subkey, std::string_view name,
                          const RegistryValue& value) = 0;
  // Removes a value; a missing value or key is success.
  virtual Status DeleteValue(RegistryRoot root, std::string_view subkey, std::string_view name) = 0;
};

// The registry of this machine and user.
IRegistry& SystemRegistry();

}  // namespace platform
