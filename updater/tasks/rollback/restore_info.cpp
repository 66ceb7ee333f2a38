#include "updater/tasks/rollback/restore_info.h"

#include "platform/file_system.h"
#include "updater/core/text.h"
#include "updater/core/updater_settings.h"
#include "updater/description/xml_text.h"

namespace {

std::string Attribute(const char* name, const std::string& value) {
  return std::string(name) + "=\"" + EscapeXmlText(value) + "\"";
}

}  // namespace

std::vector<RestoreAction> RestoreActionsOf(const std::vector<ChangeRecord>& changes) {
  std::vector<RestoreAction> actions;
  for (const auto& change : changes) {
    switch (change.kind) {
      case ChangeKind::kFileReplaced:
        actions.push_back({RestoreActionKind::kCopy, change.backup, change.path});
        break;
      case ChangeKind::kFileCreated:
      case ChangeKind::kFolderCreated:
        actions.push_back({RestoreActionKind::kDelete, change.path, {}});
        break;
      case ChangeKind::kRegistryValue: {
        std::string key = platform::RegistryRootName(change.root);
        if (!change.subkey.empty()) key += "\\" + change.subkey;
        key += "\\" + change.value_name;
        actions.push_back(
            {RestoreActionKind::kRegistry, key,
             change.old_value ? platform::RegistryValueToText(*change.old_value) : std::string()});
        break;
      }
      case ChangeKind::kRegistration:
        actions.push_back({RestoreActionKind::kUnregister, change.path, {}});
        break;
      case ChangeKind::kIniValue:
      case ChangeKind::kRegistryKeyCreated:
      case ChangeKind::kTemporaryFile:
        break;
    }
  }
  return actions;
}

RestoreInfo BuildRestoreInfo() {
  RestoreInfo info;
  info.version = CUpdaterSettings::Instance().Values().version;
  info.sections = CInstalledSections::Instance().Entries();
  info.actions = RestoreActionsOf(CChangeJournal::Instance().Changes());
  return info;
}

std::string RestoreActionLine(const RestoreAction& action) {
  std::string line = "    <ACTION ";
  switch (action.kind) {
    case RestoreActionKind::kCopy:
      line +=
          "type=\"copy\" " + Attribute("old", action.first) + " " + Attribute("new", action.second);
      break;
    case RestoreActionKind::kDelete:
      line += "type=\"delete\" " + Attribute("location", action.first);
      break;
    case RestoreActionKind::kRegistry:
      line += "type=\"registry\" " + Attribute("key", action.first) + " " +
              Attribute("value", action.second);
      break;
    case RestoreActionKind::kUnregister:
      line += "type=\"unregister\" " + Attribute("file", action.first);
      break;
  }
  return line + " />\r\n";
}

std::string FormatRestoreInfo(const RestoreInfo& info) {
  std::string text = "<RESTOREINFO " + Attribute("version", info.version) + ">\r\n";
  text += "  <SECTIONS>\r\n";
  for (const auto& section : info.sections)
    text += "    <SECTION " + Attribute("name", section.name) + " " +
            Attribute("version", section.version) + " />\r\n";
  text += "  </SECTIONS>\r\n";
  text += "  <ACTIONS>\r\n";
  for (const auto& action : info.actions) text += RestoreActionLine(action);
  text += "  </ACTIONS>\r\n";
  text += "</RESTOREINFO>";
  return text;
}

platform::Status WriteRestoreInfo(const RestoreInfo& info, const std::string& path) {
  return platform::WriteFileAtomic(
      path, EncodeTextFile(FormatRestoreInfo(info), TextEncoding::kUtf16LeBom));
}
