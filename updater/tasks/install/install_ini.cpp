#include "updater/tasks/install/install_ini.h"

#include "platform/file_system.h"
#include "platform/path.h"
#include "updater/core/ini_file.h"
#include "updater/core/language.h"
#include "updater/core/updater_log.h"
#include "updater/core/updater_paths.h"
#include "updater/description/update_file_data.h"

namespace {

void Log(const std::string& line) { CUpdaterLog::Instance().WriteLine(line); }

// The folder that holds the file, or "" when the path names none.
}  // namespace

CInstallIni::CInstallIni(CChangeJournal* journal)
    : CInstallItemWorker(journal, "CInstallIni", INSTALL_PART_INI, IDS_ACTION_INI,
                         CUpdateFileData::Instance().ini_items.size()) {}

CInstallIni::~CInstallIni() { Stop(); }

std::size_t CInstallIni::ItemCount() const { return CUpdateFileData::Instance().ini_items.size(); }

std::string CInstallIni::WriteItem(std::size_t index) {
  CChangeJournal& journal = Journal();
  const CIniData& item = CUpdateFileData::Instance().ini_items[index];
  const std::string path = platform::NormalizeSeparators(item.location);

  std::string folder = platform::FolderOf(path);
  if (!folder.empty() && !platform::FolderExists(folder)) {
    platform::Status status = journal.RecordFolderCreate(folder);
    if (status) status = platform::CreateFolders(folder);
    if (!status) {
      Log("ini: cannot create the folder " + folder + ": " + status.message());
      return ItemLabel();
    }
  }

  platform::Status recorded = journal.RecordIniValue(path, item.group, item.key);
  if (!recorded) {
    Log("ini: cannot record the change of " + path + ": " + recorded.message());
    return platform::FileNameOf(path);
  }
  if (!WriteIniValue(path, item.group, item.key, item.value)) {
    Log("ini: cannot write [" + item.group + "] " + item.key + " to " + path);
    return platform::FileNameOf(path);
  }
  return {};
}
