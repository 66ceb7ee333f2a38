#include "updater/core/language.h"

#include <algorithm>

#include "platform/file_system.h"
#include "updater/core/dialog_service.h"
#include "updater/core/language_texts.h"
#include "updater/core/text.h"
#include "updater/core/updater_paths.h"
#include "updater/description/read_text_file.h"
#include "updater/description/xml_document.h"

namespace {

std::unique_ptr<CLanguage>& InstanceSlot() {
  static std::unique_ptr<CLanguage> instance;
  return instance;
}

std::mutex& InstanceMutex() {
  static std::mutex mutex;
  return mutex;
}

// The languages that have a language file, by Windows language identifier.
std::vector<SystemLanguageEntry> DefaultSystemLanguages() {
  return {
      {"czech", {0x0405}},
      {"danish", {0x0406}},
      {"dutch", {0x0413, 0x0813}},
      {"finnish", {0x040B}},
      {"french", {0x040C, 0x080C, 0x0C0C, 0x100C}},
      {"german", {0x0407, 0x0807, 0x0C07}},
      {"greek", {0x0408}},
      {"hungarian", {0x040E}},
      {"icelandic", {0x040F}},
      {"italian", {0x0410, 0x0810}},
      {"norwegian", {0x0414, 0x0814}},
      {"polish", {0x0415}},
      {"portuguese", {0x0416}},
      {"russian", {0x0419}},
      {"slovak", {0x041B}},
      {"spanish", {0x040A, 0x080A, 0x0C0A}},
      {"swedish", {0x041D}},
      {"turkish", {0x041F}},
  };
}

// A value read from a language file, bounded in length.
std::string Bounded(const std::string& text) { return TruncateUtf16(text, kMaxLanguageTextUnits); }

// The parts of a dotted version as numbers. The separator is the first of
// ".,_|- " that the text holds; blanks inside a part are dropped.
std::vector<std::int32_t> VersionParts(std::string_view version) {
  char separator = 0;
  for (char c : std::string_view(".,_|- "))
    if (version.find(c) != std::string_view::npos) {
      separator = c;
      break;
    }
  std::vector<std::int32_t> parts;
  std::size_t begin = 0;
  while (true) {
    std::size_t end = separator ? version.find(separator, begin) : std::string_view::npos;
    std::string part(version.substr(begin, end == std::string_view::npos ? end : end - begin));
    part.erase(std::remove(part.begin(), part.end(), ' '), part.end());
    parts.push_back(StringToInt(part));
    if (end == std::string_view::npos) break;
    begin = end + 1;
  }
  return parts;
}

// True when the file's version is older than the updater's, compared part by
// part (missing parts count 0, at most 50 parts).
bool IsOlderVersion(std::string_view file_version, std::string_view updater_version) {
  const auto a = VersionParts(file_version);
  const auto b = VersionParts(updater_version);
  for (std::size_t i = 0; i < 50; ++i) {
    const std::int32_t x = i < a.size() ? a[i] : 0;
    const std::int32_t y = i < b.size() ? b[i] : 0;
    if (x != y) return x < y;
  }
  return false;
}

bool IsPlainFileName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (char c : name)
    if (c == '\0' || platform::IsPathSeparator(c)) return false;
  return true;
}

}  // namespace

CLanguage& CLanguage::Instance() {
  std::lock_guard lock(InstanceMutex());
  auto& slot = InstanceSlot();
  if (!slot) slot = std::make_unique<CLanguage>();
  return *slot;
}

void CLanguage::ResetInstance() {
  std::lock_guard lock(InstanceMutex());
  InstanceSlot() = std::make_unique<CLanguage>();
}

CLanguage::CLanguage()
    : document_(std::make_unique<CXmlDocument>()), system_languages_(DefaultSystemLanguages()) {}

CLanguage::~CLanguage() = default;

std::string CLanguage::GetText(std::int32_t id) const {
  const LanguageText* builtin = FindBuiltInText(id);
  std::string result;
  if (builtin) {
    std::lock_guard lock(mutex_);
    if (in_use_) {
      if (document_->FindElement(std::string(builtin->key))) result = document_->GetElementText();
      document_->ResetPosition();
    }
  }
  if (!result.empty()) return Bounded(ReplaceAll(result, "\\n", "\n"));
  return builtin ? std::string(builtin->text) : std::string();
}

std::string CLanguage::GetText(std::string_view key) const {
  const LanguageText* builtin = FindBuiltInTextByKey(key);
  return builtin ? GetText(builtin->id) : std::string();
}

