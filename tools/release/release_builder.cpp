#include "tools/release/release_builder.h"

#include <chrono>
#include <optional>
#include <set>
#include <utility>

#include "platform/file_replace.h"
#include "platform/file_system.h"
#include "platform/path.h"
#include "platform/system_paths.h"
#include "tools/release/release_diff.h"
#include "tools/release/release_text.h"
#include "tools/release/release_tree.h"
#include "updater/description/aes_encryptor.h"
#include "updater/description/description_signature.h"
#include "updater/description/md5.h"
#include "updater/description/minisign.h"
#include "updater/description/sha256.h"
#include "updater/description/update_file_data.h"
#include "updater/description/versions.h"

namespace {

std::string Join(const std::string& folder, const std::string& relative) {
  return platform::JoinPath(folder, platform::NormalizeSeparators(relative));
}

// True when `inner` is `outer` or lies below it (lexically, full paths).
bool IsSameOrBelow(const std::string& inner, const std::string& outer) {
  std::string a = platform::FullPath(inner);
  std::string b = platform::FullPath(outer);
  while (a.size() > 1 && platform::IsPathSeparator(a.back())) a.pop_back();
  while (b.size() > 1 && platform::IsPathSeparator(b.back())) b.pop_back();
  if (a == b) return true;
  if (!b.empty() && platform::IsPathSeparator(b.back())) return a.rfind(b, 0) == 0;
  return a.size() > b.size() && a.rfind(b, 0) == 0 && platform::IsPathSeparator(a[b.size()]);
}

class ReleaseBuilder {
 public:
  explicit ReleaseBuilder(const ReleaseOptions& options) : options_(options) {}

  ReleaseReport Run() {
    if (!CheckFolders()) return Finish(kReleaseExitInput);
    if (!LoadSigningKey()) return Finish(kReleaseExitInput);
    std::optional<ReleaseDiff> diff = Compare();
    if (!diff) return Finish(kReleaseExitInput);
    if (!PlanEntries(*diff)) return Finish(kReleaseExitInput);
    if (!WriteOutput(*diff)) return Finish(kReleaseExitOutput);
    return Finish(kReleaseExitOk);
  }

 private:
  ReleaseReport Finish(int exit_code) {
    report_.exit_code = exit_code;
    return std::move(report_);
  }

  void Error(std::string line) { report_.errors.push_back(std::move(line)); }

  bool CheckInputFolder(const std::string& option, const std::string& path) {
    if (platform::IsSymbolicLink(path)) {
      Error(option + " \"" + path + "\" is a symbolic link; links are not followed");
      return false;
    }
    if (!platform::FolderExists(path)) {
      Error(option + " \"" + path + "\" is not an existing folder");
      return false;
    }
    return true;
  }

  bool CheckFolders() {
    bool ok = CheckInputFolder("--previous", options_.previous);
    ok = CheckInputFolder("--next", options_.next) && ok;
    const std::string& output = options_.output;
    if (platform::IsSymbolicLink(output)) {
      Error("--output \"" + output + "\" is a symbolic link; links are not followed");
      return false;
    }
    if (platform::PathExists(output)) {
      if (!platform::FolderExists(output)) {
        Error("--output \"" + output + "\" exists and is not a folder");
        return false;
      }
      std::optional<std::vector<std::string>> names = platform::ListFolder(output);
      if (!names || !names->empty()) {
        Error("--output \"" + output + "\" is not an empty folder; choose a new one");
        return false;
      }
    }
    for (const std::string* input : {&options_.previous, &options_.next}) {
      if (IsSameOrBelow(output, *input) || IsSameOrBelow(*input, output)) {
        Error("--output \"" + output + "\" and the release folder \"" + *input +
              "\" must not contain each other");
        ok = false;
      }
    }
    return ok;
  }

