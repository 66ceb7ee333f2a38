#include "updater/core/select_language.h"

#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/temp_folder.h"
#include "updater/core/language.h"
#include "updater/core/text.h"
#include "updater/core/updater_settings.h"

namespace {

std::string LanguageFile(std::string_view name, std::string_view version) {
  return "<UPDATERLANGUAGE><INFO><LANGUAGE>" + std::string(name) + "</LANGUAGE><VERSION>" +
         std::string(version) +
         "</VERSION><TRANSLATOR>T</TRANSLATOR></INFO><DATA><IDS_GENERAL_NEXT>x</"
         "IDS_GENERAL_NEXT></DATA></UPDATERLANGUAGE>";
}

// Answers the language dialog with the item of a given display name, or closes it.
class FakeDialogs : public IDialogService {
 public:
  void ShowError(const ErrorDialogRequest&) override {}
  MessageBoxAnswer ShowMessageBox(const MessageBoxRequest&) override {
    ++message_boxes;
    return MessageBoxAnswer::kOk;
  }
  std::optional<std::size_t> SelectLanguage(const std::vector<LanguageChoice>&,
                                            std::size_t) override {
    return std::nullopt;
  }
  std::optional<LanguageSelection> ChooseLanguage(const std::vector<LanguageChoice>& choices,
                                                  std::size_t preselected) override {
    shown = choices;
    shown_preselected = preselected;
    if (!answer) return std::nullopt;
    for (std::size_t i = 0; i < choices.size(); ++i)
      if (choices[i].display_name == *answer) return LanguageSelection{i, remember};
    return std::nullopt;
  }

  std::optional<std::string> answer;  // display name to choose; nullopt = Esc
  bool remember = false;
  std::vector<LanguageChoice> shown;
  std::size_t shown_preselected = 99;
  int message_boxes = 0;
};

std::vector<std::string> DisplayNames(const std::vector<LanguageChoice>& choices) {
  std::vector<std::string> names;
  for (const auto& c : choices) names.push_back(c.display_name);
  return names;
}

class SelectLanguageDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    settings_file_ = folder_.Write("settings.ini", "[UPDATER]\nRUNMODE=silent\nLANGUAGE=user\n");
    settings_.SetChosenFile(settings_file_);
    settings_.MutableValues().language = "user";
    lng_ = folder_ / "lng";
    folder_.Write("lng/german.xml", LanguageFile("Deutsch", "0.8.1.5"));
    folder_.Write("lng/old.xml", LanguageFile("Alt", "0.7"));
    folder_.Write("lng/spanish.xml", LanguageFile("espa\xC3\xB1ol", "0.9"));
    folder_.Write("lng/broken.xml", "<UPDATERLANGUAGE>");
    folder_.Write("lng/notes.txt", LanguageFile("Text", "0.8.1.5"));
    folder_.Write("lng/empty.xml", LanguageFile("", "0.8.1.5"));
  }

  std::string SettingsText() { return folder_.Read("settings.ini"); }

  TempFolder folder_;
  std::string settings_file_;
  std::string lng_;
  CUpdaterSettings settings_;
  CLanguage language_;
  FakeDialogs dialogs_;
};

}  // namespace

TEST(SelectLanguageLogic, FileTitleAndChosenName) {
  struct TitleCase {
    const char* path;
    const char* title;
  } titles[] = {
      {"/opt/app/lng/german.xml", "german"},
      {"C:\\app\\lng\\french.xml", "french"},
      {"german.xml", "german"},
      {"a.b.xml", "a.b"},
      {"/x/noext", "noext"},
  };
  for (const auto& c : titles) EXPECT_EQ(LanguageFileTitle(c.path), c.title) << c.path;

  const std::vector<LanguageChoice> found = {
      {"german", "Deutsch"}, {"austrian", "Deutsch"}, {"empty", ""}, {"dutch", "Nederlands"}};
  struct ChosenCase {
    const char* text;
    const char* name;
  } chosen[] = {
      {"Deutsch", "austrian"},  // a later equal display name wins
      {"Nederlands", "dutch"}, {"English (original)", "default"},
      {"", "empty"},           {"deutsch", "default"},
  };
  for (const auto& c : chosen) EXPECT_EQ(ChosenLanguageName(found, c.text), c.name) << c.text;
}

