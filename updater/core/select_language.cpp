#include "updater/core/select_language.h"

#include <algorithm>

#include "platform/file_system.h"
#include "platform/path.h"
#include "updater/core/language.h"
#include "updater/core/text.h"
#include "updater/core/updater_settings.h"

namespace {

bool IsLanguageFileName(const std::string& name) {
  constexpr std::string_view kExtension = ".xml";
  if (name.size() <= kExtension.size()) return false;
  // The name goes into the settings file later: no control characters.
  for (char c : name)
    if (static_cast<unsigned char>(c) < 0x20) return false;
  return EqualsNoCase(std::string_view(name).substr(name.size() - kExtension.size()), kExtension);
}

}  // namespace

std::string LanguageFileTitle(const std::string& path) {
  std::string title = platform::FileNameOf(path);
  if (auto dot = title.rfind('.'); dot != std::string::npos) title.erase(dot);
  return title;
}

std::vector<LanguageChoice> FindLanguageFiles(CLanguage& language, const std::string& folder) {
  std::vector<LanguageChoice> found;
  std::string prefix = folder;
  if (!prefix.empty() && !platform::IsPathSeparator(prefix.back()))
    prefix += platform::PathSeparator();
  if (auto names = platform::ListFolder(prefix.empty() ? "." : prefix)) {
    std::sort(names->begin(), names->end());
    for (const auto& name : *names) {
      if (found.size() >= kMaxListedLanguages) break;
      if (!IsLanguageFileName(name)) continue;
      const std::string path = prefix + name;
      if (language.LoadLanguageFile(path, "", false))
        found.push_back({LanguageFileTitle(path), language.GetLanguageName()});
    }
  }
  language.ClearLanguage();
  return found;
}

LanguageList BuildLanguageList(const std::vector<LanguageChoice>& found) {
  LanguageList list;
  list.items.push_back({kDefaultLanguageName, kEnglishOriginal});
  list.items.insert(list.items.end(), found.begin(), found.end());
  std::stable_sort(list.items.begin(), list.items.end(),
                   [](const LanguageChoice& a, const LanguageChoice& b) {
                     return ToLower(a.display_name) < ToLower(b.display_name);
                   });
  for (std::size_t i = 0; i < list.items.size(); ++i) {
    if (list.items[i].display_name == kEnglishOriginal) {
      list.english_index = i;
      break;
    }
  }
  return list;
}

std::string ChosenLanguageName(const std::vector<LanguageChoice>& found, const std::string& text) {
  std::string chosen = kDefaultLanguageName;
  for (const auto& entry : found)
    if (entry.display_name == text) chosen = entry.name;
  return chosen;
}

std::optional<std::string> CSelectLanguage::Run(const std::string& folder) {
  const std::vector<LanguageChoice> found = FindLanguageFiles(language_, folder);
  const LanguageList list = BuildLanguageList(found);
  std::optional<LanguageSelection> answer = dialogs_.ChooseLanguage(list.items, list.english_index);
  if (!answer || answer->index >= list.items.size()) return std::nullopt;

  const std::string chosen = ChosenLanguageName(found, list.items[answer->index].display_name);
  settings_.MutableValues().language = chosen;
  if (answer->remember && !settings_.ChosenFile().empty())
    WriteSettingsValue(settings_.ChosenFile(), "UPDATER", "language", chosen);
  return chosen;
}
