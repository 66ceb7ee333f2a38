#include "updater/tasks/download/kept_partials.h"

#include <algorithm>
#include <charconv>
#include <set>
#include <utility>
#include <vector>

#include "platform/file_system.h"
#include "platform/path.h"
#include "updater/core/updater_paths.h"
#include "updater/core/updater_settings.h"
#include "updater/description/sha256.h"
#include "updater/process/finish_update.h"

namespace {

constexpr std::string_view kFirstLine = "velmora partial 1";
constexpr std::string_view kRecordSuffix = ".meta";
constexpr std::string_view kPartSuffix = ".part";

std::string HashOf(const std::string& url) { return Sha256Hex(url); }

// A decimal number of at most 18 digits.
std::optional<std::int64_t> Number(std::string_view text) {
  if (text.empty() || text.size() > 18) return std::nullopt;
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 0) return std::nullopt;
  return value;
}

bool OneLine(std::string_view text) { return text.find_first_of("\r\n") == std::string::npos; }

// The hash of a name of the folder: 64 hex digits before the suffix.
std::optional<std::string> HashOfName(const std::string& name, std::string_view suffix) {
  if (!name.ends_with(suffix)) return std::nullopt;
  std::string hash = name.substr(0, name.size() - suffix.size());
  if (!IsSha256Text(hash)) return std::nullopt;
  return hash;
}

}  // namespace

std::string PartialRecordBytes(const PartialRecord& record, std::string_view part_name) {
  std::string bytes(kFirstLine);
  bytes += "\nurl " + record.url;
  bytes += "\nsize " + std::to_string(record.size);
  bytes += "\nmodified " + std::to_string(record.modified);
  bytes += "\npart " + std::string(part_name);
  bytes += "\ndestination " + record.destination + "\n";
  return bytes;
}

std::optional<PartialRecord> ParsePartialRecord(std::string_view bytes,
                                                std::string_view part_name) {
  if (bytes.size() > kMaxPartialRecordBytes || !bytes.ends_with('\n')) return std::nullopt;
  std::vector<std::string_view> lines;
  for (std::size_t at = 0; at < bytes.size();) {
    const std::size_t end = bytes.find('\n', at);
    lines.push_back(bytes.substr(at, end - at));
    at = end + 1;
  }
  constexpr std::string_view kKeys[] = {"url ", "size ", "modified ", "part ", "destination "};
  if (lines.size() != 1 + std::size(kKeys) || lines[0] != kFirstLine) return std::nullopt;
  std::string_view values[std::size(kKeys)];
  for (std::size_t i = 0; i < std::size(kKeys); ++i) {
    if (!lines[i + 1].starts_with(kKeys[i])) return std::nullopt;
    values[i] = lines[i + 1].substr(kKeys[i].size());
  }
  PartialRecord record;
  record.url = values[0];
  const std::optional<std::int64_t> size = Number(values[1]);
  const std::optional<std::int64_t> modified = Number(values[2]);
  record.destination = values[4];
  if (record.url.empty() || !size || !modified || *modified == 0 || values[3] != part_name ||
      record.destination.empty() || !platform::IsAbsolutePath(record.destination))
    return std::nullopt;
  record.size = *size;
  record.modified = *modified;
  return record;
}

std::string PartialsFolder(const std::string& temp_folder, const std::string& app_name) {
  return temp_folder + "partials_" + FolderComponent(app_name);
}

std::string PartialsFolderOfThisRun() {
  const std::string temp = CUpdaterPaths::Instance().Entry(kPathTemp);
  if (temp.empty()) return {};
  return PartialsFolder(temp, CUpdaterSettings::Instance().Values().name);
}

CKeptPartials::CKeptPartials(std::string folder, PartialLimits limits)
    : folder_(platform::WithoutTrailingSeparators(folder)), limits_(limits) {}

std::vector<std::string> CKeptPartials::Names() const {
  return platform::ListFolder(folder_).value_or(std::vector<std::string>());
}

std::string CKeptPartials::PathOf(std::string_view name) const {
  return folder_ + platform::PathSeparator() + std::string(name);
}

bool CKeptPartials::Record(const PartialRecord& record) const {
  if (folder_.empty() || record.url.empty() || record.size < 0 || record.modified <= 0 ||
      !OneLine(record.url) || !OneLine(record.destination) || platform::IsSymbolicLink(folder_))
    return false;
  const std::string hash = HashOf(record.url);
  const std::string bytes = PartialRecordBytes(record, hash + std::string(kPartSuffix));
  if (bytes.size() > kMaxPartialRecordBytes) return false;
  if (!platform::CreateFolders(folder_)) return false;
  return platform::WriteFileAtomic(PathOf(hash + std::string(kRecordSuffix)), bytes).ok();
}

