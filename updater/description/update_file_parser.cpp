#include "updater/description/update_file_parser.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>

#include "platform/file_system.h"
#include "platform/path.h"
#include "updater/core/language.h"
#include "updater/core/text.h"
#include "updater/core/updater_log.h"
#include "updater/core/updater_paths.h"
#include "updater/description/event_table.h"
#include "updater/description/sha256.h"
#include "updater/description/update_file_data.h"
#include "updater/description/xml_document.h"

namespace {

// A registry item's key, "ROOT\subkey\...\value name": at most this many
// subkey levels below the root and this many bytes. Keys of real programs stay
// far below; deeper ones only make every registry write slower.
constexpr std::size_t kMaxRegistryKeyLevels = 64;
constexpr std::size_t kMaxRegistryKeyBytes = 2048;

std::size_t CountOccurrences(std::string_view text, std::string_view part) {
  std::size_t count = 0;
  for (std::size_t pos = text.find(part); pos != std::string_view::npos;
       pos = text.find(part, pos + part.size()))
    ++count;
  return count;
}

// The limit of a value expanded from `text`: its own length and the bound on
// top, so that a long text may still use constants.
std::size_t LimitFor(std::string_view text) { return text.size() + kMaxExpandedValueBytes; }

// Replaces every constant in definition order; nullopt when the text would
// grow beyond the limit. The size is known before each replacement is made.
std::optional<std::string> ExpandConstants(std::string text, std::size_t limit) {
  for (const CConstantData& constant : CUpdateFileData::Instance().constants) {
    if (constant.name.empty()) continue;
    std::size_t count = CountOccurrences(text, constant.name);
    if (count == 0) continue;
    if (constant.value.size() > constant.name.size()) {
      std::size_t growth = constant.value.size() - constant.name.size();
      if (growth > (limit - std::min(limit, text.size())) / count) return std::nullopt;
    }
    text = ReplaceAll(text, constant.name, constant.value);
  }
  if (text.size() > limit) return std::nullopt;
  return text;
}

constexpr char kTooLong[] = "value too long";

// Why a value cannot use the placeholder: it stands for no folder.
std::string UnknownPlaceholderProblem(std::string_view placeholder) {
  std::string problem = "folder " + std::string(placeholder) + " is unknown";
  const std::string& app = CUpdaterPaths::Instance().ApplicationFolderProblem();
  if (placeholder == kFolderPlaceholders[0] && !app.empty()) problem += ": " + app;
  return problem;
}

// The folder placeholders; nullopt with the problem when the result would
// exceed the limit or the text uses a placeholder whose folder is unknown
// (the path would begin at the file-system root). The size is bounded before
// the expansion, so that a text full of placeholders never makes a huge
// intermediate text.
std::optional<std::string> ExpandPathVariables(const std::string& text, std::size_t limit,
                                               std::string& problem) {
  const CUpdaterPaths& paths = CUpdaterPaths::Instance();
  if (text.find('%') != std::string::npos) {
    if (std::string_view unknown = paths.FirstUnknownPlaceholder(text); !unknown.empty()) {
      problem = UnknownPlaceholderProblem(unknown);
      return std::nullopt;
    }
    std::uint64_t bound = text.size();
    for (std::string_view placeholder : kFolderPlaceholders) {
      std::size_t count = CountOccurrences(text, placeholder);
      if (count != 0) bound += std::uint64_t{count} * paths.Expand(std::string(placeholder)).size();
    }
    if (bound > limit) {
      problem = kTooLong;
      return std::nullopt;
    }
  }
  std::string out = paths.Expand(text);
  if (out.size() > limit) {
    problem = kTooLong;
    return std::nullopt;
  }
  return out;
}

std::optional<std::string> Expand(std::string_view text, bool path, std::string& problem) {
  const std::size_t limit = LimitFor(text);
  std::optional<std::string> out = ExpandConstants(std::string(text), limit);
  if (!out) {
    problem = kTooLong;
    return std::nullopt;
  }
  if (path && !IsUrlValue(*out)) *out = platform::NormalizeSeparators(*out);
  return ExpandPathVariables(*out, limit, problem);
}

// A path of an event action: path variables only.
std::optional<std::string> ExpandEventPath(const std::string& text, bool path,
                                           std::string& problem) {
  std::string value = path && !IsUrlValue(text) ? platform::NormalizeSeparators(text) : text;
  return ExpandPathVariables(value, LimitFor(text), problem);
}

std::string Separator() { return std::string(1, platform::PathSeparator()); }

// True when the last component of the path holds a ".".
bool HasExtension(std::string_view path) {
  return platform::FileNameOf(path).find('.') != std::string::npos;
}

// A file name taken from a location that may become the last component of a
// destination: not empty, no separator or NUL, and not made of dots and blanks
// only (".", "..", ". ." name the folder itself or its parent on some systems).
bool IsUsableFileName(std::string_view name) {
  if (name.empty()) return false;
  if (name.find_first_of(std::string_view("/\\\0", 3)) != std::string_view::npos) return false;
  return name.find_first_not_of(". ") != std::string_view::npos;
}

// The temporary folder of the updater followed by a file name.
std::string InUpdaterTemp(const std::string& file_name) {
  std::string folder = CUpdaterPaths::Instance().Entry(kPathUpdaterTemp);
  if (!folder.empty() && !platform::IsPathSeparator(folder.back())) folder += Separator();
  return folder + file_name;
}

CloseApplicationMode CloseModeOf(const std::string& lower) {
  if (lower == "true") return CloseApplicationMode::Close;
  if (lower == "restart") return CloseApplicationMode::Restart;
  if (lower == "restartsystem") return CloseApplicationMode::RestartSystem;
  if (lower == "restartsystemapp") return CloseApplicationMode::RestartSystemApp;
  if (lower == "user") return CloseApplicationMode::User;
  return CloseApplicationMode::DoNotClose;
}

// The constant name with its percent signs: "abc", "%abc" and "abc%" become
// "%abc%", "%a%b" becomes "%a%b%".
std::string ConstantName(std::string name) {
  if (name.empty()) return name;
  if (name.front() != '%') name.insert(name.begin(), '%');
  if (name.find('%', 1) != name.size() - 1) name += '%';
  return name;
}

std::uint32_t AttributesOf(const std::string& lower) {
  struct Word {
    std::string_view text;
    std::uint32_t bit;
  };
  constexpr Word kWords[] = {{"readonly", kFileAttributeReadOnly},
                             {"hidden", kFileAttributeHidden},
                             {"system", kFileAttributeSystem},
                             {"archive", kFileAttributeArchive},
                             {"compressed", kFileAttributeCompressed}};
  std::uint32_t attributes = 0;
  for (const Word& word : kWords)
    if (lower.find(word.text) != std::string::npos) attributes |= word.bit;
  return attributes;
}

std::int32_t ShowModeOf(const std::string& text) {
  std::string lower = ToLower(text);
  if (lower == "sw_showmaximized") return kShowMaximized;
  if (lower == "sw_showminnoactive") return kShowMinNoActive;
  return kShowNormal;
}

// How a value is substituted.
enum class Kind {
  kText,      // constants and path variables
  kPath,      // the same; backslashes are separators unless it is a web location
  kLocation,  // a path or web location, then the credential placeholders
};

// Where a child element is searched.
enum class From { kStart, kPrevious };

// Walks the document and fills the records. Every failure writes its line and
// makes the reader return false at once.
class UpdateFileReader {
 public:
  explicit UpdateFileReader(CXmlDocument& document)
      : doc_(document), data_(CUpdateFileData::Instance()), events_(CEventTable::Instance()) {}

