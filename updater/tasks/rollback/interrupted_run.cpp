#include "updater/tasks/rollback/interrupted_run.h"

#include "platform/file_system.h"
#include "platform/system_paths.h"
#include "updater/core/updater_log.h"
#include "updater/core/updater_paths.h"
#include "updater/tasks/install/component_registration.h"

std::string ChangeJournalFolder(const std::string& application_name) {
  const std::string sep(1, platform::PathSeparator());
  return platform::UserStateFolder() + sep + "velmora" + sep + "journal" + sep +
         FolderComponent(application_name);
}

bool OpenJournalAndRecover(CChangeJournal& journal, const std::string& folder) {
  CUpdaterLog& log = CUpdaterLog::Instance();
  platform::Status opened = journal.Open(folder);
  if (!opened) log.WriteLine("change journal: cannot open " + folder + ": " + opened.message());
  if (journal.Size() == 0) return opened.ok();
  log.WriteLine("rollback of an interrupted run: undoing " + std::to_string(journal.Size()) +
                " changes");
  auto failures = journal.Rollback(UnregisterComponent);
  if (failures.empty())
    log.WriteLine("rollback of an interrupted run: every change was undone");
  else
    log.WriteLine("rollback of an interrupted run: " + std::to_string(failures.size()) +
                  " changes not undone");
  return opened.ok();
}
