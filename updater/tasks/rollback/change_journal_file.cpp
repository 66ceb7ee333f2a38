#include "updater/tasks/rollback/change_journal_file.h"

#include <charconv>
#include <optional>
#include <type_traits>
#include <utility>
#include <variant>

#include "platform/file_system.h"
#include "platform/path.h"
#include "updater/core/overloaded.h"

namespace {

constexpr std::size_t kFields = 10;
// A path, INI text or registry name longer than this is not one of ours.
constexpr std::size_t kMaxTextField = 64 * 1024;
constexpr int kLastKind = static_cast<int>(std::variant_size_v<ChangeRecord>) - 1;
static_assert(std::is_same_v<std::variant_alternative_t<0, ChangeRecord>, FileReplacedChange>);
static_assert(std::is_same_v<std::variant_alternative_t<1, ChangeRecord>, FileCreatedChange>);
static_assert(std::is_same_v<std::variant_alternative_t<2, ChangeRecord>, FolderCreatedChange>);
static_assert(std::is_same_v<std::variant_alternative_t<3, ChangeRecord>, IniValueChange>);
static_assert(
    std::is_same_v<std::variant_alternative_t<4, ChangeRecord>, RegistryKeyCreatedChange>);
static_assert(std::is_same_v<std::variant_alternative_t<5, ChangeRecord>, RegistryValueChange>);
static_assert(std::is_same_v<std::variant_alternative_t<6, ChangeRecord>, RegistrationChange>);
static_assert(std::is_same_v<std::variant_alternative_t<7, ChangeRecord>, TemporaryFileChange>);
static_assert(kLastKind == static_cast<int>(ChangeKind::kTemporaryFile));

// The ten fields of a record, whatever its kind; a kind leaves the fields it
// does not use empty (the root at the current user).
struct RecordFields {
  std::string path;
  std::string backup;
  std::string group;
  std::string key;
  std::optional<std::string> old_text;
  platform::RegistryRoot root = platform::RegistryRoot::kCurrentUser;
  std::string subkey;
  std::string value_name;
  std::optional<platform::RegistryValue> old_value;
};

RecordFields FieldsOf(const ChangeRecord& change) {
  RecordFields f;
  std::visit(Overloaded{
                 [&f](const FileReplacedChange& c) {
                   f.path = c.path;
                   f.backup = c.backup;
                 },
                 [&f](const FileCreatedChange& c) { f.path = c.path; },
                 [&f](const FolderCreatedChange& c) { f.path = c.path; },
                 [&f](const IniValueChange& c) {
                   f.path = c.path;
                   f.group = c.group;
                   f.key = c.key;
                   f.old_text = c.old_text;
                 },
                 [&f](const RegistryKeyCreatedChange& c) {
                   f.root = c.root;
                   f.subkey = c.subkey;
                 },
                 [&f](const RegistryValueChange& c) {
                   f.root = c.root;
                   f.subkey = c.subkey;
                   f.value_name = c.value_name;
                   f.old_value = c.old_value;
                 },
                 [&f](const RegistrationChange& c) { f.path = c.path; },
                 [&f](const TemporaryFileChange& c) { f.path = c.path; },
             },
             change);
  return f;
}

// The change of a kind from its record's fields; the fields the kind does not
// use are dropped.
ChangeRecord ChangeOf(ChangeKind kind, RecordFields f) {
  switch (kind) {
    case ChangeKind::kFileReplaced:
      return FileReplacedChange{std::move(f.path), std::move(f.backup)};
    case ChangeKind::kFileCreated:
      return FileCreatedChange{std::move(f.path)};
    case ChangeKind::kFolderCreated:
      return FolderCreatedChange{std::move(f.path)};
    case ChangeKind::kIniValue:
      return IniValueChange{std::move(f.path), std::move(f.group), std::move(f.key),
                            std::move(f.old_text)};
    case ChangeKind::kRegistryKeyCreated:
      return RegistryKeyCreatedChange{f.root, std::move(f.subkey)};
    case ChangeKind::kRegistryValue:
      return RegistryValueChange{f.root, std::move(f.subkey), std::move(f.value_name),
                                 std::move(f.old_value)};
    case ChangeKind::kRegistration:
      return RegistrationChange{std::move(f.path)};
    case ChangeKind::kTemporaryFile:
      return TemporaryFileChange{std::move(f.path)};
  }
  return TemporaryFileChange{std::move(f.path)};  // not reached: the kind was checked
}
constexpr int kLastRoot = static_cast<int>(platform::RegistryRoot::kCurrentConfig);

void AppendField(std::string& line, const std::optional<std::string_view>& field) {
  line += ' ';
  if (!field) {
    line += '-';
    return;
  }
  line += std::to_string(field->size());
  line += ':';
  line += *field;
}

// Reads fields from a record's text; every step checks what it reads.
class FieldReader {
 public:
  explicit FieldReader(std::string_view text) : text_(text) {}

  std::optional<std::uint64_t> Number(char end, std::uint64_t max) {
    std::uint64_t value = 0;
    const char* first = text_.data() + at_;
    const char* last = text_.data() + text_.size();
    auto [ptr, error] = std::from_chars(first, last, value);
    if (error != std::errc() || ptr == first || ptr == last || *ptr != end || value > max)
      return std::nullopt;
    at_ = static_cast<std::size_t>(ptr - text_.data()) + 1;
    return value;
  }

