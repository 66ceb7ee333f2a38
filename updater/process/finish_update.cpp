#include "updater/process/finish_update.h"

#include <utility>
#include <vector>

#include "platform/file_system.h"
#include "platform/path.h"
#include "platform/restart.h"
#include "platform/system_paths.h"
#include "updater/core/dialog_service.h"
#include "updater/core/language.h"
#include "updater/core/language_ids.h"
#include "updater/core/text.h"
#include "updater/core/updater_log.h"
#include "updater/core/updater_paths.h"
#include "updater/core/updater_settings.h"
#include "updater/description/installed_sections.h"
#include "updater/description/update_file_data.h"
#include "updater/description/versions.h"
#include "updater/process/system_process_services.h"
#include "updater/process/temporary_update_files.h"

namespace {

constexpr char kSectionsFileTemplate[] = "sections_%name%.xml";
constexpr char kRestoreInfoFileName[] = "restoreinfo.xml";

void Log(const std::string& line) { CUpdaterLog::Instance().WriteLine(line); }

platform::ShortcutDefinition DefinitionOf(const CShortcutData& shortcut) {
  platform::ShortcutDefinition definition;
  definition.target = shortcut.target_file;
  definition.parameters = shortcut.parameters;
  definition.link_file = shortcut.link_file;
  definition.description = shortcut.description;
  definition.show_mode = shortcut.show_mode;
  definition.working_folder = shortcut.working_directory;
  definition.icon_file = shortcut.icon_file;
  definition.icon_index = shortcut.icon_index;
  return definition;
}

std::string AbsolutePath(const std::string& path) {
  return platform::FullPath(platform::NormalizeSeparators(path));
}

}  // namespace

bool LiesInsideFolder(const std::string& path, const std::string& folder) {
  if (path.empty() || folder.empty()) return false;
  std::string base = AbsolutePath(folder);
  while (base.size() > 1 && base.back() == platform::PathSeparator()) base.pop_back();
  const std::string full = AbsolutePath(path);
  const std::string prefix = base.size() == 1 ? base : base + platform::PathSeparator();
  if (full.size() <= prefix.size() || full.compare(0, prefix.size(), prefix) != 0) return false;
  // Every folder between base and the file must be a real folder: a link
  // among them could lead the removal elsewhere.
  for (std::size_t at = full.find(platform::PathSeparator(), prefix.size());
       at != std::string::npos; at = full.find(platform::PathSeparator(), at + 1)) {
    if (platform::IsSymbolicLink(full.substr(0, at))) return false;
  }
  return true;
}

CFinishUpdate::CFinishUpdate(FinishUpdateInputs inputs, IFinishUpdateServices& services)
    : in_(std::move(inputs)), services_(services) {}

bool CFinishUpdate::Run() {
  CreateShortcuts();
  const bool recorded = RecordNewVersion();
  WriteInstalledSections();
  SaveRestoreInformation();
  DeleteTemporaryFiles();
  Restart();
  return recorded;
}

void CFinishUpdate::CreateShortcuts() {
  if (!in_.update_file.shortcuts_accepted) return;
  for (const CShortcutData& shortcut : in_.update_file.shortcuts) {
    Log("create shortcut " + shortcut.description);
    services_.CreateShortcut(DefinitionOf(shortcut));  // a failure does not stop the others
  }
}

bool CFinishUpdate::RecordNewVersion() {
  const std::string& version = in_.update_file.version;
  // A VERSION that names a program file takes the version from that file; it stays.
  if (!in_.settings.version_file.empty() && services_.FileExists(in_.settings.version_file))
    return true;
  if (CompareVersions(version, in_.settings.version) != kVersionNewer) return true;
  // The settings writer refuses values that would add lines to the file.
  if (!services_.WriteSetting(in_.settings_file, "APPLICATION", "version", version)) {
    // The version itself is not logged: a refused one may hold a line break.
    Log("new version could not be written to the settings file " + in_.settings_file);
    return false;
  }
  Log("new version (" + version + ") is updated in settings file");
  return true;
}

void CFinishUpdate::WriteInstalledSections() {
  const std::string path =
      CollapseSeparators(in_.updater_folder + InstalledSectionsFileName(in_.settings.name));
  // An empty table writes nothing (an existing file stays) and is not reported as written.
  if (in_.installed_sections.Entries().empty() || !in_.installed_sections.Save(path)) return;
  Log(std::string("written section file to ") + kSectionsFileTemplate);
}

void CFinishUpdate::SaveRestoreInformation() {
  if (!in_.update_file.enable_rollback) return;
  Log(std::string("rollback is enabled, save restore information to ") + kRestoreInfoFileName);
  services_.WriteRestoreInfo(CollapseSeparators(in_.updater_temp_folder + kRestoreInfoFileName));
}