  bool Parse() {
    while (doc_.LeaveElement()) {
    }
    doc_.ResetPosition();
    if (!doc_.FindElement("UPDATEINFO")) return Fail("updateinfo node not found");
    doc_.EnterElement();

    if (FindTop("CONSTANTS") && !ReadConstants()) return false;
    if (FindTop("HTMLMESSAGE") && !ReadHtmlMessage()) return false;
    if (!FindTop("GENERAL")) return Fail("general information node not found");
    if (!ReadGeneral()) return false;
    if (FindTop("FEATURES") && !ReadFeatures()) return false;
    if (FindTop("FILES") && !ReadFiles()) return false;
    if (FindTop("INI") && !ReadIni()) return false;
    if (FindTop("REGISTRY") && !ReadRegistry()) return false;
    if (FindTop("EVENTS") && !ReadEvents()) return false;
    if (FindTop("POPUPMENU") && !ReadPopupMenu()) return false;
    if (FindTop("SHORTCUTS") && !ReadShortcuts()) return false;
    if (FindTop("SECTIONS")) return ReadSections("", 1);
    return true;
  }

 private:
  static bool Fail(std::string_view message) {
    CUpdaterLog::Instance().WriteLine("UPDATEFILE PARSE ERROR: " + std::string(message));
    return false;
  }

