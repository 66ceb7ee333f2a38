#pragma once
// Shortcuts to programs: a freedesktop desktop entry (".desktop") on Linux, a
// shell link on Windows.

#include <cstdint>
#include <optional>
#include <string>

#include "platform/status.h"

namespace platform {

struct ShortcutDefinition {
  std::string target;           // the program
  std::string parameters;       // one text, split by the command-line rules (SplitCommandLine)
  std::string link_file;        // the shortcut file to create
  std::string description;      // shown as name and tool tip; "" for none
  std::int32_t show_mode = 1;   // window show command; no effect for a desktop entry
  std::string working_folder;   // "" for none
  std::string icon_file;        // "" for none
  std::int32_t icon_index = 0;  // a negative index sets no icon
};

// The file a shortcut is saved as. On Linux it always ends in ".desktop": an
// ending ".lnk" (any case) is replaced, ".desktop" kept, and any other name
// gets ".desktop" appended, so a shortcut never writes another kind of file.
std::string ShortcutFilePath(const std::string& link_file);

// The desktop entry of a shortcut: Type=Application; Name (the description,
// else the shortcut's file name without its ending); Comment (the
// description); Exec (target and parameters, each argument quoted); Path (the
// working folder); Icon (the icon file when the index is not negative).
// nullopt when the target is empty or a value cannot be written (invalid UTF-8,
// control characters other than line breaks and tabs, which are escaped).
std::optional<std::string> FormatShortcutEntry(const ShortcutDefinition& definition);

// Writes the shortcut to ShortcutFilePath(link_file), creating missing
// folders, through a temporary file renamed into place (an existing shortcut
// is replaced). A new entry is made executable, as desktops require of
// launchers they trust.
Status CreateShortcut(const ShortcutDefinition& definition);

}  // namespace platform