void CLanguage::ClearLocked() {
  language_name_.clear();
  translator_.clear();
  language_version_.clear();
  in_use_ = false;
  document_ = std::make_unique<CXmlDocument>();
}

void CLanguage::ClearLanguage() {
  std::lock_guard lock(mutex_);
  ClearLocked();
}

bool CLanguage::ReadHeaderLocked() {
  CXmlDocument& doc = *document_;
  if (!doc.FindElement("UPDATERLANGUAGE") || !doc.EnterElement()) return false;
  if (!doc.FindElement("INFO") || !doc.EnterElement()) return false;
  if (!doc.FindElement("LANGUAGE")) return false;
  language_name_ = Bounded(doc.GetElementText());
  if (!doc.FindElement("VERSION")) return false;
  language_version_ = Bounded(doc.GetElementText());
  if (!doc.FindElement("TRANSLATOR")) return false;
  translator_ = Bounded(doc.GetElementText());
  if (!doc.LeaveElement()) return false;
  doc.ResetPosition();
  if (!doc.FindElement("DATA") || !doc.EnterElement()) return false;
  return true;
}

bool CLanguage::LoadLanguageFile(const std::string& path, const std::string& requested_name,
                                 bool report_errors) {
  std::string message;
  {
    std::lock_guard lock(mutex_);
    ClearLocked();
    if (!platform::FileExists(path)) {
      language_name_ = kLanguageEnglishDefault;
      return false;
    }
    document_->SetDocument(ReadTextFile(path));
    if (!ReadHeaderLocked()) return false;
    if (language_name_.empty()) language_name_ = requested_name;
    if (!IsOlderVersion(language_version_, UPDATER_VERSION)) {
      in_use_ = true;
      return true;
    }
    if (report_errors) {
      message = WrongLanguageVersionMessage(language_version_);
      language_name_ = kLanguageEnglish;
    }
  }
  // Shown without the lock: the dialog may ask for texts, which now are the built-in ones.
  if (!message.empty()) {
    MessageBoxRequest request;
    request.kind = MessageBoxKind::kError;
    request.caption = "Velmora Updater";
    request.text = message;
    DialogService().ShowMessageBox(request);
  }
  return false;
}

bool CLanguage::LoadLanguageByName(const std::string& name) {
  if (!IsPlainFileName(name)) {
    std::lock_guard lock(mutex_);
    ClearLocked();
    language_name_ = kLanguageEnglishDefault;
    return false;
  }
  return LoadLanguageFile(LanguageFilePath(name), name, true);
}

bool CLanguage::SelectLanguageByLangId(std::uint16_t lang_id) {
  for (const auto& entry : system_languages_) {
    for (std::uint16_t id : entry.lang_ids) {
      if (id == lang_id) {
        LoadLanguageFile(LanguageFilePath(entry.name), entry.name, true);
        return true;
      }
    }
  }
  std::lock_guard lock(mutex_);
  language_name_ = kLanguageEnglishDefault;
  translator_.clear();
  return false;
}

std::string CLanguage::GetLanguageName() const {
  std::lock_guard lock(mutex_);
  return language_name_;
}

std::string CLanguage::GetTranslator() const {
  std::lock_guard lock(mutex_);
  return translator_;
}

std::string CLanguage::GetLanguageVersion() const {
  std::lock_guard lock(mutex_);
  return language_version_;
}

bool CLanguage::InUse() const {
  std::lock_guard lock(mutex_);
  return in_use_;
}

std::string LanguageFolder() {
  std::string folder = CUpdaterPaths::Instance().Entry(kPathUpdater);
  if (folder.empty() || !platform::IsPathSeparator(folder.back()))
    folder += platform::PathSeparator();
  return folder + "lng" + platform::PathSeparator();
}

std::string LanguageFilePath(const std::string& name) {
  const std::string folder = LanguageFolder();
  const std::string file = name + ".xml";
  if (platform::FileExists(folder + file)) return folder + file;
  if (auto entries = platform::ListFolder(folder)) {
    for (const auto& entry : *entries)
      if (EqualsNoCase(entry, file) && platform::FileExists(folder + entry)) return folder + entry;
  }
  return folder + file;
}

std::string WrongLanguageVersionMessage(const std::string& file_version) {
  return FillPlaceholders(
      "You are using a wrong version (%s) of the language file!\n"
      "You should use version %s! Updater will now use default language (English)",
      {file_version, UPDATER_VERSION});
}