void CFinishUpdate::DeleteTemporaryFiles() {
  for (const std::string& listed : in_.temporary_files.Take()) {
    if (!LiesInsideFolder(listed, in_.temp_folder)) continue;
    const std::string path = AbsolutePath(listed);
    // Files only (a link is removed as a link); a folder stays.
    if (!platform::IsSymbolicLink(path) && platform::FolderExists(path)) continue;
    platform::RemoveFile(path);
  }
  Log("temporary update files deleted");
}

void CFinishUpdate::Restart() {
  const std::string& location = in_.settings.location;
  switch (in_.update_file.close_application) {
    case CloseApplicationMode::Restart:
      Log("restart application (" + location + ")");
      if (services_.FileExists(location) && services_.ApplicationClosed() &&
          !services_.IsProcessRunning(location))
        services_.StartApplication(location, platform::FolderOf(location));
      break;
    case CloseApplicationMode::RestartSystemApp:
      Log("restart system and run application (" + location + ") at next startup");
      services_.WriteRestartEntry(location);
      RestartSystem();
      break;
    case CloseApplicationMode::RestartSystem:
      Log("restart system");
      RestartSystem();
      break;
    default:
      break;
  }
}

void CFinishUpdate::RestartSystem() {
  const std::string& mode = in_.settings.run_mode;
  if (mode == "full" || mode == "silent") {
    InformationDialogRequest request;
    request.caption = in_.language.GetText(IDS_INFORMATION_TITLE);
    request.heading = in_.language.GetText(IDS_INFORMATION_RESTARTSYSTEM_TITLE);
    request.text = FillPlaceholders(in_.language.GetText(IDS_INFORMATION_RESTARTSYSTEM_EXPLANATION),
                                    {in_.settings.name});
    request.button_text = in_.language.GetText(IDS_GENERAL_OK);
    in_.dialogs.ShowInformation(request);
  }
  // A refused restart leaves the updater to end normally.
  services_.RestartSystem();
}

CSystemFinishUpdateServices::CSystemFinishUpdateServices(CSystemProcessServices& processes,
                                                         RestoreInfoWriter write_restore_info)
    : processes_(processes), write_restore_info_(std::move(write_restore_info)) {}

bool CSystemFinishUpdateServices::CreateShortcut(const platform::ShortcutDefinition& shortcut) {
  return platform::CreateShortcut(shortcut).ok();
}

bool CSystemFinishUpdateServices::WriteSetting(const std::string& file, const std::string& group,
                                               const std::string& key, const std::string& value) {
  return WriteSettingsValue(file, group, key, value);
}

bool CSystemFinishUpdateServices::WriteRestoreInfo(const std::string& path) {
  return write_restore_info_ && write_restore_info_(path);
}

bool CSystemFinishUpdateServices::FileExists(const std::string& path) {
  return processes_.FileExists(path);
}

bool CSystemFinishUpdateServices::IsProcessRunning(const std::string& path) {
  return processes_.IsProcessRunning(path);
}

bool CSystemFinishUpdateServices::ApplicationClosed() { return processes_.ApplicationClosed(); }

void CSystemFinishUpdateServices::StartApplication(const std::string& location,
                                                   const std::string& working_folder) {
  processes_.StartProgram(location, "", working_folder);
}

bool CSystemFinishUpdateServices::WriteRestartEntry(const std::string& location) {
  return platform::WriteRestartEntry(location).ok();
}

bool CSystemFinishUpdateServices::RestartSystem() { return platform::RestartSystem().ok(); }

bool FinishUpdate(CSystemProcessServices& processes,
                  CSystemFinishUpdateServices::RestoreInfoWriter write_restore_info,
                  IDialogService* dialogs) {
  CSystemFinishUpdateServices services(processes, std::move(write_restore_info));
  const CUpdaterPaths& paths = CUpdaterPaths::Instance();
  CFinishUpdate finish(
      FinishUpdateInputs{.update_file = CUpdateFileData::Instance(),
                         .settings = CUpdaterSettings::Instance().Values(),
                         .installed_sections = CInstalledSections::Instance(),
                         .temporary_files = CTemporaryUpdateFiles::Instance(),
                         .dialogs = dialogs ? *dialogs : DialogService(),
                         .language = CLanguage::Instance(),
                         .settings_file = CUpdaterSettings::Instance().ChosenFile(),
                         .updater_folder = paths.Entry(kPathUpdater),
                         .updater_temp_folder = paths.Entry(kPathUpdaterTemp),
                         .temp_folder = paths.Entry(kPathTemp)},
      services);
  return finish.Run();
}
