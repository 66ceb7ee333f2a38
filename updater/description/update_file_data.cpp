#include "updater/description/update_file_data.h"

CUpdateFileData& CUpdateFileData::Instance() {
  static CUpdateFileData instance;
  return instance;
}

void CUpdateFileData::ResetInstance() { Instance() = CUpdateFileData(); }
