#pragma once
// The texts of the About box, from the language texts and the program's own
// version.

#include <string>

struct AboutTexts {
  std::string caption;
  std::string website_label;
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