  bool FindTop(std::string_view name) {
    doc_.ResetPosition();
    return doc_.FindElement(name);
  }

  bool FindChild(std::string_view name, From from) {
    if (from == From::kStart) doc_.ResetPosition();
    return doc_.FindElement(name);
  }

  // Substitutes a value; false after the log line when it grows too long or
  // uses a folder that is unknown.
  static bool Substitute(std::string_view raw, Kind kind, std::string& out) {
    std::string problem;
    std::optional<std::string> value = Expand(raw, kind != Kind::kText, problem);
    if (value && kind == Kind::kLocation) {
      std::string with_credentials = ReplaceCredentialPlaceholders(*value);
      if (with_credentials.size() > LimitFor(raw)) {
        value.reset();
        problem = kTooLong;
      } else {
        value = std::move(with_credentials);
      }
    }
    if (!value) return Fail(problem);
    out = std::move(*value);
    return true;
  }

  // The substituted text of a child into `out`; `out` is left alone when the
  // child is missing (found tells which). False only when the value is too long.
  bool Child(std::string_view name, Kind kind, std::string& out, bool* found = nullptr,
             From from = From::kStart) {
    bool present = FindChild(name, from);
    if (found) *found = present;
    if (!present) return true;
    return Substitute(doc_.GetContentText(), kind, out);
  }

  // A child that must be there; its absence fails with the message.
  bool Required(std::string_view name, Kind kind, std::string& out, std::string_view missing,
                From from = From::kStart) {
    bool found = false;
    if (!Child(name, kind, out, &found, from)) return false;
    return found || Fail(missing);
  }

  // A boolean child: substituted and lower-cased; default_text when it is
  // missing. A true-only boolean is true exactly for "true", a false-only one
  // false exactly for "false".
  bool Boolean(std::string_view name, std::string_view default_text, bool true_only, bool& out,
               From from = From::kStart) {
    std::string text(default_text);
    if (!Child(name, Kind::kText, text, nullptr, from)) return false;
    std::string lower = ToLower(text);
    out = true_only ? lower == "true" : lower != "false";
    return true;
  }

  bool Attribute(std::string_view name, Kind kind, std::string& out) {
    return Substitute(doc_.GetAttribute(name), kind, out);
  }

  // CONSTANTS ------------------------------------------------------------------
  bool ReadConstants() {
    doc_.EnterElement();
    while (doc_.FindElement("CONSTANT")) {
      std::string name = ConstantName(doc_.GetAttribute("name"));
      std::string value;
      if (!Attribute("value", Kind::kText, value)) return false;
      if (name.empty() || value.empty()) continue;
      if (data_.constants.size() >= kMaxConstants) return Fail("too many constants");
      data_.constants.push_back(CConstantData{std::move(name), std::move(value)});
    }
    doc_.LeaveElement();
    return true;
  }

  // HTMLMESSAGE ----------------------------------------------------------------
  bool ReadHtmlMessage() {
    doc_.EnterElement();
    if (!Child("URL", Kind::kText, data_.html_message_url)) return false;
    std::string time = "0";
    if (!Child("TIME", Kind::kText, time)) return false;
    data_.html_message_time = StringToInt(time);
    doc_.LeaveElement();
    return true;
  }

  // GENERAL --------------------------------------------------------------------
  bool ReadGeneral() {
    doc_.EnterElement();
    std::string version;
    if (!Required("VERSION", Kind::kText, version, "general information -> version not found"))
      return false;
    // A line break or other control character would reach the version
    // comparison and the settings file.
    if (HasControlCharacter(version))
      return Fail("general information -> version holds a control character");
    data_.version = std::move(version);
    if (!Child("LICENSE", Kind::kText, data_.license)) return false;
    std::string close = "false";
    if (!Child("CLOSEAPPLICATION", Kind::kText, close)) return false;
    data_.close_application = CloseModeOf(ToLower(close));
    if (!Boolean("CHECKSEPARATELY", "false", true, data_.check_separately) ||
        !Boolean("ENABLEROLLBACK", "false", true, data_.enable_rollback) ||
        !Boolean("SHOWERRORS", "true", false, data_.show_errors) ||
        !Boolean("SELFUPDATE", "true", false, data_.self_update) ||
        !Boolean("RESUMEDOWNLOADS", "true", false, data_.resume_downloads) ||
        !Boolean("FORCEUPDATE", "false", true, data_.force_update))
      return false;
    doc_.LeaveElement();
    return true;
  }

