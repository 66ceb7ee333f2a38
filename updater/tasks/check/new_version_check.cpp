#include "updater/tasks/check/new_version_check.h"

#include <string>

#include "updater/description/installed_sections.h"
#include "updater/description/sha256.h"
#include "updater/description/update_file_data.h"
#include "updater/description/versions.h"
#include "updater/tasks/check/check_version_network.h"

namespace {

const CFileActionDownload* FirstDownload(const CFileData& file) {
  for (const FileAction& action : file.actions)
    if (const auto* download = std::get_if<CFileActionDownload>(&action)) return download;
  return nullptr;
}

// The date of the file on the server: the first answer of the first download
// action's locations that is not the default; the default when none answers.
std::string RemoteDate(const CFileData& file, ICheckVersionNetwork& network, bool with_time) {
  const std::string fallback = with_time ? kMissingFileDateTime : kMissingFileDate;
  const CFileActionDownload* download = FirstDownload(file);
  if (!download) return fallback;
  for (const std::string& location : download->locations) {
    std::string date =
        with_time ? network.GetRemoteFileDateTime(location) : network.GetRemoteFileDate(location);
    if (date != fallback) return date;
  }
  return fallback;
}

bool IsDateNewer(const CFileData& file, ICheckVersionNetwork& network, bool with_time) {
  const std::string wanted = file.date.empty() ? RemoteDate(file, network, with_time) : file.date;
  const std::string installed =
      with_time ? GetFileDateTime(file.location) : GetFileDate(file.location);
  return wanted > installed;
}

}  // namespace

bool IsFileUpdateNeeded(const CFileData& file, ICheckVersionNetwork& network) {
  if (file.check == kFileCheckVersion)
    return CompareVersions(file.version, GetFileVersionString(file.location)) == kVersionNewer;
  if (file.check == kFileCheckDate) return IsDateNewer(file, network, false);
  if (file.check == kFileCheckDateTime) return IsDateNewer(file, network, true);
  if (file.check == kFileCheckHash) {
    // A SHA-256 digest, when the record gives one, replaces the MD5 hash.
    if (!file.sha256.empty()) return Sha256OfFile(file.location).value_or("") != file.sha256;
    return GetFileDigest(file.location) != file.hash;
  }
  return true;
}

bool MarkFilesToUpdate(CUpdateFileData& data, ICheckVersionNetwork& network) {
  bool any = false;
  for (CFileData& file : data.files) {
    file.update_needed = IsFileUpdateNeeded(file, network);
    any = any || file.update_needed;
  }
  return any;
}

bool HasNewVersion(const CUpdateFileData& data, const CInstalledSections& installed,
                   std::string_view application_version) {
  for (const CSectionData& section : data.sections)
    if (CompareVersions(section.version, installed.GetVersion(section.name)) == kVersionNewer)
      return true;
  return CompareVersions(application_version, data.version) == kVersionOlder;
}
