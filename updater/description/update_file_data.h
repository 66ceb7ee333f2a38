#pragma once
// The records of the update file: what one update consists of (sections, files
// with their scripted actions, ini and registry items, shortcuts) and the
// general values that steer the run. Filled once by ParseUpdateFile
// (update_file_parser.h) and then read by the tasks and the user interface.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

// Capacities of the lists. The reader refuses an update file that would
// overflow a list that drives the installation; extra features and popup items
// are dropped.
inline constexpr std::size_t kMaxSections = 1024;
inline constexpr std::size_t kMaxFiles = 1024;
inline constexpr std::size_t kMaxIniItems = 1024;
inline constexpr std::size_t kMaxRegistryItems = 1024;
inline constexpr std::size_t kMaxShortcuts = 1024;
inline constexpr std::size_t kMaxConstants = 1024;
inline constexpr std::size_t kMaxFeatures = 5;
inline constexpr std::size_t kMaxPopupItems = 10;
inline constexpr std::size_t kMaxFileActions = 1024;
inline constexpr std::size_t kMaxDownloadLocations = 100;

// The CLOSEAPPLICATION value of GENERAL.
enum class CloseApplicationMode : std::int32_t {
  Close = 0,             // "true"
  DoNotClose = 1,        // "false", any other text, or no node
  Restart = 2,           // "restart"
  RestartSystem = 3,     // "restartsystem"
  RestartSystemApp = 4,  // "restartsystemapp"
  User = 5,              // "user"
};

// A user-selectable part of the application (SECTION).
struct CSectionData {
  std::string name;
  std::string title;
  std::string version;
  std::string description;
  std::string parent;  // name of the enclosing SECTION; "" at the top level
  std::string url;
  bool check = true;     // false exactly when the attribute reads "false"
  bool enabled = true;   // the same rule
  bool selected = true;  // starts equal to check; the section tree changes it
};

// File action type names.
inline constexpr char kFileActionDownload[] = "download";
inline constexpr char kFileActionCopy[] = "copy";
inline constexpr char kFileActionDelete[] = "delete";
inline constexpr char kFileActionRun[] = "run";
inline constexpr char kFileActionUnzip[] = "unzip";
inline constexpr char kFileActionSetFileAttr[] = "setfileattr";
inline constexpr char kFileActionRegister[] = "register";

struct CFileActionDownload {
  std::vector<std::string> locations;  // at most kMaxDownloadLocations, in document order
  std::string destination;             // "" when there is no location
  bool temporary = false;              // the reader sets it on every download
  // The MD5 digest (hex) the downloaded file itself must have; "" for none.
  // The reader sets none (a FILE's hash describes the installed file); the
  // self-update record sets the digest its description gives the new build.
  std::string md5;
  // The SHA-256 digest (64 lower-case hex digits) of what the download
  // fetches, from the ACTION's "sha256" attribute; "" for none.
  std::string sha256;
};

struct CFileActionCopy {
  std::string old_location;
  std::string new_location;
  bool overwrite = false;
};

struct CFileActionDelete {
  std::string location;
  bool ask_user = false;
};

struct CFileActionRun {
  std::string location;
  std::string parameters;
  bool wait = false;
};

struct CFileActionUnzip {
  std::string location;
  std::string destination;
};

// Bits of the file attributes.
inline constexpr std::uint32_t kFileAttributeReadOnly = 0x1;
inline constexpr std::uint32_t kFileAttributeHidden = 0x2;
inline constexpr std::uint32_t kFileAttributeSystem = 0x4;
inline constexpr std::uint32_t kFileAttributeArchive = 0x20;
inline constexpr std::uint32_t kFileAttributeNormal = 0x80;
inline constexpr std::uint32_t kFileAttributeCompressed = 0x800;

struct CFileActionSetFileAttr {
  std::string location;
  std::uint32_t attributes = kFileAttributeNormal;
};

struct CFileActionRegister {
  std::string location;
  bool ask_user = true;
};

// One ACTION of a FILE. Handle it with std::visit and an Overloaded set
// (updater/core/overloaded.h), so that every kind is handled.
using FileAction =
    std::variant<CFileActionDownload, CFileActionCopy, CFileActionDelete, CFileActionRun,
                 CFileActionUnzip, CFileActionSetFileAttr, CFileActionRegister>;

// The type name of an action as the update file writes it ("copy").
std::string_view FileActionTypeName(const FileAction& action);

// One FILE: the installed file, how it is found out of date, and its actions.
struct CFileData {
  std::string name;
  std::string location;  // the installed file on this machine
  std::string version;
  std::string date;
  std::string hash;
  // The SHA-256 digest (64 lower-case hex digits) of the installed file; when
  // given, the "hash" check compares it instead of the MD5 hash.
  std::string sha256;
  std::string check;                // "version", "date", "datetime" or "hash"
  std::string section;              // name of the section the file belongs to
  std::vector<FileAction> actions;  // at most kMaxFileActions
  bool update_needed = true;        // set by the check-version task
};

// One INI item: a value to write into an INI file.
struct CIniData {
  std::string location;  // the INI file
  std::string group;
  std::string key;
  std::string value;
};

// One REGISTRY item.
struct CRegistryData {
  std::string type;  // "string", "binary" or "dword"
  std::string key;
  std::string value;
};

// Show modes of a shortcut.
inline constexpr std::int32_t kShowNormal = 1;
inline constexpr std::int32_t kShowMaximized = 3;
inline constexpr std::int32_t kShowMinNoActive = 7;

struct CShortcutData {
  std::string target_file;
  std::string parameters;
  std::string working_directory;
  std::string link_file;  // the shortcut file to create
  std::string icon_file;
  std::string description;
  std::int32_t show_mode = kShowNormal;
  std::int32_t icon_index = 0;
};

struct CFeatureData {
  std::string text;
  std::string link;
};

struct CPopupItemData {
  std::string text;
  std::string location;
  std::string parameters;
  std::string bitmap;
};

// One constant of CONSTANTS; the name has its percent signs ("%abc%").
struct CConstantData {
  std::string name;
  std::string value;
};

// The update file as read: one process-wide instance.
class CUpdateFileData {
 public:
  // The process-wide records, created empty on first use.
  static CUpdateFileData& Instance();
  // Replaces the process-wide records by empty ones (the end of a run, tests).
  // No other thread may use them meanwhile.
  static void ResetInstance();

  std::vector<CSectionData> sections;         // at most kMaxSections, document pre-order
  std::vector<CFileData> files;               // at most kMaxFiles
  std::vector<CIniData> ini_items;            // at most kMaxIniItems
  std::vector<CRegistryData> registry_items;  // at most kMaxRegistryItems
  std::vector<CFeatureData> features;         // at most kMaxFeatures
  std::vector<CPopupItemData> popup_items;    // at most kMaxPopupItems
  std::vector<CShortcutData> shortcuts;       // at most kMaxShortcuts
  std::vector<CConstantData> constants;       // at most kMaxConstants, in definition order

  std::string license;
  std::string html_message_url;
  std::int32_t html_message_time = 0;
  CloseApplicationMode close_application = CloseApplicationMode::DoNotClose;
  bool check_separately = false;
  bool enable_rollback = false;
  bool show_errors = true;
  bool self_update = true;
  bool resume_downloads = true;
  bool force_update = false;
  bool shortcuts_ask_user = true;  // attribute askuser of SHORTCUTS
  // Not read from the file: the user's answer to the question whether to
  // create the shortcuts.
  bool shortcuts_accepted = true;
  std::string version;  // VERSION of GENERAL
};
