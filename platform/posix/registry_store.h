#pragma once
// The content of one root key of the file-backed registry (FileRegistry in
// file_registry.h documents the file format): parsing, changing and writing it.
// Plain data and text work only; the file, its lock and its folder are the
// business of FileRegistry.

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/registry.h"
#include "platform/status.h"

namespace platform {

// The first line of a store file.
inline constexpr char kRegistryStoreHeader[] = "velmora-registry 1";

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
  // IsValidRegistryValueName. Every call costs the length of its path and
  // names, whatever the size of the store; Parse and Serialize are linear.
  std::optional<RegistryKeyInfo> KeyInfo(const std::vector<std::string>& path) const;
  // How many leading components of the path exist as keys.
  std::size_t ExistingDepth(const std::vector<std::string>& path) const;
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
  // One key of the tree. Keys are found through their parents' children by
  // folded name, so every look-up costs the length of its path, never the
  // size of the store.
  struct Key {
    std::string name;    // the component, with the case it was created with
    std::size_t parent;  // index in keys_; the root key is its own parent
    std::vector<NamedValue> values;
    std::unordered_map<std::string, std::size_t> value_index;  // folded name -> values
    std::unordered_map<std::string, std::size_t> children;     // folded name -> keys_
    bool deleted = false;
  };

  // Index of the key with the path (compared without case), or keys_.size().
  std::size_t Find(const std::vector<std::string>& path) const;
  // Index of the key, created with its missing parents.
  std::size_t Ensure(const std::vector<std::string>& path);
  // The full path of a key, its components joined with backslashes.
  std::string PathText(std::size_t index) const;
  Status SetValueAt(std::size_t index, std::string_view name, const RegistryValue& value,
                    bool* changed);
  Status ParseLine(std::string_view line, std::optional<std::size_t>* current);

  // keys_[0] is the root key; parents come before their subkeys and the file
  // keeps this order. A deleted key stays in place, marked, until the next Parse.
  std::vector<Key> keys_{RootKey()};
  static Key RootKey() { return Key{{}, 0, {}, {}, {}, false}; }
};

}  // namespace platform
