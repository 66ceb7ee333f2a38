#pragma once
// Reads the update file from disk, plain or encrypted, into an XML document,
// and loads it into CUpdateFileData and CEventTable.
//
// Forms of the file:
// - encrypted: the bytes "enc", then AES-128 ciphertext (ECB, the program's
//   fixed key, a non-empty multiple of 16 bytes). The plaintext is upper-case
//   hex text, four digits per UTF-16 code unit of the document, ended by zero
//   bytes that fill the last block;
// - UTF-16LE after the byte-order mark 0xFF 0xFE, UTF-16BE after 0xFE 0xFF;
// - otherwise narrow text: UTF-8 when valid, else Windows-1252.
// A plain text ends at its first zero character.

#include <cstdint>
#include <string>

class CXmlDocument;

// Largest update file that is read.
inline constexpr std::uint64_t kMaxUpdateFileBytes = 64ull << 20;

enum class UpdateFileForm {
  kUnreadable,  // missing, not a regular file, or not readable
  kTooLarge,    // more than kMaxUpdateFileBytes
  kUtf16,
  kNarrow,
  kEncrypted,
};

struct UpdateFileText {
  UpdateFileForm form = UpdateFileForm::kUnreadable;
  // Why the text could not be obtained (too large, a decryption failure or
  // invalid hex text); empty when it was, and for an unreadable file.
  std::string error;
};

// Reads the file in its form and hands the text to the document, which parses
// it. When the file cannot be read or decrypted the document is left empty.
// Never throws: the cipher's errors are caught here and come back as `error`.
UpdateFileText ReadUpdateFileText(const std::string& path, CXmlDocument& document);

// Reads the file and parses it into the update-file records, with the log
// lines "Start parsing <name>" and then "<name> succesfully parsed" or
// "<name> NOT succesfully parsed"; a parse error line, or a line
// "UPDATEFILE READ ERROR: ..." when the file could not be decrypted or is too
// large, comes between them (the parse is then not run). Nothing is logged
// for a missing file beyond the parser's own message. True when the parse
// succeeded.
bool LoadUpdateFile(const std::string& path);
