#pragma once
// AES-128 encryption (the FIPS-197 cipher, forward direction) and the
// encrypted form of an update file: the bytes "enc", then the ECB ciphertext
// of the document as upper-case hex text, four digits per UTF-16 code unit,
// with zero bytes filling the last block. The updater decrypts it with
// CRijndael and the same fixed key; it never encrypts. The one encryptor of
// the release tool and the tests.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "updater/description/rijndael.h"

class CAesEncryptor {
 public:
  static constexpr std::size_t kBlockSize = 16;
  static constexpr std::size_t kKeySize = 16;

  // Expands a 16-byte key; any other length is refused (false) and leaves the
  // object as it was.
  bool SetKey(std::string_view key);
  bool initialised() const { return initialised_; }

  // Encrypts one 16-byte block; needs a key.
  void EncryptBlock(const std::uint8_t* in, std::uint8_t* out) const;
  // Fills the text with zero bytes to whole blocks and encrypts every block
  // on its own (ECB). An empty text gives an empty result. Needs a key.
  std::string EncryptEcb(std::string_view plaintext) const;

 private:
  std::array<std::uint8_t, 176> round_keys_{};
  bool initialised_ = false;
};

// Four upper-case hex digits per UTF-16 code unit.
std::string HexOfCodeUnits(std::u16string_view units);
// The same for the code units of the UTF-8 text.
std::string HexOfCodeUnits(std::string_view utf8_text);

// "enc" and the ECB ciphertext of plaintext (the hex form of a document, or
// any text a test needs) with a 16-byte key; "" for a key of another length.
std::string EncryptedUpdateFileOf(std::string_view plaintext,
                                  std::string_view key = kUpdateFileKey);

// The encrypted update file of the UTF-8 document text, with the program's
// fixed update-file key.
std::string EncryptUpdateFile(std::string_view utf8_document);
