#pragma once
// The language-selection dialog apart from its window: the language files on
// offer, the list the dialog shows, and what the choice changes.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "updater/core/dialog_service.h"

class CLanguage;
class CUpdaterSettings;

// The item of the built-in English texts.
inline constexpr char kEnglishOriginal[] = "English (original)";
// The language name the English item stands for.
inline constexpr char kDefaultLanguageName[] = "default";
// Most language files the dialog lists.
inline constexpr std::size_t kMaxListedLanguages = 128;

// The file name without folder and after its last "." cut off ("lng/german.xml" -> "german").
std::string LanguageFileTitle(const std::string& path);

// The language files of the folder ("*.xml", in name order) that load with an
// accepted version, as (file title, LANGUAGE text), at most kMaxListedLanguages.
// Each is loaded into `language` without messages; `language` is cleared afterwards.
std::vector<LanguageChoice> FindLanguageFiles(CLanguage& language, const std::string& folder);

// The items of the drop-down list: kEnglishOriginal and every display name,
// sorted alphabetically without regard to case.
struct LanguageList {
  std::vector<LanguageChoice> items;
  std::size_t english_index = 0;  // the item selected when the dialog opens
};
LanguageList BuildLanguageList(const std::vector<LanguageChoice>& found);

// The language name for the text of the chosen item: the file title of the
// last found language with exactly that display name, else "default".
std::string ChosenLanguageName(const std::vector<LanguageChoice>& found, const std::string& text);

class CSelectLanguage {
 public:
  CSelectLanguage(CLanguage& language, CUpdaterSettings& settings, IDialogService& dialogs)
      : language_(language), settings_(settings), dialogs_(dialogs) {}

  // Lists the language files of `folder`, shows the dialog and applies the
  // choice: the settings value LANGUAGE becomes the chosen name and, when
  // "Remember my preference" was checked, it is written to group UPDATER, key
  // "language" of the settings file in use. Returns the chosen name, or nullopt
  // when the dialog was closed without a choice (nothing changes then).
  std::optional<std::string> Run(const std::string& folder);

 private:
  CLanguage& language_;
  CUpdaterSettings& settings_;
  IDialogService& dialogs_;
};
