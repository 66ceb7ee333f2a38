#include "updater/core/updater_paths.h"

#include <string_view>
#include <utility>

#include "platform/file_system.h"
#include "updater/core/text.h"
#include "updater/core/updater_settings.h"

namespace {

std::string Separator() { return std::string(1, platform::PathSeparator()); }

// The folder with one trailing separator (none added when it has one already).
std::string WithSeparator(const std::string& folder) {
  if (!folder.empty() && platform::IsPathSeparator(folder.back())) return folder;
  return folder + Separator();
}

std::string WithoutTrailingSeparators(std::string folder) {
  while (folder.size() > 1 && platform::IsPathSeparator(folder.back())) folder.pop_back();
  return folder;
}

}  // namespace

CUpdaterPaths& CUpdaterPaths::Instance() {
  static CUpdaterPaths instance;
  return instance;
}

void CUpdaterPaths::ResetInstance() { Instance() = CUpdaterPaths(); }

bool CUpdaterPaths::Init() {
  SystemFolders system;
  system.executable = platform::ExecutablePath();
  auto temp = platform::PrivateTempFolder();
  if (system.executable.empty() || !temp) return false;
  system.temp = *temp;
  system.special = platform::GetSpecialFolders();
  return Init(system);
}

bool CUpdaterPaths::Init(const SystemFolders& system) {
  if (system.executable.empty() || system.temp.empty()) return false;
  const std::string sep = Separator();
  const platform::SpecialFolders& special = system.special;

  entries_[kPathUpdaterFile] = system.executable;
  std::size_t last = system.executable.find_last_of(sep);
  std::string folder = last == std::string::npos ? "" : system.executable.substr(0, last + 1);
  entries_[kPathUpdater] = folder + sep;
  entries_[kPathTemp] = WithSeparator(system.temp);
  entries_[kPathSystem] = WithSeparator(special.system);
  entries_[kPathProgramFiles] = WithSeparator(special.program_files);
  entries_[kPathAppData] = WithSeparator(special.app_data);
  entries_[kPathCommonAppData] = WithSeparator(special.common_app_data);
  entries_[kPathUserProfile] = WithSeparator(special.user_profile);
  entries_[kPathMenuStartCurrentUser] = WithSeparator(special.start_menu);
  entries_[kPathDesktopCurrentUser] = WithSeparator(special.desktop);
  entries_[kPathMenuStartAllUsers] = WithSeparator(special.common_start_menu);
  entries_[kPathDesktopAllUsers] = WithSeparator(special.common_desktop);
  const std::string quick_launch =
      sep + "Microsoft" + sep + "Internet Explorer" + sep + "Quick Launch" + sep;
  entries_[kPathQuickLaunchCurrentUser] = entries_[kPathAppData] + quick_launch;
  entries_[kPathQuickLaunchAllUsers] = entries_[kPathCommonAppData] + quick_launch;
  entries_[kPathWindowsDirectory] = WithSeparator(special.windows);
  return true;
}

bool CUpdaterPaths::InitUpdaterTemp() {
  const SettingsValues& settings = CUpdaterSettings::Instance().Values();
  const std::string sep = Separator();
  entries_[kPathUpdaterTemp] = entries_[kPathTemp] + "updater_temp_" +
                               FolderComponent(settings.name) + sep +
                               FolderComponent(settings.version) + sep;
  entries_[kPathRollback] = entries_[kPathUpdaterTemp] + "rollback" + sep;
  entries_[kPathApp] = FolderOf(settings.location) + sep;
  entries_[kPathUpdateServerPath] = settings.url;
  entries_[kPathUpdateServerFile] = FileNameOf(settings.url);

  if (!platform::CreateFolders(WithoutTrailingSeparators(entries_[kPathUpdaterTemp]))) return false;
  return platform::CreateFolders(WithoutTrailingSeparators(entries_[kPathRollback])).ok();
}

