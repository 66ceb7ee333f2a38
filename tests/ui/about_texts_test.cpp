#include "updater/ui/about_texts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "updater/core/language.h"

TEST(AboutTexts, NameTheVersionsAndTheLanguageUsed) {
  CLanguage::ResetInstance();
  const AboutTexts texts = MakeAboutTexts();
  EXPECT_EQ(texts.caption, "About Updater");
  EXPECT_EQ(texts.language_version, "0.8.1.5");
  EXPECT_EQ(texts.updater_version, "0.8.1.5");
  const CLanguage& language = CLanguage::Instance();
  EXPECT_EQ(texts.language_used, LanguageUsedText(language.GetLanguageName(), "translated by",
                                                  language.GetTranslator()));
  EXPECT_EQ(texts.thanks_name_header, "Name");
  EXPECT_EQ(texts.ok_label, "OK");
}

TEST(AboutTexts, TheLanguageUsedNamesOnlyWhatIsKnown) {
  const struct {
    const char* name;
    const char* translator;
    const char* expected;
  } cases[] = {
      {"Deutsch", "Anna Berg", "Deutsch, translated by Anna Berg"},
      {"Deutsch", "", "Deutsch"},
      {"Deutsch", "  ", "Deutsch"},
      {"", "", "English (default)"},
      {"", "Anna Berg", "English (default), translated by Anna Berg"},
      {"English (default)", "", "English (default)"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(LanguageUsedText(c.name, "translated by", c.translator), c.expected)
        << c.name << "|" << c.translator;
}

TEST(AboutTexts, WithNoLanguageFileNothingDanglesAfterTheLanguage) {
  CLanguage::ResetInstance();
  const AboutTexts texts = MakeAboutTexts();
  EXPECT_EQ(texts.language_used.find("translated by"), std::string::npos) << texts.language_used;
  EXPECT_FALSE(texts.language_used.empty());
  EXPECT_NE(texts.language_used.front(), ',');
}

std::vector<std::string> Labels(const std::vector<AboutRow>& rows) {
  std::vector<std::string> labels;
  for (const AboutRow& row : rows) labels.push_back(row.label);
  return labels;
}

TEST(AboutTexts, TheWebsiteRowIsALinkToAnAddressThatOpensOrNotThereAtAll) {
  CLanguage::ResetInstance();
  AboutTexts texts = MakeAboutTexts();
  // The updater publishes no web address: no row that opens nothing.
  EXPECT_EQ(texts.website_address, "");
  EXPECT_EQ(
      Labels(AboutRows(texts)),
      (std::vector<std::string>{"Updater version:", "Language pack version:", "Language used:"}));
  for (const AboutRow& row : AboutRows(texts)) EXPECT_FALSE(row.link) << row.label;

  const struct {
    const char* address;
    bool shown;
  } cases[] = {
      {"https://velmora.example/updater", true},
      {"http://velmora.example/", true},
      {"javascript:alert(1)", false},
      {"file:///etc/passwd", false},
      {"https://", false},
      {"", false},
  };
  for (const auto& c : cases) {
    texts.website_address = c.address;
    const std::vector<AboutRow> rows = AboutRows(texts);
    ASSERT_EQ(rows.size(), c.shown ? 4u : 3u) << c.address;
    if (!c.shown) continue;
    EXPECT_EQ(rows[0].label, "Website:");
    EXPECT_EQ(rows[0].value, c.address);
    EXPECT_TRUE(rows[0].link);
  }
}