  std::optional<ReleaseDiff> Compare() {
    TreeScan previous = ScanReleaseTree(options_.previous, "previous");
    TreeScan next = ScanReleaseTree(options_.next, "next");
    for (auto& line : previous.problems) Error(std::move(line));
    for (auto& line : next.problems) Error(std::move(line));
    if (!report_.errors.empty()) return std::nullopt;
    ReleaseDiff diff = DiffReleases(previous.tree, next.tree);
    for (auto& line : diff.problems) Error(std::move(line));
    if (!report_.errors.empty()) return std::nullopt;
    for (const PublishedFile& file : diff.published)
      ++(file.is_new ? report_.new_files : report_.changed_files);
    report_.removed_files = diff.removed.size();
    report_.unchanged_files = diff.unchanged;
    return diff;
  }

  std::string SectionOf(const std::string& relative) const {
    std::size_t slash = relative.find('/');
    if (options_.sections == SectionLayout::kSingle || slash == std::string::npos)
      return options_.application_name;
    return relative.substr(0, slash);
  }

  bool PlanEntries(const ReleaseDiff& diff) {
    for (const std::string& relative : diff.removed)
      if (auto problem = RelativePathProblem(relative))
        Error("previous \"" + relative + "\" cannot be described in an update file: " + *problem);
    for (const PublishedFile& file : diff.published)
      if (auto problem = RelativePathProblem(file.relative))
        Error("next \"" + file.relative + "\" cannot be described in an update file: " + *problem);
    const std::size_t count = diff.removed.size() + diff.published.size();
    if (count > kMaxFiles)
      Error(std::to_string(count) + " files changed; one update file holds at most " +
            std::to_string(kMaxFiles));
    if (!report_.errors.empty()) return false;

    plan_.version = options_.version;
    plan_.close_application = options_.close_application;
    plan_.enable_rollback = options_.enable_rollback;
    std::set<std::string> sections;
    // Deletions first, so that a removed file makes room for a folder of the
    // same name in the next release.
    for (const std::string& relative : diff.removed) {
      UpdateFileEntry entry;
      entry.relative = relative;
      entry.section = SectionOf(relative);
      entry.remove = true;
      // An empty hash makes a file-by-file check ask for the deletion exactly
      // while the file is there (with content).
      entry.check = "hash";
      sections.insert(entry.section);
      plan_.entries.push_back(std::move(entry));
    }
    std::size_t index = 0;
    for (const PublishedFile& file : diff.published) {
      UpdateFileEntry entry;
      entry.relative = file.relative;
      entry.section = SectionOf(file.relative);
      // The updater's digest of an empty file is the empty text.
      entry.hash = file.size == 0 ? std::string() : file.md5;
      entry.sha256 = file.sha256;
      entry.check = "hash";
      if (options_.check == FileCheck::kVersion) {
        std::string version = GetFileVersionString(file.source);
        if (version.empty() || version == kNoFileVersion) {
          report_.notes.push_back("\"" + file.relative +
                                  "\" has no file version; it is checked by hash");
        } else {
          entry.version = std::move(version);
          entry.check = "version";
        }
      } else if (options_.check == FileCheck::kDate) {
        entry.date = GetFileDate(file.source);
        entry.check = "date";
      }
      entry.url =
          options_.base_url + "/" + kPublishedFolderName + "/" + PercentEncodePath(file.relative);
      entry.download_name = TemporaryDownloadName(++index, file.relative);
      sections.insert(entry.section);
      plan_.entries.push_back(std::move(entry));
    }
    plan_.sections.assign(sections.begin(), sections.end());
    return true;
  }

