// The update-file reader and parser over a file in one of its forms
// (UPDATE_FILE_FORM_plain, _utf16 or _encrypted), with the process-wide
// records it fills reset before every input.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "updater/core/language.h"
#include "updater/core/updater_log.h"
#include "updater/core/updater_paths.h"
#include "updater/core/updater_settings.h"
#include "updater/description/aes_encryptor.h"
#include "updater/description/event_table.h"
#include "updater/description/update_file_data.h"
#include "updater/description/update_file_loader.h"
#include "updater/description/xml_document.h"

namespace {

void ResetRecords() {
  CUpdateFileData::ResetInstance();
  CEventTable::ResetInstance();
  CUpdaterSettings::ResetInstance();
  CUpdaterPaths::ResetInstance();
  CLanguage::ResetInstance();
  CUpdaterLog::ResetInstance();
}

// The file bytes for the input.
std::string FileBytes(std::string_view input) {
#if defined(UPDATE_FILE_FORM_plain)
  return std::string(input);
#elif defined(UPDATE_FILE_FORM_utf16)
  // The first byte picks the byte order; the rest are the code units.
  if (input.empty()) return {};
  const bool big_endian = input[0] & 1;
  return (big_endian ? std::string("\xFE\xFF") : std::string("\xFF\xFE")) +
         std::string(input.substr(1));
#elif defined(UPDATE_FILE_FORM_encrypted)
  // The first byte picks what the rest is: the document text, encrypted as
  // the release tool does; the hex text inside the cipher; or the ciphertext.
  if (input.empty()) return {};
  const int kind = static_cast<unsigned char>(input[0]) % 3;
  std::string_view rest = input.substr(1);
  if (kind == 2) return "enc" + std::string(rest);
  CAesEncryptor aes;
  FuzzCheck(aes.SetKey(kUpdateFileKey), "the fixed key");
  return "enc" + aes.EncryptEcb(kind == 0 ? HexOfCodeUnits(rest) : std::string(rest));
#else
#error "UPDATE_FILE_FORM_plain, _utf16 or _encrypted"
#endif
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > kMaxFuzzInputBytes) return 0;
  ResetRecords();
  const std::string path = WriteScratchFile("updatefile.xml", FileBytes(InputText(data, size)));
  CXmlDocument document;
  UpdateFileText text = ReadUpdateFileText(path, document);
  FuzzCheck(text.form != UpdateFileForm::kUnreadable, "the scratch file is readable");
  (void)LoadUpdateFile(path);
  ResetRecords();
  return 0;
}
