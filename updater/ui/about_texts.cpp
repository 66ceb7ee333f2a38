#include "updater/ui/about_texts.h"

#include <optional>

#include "updater/core/language.h"
#include "updater/core/language_ids.h"
#include "updater/core/text.h"
#include "updater/core/updater_version.h"
#include "updater/description/self_update_info.h"
#include "updater/ui/link_address.h"

AboutTexts MakeAboutTexts() {
  const CLanguage& language = CLanguage::Instance();
  AboutTexts texts;
  texts.caption = language.GetText(IDS_ABOUT_TITLE);
  texts.website_label = language.GetText(IDS_ABOUT_WEBSITE);
  // The updater publishes no web address of its own.
  texts.website_address = "";
  texts.updater_version_label = language.GetText(IDS_ABOUT_UPDATERVERSION);
  texts.updater_version = CSelfUpdateInfo::OwnUpdaterVersionText();
  texts.language_version_label = language.GetText(IDS_ABOUT_LANGUAGEVERSION);
  texts.language_version = UPDATER_VERSION;
  texts.language_used_label = language.GetText(IDS_ABOUT_LANGUAGEUSED);
  texts.language_used =
      LanguageUsedText(language.GetLanguageName(), language.GetText(IDS_ABOUT_TRANSLATEDBY),
                       language.GetTranslator());
  texts.special_thanks_label = language.GetText(IDS_ABOUT_SPECIALTHANKS);
  texts.thanks_name_header = language.GetText(IDS_ABOUT_THANKS_NAME);
  texts.thanks_reason_header = language.GetText(IDS_ABOUT_THANKS_REASON);
  texts.ok_label = language.GetText(IDS_GENERAL_OK);
  return texts;
}

std::string LanguageUsedText(std::string_view language_name, std::string_view translated_by,
                             std::string_view translator) {
  std::string name = TrimWhitespace(language_name);
  if (name.empty()) name = kLanguageEnglishDefault;
  const std::string by = TrimWhitespace(translator);
  if (by.empty()) return name;
  return FillPlaceholders("%s, %s %s", {name, translated_by, by});
}

std::vector<AboutRow> AboutRows(const AboutTexts& texts) {
  std::vector<AboutRow> rows;
  if (const std::optional<std::string> address = OpenableLinkAddress(texts.website_address))
    rows.push_back({texts.website_label, *address, true});
  rows.push_back({texts.updater_version_label, texts.updater_version, false});
  rows.push_back({texts.language_version_label, texts.language_version, false});
  rows.push_back({texts.language_used_label, texts.language_used, false});
  return rows;
}
