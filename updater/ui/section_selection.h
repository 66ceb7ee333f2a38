#pragma once
// Between the update file's sections and the selection page: which sections
// are offered, what is shown of one, and where the person's choice is kept.

#include <string>
#include <vector>

#include "updater/description/update_file_data.h"
#include "updater/ui/wizard_view.h"

class CInstalledSections;

// The rows the selection page offers: every section without a parent whose
// version is newer than the installed one, in file order, labelled with its
// title, checked as the file says and disabled when the file says so.
std::vector<SectionRow> OfferedSections(const std::vector<CSectionData>& sections,
                                        const CInstalledSections& installed);

// The first section with this title; nullptr when there is none.
const CSectionData* FindSectionByTitle(const std::vector<CSectionData>& sections,
                                       const std::string& title);

// What the page shows of a section; the link is its address (empty: hidden).
SectionDetails DetailsOf(const CSectionData& section, const std::string& more_info_text);

// Every section whose title is a row's title takes that row's check state;
// sections that are no row keep their selection.
void StoreSelection(const std::vector<SectionRow>& rows, std::vector<CSectionData>& sections);
