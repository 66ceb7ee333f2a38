#include "updater/core/updater_settings.h"

#include <string_view>

#include "platform/file_system.h"
#include "platform/file_version.h"
#include "platform/system_paths.h"
#include "updater/core/ini_file.h"
#include "updater/core/text.h"
#include "updater/core/updater_paths.h"

namespace {

// A path value written for any platform: backslashes and slashes are separators.
std::string LocalPath(const std::string& value) { return platform::NormalizeSeparators(value); }

bool IsTrue(const std::string& value) { return ToLower(value) == "true"; }

// A location, with the folder placeholders expanded when expand is set: web
// locations are kept as they are, anything else is a path made absolute.
std::string ReadLocation(const std::string& value, bool expand) {
  std::string location = IsWebValue(value) ? value : LocalPath(value);
  if (expand) location = CUpdaterPaths::Instance().Expand(location);
  if (IsWebValue(location)) return location;
  return platform::FullPath(location);
}

}  // namespace

CUpdaterSettings& CUpdaterSettings::Instance() {
  static CUpdaterSettings instance;
  return instance;
}

void CUpdaterSettings::ResetInstance() { Instance() = CUpdaterSettings(); }

void CUpdaterSettings::Load(const std::string& path) {
  CIniFile ini;
  ini.Load(path);  // a missing or unreadable file gives every default
  auto get = [&ini](std::string_view group, std::string_view key, std::string_view fallback) {
    return ini.GetValue(group, key, fallback);
  };
  const CUpdaterPaths& paths = CUpdaterPaths::Instance();
  SettingsValues& v = values_;

  v.language = ToLower(get("UPDATER", "LANGUAGE", ""));
  v.run_mode = get("UPDATER", "RUNMODE", "full");
  v.logo_small = platform::FullPath(LocalPath(get("UPDATER", "LOGOSMALL", "")));
  v.logo_large = platform::FullPath(LocalPath(get("UPDATER", "LOGOLARGE", "")));
  v.icon = platform::FullPath(LocalPath(get("UPDATER", "ICON", "")));
  v.custom_notify = IsTrue(get("UPDATER", "CUSTOMNOTIFY", "false"));
  v.self_update = ReadLocation(get("UPDATER", "SELFUPDATE", ""), false);
  v.link_color_link = ParseSettingsColour(get("UPDATER", "LINKCOLORLINK", "R175,G175,B255"));
  v.link_color_hover = ParseSettingsColour(get("UPDATER", "LINKCOLORHOVER", "R0,G0,B255"));

  v.url = ReadLocation(get("UPDATEINFO", "URL", ""), true);
  v.update_selector = ReadLocation(get("UPDATEINFO", "UPDATESELECTOR", ""), true);
  v.server_timeout = StringToInt(get("UPDATEINFO", "SERVERTIMEOUT", "5000"));
  v.api_host = get("UPDATEINFO", "APIHOST", "");
  v.public_key = get("UPDATEINFO", "PUBLICKEY", "");

  v.name = get("APPLICATION", "NAME", "Unknown app");
  v.location = platform::FullPath(paths.Expand(LocalPath(get("APPLICATION", "LOCATION", ""))));
  std::string root = LocalPath(get("APPLICATION", "ROOT", ""));
  if (std::size_t last = root.rfind(platform::PathSeparator()); last != std::string::npos)
    root.resize(last);
  v.root = platform::FullPath(paths.Expand(root));
  // "%approot%" in VERSION sees the ROOT just read.
  std::string version = paths.Expand(LocalPath(get("APPLICATION", "VERSION", "0.0.0.0")));
  v.version_file.clear();
  if (platform::FileExists(version)) {
    v.version_file = version;
    version = platform::ReadFileVersion(version).value_or("0.0.0.0");
  }
  v.version = version;

  v.check_connection = IsTrue(get("CONNECTION", "CHECKCONNECTION", "false"));
  v.ftp_username = get("CONNECTION", "FTPUSERNAME", "");
  v.ftp_password = get("CONNECTION", "FTPPASSWORD", "");
  v.http_username = get("CONNECTION", "HTTPUSERNAME", "");
  v.http_password = get("CONNECTION", "HTTPPASSWORD", "");

  v.proxy_username = get("PROXY", "USERNAME", "");
  v.proxy_password = get("PROXY", "PASSWORD", "");
  v.proxy_type = ToLower(get("PROXY", "TYPE", ""));
  v.proxy_http = get("PROXY", "HTTP", "");
  v.proxy_ftp = get("PROXY", "FTP", "");
  v.proxy_auto_config_url = get("PROXY", "AUTOCONFIGURL", "");

  v.notify_skin = get("NOTIFY", "SKIN", "");
  v.title_color = ParseSettingsColour(get("NOTIFY", "TITLECOLOR", "R255,G255,B255"));
  v.title_rect = ParseSettingsRect(get("NOTIFY", "TITLERECT", "0,0,0,0"));
  v.description_rect = ParseSettingsRect(get("NOTIFY", "DESCRIPTIONRECT", "0,0,0,0"));
  v.close_rect = ParseSettingsRect(get("NOTIFY", "CLOSERECT", "0,0,0,0"));
  v.title_font_face = get("NOTIFY", "TITLEFONTFACE", "Verdana");
  v.title_font_size = StringToInt(get("NOTIFY", "TITLEFONTSIZE", "12"));
  v.title_font_style = get("NOTIFY", "TITLEFONTSTYLE", "");
  v.speed_fade_in = StringToInt(get("NOTIFY", "SPEEDFADEIN", "10"));
  v.speed_fade_out = StringToInt(get("NOTIFY", "SPEEDFADEOUT", "10"));
  v.show_time = StringToInt(get("NOTIFY", "SHOWTIME", "30"));
  v.transparency = StringToInt(get("NOTIFY", "TRANSPARENCY", "200"));
  v.transparent_color = ParseSettingsColour(get("NOTIFY", "TRANSPARENTCOLOR", "R255,G0,B255"));

  v.url = ReplaceCredentialPlaceholders(v.url, v);
  file_path_ = path;
}

SettingsColour ParseSettingsColour(const std::string& value) {
  auto component = [&value](char letter) -> SettingsColour {
    std::size_t at = value.find(letter);
    if (value.empty() || at == std::string::npos) return 255;
    std::size_t comma = value.find(',', at + 1);
    std::string_view digits = std::string_view(value).substr(
        at + 1, comma == std::string::npos ? std::string::npos : comma - at - 1);
    return static_cast<SettingsColour>(StringToInt(digits)) & 0xFF;
  };
  return component('R') + component('G') * 256 + component('B') * 65536;
}

SettingsRect ParseSettingsRect(const std::string& value) {
  std::int32_t parts[4] = {0, 0, 0, 0};
  std::size_t start = 0;
  for (int i = 0; i < 4 && start <= value.size(); ++i) {
    std::size_t comma = value.find(',', start);
    std::size_t end = comma == std::string::npos ? value.size() : comma;
    parts[i] = StringToInt(std::string_view(value).substr(start, end - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return SettingsRect{parts[0], parts[1], parts[2], parts[3]};
}

bool IsWebLocation(const std::string& location) {
  return StartsWith(location, "http") || StartsWith(location, "www");
}

bool IsWebValue(const std::string& value) { return IsWebLocation(value) || HasUrlScheme(value); }

bool WriteSettingsValue(const std::string& file, const std::string& group, const std::string& key,
                        const std::string& value, bool private_file) {
  // The INI writer refuses line breaks, which would add lines to the file.
  return WriteIniValue(file, group, key, value, private_file);
}
