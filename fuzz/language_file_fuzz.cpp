// Language files: a file is loaded into the process-wide text table (reset
// before and after every input) and every text is asked for.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "updater/core/language.h"
#include "updater/core/language_texts.h"
#include "updater/core/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > kMaxFuzzInputBytes) return 0;
  CLanguage::ResetInstance();
  const std::string path = WriteScratchFile("language.xml", InputText(data, size));
  CLanguage& language = CLanguage::Instance();
  (void)language.LoadLanguageFile(path, "fuzz", false);
  (void)language.GetLanguageName();
  (void)language.GetTranslator();
  (void)language.GetLanguageVersion();
  for (const LanguageText& text : BuiltInLanguageTexts()) {
    const std::string value = language.GetText(text.id);
    FuzzCheck(Utf16Length(value) <= kMaxLanguageTextUnits, "texts are bounded");
    FuzzCheck(language.GetText(text.key) == value, "the same text by key and by identifier");
  }
  CLanguage::ResetInstance();
  return 0;
}
