#include "updater/tasks/rollback/restore_info.h"

#include "platform/file_system.h"
#include "updater/core/overloaded.h"
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
    std::visit(
        Overloaded{
            [&](const FileReplacedChange& c) {
              actions.push_back(RestoreCopy{c.backup, c.path});
            },
            [&](const FileCreatedChange& c) { actions.push_back(RestoreDelete{c.path}); },
            [&](const FolderCreatedChange& c) { actions.push_back(RestoreDelete{c.path}); },
            [&](const RegistryValueChange& c) {
              std::string key = platform::RegistryRootName(c.root);
              if (!c.subkey.empty()) key += "\\" + c.subkey;
              key += "\\" + c.value_name;
              actions.push_back(RestoreRegistry{
                  key, c.old_value ? platform::RegistryValueToText(*c.old_value) : std::string()});
            },
            [&](const RegistrationChange& c) { actions.push_back(RestoreUnregister{c.path}); },
            // An INI file is restored whole by its file's action; created
            // keys and temporary files have no action.
            [](const IniValueChange&) {},
            [](const RegistryKeyCreatedChange&) {},
            [](const TemporaryFileChange&) {},
        },
        change);
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
  line += std::visit(Overloaded{
                         [](const RestoreCopy& a) {
                           return "type=\"copy\" " + Attribute("old", a.kept_copy) + " " +
                                  Attribute("new", a.location);
                         },
                         [](const RestoreDelete& a) {
                           return "type=\"delete\" " + Attribute("location", a.location);
                         },
                         [](const RestoreRegistry& a) {
                           return "type=\"registry\" " + Attribute("key", a.key) + " " +
                                  Attribute("value", a.value);
                         },
                         [](const RestoreUnregister& a) {
                           return "type=\"unregister\" " + Attribute("file", a.file);
                         },
                     },
                     action);
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