  // FEATURES -------------------------------------------------------------------
  bool ReadFeatures() {
    doc_.EnterElement();
    while (data_.features.size() < kMaxFeatures && doc_.FindElement("FEATURE")) {
      doc_.EnterElement();
      CFeatureData feature;
      bool has_text = false;
      if (!Child("TEXT", Kind::kText, feature.text, &has_text)) return false;
      if (has_text) {
        if (!Child("LINK", Kind::kText, feature.link)) return false;
        data_.features.push_back(std::move(feature));
      }
      doc_.LeaveElement();
    }
    doc_.LeaveElement();
    return true;
  }

  // POPUPMENU ------------------------------------------------------------------
  bool ReadPopupMenu() {
    doc_.EnterElement();
    while (data_.popup_items.size() < kMaxPopupItems && doc_.FindElement("ITEM")) {
      doc_.EnterElement();
      CPopupItemData item;
      if (!Required("TEXT", Kind::kText, item.text, "popup text not found") ||
          !Child("LOCATION", Kind::kPath, item.location) ||
          !Child("PARAMETERS", Kind::kText, item.parameters) ||
          !Child("BITMAP", Kind::kLocation, item.bitmap))
        return false;
      doc_.LeaveElement();
      data_.popup_items.push_back(std::move(item));
    }
    doc_.LeaveElement();

    // One more file makes the bitmaps download with the update.
    CFileData bitmaps;
    bitmaps.name = CLanguage::Instance().GetText(IDS_POPUP_BITMAPS);
    bitmaps.check = "hash";
    for (const CPopupItemData& item : data_.popup_items) {
      if (item.bitmap.empty()) continue;
      std::string file_name = platform::FileNameOf(item.bitmap);
      if (!IsUsableFileName(file_name)) return Fail("popup bitmap has no usable file name");
      CFileActionDownload download;
      download.locations.push_back(item.bitmap);
      download.destination = InUpdaterTemp(file_name);
      download.temporary = true;
      bitmaps.actions.push_back(std::move(download));
    }
    if (data_.files.size() >= kMaxFiles) return Fail("too many files");
    data_.files.push_back(std::move(bitmaps));
    return true;
  }

  // EVENTS ---------------------------------------------------------------------
  bool ReadEvents() {
    doc_.EnterElement();
    for (std::size_t i = 0; i < kEventNames.size(); ++i) {
      if (FindChild(kEventNames[i], From::kStart) && !ReadEventActions(events_.At(i))) return false;
    }
    doc_.LeaveElement();
    return true;
  }

  // The text of a child, decoded (GetContentText), without substitution.
  std::string RawChild(std::string_view name, From from = From::kStart) {
    return FindChild(name, from) ? doc_.GetContentText() : std::string();
  }

  bool ReadEventActions(CEventData& event) {
    doc_.EnterElement();
    while (doc_.FindElement("ACTION")) {
      std::optional<EventAction> action = ReadEventAction(doc_.GetAttribute("type"));
      if (!action) {
        if (failed_) return false;
        continue;
      }
      if (event.actions.size() >= kMaxEventActions) return Fail("too many event actions");
      event.actions.push_back(std::move(*action));
    }
    doc_.LeaveElement();
    return true;
  }

