#include "updater/ui/about_texts.h"

#include "updater/core/language.h"
#include "updater/core/language_ids.h"
#include "updater/core/text.h"
#include "updater/core/updater_version.h"
#include "updater/description/self_update_info.h"

AboutTexts MakeAboutTexts() {
  const CLanguage& language = CLanguage::Instance();
  AboutTexts texts;
  texts.caption = language.GetText(IDS_ABOUT_TITLE);
  texts.website_label = language.GetText(IDS_ABOUT_WEBSITE);
  texts.updater_version_label = language.GetText(IDS_ABOUT_UPDATERVERSION);
  texts.updater_version = CSelfUpdateInfo::OwnUpdaterVersionText();
  texts.language_version_label = language.GetText(IDS_ABOUT_LANGUAGEVERSION);
  texts.language_version = UPDATER_VERSION;
  texts.language_used_label = language.GetText(IDS_ABOUT_LANGUAGEUSED);
  texts.language_used = FillPlaceholders(
      "%s, %s %s", {language.GetLanguageName(), language.GetText(IDS_ABOUT_TRANSLATEDBY),
                    language.GetTranslator()});
  texts.special_thanks_label = language.GetText(IDS_ABOUT_SPECIALTHANKS);
  texts.thanks_name_header = language.GetText(IDS_ABOUT_THANKS_NAME);
  texts.thanks_reason_header = language.GetText(IDS_ABOUT_THANKS_REASON);
  texts.ok_label = language.GetText(IDS_GENERAL_OK);
  return texts;
}
