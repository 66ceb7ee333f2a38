#pragma once
// CInstallRegistry: the third sub-worker of the install task. It writes every
// REGISTRY item of the update file into the registry, recording each change
// in the change journal first, and reports one progress unit per item.
//
// An item's key text is "<root>\<subkey>\<value name>": the root is the text
// before the first backslash (any case of HKEY_LOCAL_MACHINE,
// HKEY_CURRENT_USER, HKEY_CURRENT_CONFIG, HKEY_CLASSES_ROOT, HKEY_USERS), the
// subkey the text between the first and the last backslash (with a single
// backslash: the text after it), the value name the text after the last
// backslash ("" for the key's default value). The key is created when it is
// missing. Types: "string" (a string value), "dword" (the text read as a
// signed decimal number up to its first other character, 0 without digits,
// stored as 32 bits), "binary" (hexadecimal digit pairs, optionally separated
// by blanks, tabs, commas, hyphens or colons: "01 ff 7e").
//
// It runs as CInstallItemWorker describes, with part INSTALL_PART_REGISTRY.
// An item that cannot be written (unknown root, bad binary text, registry
// failure) is reported as MessageId::kError UpdateError::kWriteFailed with the item text and
// a log line; the worker goes on with the next item.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/registry.h"
#include "updater/tasks/install/install_item_worker.h"
#include "updater/tasks/rollback/change_journal.h"

struct RegistryKeyText {
  std::string root;
  std::string subkey;
  std::string value_name;
};

// Splits a key text; nullopt when it has no backslash.
std::optional<RegistryKeyText> SplitRegistryKeyText(std::string_view key);
// The value of an item's type and text; nullopt when the text does not fit the type.
std::optional<platform::RegistryValue> RegistryItemValue(std::string_view type,
                                                         std::string_view text);

class CInstallRegistry : public CInstallItemWorker {
 public:
  // journal: where changes are recorded; nullptr takes the process-wide one.
  explicit CInstallRegistry(CChangeJournal* journal = nullptr);
  ~CInstallRegistry() override;

 protected:
  // On failure (after a log line) the error text is the item text.
  std::string WriteItem(std::size_t index) override;
  std::size_t ItemCount() const override;

 private:
  platform::IRegistry& registry_;
};
