#include "updater/description/description_signature.h"

#include <algorithm>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/file_system.h"
#include "updater/core/text.h"
#include "updater/core/updater_paths.h"
#include "updater/core/updater_settings.h"
#include "updater/description/sha256.h"
#include "updater/description/update_file_loader.h"

namespace {

// One line per address: the SHA-256 of the address, a blank, the seconds.
struct TimeEntry {
  std::string digest;
  std::int64_t seconds = 0;
};

constexpr std::uint64_t kMaxTimesFileBytes = kMaxRememberedSignatures * 128;

std::vector<TimeEntry> ReadTimes(const std::string& path) {
  std::vector<TimeEntry> entries;
  const std::optional<std::string> text = platform::ReadFile(path, kMaxTimesFileBytes);
  if (!text) return entries;
  std::string_view rest = *text;
  while (!rest.empty() && entries.size() < kMaxRememberedSignatures) {
    const std::size_t end = rest.find('\n');
    const std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    const std::size_t blank = line.find(' ');
    if (blank == std::string_view::npos || !IsSha256Text(line.substr(0, blank))) continue;
    const std::optional<std::int64_t> seconds =
        MinisignTimestamp("timestamp:" + std::string(line.substr(blank + 1)));
    if (seconds) entries.push_back({std::string(line.substr(0, blank)), *seconds});
  }
  return entries;
}

}  // namespace

CDescriptionSignatures::CDescriptionSignatures(const std::string& key_line, std::string times_file,
                                               std::size_t max_remembered)
    : times_file_(std::move(times_file)),
      max_remembered_(std::clamp<std::size_t>(max_remembered, 1, kMaxRememberedSignatures)) {
  if (TrimSpaces(key_line).empty()) return;
  enabled_ = true;
  MinisignParsed<MinisignPublicKey> parsed = ParseMinisignPublicKey(key_line);
  key_ = parsed.value;
  key_error_ = std::move(parsed.error);
}

std::string CDescriptionSignatures::Check(const std::string& path, const std::string& source) {
  if (!enabled_) return {};
  if (!key_) return "PUBLICKEY of the settings is refused: " + key_error_;
  const std::string signature_path = path + kSignatureSuffix;
  const std::optional<std::string> signature_text =
      platform::ReadFile(signature_path, kMinisignMaxFileBytes);
  if (!signature_text) return "the signature is missing or too large";
  const MinisignParsed<MinisignSignature> signature = ParseMinisignSignature(*signature_text);
  if (!signature.value) return "malformed: " + signature.error;
  const std::optional<std::string> bytes = platform::ReadFile(path, kMaxUpdateFileBytes);
  if (!bytes) return "the description cannot be read";
  if (std::string error = VerifyMinisign(*key_, *signature.value, *bytes); !error.empty())
    return error;
  if (source.empty()) return {};

  const std::optional<std::int64_t> signed_at = MinisignTimestamp(signature.value->trusted_comment);
  if (!signed_at) return "the trusted comment carries no timestamp";
  const std::string digest = Sha256Hex(source);
  const std::optional<std::int64_t> remembered = RememberedTime(digest);
  if (remembered && *signed_at < *remembered)
    return "signed at " + std::to_string(*signed_at) + ", before the description accepted last (" +
           std::to_string(*remembered) + "): an older description is refused";
  if (!remembered || *signed_at > *remembered) Remember(digest, *signed_at);
  return {};
}

std::optional<std::int64_t> CDescriptionSignatures::RememberedTime(
    const std::string& source_digest) const {
  for (const TimeEntry& entry : ReadTimes(times_file_))
    if (entry.digest == source_digest) return entry.seconds;
  return std::nullopt;
}

void CDescriptionSignatures::Remember(const std::string& source_digest,
                                      std::int64_t seconds) const {
  if (times_file_.empty()) return;
  std::vector<TimeEntry> entries = ReadTimes(times_file_);
  std::erase_if(entries, [&](const TimeEntry& entry) { return entry.digest == source_digest; });
  if (entries.size() >= max_remembered_)
    entries.erase(entries.begin(), entries.begin() + static_cast<std::ptrdiff_t>(
                                                         entries.size() - max_remembered_ + 1));
  entries.push_back({source_digest, seconds});
  std::string text;
  for (const TimeEntry& entry : entries)
    text += entry.digest + " " + std::to_string(entry.seconds) + "\n";
  // A failed write loses only the memory of this time.
  (void)platform::WriteFileAtomic(times_file_, text);
}

std::string SignatureTimesPath() {
  return CollapseSeparators(CUpdaterPaths::Instance().Entry(kPathUpdater) + "signatures_" +
                            FolderComponent(CUpdaterSettings::Instance().Values().name) + ".txt");
}
