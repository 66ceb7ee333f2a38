#include "updater/tasks/install/install_registry.h"

#include "updater/core/language.h"
#include "updater/core/text.h"
#include "updater/core/updater_log.h"
#include "updater/description/update_file_data.h"

namespace {

void Log(const std::string& line) { CUpdaterLog::Instance().WriteLine(line); }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsByteSeparator(char c) { return c == ' ' || c == '\t' || c == ',' || c == '-' || c == ':'; }

// Hexadecimal digit pairs with optional separators between them.
std::optional<std::string> ParseHexBytes(std::string_view text) {
  std::string bytes;
  std::size_t i = 0;
  while (i < text.size()) {
    if (IsByteSeparator(text[i])) {
      ++i;
      continue;
    }
    if (i + 1 >= text.size()) return std::nullopt;
    int high = HexDigit(text[i]);
    int low = HexDigit(text[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return bytes;
}

}  // namespace

std::optional<RegistryKeyText> SplitRegistryKeyText(std::string_view key) {
  std::size_t first = key.find('\\');
  if (first == std::string_view::npos) return std::nullopt;
  std::size_t last = key.rfind('\\');
  RegistryKeyText parts;
  parts.root = std::string(key.substr(0, first));
  parts.value_name = std::string(key.substr(last + 1));
  parts.subkey =
      std::string(first == last ? key.substr(first + 1) : key.substr(first + 1, last - first - 1));
  return parts;
}

std::optional<platform::RegistryValue> RegistryItemValue(std::string_view type,
                                                         std::string_view text) {
  std::optional<platform::RegistryValue> value;
  if (type == "dword") {
    value = platform::RegistryValue::Dword(static_cast<std::uint32_t>(StringToInt(text)));
  } else if (type == "binary") {
    if (auto bytes = ParseHexBytes(text)) value = platform::RegistryValue::Binary(*bytes);
  } else {
    value = platform::RegistryValue::String(text);
  }
  if (value && !value->IsWellFormed()) value.reset();
  return value;
}

CInstallRegistry::CInstallRegistry(CChangeJournal* journal)
    : CInstallItemWorker(journal, "CInstallRegistry", INSTALL_PART_REGISTRY, IDS_ACTION_REGISTRY,
                         CUpdateFileData::Instance().registry_items.size()),
      registry_(Journal().Registry()) {}

CInstallRegistry::~CInstallRegistry() { Stop(); }

std::size_t CInstallRegistry::ItemCount() const {
  return CUpdateFileData::Instance().registry_items.size();
}

std::string CInstallRegistry::WriteItem(std::size_t index) {
  CChangeJournal& journal = Journal();
  const CRegistryData& item = CUpdateFileData::Instance().registry_items[index];
  auto parts = SplitRegistryKeyText(item.key);
  auto root = parts ? platform::RegistryRootFromName(parts->root) : std::nullopt;
  if (!root) {
    Log("registry: unknown root key in " + item.key);
    return ItemLabel();
  }
  auto value = RegistryItemValue(item.type, item.value);
  if (!value) {
    Log("registry: the value of " + item.key + " is not of type " + item.type);
    return ItemLabel();
  }

  auto key = registry_.QueryKey(*root, parts->subkey);
  platform::Status status = key.status;
  if (status && !key.info) {
    status = journal.RecordRegistryKeyCreate(*root, parts->subkey);
    if (status) status = registry_.CreateKey(*root, parts->subkey);
  }
  if (status) status = journal.RecordRegistryValue(*root, parts->subkey, parts->value_name);
  if (status) status = registry_.SetValue(*root, parts->subkey, parts->value_name, *value);
  if (!status) {
    Log("registry: cannot write " + item.key + ": " + status.message());
    return ItemLabel();
  }
  return {};
}
