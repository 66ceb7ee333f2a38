#include "updater/description/update_file_loader.h"

#include <exception>
#include <optional>
#include <string_view>

#include "platform/file_system.h"
#include "platform/path.h"
#include "updater/core/text.h"
#include "updater/core/updater_log.h"
#include "updater/core/updater_paths.h"
#include "updater/description/rijndael.h"
#include "updater/description/update_file_parser.h"
#include "updater/description/xml_document.h"

namespace {

constexpr std::string_view kEncryptedPrefix = "enc";

// The UTF-16 code units after the byte-order mark, in the byte order it
// names, up to the first zero unit; an odd last byte is dropped.
std::u16string Utf16TextUnits(std::string_view bytes, TextEncoding order) {
  std::u16string units = Utf16Units(bytes.substr(2), order);
  if (std::size_t zero = units.find(u'\0'); zero != std::u16string::npos) units.resize(zero);
  return units;
}

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

// Decrypts the ciphertext and decodes its hex text. Returns the error text,
// or "" with the document text in `units`.
std::string DecryptUpdateText(std::string_view ciphertext, std::u16string& units) {
  std::string plain;
  try {
    CRijndael cipher;
    cipher.SetKey();
    plain = cipher.DecryptEcb(ciphertext);
  } catch (const RijndaelError& error) {
    return error.what();
  } catch (const std::exception& error) {
    return std::string("decryption failed: ") + error.what();
  }
  std::string_view hex(plain);
  hex = hex.substr(0, hex.find('\0'));
  // Files are written with upper-case digits only; any other character (a
  // wrong key, a damaged file) or an incomplete group would decode to
  // meaningless characters, so such a text is refused as a whole.
  if (hex.size() % 4 != 0) return "hex text is not a whole number of groups of four digits";
  for (char c : hex)
    if (!IsHexDigit(c)) return "hex text holds a character that is not an upper-case hex digit";
  units = DecodeHexCodeUnits(hex);
  if (std::size_t zero = units.find(u'\0'); zero != std::u16string::npos) units.resize(zero);
  return "";
}

}  // namespace

UpdateFileText ReadUpdateFileText(const std::string& path, CXmlDocument& document) {
  UpdateFileText result;
  document.SetDocument("");
  std::optional<std::uint64_t> size = platform::FileSize(path);
  if (!size) return result;
  if (*size > kMaxUpdateFileBytes) {
    result.form = UpdateFileForm::kTooLarge;
    result.error = "file is larger than " + std::to_string(kMaxUpdateFileBytes) + " bytes";
    return result;
  }
  // The file may grow between the two calls; the bound holds either way.
  std::optional<std::string> read = platform::ReadFile(path, kMaxUpdateFileBytes);
  if (!read) return result;
  std::string_view bytes = *read;

  if (StartsWith(bytes, kEncryptedPrefix)) {
    result.form = UpdateFileForm::kEncrypted;
    std::u16string units;
    result.error = DecryptUpdateText(bytes.substr(kEncryptedPrefix.size()), units);
    if (result.error.empty()) document.SetDocumentUtf16(std::move(units));
    return result;
  }
  if (std::optional<TextEncoding> utf16 = Utf16BomOf(bytes)) {
    result.form = UpdateFileForm::kUtf16;
    document.SetDocumentUtf16(Utf16TextUnits(bytes, *utf16));
    return result;
  }
  result.form = UpdateFileForm::kNarrow;
  document.SetDocument(DecodeTextFile(bytes.substr(0, bytes.find('\0'))));
  return result;
}

bool LoadUpdateFile(const std::string& path) {
  CUpdaterLog& log = CUpdaterLog::Instance();
  const std::string name = platform::FileNameOf(path);
  log.WriteLine("Start parsing " + name);
  CXmlDocument document;
  UpdateFileText text = ReadUpdateFileText(path, document);
  bool parsed = false;
  if (!text.error.empty())
    log.WriteLine("UPDATEFILE READ ERROR: " + text.error);
  else
    parsed = ParseUpdateFile(document);
  log.WriteLine(name + (parsed ? " succesfully parsed" : " NOT succesfully parsed"));
  return parsed;
}
