#pragma once
// Restore information: what an installation changed, written after a
// successful install as "restoreinfo.xml" in the updater's temporary folder
// when the update file enables rollback. It holds the application version,
// the installed sections and one restore action per recorded change:
//
//   <RESTOREINFO version="1.2">
//     <SECTIONS>
//       <SECTION name="app" version="1.2" />
//     </SECTIONS>
//     <ACTIONS>
//       <ACTION type="copy" old="<kept copy>" new="<installed file>" />
//       <ACTION type="delete" location="<created file or folder>" />
//       <ACTION type="registry" key="<root\subkey\name>" value="<old value>" />
//       <ACTION type="unregister" file="<registered component>" />
//     </ACTIONS>
//   </RESTOREINFO>
//
// Lines end with CR LF, the last one without; the file is UTF-16LE with a
// byte-order mark. Attribute values are XML-escaped. A registry action's value
// is the old value in the registry store's notation ("sz \"text\"",
// "dword 12"), or "" when there was none (the value is to be removed).
// Created registry keys and INI values have no action of their own: an INI
// file is restored as a whole by its copy or delete action.
// The kept copies that copy actions name live in the change journal's
// backups folder (interrupted_run.h), outside the emptied temporary folders;
// they stay until the next start for the application, which empties
// %updatertemp% (this file with it) at the same time.
// Temporary files of the run have no action.

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "platform/status.h"
#include "updater/description/installed_sections.h"
#include "updater/tasks/rollback/change_journal.h"

// The restore actions, one plain struct per type; handle a RestoreAction with
// std::visit and an Overloaded set (updater/core/overloaded.h).
struct RestoreCopy {
  std::string kept_copy;  // "old"
  std::string location;   // "new": where the copy goes back
};
struct RestoreDelete {
  std::string location;  // the created file or folder to remove
};
struct RestoreRegistry {
  std::string key;    // the full key text with the value name
  std::string value;  // the old value in the store's notation; "": remove it
};
struct RestoreUnregister {
  std::string file;  // the component to unregister
};
using RestoreAction = std::variant<RestoreCopy, RestoreDelete, RestoreRegistry, RestoreUnregister>;

struct RestoreInfo {
  std::string version;
  std::vector<InstalledSection> sections;
  std::vector<RestoreAction> actions;
};

// The restore actions of the recorded changes, in journal order.
std::vector<RestoreAction> RestoreActionsOf(const std::vector<ChangeRecord>& changes);
// Version from the settings (VERSION), the installed sections in their order,
// the actions of the process-wide change journal.
RestoreInfo BuildRestoreInfo();
// The action's line with its indent and CR LF.
std::string RestoreActionLine(const RestoreAction& action);
// The whole text (UTF-8).
std::string FormatRestoreInfo(const RestoreInfo& info);
// Writes the text as UTF-16LE with byte-order mark, atomically.
platform::Status WriteRestoreInfo(const RestoreInfo& info, const std::string& path);