TEST(SelectLanguageLogic, ListIsSortedWithTheEnglishItemPreselected) {
  const LanguageList list =
      BuildLanguageList({{"german", "Deutsch"}, {"dutch", "nederlands"}, {"czech", "Cesky"}});
  EXPECT_EQ(DisplayNames(list.items),
            (std::vector<std::string>{"Cesky", "Deutsch", "English (original)", "nederlands"}));
  EXPECT_EQ(list.english_index, 2u);
  EXPECT_EQ(list.items[2].name, "default");
}

TEST_F(SelectLanguageDialog, ListsOnlyAcceptedLanguageFilesAndClearsTheLanguage) {
  const auto found = FindLanguageFiles(language_, lng_);
  ASSERT_EQ(found.size(), 3u);
  EXPECT_EQ(found[0].name, "empty");
  EXPECT_EQ(found[0].display_name, "");
  EXPECT_EQ(found[1].name, "german");
  EXPECT_EQ(found[1].display_name, "Deutsch");
  EXPECT_EQ(found[2].name, "spanish");
  EXPECT_FALSE(language_.InUse());
  EXPECT_EQ(language_.GetLanguageName(), "");
  EXPECT_EQ(dialogs_.message_boxes, 0);
}

TEST_F(SelectLanguageDialog, ListsAtMostTheLimitOfLanguages) {
  TempFolder many;
  const std::string content = LanguageFile("L", "0.8.1.5");
  for (std::size_t i = 0; i < kMaxListedLanguages + 5; ++i)
    std::ofstream(many / ("l" + std::to_string(1000 + i) + ".xml")) << content;
  EXPECT_EQ(FindLanguageFiles(language_, many.path()).size(), kMaxListedLanguages);
}

TEST_F(SelectLanguageDialog, AppliesTheChoice) {
  struct Case {
    const char* name;
    std::optional<std::string> answer;
    bool remember;
    std::optional<std::string> chosen;
    const char* setting;
    bool written;
  } cases[] = {
      {"language, remembered", "Deutsch", true, "german", "german", true},
      {"language, not remembered", "Deutsch", false, "german", "german", false},
      {"English", "English (original)", true, "default", "default", true},
      {"empty display name", "", false, "empty", "empty", false},
      {"Esc", std::nullopt, true, std::nullopt, "user", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    dialogs_.answer = c.answer;
    dialogs_.remember = c.remember;
    CSelectLanguage select(language_, settings_, dialogs_);
    EXPECT_EQ(select.Run(lng_), c.chosen);
    EXPECT_EQ(DisplayNames(dialogs_.shown),
              (std::vector<std::string>{"", "Deutsch", "English (original)", "espa\xC3\xB1ol"}));
    EXPECT_EQ(dialogs_.shown_preselected, 2u);
    EXPECT_EQ(settings_.Values().language, c.setting);
    const std::string text = SettingsText();
    EXPECT_NE(text.find("RUNMODE=silent"), std::string::npos) << text;
    if (c.written) {
      EXPECT_NE(ToLower(text).find("language=" + std::string(c.setting)), std::string::npos)
          << text;
      EXPECT_EQ(ToLower(text).find("language=user"), std::string::npos) << text;
    } else {
      EXPECT_NE(text.find("LANGUAGE=user"), std::string::npos) << text;
    }
  }
}

TEST_F(SelectLanguageDialog, WithoutLanguageFolderOnlyEnglishIsOffered) {
  dialogs_.answer = "English (original)";
  CSelectLanguage select(language_, settings_, dialogs_);
  EXPECT_EQ(select.Run(folder_ / "missing"), "default");
  EXPECT_EQ(DisplayNames(dialogs_.shown), (std::vector<std::string>{"English (original)"}));
  EXPECT_EQ(dialogs_.shown_preselected, 0u);
  EXPECT_EQ(settings_.Values().language, "default");
}

TEST_F(SelectLanguageDialog, TheDefaultDialogAnswerNeverRemembers) {
  // A service that only knows SelectLanguage: the check box counts as unchecked.
  struct OnlySelect : FakeDialogs {
    std::optional<LanguageSelection> ChooseLanguage(const std::vector<LanguageChoice>& choices,
                                                    std::size_t preselected) override {
      return IDialogService::ChooseLanguage(choices, preselected);
    }
    std::optional<std::size_t> SelectLanguage(const std::vector<LanguageChoice>&,
                                              std::size_t) override {
      return 1;  // "Deutsch"
    }
  } only_select;
  CSelectLanguage select(language_, settings_, only_select);
  EXPECT_EQ(select.Run(lng_), "german");
  EXPECT_NE(SettingsText().find("LANGUAGE=user"), std::string::npos);
}
