#include "updater/description/update_file_data.h"

#include "updater/core/overloaded.h"

CUpdateFileData& CUpdateFileData::Instance() {
  static CUpdateFileData instance;
  return instance;
}

void CUpdateFileData::ResetInstance() { Instance() = CUpdateFileData(); }

std::string_view FileActionTypeName(const FileAction& action) {
  return std::visit(
      Overloaded{
          [](const CFileActionDownload&) { return std::string_view(kFileActionDownload); },
          [](const CFileActionCopy&) { return std::string_view(kFileActionCopy); },
          [](const CFileActionDelete&) { return std::string_view(kFileActionDelete); },
          [](const CFileActionRun&) { return std::string_view(kFileActionRun); },
          [](const CFileActionUnzip&) { return std::string_view(kFileActionUnzip); },
          [](const CFileActionSetFileAttr&) { return std::string_view(kFileActionSetFileAttr); },
          [](const CFileActionRegister&) { return std::string_view(kFileActionRegister); },
      },
      action);
}