  // false when the field is malformed; field stays nullopt for "-".
  bool Field(std::size_t max, std::optional<std::string>& field) {
    if (at_ < text_.size() && text_[at_] == '-') {
      ++at_;
      field.reset();
      return Skip(' ') || AtLineEnd();
    }
    auto length = Number(':', max);
    if (!length || text_.size() - at_ < *length) return false;
    field = std::string(text_.substr(at_, *length));
    at_ += *length;
    return Skip(' ') || AtLineEnd();
  }

  bool AtLineEnd() const { return at_ < text_.size() && text_[at_] == '\n'; }
  std::size_t Position() const { return at_; }

 private:
  bool Skip(char c) {
    if (at_ >= text_.size() || text_[at_] != c) return false;
    ++at_;
    return true;
  }

  std::string_view text_;
  std::size_t at_ = 0;
};

bool IsKeptCopyOf(const std::string& backup, const std::string& backups_folder) {
  const std::string prefix = backups_folder + platform::PathSeparator();
  if (backup.size() <= prefix.size() || backup.compare(0, prefix.size(), prefix) != 0) return false;
  const std::string name = backup.substr(prefix.size());
  if (name == "." || name == "..") return false;
  for (char c : name)
    if (c == '\0' || platform::IsPathSeparator(c)) return false;
  return true;
}

// The record at the start of text and its length, or nullopt.
std::optional<std::pair<ChangeRecord, std::size_t>> DecodeRecord(std::string_view text,
                                                                 const std::string& backups) {
  FieldReader reader(text);
  auto kind = reader.Number(' ', kLastKind);
  if (!kind) return std::nullopt;
  std::optional<std::string> fields[kFields];
  for (std::size_t i = 0; i < kFields; ++i) {
    const std::size_t max = i == 9 ? platform::kMaxRegistryValueBytes : kMaxTextField;
    if (!reader.Field(max, fields[i])) return std::nullopt;
    if (i + 1 < kFields && reader.AtLineEnd()) return std::nullopt;
  }
  if (!reader.AtLineEnd()) return std::nullopt;

  const auto change_kind = static_cast<ChangeKind>(*kind);
  RecordFields change;
  change.path = fields[0].value_or("");
  change.backup = fields[1].value_or("");
  change.group = fields[2].value_or("");
  change.key = fields[3].value_or("");
  change.old_text = fields[4];
  change.subkey = fields[6].value_or("");
  change.value_name = fields[7].value_or("");
  if (!fields[5]) return std::nullopt;
  int root = -1;
  auto [ptr, error] =
      std::from_chars(fields[5]->data(), fields[5]->data() + fields[5]->size(), root);
  if (error != std::errc() || ptr != fields[5]->data() + fields[5]->size() || root < 0 ||
      root > kLastRoot)
    return std::nullopt;
  change.root = static_cast<platform::RegistryRoot>(root);
  if (fields[8].has_value() != fields[9].has_value()) return std::nullopt;
  if (fields[8]) {
    std::uint32_t type = 0;
    auto [tptr, terror] =
        std::from_chars(fields[8]->data(), fields[8]->data() + fields[8]->size(), type);
    if (terror != std::errc() || tptr != fields[8]->data() + fields[8]->size()) return std::nullopt;
    platform::RegistryValue value;
    value.type = static_cast<platform::RegistryType>(type);
    value.data = *fields[9];
    if (!value.IsWellFormed()) return std::nullopt;
    change.old_value = std::move(value);
  }

  // Paths that the undoing removes or writes must be absolute.
  const bool file_kind = change_kind != ChangeKind::kRegistryKeyCreated &&
                         change_kind != ChangeKind::kRegistryValue &&
                         change_kind != ChangeKind::kRegistration;
  if (file_kind && (change.path.empty() || !platform::IsAbsolutePath(change.path) ||
                    change.path.find('\0') != std::string::npos))
    return std::nullopt;
  if (change_kind == ChangeKind::kFileReplaced && !IsKeptCopyOf(change.backup, backups))
    return std::nullopt;
  if (change_kind != ChangeKind::kFileReplaced && !change.backup.empty()) return std::nullopt;
  return std::make_pair(ChangeOf(change_kind, std::move(change)), reader.Position() + 1);
}

}  // namespace

std::string EncodeChangeRecord(const ChangeRecord& record) {
  const RecordFields change = FieldsOf(record);
  std::string line = std::to_string(record.index());
  AppendField(line, change.path);
  AppendField(line, change.backup);
  AppendField(line, change.group);
  AppendField(line, change.key);
  AppendField(line,
              change.old_text ? std::optional<std::string_view>(*change.old_text) : std::nullopt);
  AppendField(line, std::to_string(static_cast<int>(change.root)));
  AppendField(line, change.subkey);
  AppendField(line, change.value_name);
  if (change.old_value) {
    AppendField(line, std::to_string(static_cast<std::uint32_t>(change.old_value->type)));
    AppendField(line, change.old_value->data);
  } else {
    AppendField(line, std::nullopt);
    AppendField(line, std::nullopt);
  }
  line += '\n';
  return line;
}

DecodedChangeJournal DecodeChangeJournal(std::string_view bytes, const std::string& backups_folder,
                                         std::size_t max_changes) {
  DecodedChangeJournal journal;
  const std::string_view header = kChangeJournalHeader;
  if (bytes.substr(0, header.size()) != header) {
    journal.ignored_bytes = bytes.size();
    return journal;
  }
  journal.header_ok = true;
  std::string_view rest = bytes.substr(header.size());
  while (!rest.empty() && journal.changes.size() < max_changes) {
    auto record = DecodeRecord(rest, backups_folder);
    if (!record) break;
    journal.changes.push_back(std::move(record->first));
    rest.remove_prefix(record->second);
  }
  journal.ignored_bytes = rest.size();
  return journal;
}