std::string CUpdaterPaths::Expand(const std::string& text) const {
  // The values, in the order of kFolderPlaceholders.
  const std::string* const values[kFolderPlaceholders.size()] = {
      &entries_[kPathApp],
      &CUpdaterSettings::Instance().Values().root,
      &entries_[kPathUpdater],
      &entries_[kPathUpdaterTemp],
      &entries_[kPathTemp],
      &entries_[kPathProgramFiles],
      &entries_[kPathSystem],
      &entries_[kPathAppData],
      &entries_[kPathCommonAppData],
      &entries_[kPathUserProfile],
      &entries_[kPathQuickLaunchCurrentUser],
      &entries_[kPathMenuStartCurrentUser],
      &entries_[kPathDesktopCurrentUser],
      &entries_[kPathQuickLaunchAllUsers],
      &entries_[kPathMenuStartAllUsers],
      &entries_[kPathDesktopAllUsers],
      &entries_[kPathWindowsDirectory],
      &entries_[kPathUpdateServerPath],
      &entries_[kPathUpdateServerFile],
  };
  std::string out = text;
  for (std::size_t i = 0; i < kFolderPlaceholders.size(); ++i) {
    if (out.find(kFolderPlaceholders[i]) != std::string::npos)
      out = ReplaceAll(out, kFolderPlaceholders[i], *values[i]);
  }
  return CollapseSeparators(out);
}

std::string ReplaceCredentialPlaceholders(const std::string& text) {
  return ReplaceCredentialPlaceholders(text, CUpdaterSettings::Instance().Values());
}

std::string ReplaceCredentialPlaceholders(const std::string& text, const SettingsValues& values) {
  const std::pair<std::string_view, const std::string*> credentials[] = {
      {kCredentialPlaceholders[0], &values.ftp_username},
      {kCredentialPlaceholders[1], &values.ftp_password},
      {kCredentialPlaceholders[2], &values.http_username},
      {kCredentialPlaceholders[3], &values.http_password},
  };
  // One pass over the text, so that a placeholder inside an inserted value stays as it is.
  std::string out;
  out.reserve(text.size());
  std::string_view rest = text;
  while (!rest.empty()) {
    bool replaced = false;
    if (rest.front() == '%') {
      for (const auto& [placeholder, value] : credentials) {
        if (StartsWith(rest, placeholder)) {
          out += *value;
          rest.remove_prefix(placeholder.size());
          replaced = true;
          break;
        }
      }
    }
    if (!replaced) {
      out += rest.front();
      rest.remove_prefix(1);
    }
  }
  return out;
}

std::string FolderOf(const std::string& path) {
  std::size_t last = std::string::npos;
  for (std::size_t i = 0; i < path.size(); ++i)
    if (platform::IsPathSeparator(path[i])) last = i;
  if (last == std::string::npos || last == 0) return path;
  return path.substr(0, last);
}

std::string FileNameOf(const std::string& path) {
  std::string name = path;
  if (std::size_t pos = name.rfind('\\'); pos != std::string::npos) name = name.substr(pos + 1);
  if (std::size_t pos = name.rfind('/'); pos != std::string::npos) name = name.substr(pos + 1);
  return name;
}

std::string CollapseSeparators(const std::string& path) {
  const char sep = platform::PathSeparator();
  std::string out;
  out.reserve(path.size());
  bool after_scheme = false;  // inside a run of separators that follows ':'
  for (char c : path) {
    if (c != sep) {
      out += c;
      continue;
    }
    if (!out.empty() && out.back() == sep) {
      bool leading_pair = out.size() == 1;
      if (!leading_pair && !after_scheme) continue;
    } else {
      after_scheme = sep == '/' && !out.empty() && out.back() == ':';
    }
    out += c;
  }
  return out;
}

std::string FolderComponent(const std::string& name) {
  if (name == ".") return "_";
  if (name == "..") return "__";
  std::string out = name;
  for (char& c : out)
    if (platform::IsPathSeparator(c) || c == '\0') c = '_';
  return out;
}
