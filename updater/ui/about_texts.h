#pragma once
// The texts of the About box, from the language texts and the program's own
// version.

#include <string>
#include <string_view>
#include <vector>

struct AboutTexts {
  std::string caption;
  std::string website_label;
  // The web address the website row opens; empty when there is none, and
  // then the box has no website row.
  std::string website_address;
  std::string updater_version_label;
  std::string updater_version;  // the version compiled into the program
  std::string language_version_label;
  std::string language_version;  // the oldest language-file version accepted
  std::string language_used_label;
  std::string language_used;  // "<language>, translated by <translator>"
  std::string special_thanks_label;
  std::string thanks_name_header;
  std::string thanks_reason_header;
  std::string ok_label;
};

AboutTexts MakeAboutTexts();

// "<language>, <translated by> <translator>", naming only what is known: the
// language alone when the translator is blank, the built-in English when no
// language file gave a name.
std::string LanguageUsedText(std::string_view language_name, std::string_view translated_by,
                             std::string_view translator);

// A labelled row of the box: the version fields and, when its address may be
// opened, the website as a link.
struct AboutRow {
  std::string label;
  std::string value;
  bool link = false;  // value is an address to open when clicked
};

// The rows in the order they are shown.
std::vector<AboutRow> AboutRows(const AboutTexts& texts);
