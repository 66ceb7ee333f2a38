// The content of one root key of the file-backed registry: the tree of keys
// and values, read from and written to the lines of a store file.

#include "platform/posix/registry_store.h"

#include <optional>

namespace platform {
namespace {

std::string JoinPath(const std::vector<std::string>& path) {
  std::string text;
  for (std::size_t k = 0; k < path.size(); ++k) {
    if (k > 0) text += '\\';
    text += path[k];
  }
  return text;
}

}  // namespace

// RegistryStore ----------------------------------------------------------------

std::size_t RegistryStore::Find(const std::vector<std::string>& path) const {
  std::size_t index = 0;
  for (const auto& part : path) {
    const auto& children = keys_[index].children;
    auto child = children.find(FoldRegistryName(part));
    if (child == children.end()) return keys_.size();
    index = child->second;
  }
  return index;
}

std::size_t RegistryStore::ExistingDepth(const std::vector<std::string>& path) const {
  std::size_t index = 0;
  std::size_t depth = 0;
  for (const auto& part : path) {
    const auto& children = keys_[index].children;
    auto child = children.find(FoldRegistryName(part));
    if (child == children.end()) break;
    index = child->second;
    ++depth;
  }
  return depth;
}

std::size_t RegistryStore::Ensure(const std::vector<std::string>& path) {
  std::size_t index = 0;
  for (const auto& part : path) {
    std::string folded = FoldRegistryName(part);
    auto child = keys_[index].children.find(folded);
    if (child != keys_[index].children.end()) {
      index = child->second;
      continue;
    }
    const std::size_t created = keys_.size();
    keys_.push_back(Key{part, index, {}, {}, {}, false});
    keys_[index].children.emplace(std::move(folded), created);
    index = created;
  }
  return index;
}

std::string RegistryStore::PathText(std::size_t index) const {
  std::vector<const std::string*> parts;
  for (std::size_t k = index; k != 0; k = keys_[k].parent) parts.push_back(&keys_[k].name);
  std::string text;
  for (auto part = parts.rbegin(); part != parts.rend(); ++part) {
    if (!text.empty()) text += '\\';
    text += **part;
  }
  return text;
}

bool RegistryStore::Empty() const { return keys_[0].children.empty() && keys_[0].values.empty(); }

std::optional<RegistryKeyInfo> RegistryStore::KeyInfo(const std::vector<std::string>& path) const {
  std::size_t index = Find(path);
  if (index == keys_.size()) return std::nullopt;
  RegistryKeyInfo info;
  info.values = keys_[index].values.size();
  info.subkeys = keys_[index].children.size();
  return info;
}

bool RegistryStore::CreateKey(const std::vector<std::string>& path) {
  std::size_t before = keys_.size();
  Ensure(path);
  return keys_.size() != before;
}

Status RegistryStore::DeleteKey(const std::vector<std::string>& path, bool* changed) {
  if (path.empty()) return Status::Fail("the root key cannot be deleted");
  std::size_t index = Find(path);
  if (index == keys_.size()) return Status::Ok();
  Key& key = keys_[index];
  if (!key.children.empty())
    return Status::Fail("registry key has subkeys: '" + PathText(index) + "'");
  keys_[key.parent].children.erase(FoldRegistryName(key.name));
  key.deleted = true;
  key.values.clear();
  key.value_index.clear();
  *changed = true;
  return Status::Ok();
}

std::optional<RegistryValue> RegistryStore::GetValue(const std::vector<std::string>& path,
                                                     std::string_view name) const {
  std::size_t index = Find(path);
  if (index == keys_.size()) return std::nullopt;
  const Key& key = keys_[index];
  auto found = key.value_index.find(FoldRegistryName(name));
  if (found == key.value_index.end()) return std::nullopt;
  return key.values[found->second].value;
}

Status RegistryStore::SetValue(const std::vector<std::string>& path, std::string_view name,
                               const RegistryValue& value, bool* changed) {
  std::size_t index = Find(path);
  if (index == keys_.size())
    return Status::Fail("registry key does not exist: '" + JoinPath(path) + "'");
  return SetValueAt(index, name, value, changed);
}

Status RegistryStore::SetValueAt(std::size_t index, std::string_view name,
                                 const RegistryValue& value, bool* changed) {
  if (!value.IsWellFormed()) return Status::Fail("registry value data does not fit its type");
  Key& key = keys_[index];
  std::string folded = FoldRegistryName(name);
  auto found = key.value_index.find(folded);
  if (found != key.value_index.end()) {
    NamedValue& named = key.values[found->second];
    if (!(named.value == value)) {
      named.value = value;
      *changed = true;
    }
    return Status::Ok();
  }
  key.value_index.emplace(std::move(folded), key.values.size());
  key.values.push_back(NamedValue{std::string(name), value});
  *changed = true;
  return Status::Ok();
}

void RegistryStore::DeleteValue(const std::vector<std::string>& path, std::string_view name,
                                bool* changed) {
  std::size_t index = Find(path);
  if (index == keys_.size()) return;
  Key& key = keys_[index];
  auto found = key.value_index.find(FoldRegistryName(name));
  if (found == key.value_index.end()) return;
  const std::size_t position = found->second;
  key.value_index.erase(found);
  key.values.erase(key.values.begin() + static_cast<std::ptrdiff_t>(position));
  for (std::size_t k = position; k < key.values.size(); ++k)
    key.value_index[FoldRegistryName(key.values[k].name)] = k;
  *changed = true;
}

std::string RegistryStore::Serialize() const {
  std::string out = std::string(kRegistryStoreHeader) + "\n";
  for (std::size_t k = 0; k < keys_.size(); ++k) {
    const Key& key = keys_[k];
    if (key.deleted || (k == 0 && key.values.empty())) continue;
    out += "key " + QuoteRegistryText(PathText(k)) + "\n";
    for (const auto& named : key.values)
      out +=
          "value " + QuoteRegistryText(named.name) + " " + RegistryValueToText(named.value) + "\n";
  }
  return out;
}

Status RegistryStore::ParseLine(std::string_view line, std::optional<std::size_t>* current) {
  if (line.empty() || line[0] == '#') return Status::Ok();
  if (line.substr(0, 4) == "key ") {
    std::size_t pos = 4;
    auto text = ReadQuotedRegistryText(line, pos);
    if (!text || pos != line.size()) return Status::Fail("malformed key line");
    std::string reason;
    auto path = SplitRegistryPath(*text, &reason);
    if (!path) return Status::Fail(reason);
    *current = Ensure(*path);
    return Status::Ok();
  }
  if (line.substr(0, 6) == "value ") {
    if (!*current) return Status::Fail("value line before the first key line");
    std::size_t pos = 6;
    auto name = ReadQuotedRegistryText(line, pos);
    if (!name || !IsValidRegistryValueName(*name) || pos >= line.size() || line[pos] != ' ')
      return Status::Fail("malformed value name");
    std::string reason;
    auto value = RegistryValueFromText(line.substr(pos + 1), &reason);
    if (!value) return Status::Fail(reason);
    bool changed = false;
    return SetValueAt(**current, *name, *value, &changed);
  }
  return Status::Fail("unknown line");
}

Status RegistryStore::Parse(std::string_view bytes) {
  keys_.assign(1, RootKey());
  std::size_t start = 0;
  std::size_t number = 0;
  std::optional<std::size_t> current;  // the key of the last key line
  bool header = false;
  if (bytes.empty()) return Status::Ok();  // an empty file is an empty store
  while (start < bytes.size()) {
    std::size_t end = bytes.find('\n', start);
    if (end == std::string_view::npos) end = bytes.size();
    std::string_view line = bytes.substr(start, end - start);
    start = end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    Status status = Status::Ok();
    if (!header) {
      header = true;
      if (line != kRegistryStoreHeader) status = Status::Fail("not a registry store");
    } else {
      status = ParseLine(line, &current);
    }
    if (!status) {
      keys_.assign(1, RootKey());
      return Status::Fail("line " + std::to_string(number) + ": " + status.message());
    }
  }
  if (!header) return Status::Fail("not a registry store");
  return Status::Ok();
}

}  // namespace platform
