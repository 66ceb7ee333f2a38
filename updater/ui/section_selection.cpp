#include "updater/ui/section_selection.h"

#include "updater/description/installed_sections.h"
#include "updater/description/versions.h"

std::vector<SectionRow> OfferedSections(const std::vector<CSectionData>& sections,
                                        const CInstalledSections& installed) {
  std::vector<SectionRow> rows;
  for (const CSectionData& section : sections) {
    if (!section.parent.empty()) continue;
    if (CompareVersions(section.version, installed.GetVersion(section.name)) != kVersionNewer)
      continue;
    rows.push_back(SectionRow{section.title, 0, section.check, section.enabled});
  }
  return rows;
}

const CSectionData* FindSectionByTitle(const std::vector<CSectionData>& sections,
                                       const std::string& title) {
  for (const CSectionData& section : sections)
    if (section.title == title) return &section;
  return nullptr;
}

SectionDetails DetailsOf(const CSectionData& section, const std::string& more_info_text) {
  return SectionDetails{section.title, section.description, more_info_text, section.url};
}

void StoreSelection(const std::vector<SectionRow>& rows, std::vector<CSectionData>& sections) {
  for (const SectionRow& row : rows)
    for (CSectionData& section : sections)
      if (section.title == row.title) section.selected = row.checked;
}
