#include "updater/description/installed_sections.h"

#include "updater/core/text.h"
#include "updater/core/updater_paths.h"
#include "updater/core/updater_settings.h"
#include "updater/description/read_text_file.h"
#include "updater/description/versions.h"
#include "updater/description/xml_document.h"

namespace {
constexpr char kDeclaration[] = "<?xml version=\"1.0\" ?>";
}  // namespace

CInstalledSections& CInstalledSections::Instance() {
  static CInstalledSections instance;
  return instance;
}

void CInstalledSections::ResetInstance() { Instance().Clear(); }

void CInstalledSections::Load(const std::string& path) {
  CXmlDocument document;
  document.SetDocument(ReadTextFile(path));
  if (!document.FindElement("SECTIONS") || !document.EnterElement()) return;
  std::size_t read = 0;
  while (read < kMaxFileEntries && document.FindElement("SECTION")) {
    entries_.push_back({document.GetAttribute("name"), document.GetAttribute("version")});
    ++read;
  }
}

std::string CInstalledSections::GetVersion(std::string_view name) const {
  std::string key = ToLower(name);
  for (const InstalledSection& entry : entries_)
    if (entry.name == key) return entry.version;
  return kNoFileVersion;
}

void CInstalledSections::SetVersion(std::string_view name, std::string_view version) {
  std::string key = ToLower(name);
  for (InstalledSection& entry : entries_) {
    if (entry.name == key) {
      entry.version = std::string(version);
      return;
    }
  }
  entries_.push_back({std::move(key), std::string(version)});
}

bool CInstalledSections::Save(const std::string& path) const {
  if (entries_.empty()) return true;
  CXmlDocument document;
  document.SetDocument(kDeclaration);
  if (!document.AddElement("SECTIONS") || !document.EnterElement()) return false;
  for (const InstalledSection& entry : entries_) {
    if (!document.AddElement("SECTION") || !document.SetAttribute("name", entry.name) ||
        !document.SetAttribute("version", entry.version))
      return false;
  }
  return document.SaveToFile(path);
}

std::string InstalledSectionsFileName(std::string_view application_name) {
  return "sections_" + FolderComponent(std::string(application_name)) + ".xml";
}

std::string InstalledSectionsPath() {
  return CollapseSeparators(CUpdaterPaths::Instance().Entry(kPathUpdater) +
                            InstalledSectionsFileName(CUpdaterSettings::Instance().Values().name));
}