  // The record of one event ACTION; nullopt for an unknown type, or with
  // failed_ set when a value is too long.
  std::optional<EventAction> ReadEventAction(const std::string& type) {
    if (type == kEventActionClose) return CEventActionClose{};
    if (type == kEventActionSkipNextTask) return CEventActionSkipNextTask{};
    if (type == kEventActionStartNextTask) return CEventActionStartNextTask{};
    if (type == kEventActionRun) {
      CEventActionRun run;
      doc_.EnterElement();
      std::string location = RawChild("LOCATION", From::kStart);
      std::string parameters = RawChild("PARAMETERS", From::kPrevious);
      doc_.LeaveElement();
      std::string problem;
      std::optional<std::string> expanded_location = ExpandEventPath(location, true, problem);
      std::optional<std::string> expanded_parameters =
          expanded_location ? ExpandEventPath(parameters, false, problem) : std::nullopt;
      if (!expanded_location || !expanded_parameters) {
        failed_ = true;
        Fail(problem);
        return std::nullopt;
      }
      run.location = std::move(*expanded_location);
      run.parameters = std::move(*expanded_parameters);
      return run;
    }
    if (type == kEventActionSetMode) {
      CEventActionSetMode set_mode;
      doc_.EnterElement();
      set_mode.mode = RawChild("MODE");
      doc_.LeaveElement();
      return set_mode;
    }
    if (type == kEventActionCloseApplication) {
      CEventActionCloseApplication close;
      doc_.EnterElement();
      close.title = RawChild("TITLE");
      close.file_name = RawChild("FILENAME");
      if (FindChild("ASKUSER", From::kStart))
        close.ask_user = ToLower(doc_.GetContentText()) != "false";
      doc_.LeaveElement();
      return close;
    }
    if (type == kEventActionShowNotifier) {
      CEventActionShowNotifier notifier;
      doc_.EnterElement();
      notifier.title = RawChild("TITLE");
      notifier.description = RawChild("DESCRIPTION");
      doc_.LeaveElement();
      return notifier;
    }
    return std::nullopt;
  }

  // FILES ----------------------------------------------------------------------
  bool ReadFiles() {
    doc_.EnterElement();
    while (doc_.FindElement("FILE")) {
      if (data_.files.size() >= kMaxFiles) return Fail("too many files");
      CFileData file;
      if (!Attribute("name", Kind::kText, file.name) ||
          !Attribute("location", Kind::kPath, file.location) ||
          !Attribute("version", Kind::kText, file.version) ||
          !Attribute("date", Kind::kText, file.date) ||
          !Attribute("hash", Kind::kText, file.hash) ||
          !Attribute("check", Kind::kText, file.check) ||
          !Attribute("section", Kind::kText, file.section) || !Sha256Attribute("FILE", file.sha256))
        return false;
      doc_.EnterElement();
      while (doc_.FindElement("ACTION")) {
        std::string type;
        if (!Attribute("type", Kind::kText, type)) return false;
        type = ToLower(type);
        std::string sha256;
        if (type == kFileActionDownload && !Sha256Attribute("download ACTION", sha256))
          return false;
        if (!ReadFileAction(type, sha256, file)) return false;
      }
      doc_.LeaveElement();
      data_.files.push_back(std::move(file));
    }
    doc_.LeaveElement();
    return true;
  }

  // The "sha256" attribute of the current element: absent or empty gives "",
  // anything but 64 lower-case hex digits fails.
  bool Sha256Attribute(std::string_view element, std::string& out) {
    out = doc_.GetAttribute("sha256");
    if (out.empty() || IsSha256Text(out)) return true;
    return Fail(std::string(element) + " sha256 is not 64 lower-case hexadecimal digits");
  }

