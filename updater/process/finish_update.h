#pragma once
// The finishing work after a completed installation: creates the update
// file's shortcuts, records the new version in the settings file, writes the
// installed-sections file, saves the restore information when rollback is
// enabled, deletes the temporary update files and finally restarts the
// application or the system as the update file asks. Every step is
// independent: a failure in one does not stop the next one. A new version
// that cannot be recorded makes the finishing work fail (the next run would
// install the same update again).

#include <functional>
#include <string>

#include "platform/shortcut.h"

class CInstalledSections;
class CLanguage;
class CSystemProcessServices;
class CTemporaryUpdateFiles;
class CUpdateFileData;
class IDialogService;
struct SettingsValues;

// What the finishing work does to the system, behind one interface so that
// tests run it with fakes.
class IFinishUpdateServices {
 public:
  virtual ~IFinishUpdateServices() = default;
  // Creates one shortcut; false when it could not be created.
  virtual bool CreateShortcut(const platform::ShortcutDefinition& shortcut) = 0;
  // Writes one value into a settings file; false when it was not written.
  virtual bool WriteSetting(const std::string& file, const std::string& group,
                            const std::string& key, const std::string& value) = 0;
  // Builds the restore information of this update and writes it to path.
  virtual bool WriteRestoreInfo(const std::string& path) = 0;
  virtual bool FileExists(const std::string& path) = 0;
  virtual bool IsProcessRunning(const std::string& path) = 0;
  // Whether the updater closed the application during this run.
  virtual bool ApplicationClosed() = 0;
  // Starts (opens) the application in its folder, without parameters.
  virtual void StartApplication(const std::string& location, const std::string& working_folder) = 0;
  // Makes the application start once at the next login.
  virtual bool WriteRestartEntry(const std::string& location) = 0;
  // Asks the system to restart; false when it refused.
  virtual bool RestartSystem() = 0;
};

// The records and folders the finishing work reads and writes.
struct FinishUpdateInputs {
  const CUpdateFileData& update_file;
  const SettingsValues& settings;
  CInstalledSections& installed_sections;
  CTemporaryUpdateFiles& temporary_files;
  IDialogService& dialogs;
  const CLanguage& language;
  // The settings file chosen at start-up; the new version goes there.
  std::string settings_file;
  // "%updater%": the folder of the installed-sections file.
  std::string updater_folder;
  // "%updatertemp%": the folder of the restore information.
  std::string updater_temp_folder;
  // "%temp%": the user's private temporary folder, the only folder from which
  // temporary update files are deleted (downloads placed elsewhere stay).
  std::string temp_folder;
};

class CFinishUpdate {
 public:
  CFinishUpdate(FinishUpdateInputs inputs, IFinishUpdateServices& services);

  // Every step; false when one that must succeed failed.
  bool Run();

  // The steps, in the order Run takes them.
  void CreateShortcuts();
  // False when the new version was due but the settings file refused it.
  bool RecordNewVersion();
  void WriteInstalledSections();
  void SaveRestoreInformation();
  void DeleteTemporaryFiles();
  void Restart();

 private:
  void RestartSystem();

  FinishUpdateInputs in_;
  IFinishUpdateServices& services_;
};

// True when path lies below folder (after both are made absolute with "."
// and ".." resolved) and no folder between them is a symbolic link, so that
// removing path cannot reach outside folder.
bool LiesInsideFolder(const std::string& path, const std::string& folder);

// The services of the finishing work on the real system. The restore
// information is written by a hook (the tasks layer builds it); without one
// nothing is written.
class CSystemFinishUpdateServices : public IFinishUpdateServices {
 public:
  using RestoreInfoWriter = std::function<bool(const std::string& path)>;

  CSystemFinishUpdateServices(CSystemProcessServices& processes,
                              RestoreInfoWriter write_restore_info);

  bool CreateShortcut(const platform::ShortcutDefinition& shortcut) override;
  bool WriteSetting(const std::string& file, const std::string& group, const std::string& key,
                    const std::string& value) override;
  bool WriteRestoreInfo(const std::string& path) override;
  bool FileExists(const std::string& path) override;
  bool IsProcessRunning(const std::string& path) override;
  bool ApplicationClosed() override;
  void StartApplication(const std::string& location, const std::string& working_folder) override;
  bool WriteRestartEntry(const std::string& location) override;
  bool RestartSystem() override;

 private:
  CSystemProcessServices& processes_;
  RestoreInfoWriter write_restore_info_;
};

// Runs the finishing work with the process-wide records, settings, path table
// and language on the real system; its windows go to dialogs (the update
// process's, CUpdateProcess::User().Dialogs(); nullptr: DialogService()).
// False when the finishing work failed.
bool FinishUpdate(CSystemProcessServices& processes,
                  CSystemFinishUpdateServices::RestoreInfoWriter write_restore_info,
                  IDialogService* dialogs = nullptr);
