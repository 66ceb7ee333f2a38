#include "updater/core/updater_paths.h"

#include <string_view>
#include <utility>

#include "platform/file_system.h"
#include "platform/path.h"
#include "updater/core/text.h"
#include "updater/core/updater_settings.h"

namespace {

std::string Separator() { return std::string(1, platform::PathSeparator()); }

// The folder with one trailing separator (none added when it has one already).
std::string WithSeparator(const std::string& folder) {
  if (!folder.empty() && platform::IsPathSeparator(folder.back())) return folder;
  return folder + Separator();
}

// True for a folder that is a file-system root: only separators, or a drive
// and separators.
bool IsRootFolder(std::string_view folder) {
  std::size_t start = 0;
  if (platform::PathSeparator() == '\\' && folder.size() >= 2 && folder[1] == ':') start = 2;
  for (std::size_t i = start; i < folder.size(); ++i)
    if (!platform::IsPathSeparator(folder[i])) return false;
  return true;
}

// A folder placeholder value that a path may be built on.
bool IsUsableFolderValue(std::string_view value) {
  return IsAbsolutePath(value) && !IsRootFolder(value);
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
  // A special folder the system does not name stays empty: with a separator
  // added it would be the file-system root.
  auto folder_entry = [](const std::string& folder) {
    return folder.empty() ? std::string() : WithSeparator(folder);
  };
  entries_[kPathSystem] = folder_entry(special.system);
  entries_[kPathProgramFiles] = folder_entry(special.program_files);
  entries_[kPathAppData] = folder_entry(special.app_data);
  entries_[kPathCommonAppData] = folder_entry(special.common_app_data);
  entries_[kPathUserProfile] = folder_entry(special.user_profile);
  entries_[kPathMenuStartCurrentUser] = folder_entry(special.start_menu);
  entries_[kPathDesktopCurrentUser] = folder_entry(special.desktop);
  entries_[kPathMenuStartAllUsers] = folder_entry(special.common_start_menu);
  entries_[kPathDesktopAllUsers] = folder_entry(special.common_desktop);
  const std::string quick_launch =
      sep + "Microsoft" + sep + "Internet Explorer" + sep + "Quick Launch" + sep;
  auto below = [&quick_launch](const std::string& folder) {
    return folder.empty() ? std::string() : folder + quick_launch;
  };
  entries_[kPathQuickLaunchCurrentUser] = below(entries_[kPathAppData]);
  entries_[kPathQuickLaunchAllUsers] = below(entries_[kPathCommonAppData]);
  entries_[kPathWindowsDirectory] = folder_entry(special.windows);
  return true;
}

bool CUpdaterPaths::InitUpdaterTemp() {
  const SettingsValues& settings = CUpdaterSettings::Instance().Values();
  const std::string sep = Separator();
  entries_[kPathUpdaterTemp] = entries_[kPathTemp] + "updater_temp_" +
                               FolderComponent(settings.name) + sep +
                               FolderComponent(settings.version) + sep;
  entries_[kPathRollback] = entries_[kPathUpdaterTemp] + "rollback" + sep;
  // A relative location (from the command line) is taken from the current folder.
  entries_[kPathApp] =
      ApplicationFolderOf(platform::FullPath(settings.location), app_problem_).value_or("");
  entries_[kPathUpdateServerPath] = settings.url;
  entries_[kPathUpdateServerFile] = platform::FileNameOf(settings.url);

  if (!platform::CreateFolders(platform::WithoutTrailingSeparators(entries_[kPathUpdaterTemp])))
    return false;
  return platform::CreateFolders(platform::WithoutTrailingSeparators(entries_[kPathRollback])).ok();
}

std::array<const std::string*, kFolderPlaceholders.size()> CUpdaterPaths::PlaceholderValues()
    const {
  return {
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
}

std::string CUpdaterPaths::Expand(const std::string& text) const {
  const auto values = PlaceholderValues();
  std::string out = text;
  for (std::size_t i = 0; i < kFolderPlaceholders.size(); ++i) {
    if (out.find(kFolderPlaceholders[i]) != std::string::npos)
      out = ReplaceAll(out, kFolderPlaceholders[i], *values[i]);
  }
  return CollapseSeparators(out);
}

std::string_view CUpdaterPaths::FirstUnknownPlaceholder(std::string_view text) const {
  const auto values = PlaceholderValues();
  for (std::size_t i = 0; i < kFolderPlaceholders.size(); ++i) {
    if (text.find(kFolderPlaceholders[i]) == std::string_view::npos) continue;
    // The server's address and file name are web values, not folders.
    const bool web = values[i] == &entries_[kPathUpdateServerPath] ||
                     values[i] == &entries_[kPathUpdateServerFile];
    if (web ? values[i]->empty() : !IsUsableFolderValue(*values[i])) return kFolderPlaceholders[i];
  }
  return {};
}

std::optional<std::string> ApplicationFolderOf(const std::string& location, std::string& problem) {
  problem.clear();
  if (location.empty()) {
    problem =
        "no application location is set (APPLICATION LOCATION in the settings file, or "
        "-applocation)";
    return std::nullopt;
  }
  // The text before the last separator; a location without one names no folder.
  std::size_t last = location.size();
  while (last > 0 && !platform::IsPathSeparator(location[last - 1])) --last;
  const std::string folder = last == 0 ? "" : location.substr(0, last - 1);
  if (!IsUsableFolderValue(folder)) {
    problem =
        "the application location '" + location + "' names no folder below the file-system root";
    return std::nullopt;
  }
  return WithSeparator(folder);
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

namespace {

bool IsSchemeChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' ||
         c == '-' || c == '.';
}

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Where the web address that begins at or after `from` starts: the first
// letter of a scheme of at least two characters followed by "://". npos when
// there is none.
std::size_t FindWebAddress(std::string_view text, std::size_t from) {
  for (std::size_t mark = text.find("://", from); mark != std::string_view::npos;
       mark = text.find("://", mark + 1)) {
    std::size_t begin = mark;
    while (begin > from && IsSchemeChar(text[begin - 1])) --begin;
    while (begin < mark && !IsLetter(text[begin])) ++begin;
    if (mark - begin >= 2) return begin;
  }
  return std::string_view::npos;
}

// The end of the web address that begins at `begin`: the next blank or quote.
std::size_t WebAddressEnd(std::string_view text, std::size_t begin) {
  std::size_t end = text.find_first_of(" \t\r\n\"'", begin);
  return end == std::string_view::npos ? text.size() : end;
}

// CollapseSeparators for a text that holds no web address.
void AppendCollapsed(std::string_view path, std::string& out) {
  const char sep = platform::PathSeparator();
  const std::size_t start = out.size();
  bool after_scheme = false;  // inside a run of separators that follows ':'
  for (char c : path) {
    if (c != sep) {
      out += c;
      continue;
    }
    if (out.size() > start && out.back() == sep) {
      bool leading_pair = start == 0 && out.size() == 1;
      if (!leading_pair && !after_scheme) continue;
    } else {
      after_scheme = sep == '/' && out.size() > start && out.back() == ':';
    }
    out += c;
  }
}

}  // namespace

bool IsAbsolutePath(std::string_view path) {
  if (!path.empty() && platform::IsPathSeparator(path[0])) return true;
  if (platform::PathSeparator() != '\\' || path.size() < 3) return false;
  const char drive = path[0];
  const bool letter = (drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z');
  return letter && path[1] == ':' && platform::IsPathSeparator(path[2]);
}

bool HasUrlScheme(std::string_view text) { return FindWebAddress(text, 0) == 0; }

std::string CollapseSeparators(const std::string& path) {
  std::string out;
  out.reserve(path.size());
  const std::string_view text = path;
  std::size_t done = 0;
  while (done < text.size()) {
    const std::size_t web = FindWebAddress(text, done);
    if (web == std::string_view::npos) break;
    AppendCollapsed(text.substr(done, web - done), out);
    const std::size_t end = WebAddressEnd(text, web);
    out.append(text.substr(web, end - web));
    done = end;
  }
  if (done < text.size()) AppendCollapsed(text.substr(done), out);
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