std::optional<PartialRecord> CKeptPartials::ReadRecord(const std::string& hash) const {
  const std::string path = PathOf(hash + std::string(kRecordSuffix));
  if (platform::IsSymbolicLink(path)) return std::nullopt;
  const std::optional<std::string> bytes = platform::ReadFile(path, kMaxPartialRecordBytes);
  if (!bytes) return std::nullopt;
  std::optional<PartialRecord> record = ParsePartialRecord(*bytes, hash + std::string(kPartSuffix));
  // A record under another URL's name is not this URL's.
  if (!record || HashOf(record->url) != hash) return std::nullopt;
  return record;
}

void CKeptPartials::Remove(const std::string& hash) const {
  platform::RemoveFile(PathOf(hash + std::string(kRecordSuffix)));
  platform::RemoveFile(PathOf(hash + std::string(kPartSuffix)));
}

void CKeptPartials::Rescue(const std::string& run_folder) const {
  if (folder_.empty() || platform::IsSymbolicLink(folder_) || !platform::FolderExists(folder_))
    return;
  for (const std::string& name : Names()) {
    const std::optional<std::string> hash = HashOfName(name, kRecordSuffix);
    if (!hash) continue;
    const std::optional<PartialRecord> record = ReadRecord(*hash);
    if (!record) {
      Remove(*hash);
      continue;
    }
    const std::string& destination = record->destination;
    const std::string part = PathOf(*hash + std::string(kPartSuffix));
    const std::optional<std::uint64_t> size = platform::FileSize(destination);
    if (LiesInsideFolder(destination, run_folder) && !platform::IsSymbolicLink(destination) &&
        size && *size > 0 && *size <= static_cast<std::uint64_t>(record->size))
      (void)platform::RenameFile(destination, part);
  }
  KeepWithinLimits();
}

void CKeptPartials::KeepWithinLimits() const {
  struct Kept {
    std::uint64_t size;
    std::string hash;
  };
  std::vector<Kept> kept;
  std::set<std::string> names_kept;
  for (const std::string& name : Names()) {
    const std::optional<std::string> hash = HashOfName(name, kRecordSuffix);
    if (!hash) continue;
    const std::string part = PathOf(*hash + std::string(kPartSuffix));
    const std::optional<PartialRecord> record = ReadRecord(*hash);
    const std::optional<std::uint64_t> size =
        platform::IsSymbolicLink(part) ? std::nullopt : platform::FileSize(part);
    if (!record || !size || *size > static_cast<std::uint64_t>(record->size)) {
      Remove(*hash);
      continue;
    }
    kept.push_back({*size, *hash});
  }
  std::sort(kept.begin(), kept.end(), [](const Kept& a, const Kept& b) { return a.size < b.size; });
  std::uint64_t total = 0;
  std::size_t count = 0;
  for (const Kept& entry : kept) {
    if (count < limits_.count && total <= limits_.bytes && entry.size <= limits_.bytes - total) {
      total += entry.size;
      ++count;
      names_kept.insert(entry.hash + std::string(kRecordSuffix));
      names_kept.insert(entry.hash + std::string(kPartSuffix));
    } else {
      Remove(entry.hash);
    }
  }
  // Whatever else lies here (a part without its record, a stray file) goes.
  for (const std::string& name : Names())
    if (!names_kept.contains(name)) platform::RemoveTree(PathOf(name));
}

std::optional<PartialRecord> CKeptPartials::Restore(const std::string& url,
                                                    const std::string& destination) const {
  if (folder_.empty() || url.empty() || platform::IsSymbolicLink(folder_) ||
      platform::PathExists(destination))
    return std::nullopt;
  const std::string hash = HashOf(url);
  std::optional<PartialRecord> record = ReadRecord(hash);
  if (!record) return std::nullopt;
  const std::string part = PathOf(hash + std::string(kPartSuffix));
  const std::optional<std::uint64_t> size =
      platform::IsSymbolicLink(part) ? std::nullopt : platform::FileSize(part);
  if (!size || *size > static_cast<std::uint64_t>(record->size)) {
    Remove(hash);
    return std::nullopt;
  }
  const std::string folder = platform::FolderOf(destination);
  if (!folder.empty() && !platform::FolderExists(folder) && !platform::CreateFolders(folder))
    return std::nullopt;
  if (!platform::RenameFile(part, destination)) return std::nullopt;
  // The part is now there: a run cut off before the answer keeps it from there.
  record->destination = destination;
  (void)Record(*record);
  return record;
}

void CKeptPartials::Forget(const std::string& url) const {
  if (folder_.empty() || url.empty() || platform::IsSymbolicLink(folder_)) return;
  Remove(HashOf(url));
}

void CKeptPartials::Clear() const {
  if (folder_.empty() || platform::IsSymbolicLink(folder_)) return;
  for (const std::string& name : Names()) platform::RemoveTree(PathOf(name));
}