  // Reads one file ACTION into the file; an ACTION of another type is ignored.
  bool ReadFileAction(const std::string& type, const std::string& sha256, CFileData& file) {
    std::optional<FileAction> action;
    doc_.EnterElement();
    bool ok = true;
    if (type == kFileActionDownload) {
      CFileActionDownload download;
      download.sha256 = sha256;
      ok = ReadDownload(download);
      action = std::move(download);
    } else if (type == kFileActionCopy) {
      CFileActionCopy copy;
      ok = Required("OLDLOCATION", Kind::kPath, copy.old_location,
                    "file copy old location not found") &&
           Required("NEWLOCATION", Kind::kPath, copy.new_location,
                    "file copy new location not found") &&
           Boolean("OVERWRITE", "false", true, copy.overwrite);
      action = std::move(copy);
    } else if (type == kFileActionDelete) {
      CFileActionDelete remove;
      ok = Required("LOCATION", Kind::kPath, remove.location, "file delete location not found") &&
           Boolean("ASKUSER", "false", true, remove.ask_user);
      action = std::move(remove);
    } else if (type == kFileActionRun) {
      CFileActionRun run;
      ok = Required("LOCATION", Kind::kPath, run.location,
                    "file run (execute) location not found") &&
           Child("PARAMETERS", Kind::kText, run.parameters) &&
           Boolean("WAIT", "false", false, run.wait);
      action = std::move(run);
    } else if (type == kFileActionUnzip) {
      CFileActionUnzip unzip;
      ok = Required("LOCATION", Kind::kPath, unzip.location, "file unzip location not found") &&
           Required("DESTINATION", Kind::kPath, unzip.destination,
                    "file unzip destination not found");
      action = std::move(unzip);
    } else if (type == kFileActionSetFileAttr) {
      CFileActionSetFileAttr attr;
      bool has_attributes = false;
      std::string attributes;
      ok = Required("LOCATION", Kind::kPath, attr.location,
                    "file set attributes location not found") &&
           Child("ATTRIBUTES", Kind::kText, attributes, &has_attributes);
      if (has_attributes) attr.attributes = AttributesOf(ToLower(attributes));
      action = std::move(attr);
    } else if (type == kFileActionRegister) {
      CFileActionRegister reg;
      ok = Required("LOCATION", Kind::kPath, reg.location, "file register location not found") &&
           Boolean("ASKUSER", "true", false, reg.ask_user, From::kPrevious);
      action = std::move(reg);
    }
    doc_.LeaveElement();
    if (!ok || !action) return ok;
    if (file.actions.size() >= kMaxFileActions) return Fail("too many file actions");
    file.actions.push_back(std::move(*action));
    return true;
  }

  bool ReadDownload(CFileActionDownload& download) {
    while (doc_.FindElement("LOCATION")) {
      if (download.locations.size() >= kMaxDownloadLocations)
        return Fail("too many download locations");
      std::string location;
      if (!Substitute(doc_.GetContentText(), Kind::kLocation, location)) return false;
      download.locations.push_back(std::move(location));
    }
    // Without a location there is nothing to download and no destination.
    if (!download.locations.empty()) {
      const std::string file_name = platform::FileNameOf(download.locations.front());
      bool has_destination = false;
      std::string destination;
      if (!Child("DESTINATION", Kind::kPath, destination, &has_destination)) return false;
      if (has_destination && !destination.empty()) {
        if (!IsAbsolutePath(destination)) {
          // Relative to the updater's temporary folder.
          if (!Substitute("%updatertemp%" + Separator() + destination, Kind::kPath, destination))
            return false;
        }
        if (!HasExtension(destination)) {
          // A folder: the file keeps the name it has on the server.
          if (!IsUsableFileName(file_name))
            return Fail("download location has no usable file name");
          if (!platform::IsPathSeparator(destination.back())) destination += Separator();
          destination += file_name;
        }
      } else {
        if (!IsUsableFileName(file_name)) return Fail("download location has no usable file name");
        destination = InUpdaterTemp(file_name);
      }
      download.destination = std::move(destination);
    }
    download.temporary = true;
    return true;
  }

  // INI ------------------------------------------------------------------------
  bool ReadIni() {
    doc_.EnterElement();
    while (doc_.FindElement("ITEM")) {
      if (data_.ini_items.size() >= kMaxIniItems) return Fail("too many ini items");
      doc_.EnterElement();
      CIniData ini;
      if (!Required("LOCATION", Kind::kPath, ini.location, "ini location not found") ||
          !Required("GROUP", Kind::kText, ini.group, "ini group not found") ||
          !Required("KEY", Kind::kText, ini.key, "ini key not found") ||
          !Required("VALUE", Kind::kText, ini.value, "ini value not found"))
        return false;
      doc_.LeaveElement();
      data_.ini_items.push_back(std::move(ini));
    }
    doc_.LeaveElement();
    return true;
  }

