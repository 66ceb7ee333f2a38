#pragma once
// The content of one root key of the file-backed registry (FileRegistry in
// registry.h documents the file format): parsing, changing and writing it.
// Plain data and text work only; the file, its lock and its folder are the
// business of FileRegistry.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"
#include "platform/status.h"

namespace platform {

// The first line of a store file.
inline constexpr char kRegistryStoreHeader[] = "velmora-registry 1";

// The components of a subkey path, checked against the limits of registry.h;
// nullopt (with a reason in error) for a path that is refused.
std::optional<std::vector<std::string>> SplitRegistryPath(std::string_view path,
                                                          std::string* error = nullptr);
// Checks a value name against the limits; "" is the default value.
bool IsValidRegistryValueName(std::string_view name);

// Double-quotes a text with the escapes of the store format.
std::string QuoteRegistryText(std::string_view text);

class RegistryStore {
 public:
  // Replaces the content by the parsed file bytes. Fails (content empty) with
  // the number of the offending line.
  Status Parse(std::string_view bytes);
  // The file bytes; every line ends with a line feed.
  std::string Serialize() const;
  // True when the root key has no values and no subkeys.
  bool Empty() const;

  // The path arguments below are checked with SplitRegistryPath; names with
  // IsValidRegistryValueName.
  std::optional<RegistryKeyInfo> KeyInfo(const std::vector<std::string>& path) const;
  // Creates the key and its missing parents, keeping the case of the parts
  // that exist. True when something was created.
  bool CreateKey(const std::vector<std::string>& path);
  // Fails for the root key and for a key with subkeys; a missing key is success.
  Status DeleteKey(const std::vector<std::string>& path, bool* changed);
  std::optional<RegistryValue> GetValue(const std::vector<std::string>& path,
                                        std::string_view name) const;
  // Fails when the key is missing or the value is not well formed.
  Status SetValue(const std::vector<std::string>& path, std::string_view name,
                  const RegistryValue& value, bool* changed);
  // A missing key or value is success.
  void DeleteValue(const std::vector<std::string>& path, std::string_view name, bool* changed);

 private:
  struct NamedValue {
    std::string name;
    RegistryValue value;
  };
  struct Key {
    std::vector<std::string> path;  // components with the case they were created with
    std::vector<NamedValue> values;
  };

  // Index of the key with the path (compared without case), or keys_.size().
  std::size_t Find(const std::vector<std::string>& path) const;
  Key& Ensure(const std::vector<std::string>& path);
  Status ParseLine(std::string_view line, std::optional<std::vector<std::string>>* current);

  // keys_[0] is the root key (empty path); parents come before their subkeys.
  std::vector<Key> keys_{Key{}};
};

}  // namespace platform