  bool WriteOutput(const ReleaseDiff& diff) {
    const bool output_existed = platform::PathExists(options_.output);
    if (platform::Status created = platform::CreateFolders(options_.output); !created) {
      Error("cannot create the output folder \"" + options_.output + "\": " + created.message());
      return false;
    }
    const std::string published_root = Join(options_.output, kPublishedFolderName);
    bool ok = CopyPublished(diff, published_root);
    if (ok) ok = WriteUpdateFile();
    if (!ok) {
      platform::RemoveTree(published_root);
      if (!output_existed) platform::RemoveFile(options_.output);
      return false;
    }
    report_.notes.push_back(std::to_string(report_.new_files) + " new, " +
                            std::to_string(report_.changed_files) + " changed, " +
                            std::to_string(report_.removed_files) + " removed, " +
                            std::to_string(report_.unchanged_files) + " unchanged files");
    if (plan_.entries.empty())
      report_.notes.push_back("no file differs; the update file holds no files");
    report_.notes.push_back(std::string("wrote ") + (options_.encrypt ? "encrypted " : "") +
                            Join(options_.output, kUpdateFileName) +
                            (signing_key_ ? " and its signature" : ""));
    return true;
  }

  bool CopyPublished(const ReleaseDiff& diff, const std::string& published_root) {
    for (const PublishedFile& file : diff.published) {
      const std::string destination = Join(published_root, file.relative);
      if (platform::Status made = platform::CreateFolders(platform::FolderOf(destination)); !made) {
        Error("cannot create the folder of \"" + destination + "\": " + made.message());
        return false;
      }
      platform::Status copied = platform::ReplaceFileWithCopy(
          file.source, destination, platform::CopyPermissions::kFromSource);
      if (!copied) {
        Error("cannot copy \"" + file.source + "\" to \"" + destination +
              "\": " + copied.message());
        return false;
      }
      // The published bytes must be the ones the update file describes.
      std::optional<FileDigest> digest = Md5OfFile(destination);
      if (!digest || digest->hex != file.md5 || digest->size != file.size ||
          Sha256OfFile(destination) != file.sha256) {
        Error("\"" + file.source + "\" changed while the release was made");
        return false;
      }
    }
    return true;
  }

  bool WriteUpdateFile() {
    std::string text = RenderUpdateFile(plan_);
    if (options_.encrypt) text = EncryptUpdateFile(text);
    const std::string path = Join(options_.output, kUpdateFileName);
    // The signature is written first: an update file is never there without it.
    if (signing_key_) {
      const std::int64_t now = std::chrono::duration_cast<std::chrono::seconds>(
                                   std::chrono::system_clock::now().time_since_epoch())
                                   .count();
      const std::string signature = SignMinisign(
          *signing_key_, text,
          "timestamp:" + std::to_string(now) + "\tfile:" + std::string(kUpdateFileName));
      const std::string signature_path = path + kSignatureSuffix;
      if (platform::Status written = platform::WriteFileAtomic(signature_path, signature);
          !written) {
        Error("cannot write \"" + signature_path + "\": " + written.message());
        return false;
      }
    }
    if (platform::Status written = platform::WriteFileAtomic(path, text); !written) {
      Error("cannot write \"" + path + "\": " + written.message());
      platform::RemoveFile(path + kSignatureSuffix);
      return false;
    }
    return true;
  }

  // Reads the secret key of --sign, when it is given.
  bool LoadSigningKey() {
    if (options_.sign_key_file.empty()) return true;
    const std::optional<std::string> text =
        platform::ReadFile(options_.sign_key_file, kMinisignMaxFileBytes);
    if (!text) {
      Error("--sign \"" + options_.sign_key_file + "\" cannot be read");
      return false;
    }
    MinisignParsed<MinisignSecretKey> key = ParseMinisignSecretKeyFile(*text);
    if (!key.value) {
      Error("--sign \"" + options_.sign_key_file + "\": " + key.error);
      return false;
    }
    signing_key_ = std::move(key.value);
    return true;
  }

  const ReleaseOptions& options_;
  ReleaseReport report_;
  UpdateFilePlan plan_;
  std::optional<MinisignSecretKey> signing_key_;
};

}  // namespace

ReleaseReport BuildRelease(const ReleaseOptions& options) { return ReleaseBuilder(options).Run(); }