  // REGISTRY -------------------------------------------------------------------
  bool ReadRegistry() {
    doc_.EnterElement();
    while (doc_.FindElement("ITEM")) {
      if (data_.registry_items.size() >= kMaxRegistryItems) return Fail("too many registry items");
      CRegistryData item;
      item.type = ToLower(doc_.GetAttribute("type"));
      if (item.type != "string" && item.type != "binary" && item.type != "dword")
        item.type = "string";
      doc_.EnterElement();
      if (!Required("KEY", Kind::kText, item.key, "registry key not found") ||
          !Required("VALUE", Kind::kText, item.value, "registry value not found"))
        return false;
      if (item.key.size() > kMaxRegistryKeyBytes) return Fail("registry key too long");
      // Root and value name take one separator each; the rest are subkey levels.
      if (CountOccurrences(item.key, "\\") > kMaxRegistryKeyLevels + 1)
        return Fail("registry key too deep");
      doc_.LeaveElement();
      data_.registry_items.push_back(std::move(item));
    }
    doc_.LeaveElement();
    return true;
  }

  // SHORTCUTS ------------------------------------------------------------------
  bool ReadShortcuts() {
    data_.shortcuts_ask_user = ToLower(doc_.GetAttribute("askuser")) != "false";
    doc_.EnterElement();
    while (doc_.FindElement("SHORTCUT")) {
      if (data_.shortcuts.size() >= kMaxShortcuts) return Fail("too many shortcuts");
      doc_.EnterElement();
      CShortcutData shortcut;
      bool has_icon = false;
      std::string icon_index = "0";
      std::string show_mode;
      if (!Required("TARGETFILE", Kind::kPath, shortcut.target_file,
                    "shortcut targetfile not found") ||
          !Child("WORKINGDIRECTORY", Kind::kPath, shortcut.working_directory) ||
          !Child("PARAMETERS", Kind::kText, shortcut.parameters) ||
          !Child("DESCRIPTION", Kind::kText, shortcut.description) ||
          !Child("ICONFILE", Kind::kPath, shortcut.icon_file, &has_icon) ||
          !Required("LINKFILE", Kind::kPath, shortcut.link_file, "shortcut linkfile not found") ||
          !Child("ICONINDEX", Kind::kText, icon_index) ||
          !Child("SHOWMODE", Kind::kText, show_mode))
        return false;
      if (!has_icon) shortcut.icon_file = shortcut.target_file;
      shortcut.icon_index = StringToInt(icon_index);
      shortcut.show_mode = ShowModeOf(show_mode);
      doc_.LeaveElement();
      data_.shortcuts.push_back(std::move(shortcut));
    }
    doc_.LeaveElement();
    return true;
  }

  // SECTIONS -------------------------------------------------------------------
  // Reads the SECTION children of the current element; depth is the nesting
  // level of those children.
  bool ReadSections(const std::string& parent, std::size_t depth) {
    doc_.EnterElement();
    while (doc_.FindElement("SECTION")) {
      if (depth > kMaxSectionDepth) return Fail("sections nested too deeply");
      if (data_.sections.size() >= kMaxSections) return Fail("too many sections");
      CSectionData section;
      std::string check;
      std::string enabled;
      if (!Attribute("name", Kind::kText, section.name) ||
          !Attribute("title", Kind::kText, section.title) ||
          !Attribute("version", Kind::kText, section.version) ||
          !Attribute("description", Kind::kText, section.description) ||
          !Attribute("url", Kind::kText, section.url) || !Attribute("check", Kind::kText, check) ||
          !Attribute("enabled", Kind::kText, enabled))
        return false;
      section.parent = parent;
      section.check = ToLower(check) != "false";
      section.enabled = ToLower(enabled) != "false";
      section.selected = section.check;
      const std::string name = section.name;
      data_.sections.push_back(std::move(section));
      if (!ReadSections(name, depth + 1)) return false;
    }
    doc_.LeaveElement();
    return true;
  }

  CXmlDocument& doc_;
  CUpdateFileData& data_;
  CEventTable& events_;
  bool failed_ = false;
};

}  // namespace

bool ParseUpdateFile(CXmlDocument& document) { return UpdateFileReader(document).Parse(); }

std::optional<std::string> ExpandValue(std::string_view text) {
  std::string problem;
  return Expand(text, false, problem);
}

std::optional<std::string> ExpandPathValue(std::string_view text) {
  std::string problem;
  return Expand(text, true, problem);
}

bool IsUrlValue(std::string_view text) {
  std::string start = ToLower(text.substr(0, 4));
  return StartsWith(start, "http") || StartsWith(start, "ftp") || StartsWith(start, "www") ||
         text.find("://") != std::string_view::npos;
}
