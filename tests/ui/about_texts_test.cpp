#include "updater/ui/about_texts.h"

#include <gtest/gtest.h>

#include "updater/core/language.h"

TEST(AboutTexts, NameTheVersionsAndTheLanguageUsed) {
  CLanguage::ResetInstance();
  const AboutTexts texts = MakeAboutTexts();
  EXPECT_EQ(texts.caption, "About Updater");
  EXPECT_EQ(texts.language_version, "0.8.1.5");
  EXPECT_EQ(texts.updater_version, "0.8.1.5");
  const CLanguage& language = CLanguage::Instance();
  EXPECT_EQ(texts.language_used,
            language.GetLanguageName() + ", translated by " + language.GetTranslator());
  EXPECT_EQ(texts.thanks_name_header, "Name");
  EXPECT_EQ(texts.ok_label, "OK");
}
