#include "updater/description/self_update_info.h"

#include "updater/core/updater_version.h"
#include "updater/description/read_text_file.h"
#include "updater/description/xml_document.h"

CSelfUpdateInfo& CSelfUpdateInfo::Instance() {
  static CSelfUpdateInfo instance;
  return instance;
}

void CSelfUpdateInfo::ResetInstance() { Instance() = CSelfUpdateInfo(); }

std::string CSelfUpdateInfo::OwnUpdaterVersionText() { return UPDATER_VERSION; }

void ReadSelfUpdateFile(const std::string& path, CSelfUpdateInfo& info) {
  CXmlDocument document;
  document.SetDocument(ReadTextFile(path));
  if (!document.FindElement("SELFUPDATE") || !document.EnterElement()) return;
  if (!document.FindElement("VERSION")) return;
  info.version = document.GetContentText();
  if (!document.FindElement("LOCATION")) return;
  info.location = document.GetContentText();
}

bool IsSelfUpdateDue(const CSelfUpdateInfo& info) {
  return info.version != CSelfUpdateInfo::OwnUpdaterVersionText();
}
