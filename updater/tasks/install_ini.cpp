#include "updater/tasks/install_ini.h"

#include "platform/file_system.h"
#include "updater/core/ini_file.h"
#include "updater/core/language.h"
#include "updater/core/updater_log.h"
#include "updater/core/updater_paths.h"
#include "updater/description/update_file_data.h"

namespace {

void Log(const std::string& line) { CUpdaterLog::Instance().WriteLine(line); }

// The folder that holds the file, or "" when the path names none.
std::string FolderOfFile(const std::string& path) {
  std::string folder = FolderOf(path);
  return folder == path ? std::string() : folder;
}

}  // namespace

CInstallIni::CInstallIni(CChangeJournal* journal)
    : CTaskThread(TASK_INSTALL),
      journal_(journal ? *journal : CChangeJournal::Instance()),
      total_units_(static_cast<std::int32_t>(CUpdateFileData::Instance().ini_items.size())) {}

CInstallIni::~CInstallIni() { Stop(); }

void CInstallIni::Start() {
  Log("CInstallIni::InitInstance()");
  CTaskThread::Start();
}

void CInstallIni::OnEnd() { Log("CInstallIni::ExitInstance()"); }

void CInstallIni::OnMessage(const Message& message) {
  const auto& items = CUpdateFileData::Instance().ini_items;
  if (message.id == WMU_INSTALL_PART_START) {
    index_ = 0;
    running_ = true;
    progress_ = InstallProgress{};
  } else if (message.id == WMU_NEXT_SECTION && running_) {
    ++index_;
  } else {
    return;
  }
  if (index_ >= items.size()) {
    running_ = false;
    PostToOwner(MakeMessage(WMU_INSTALL_PART_DONE, INSTALL_PART_INI));
    return;
  }
  ProcessItem();
}

void CInstallIni::ProcessItem() {
  progress_.item = CLanguage::Instance().GetText(IDS_ACTION_INI);
  progress_.item_total = 1;
  progress_.item_done = 0;
  PostProgress();

  std::string error = WriteItem();
  if (!error.empty()) PostToOwner(MakeMessage(WMU_ERROR, ERROR_WRITE_FAILED, 0, error));

  progress_.cumulative_done += 1;
  progress_.item_done = 1;
  PostProgress();
  PostToSelf(MakeMessage(WMU_NEXT_SECTION));
}

std::string CInstallIni::WriteItem() {
  const CIniData& item = CUpdateFileData::Instance().ini_items[index_];
  const std::string path = platform::NormalizeSeparators(item.location);

  std::string folder = FolderOfFile(path);
  if (!folder.empty() && !platform::FolderExists(folder)) {
    platform::Status status = journal_.RecordFolderCreate(folder);
    if (status) status = platform::CreateFolders(folder);
    if (!status) {
      Log("ini: cannot create the folder " + folder + ": " + status.message());
      return progress_.item;
    }
  }

  platform::Status recorded = journal_.RecordIniValue(path, item.group, item.key);
  if (!recorded) {
    Log("ini: cannot record the change of " + path + ": " + recorded.message());
    return FileNameOf(path);
  }
  if (!WriteIniValue(path, item.group, item.key, item.value)) {
    Log("ini: cannot write [" + item.group + "] " + item.key + " to " + path);
    return FileNameOf(path);
  }
  return {};
}

void CInstallIni::PostProgress() {
  Message message = MakeMessage(WMU_INSTALL_PROGRESS);
  message.payload = progress_;
  PostToOwner(std::move(message));
}
