#pragma once
// The values of the settings file (settings.ini), read once at start-up,
// overridden by the command line and then only read.

#include <cstdint>
#include <string>

// A colour as red + green * 256 + blue * 65536.
using SettingsColour = std::uint32_t;

struct SettingsRect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;

  bool operator==(const SettingsRect&) const = default;
};

// Every value of the file, with its default. Paths use the platform separator.
struct SettingsValues {
  // [UPDATER]
  std::string language;  // lower case; empty = system language, "user" = ask
  std::string run_mode = "full";
  std::string logo_small;
  std::string logo_large;
  std::string icon;
  bool custom_notify = false;
  std::string self_update;
  SettingsColour link_color_link = 175 + 175 * 256 + 255 * 65536;
  SettingsColour link_color_hover = 0 + 0 * 256 + 255 * 65536;
  // [UPDATEINFO]
  std::string url;
  std::string update_selector;
  std::int32_t server_timeout = 5000;  // milliseconds
  std::string api_host;                // host of the vendor's update API; empty = no query
  // The base64 line of the vendor's minisign public key; empty = descriptions
  // are not signed.
  std::string public_key;
  // [APPLICATION]
  std::string name = "Unknown app";
  std::string location;
  std::string root;
  std::string version = "0.0.0.0";
  // The program file VERSION named, whose version resource gave `version`;
  // "" when VERSION was a version text. The finishing work leaves such a
  // VERSION as it is.
  std::string version_file;
  // [CONNECTION]
  bool check_connection = false;
  std::string ftp_username;
  std::string ftp_password;
  std::string http_username;
  std::string http_password;
  // [PROXY]
  std::string proxy_username;
  std::string proxy_password;
  std::string proxy_type;  // lower case
  std::string proxy_http;
  std::string proxy_ftp;
  std::string proxy_auto_config_url;
  // [NOTIFY]
  std::string notify_skin;
  SettingsColour title_color = 0xFFFFFF;
  SettingsRect title_rect;
  SettingsRect description_rect;
  SettingsRect close_rect;
  std::string title_font_face = "Verdana";
  std::int32_t title_font_size = 12;
  std::string title_font_style;
  std::int32_t speed_fade_in = 10;
  std::int32_t speed_fade_out = 10;
  std::int32_t show_time = 30;
  std::int32_t transparency = 200;
  SettingsColour transparent_color = 255 + 0 * 256 + 255 * 65536;

  bool operator==(const SettingsValues&) const = default;
};

class CUpdaterSettings {
 public:
  // The process-wide settings, created with defaults on first use.
  static CUpdaterSettings& Instance();
  // Puts defaults back into the process-wide settings (tests).
  static void ResetInstance();

  // Reads every key of the file in table order with its processing; a missing
  // file, group or key gives the default. Stores the path as the own file path.
  void Load(const std::string& path);

  const SettingsValues& Values() const { return values_; }
  // Write access for the command line and the tests.
  SettingsValues& MutableValues() { return values_; }

  // The path of the file the values came from (the command line may replace it).
  const std::string& FilePath() const { return file_path_; }
  void SetFilePath(const std::string& path) { file_path_ = path; }

  // The settings file chosen at start-up; the write-backs go there.
  const std::string& ChosenFile() const { return chosen_file_; }
  void SetChosenFile(const std::string& path) { chosen_file_ = path; }

 private:
  SettingsValues values_;
  std::string file_path_;
  std::string chosen_file_;
};

// Colour syntax "R175,G175,B255": a missing letter or empty value gives 255 for
// that component; each component keeps its low 8 bits.
SettingsColour ParseSettingsColour(const std::string& value);
// Rectangle syntax "left,top,right,bottom"; a missing part gives 0.
SettingsRect ParseSettingsRect(const std::string& value);
// True when the location begins with "http" or "www".
bool IsWebLocation(const std::string& location);
// True for a location read as a web address: one IsWebLocation knows, or any
// other "scheme://" address (an ftp server). Its characters all stay: it never
// gets path separators.
bool IsWebValue(const std::string& value);

// Writes one value back into a settings file (group and key matched without
// regard to case). private_file writes the file with mode 0600 (credentials).
// Returns false when the write failed; callers ignore that as the settings do.
bool WriteSettingsValue(const std::string& file, const std::string& group, const std::string& key,
                        const std::string& value, bool private_file = false);
