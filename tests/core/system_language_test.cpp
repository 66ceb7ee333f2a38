#include "updater/core/system_language.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "updater/core/language.h"

namespace {

EnvironmentLookup FakeEnvironment(std::map<std::string, std::string> values) {
  return [values = std::move(values)](const std::string& name) -> std::optional<std::string> {
    auto it = values.find(name);
    if (it == values.end()) return std::nullopt;
    return it->second;
  };
}

}  // namespace

TEST(SystemLanguage, MapsLocaleNamesToLanguageIds) {
  struct Case {
    const char* locale;
    std::uint16_t id;
  } cases[] = {
      {"de_AT", 0x0C07},
      {"de_DE", 0x0407},
      {"de_CH.UTF-8", 0x0807},
      {"de", 0x0407},
      {"de_BE", 0x0407},
      {"pt_PT", 0x0816},
      {"pt_BR.UTF-8", 0x0416},
      {"fr_CA.utf8", 0x0C0C},
      {"fr-BE", 0x080C},
      {"fr_CH", 0x100C},
      {"fr_FR@euro", 0x040C},
      {"nl_BE", 0x0813},
      {"nl_NL", 0x0413},
      {"es_ES", 0x0C0A},
      {"es_MX", 0x080A},
      {"it_CH", 0x0810},
      {"nb_NO", 0x0414},
      {"nn_NO", 0x0814},
      {"cs_CZ", 0x0405},
      {"da_DK", 0x0406},
      {"fi_FI", 0x040B},
      {"el_GR", 0x0408},
      {"hu_HU", 0x040E},
      {"is_IS", 0x040F},
      {"pl_PL", 0x0415},
      {"ru_RU.KOI8-R", 0x0419},
      {"sk_SK", 0x041B},
      {"sv_SE", 0x041D},
      {"tr_TR", 0x041F},
      {"en_US.UTF-8", 0x0409},
      {"en_GB", 0x0809},
      {"en_AU", 0x0C09},
      {"en_CA", 0x1009},
      {"en_IE", 0x1809},
      {"EN_gb", 0x0809},
      {"sr_RS", 0x281A},
      {"sr_RS@latin", 0x241A},
      {"C", 0x0409},
      {"POSIX", 0x0409},
      {"C.UTF-8", 0x0409},
      {"", 0x0409},
      {"xx_YY", 0x0409},
  };
  for (const auto& c : cases)
    EXPECT_EQ(LocaleToLanguageId(c.locale), c.id) << "locale " << c.locale;
}

TEST(SystemLanguage, EveryIdentifierOfTheLanguageTableIsReachable) {
  CLanguage language;
  const char* locales[] = {
      "cs_CZ", "da_DK", "nl_NL", "nl_BE", "fi_FI", "fr_FR", "fr_BE", "fr_CA", "fr_CH",
      "de_DE", "de_CH", "de_AT", "el_GR", "hu_HU", "is_IS", "it_IT", "it_CH", "nb_NO",
      "nn_NO", "pl_PL", "pt_BR", "ru_RU", "sk_SK", "es_MX", "es_ES", "sv_SE", "tr_TR",
  };
  std::set<std::uint16_t> reached;
  for (const char* locale : locales) reached.insert(LocaleToLanguageId(locale));
  for (const auto& entry : language.SystemLanguages()) {
    for (std::uint16_t id : entry.lang_ids) {
      if (id == 0x040A) continue;  // Spanish with the traditional sort has no locale of its own
      EXPECT_TRUE(reached.count(id)) << entry.name << " " << std::hex << id;
    }
  }
}

TEST(SystemLanguage, TakesTheFirstNonEmptyVariableLikeTheCLibrary) {
  struct Case {
    std::map<std::string, std::string> env;
    std::uint16_t id;
  } cases[] = {
      {{{"LC_ALL", "de_AT.UTF-8"}, {"LC_MESSAGES", "fr_FR"}, {"LANG", "en_GB"}}, 0x0C07},
      {{{"LC_ALL", ""}, {"LC_MESSAGES", "fr_CA"}, {"LANG", "en_GB"}}, 0x0C0C},
      {{{"LC_MESSAGES", ""}, {"LANG", "pt_BR.UTF-8"}}, 0x0416},
      {{{"LANG", "en_GB"}}, 0x0809},
      {{{"LC_ALL", "C"}, {"LANG", "de_DE"}}, 0x0409},
      {{}, 0x0409},
  };
  for (const auto& c : cases) EXPECT_EQ(SystemLanguageId(FakeEnvironment(c.env)), c.id);
  EXPECT_EQ(MessagesLocale(FakeEnvironment({{"LC_MESSAGES", "sv_FI"}})), "sv_FI");
}
