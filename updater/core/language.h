#pragma once
// The updater's texts: one process-wide object answers every text request by
// identifier, from the loaded language file when it has the text and from the
// built-in English table otherwise.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "updater/core/language_ids.h"
#include "updater/core/updater_version.h"

class CXmlDocument;

// The name of the language when no language file is in use.
inline constexpr char kLanguageEnglishDefault[] = "English (default)";
// The name after a language file was refused at start-up for its version.
inline constexpr char kLanguageEnglish[] = "english";
// Longest text taken from a language file, in UTF-16 code units; longer texts
// are cut so that a broken or hostile file cannot flood a window.
inline constexpr std::size_t kMaxLanguageTextUnits = 4096;

// One row of the system-language table: a language name (also the file name of
// its language file without ".xml") and its Windows language identifiers.
struct SystemLanguageEntry {
  std::string name;
  std::vector<std::uint16_t> lang_ids;
};
inline constexpr std::size_t kMaxSystemLanguages = 100;
inline constexpr std::size_t kMaxLangIdsPerLanguage = 10;

class CLanguage {
 public:
  // The process-wide object, created empty on first use.
  static CLanguage& Instance();
  // Replaces the process-wide object by a new empty one (tests). No other
  // thread may use the object meanwhile.
  static void ResetInstance();

  CLanguage();
  ~CLanguage();
  CLanguage(const CLanguage&) = delete;
  CLanguage& operator=(const CLanguage&) = delete;

  // The text of an identifier: from the language file in use when it holds a
  // non-empty element of the identifier's key (the two characters "\n" become a
  // line break), else the built-in English text, else "".
  //
  // The result may come from a file and must never be used as a format string:
  // fill its "%s" and "%d" with FillPlaceholders (updater/core/text.h).
  // Safe to call from several threads at once.
  std::string GetText(std::int32_t id) const;
  // The same by key ("IDS_GENERAL_OK"); a key the updater does not know gives "".
  std::string GetText(std::string_view key) const;

  // Loads a language file. True when it was read, its header is complete and
  // its version is not older than UPDATER_VERSION. With report_errors, a file
  // that is too old is reported in an error message box (DialogService) and the
  // language name becomes "english".
  bool LoadLanguageFile(const std::string& path, const std::string& requested_name,
                        bool report_errors);
  // Loads the file of a language name from the "lng" folder beside the updater
  // (LanguageFilePath), reporting errors. A name that is not a plain file name
  // (empty, with a separator, "." or "..") is treated as a missing file.
  bool LoadLanguageByName(const std::string& name);
  // Looks the identifier up in the system-language table. On a match the file
  // of that language is loaded (reporting errors) and the result is true
  // whatever the load gave; otherwise the built-in texts stay, the language
  // name becomes "English (default)" and the result is false.
  bool SelectLanguageByLangId(std::uint16_t lang_id);
  // Drops the loaded file: names empty, built-in texts only.
  void ClearLanguage();

  std::string GetLanguageName() const;
  std::string GetTranslator() const;
  std::string GetLanguageVersion() const;
  // True while a language file's texts are used.
  bool InUse() const;

  const std::vector<SystemLanguageEntry>& SystemLanguages() const { return system_languages_; }

 private:
  void ClearLocked();
  bool ReadHeaderLocked();

  mutable std::mutex mutex_;  // guards everything below but the table
  std::string language_name_;
  std::string translator_;
  std::string language_version_;
  std::unique_ptr<CXmlDocument> document_;  // positioned inside DATA while in use
  bool in_use_ = false;
  std::vector<SystemLanguageEntry> system_languages_;  // filled once, then only read
};

// The folder of the language files: the %updater% entry + "lng" + separator.
std::string LanguageFolder();
// The path of a language's file: LanguageFolder() + name + ".xml". When that
// file does not exist but the folder holds one whose name differs only in case,
// that one's path is returned (names from settings files are lower case).
std::string LanguageFilePath(const std::string& name);
// The message shown when a language file is older than UPDATER_VERSION.
std::string WrongLanguageVersionMessage(const std::string& file_version);
