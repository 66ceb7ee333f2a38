#pragma once
// AES-128 decryption (the Rijndael inverse cipher with a 16-byte block and a
// 16-byte key, 10 rounds) in electronic-codebook mode, and the hex text that
// the encrypted update file carries inside the cipher.
//
// DecryptEcb and DecryptBlock throw RijndaelError; the code that loads an
// update file catches it and ends the load as a failure, so the exception
// never leaves the thread that decrypts.

#include <array>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

// The key the program's encrypted update files are made with.
inline constexpr std::string_view kUpdateFileKey = "widget_secretkey";

class RijndaelError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class CRijndael {
 public:
  static constexpr std::size_t kBlockSize = 16;
  static constexpr std::size_t kKeySize = 16;
  static constexpr int kRounds = 10;
  // The key schedule: 4 words per round key, rounds + 1 round keys.
  using KeySchedule = std::array<std::uint32_t, 4 * (kRounds + 1)>;

  // Expands the program's fixed update-file key.
  void SetKey();
  // Expands the given key. A key that is not 16 bytes long is refused (false)
  // and leaves the object as it was.
  bool SetKey(std::string_view key);

  bool initialised() const { return initialised_; }
  // The expanded key, words in the order of the standard's w[0..43] (each word
  // holds its first byte in the high 8 bits). Zero until a key is set.
  const KeySchedule& key_schedule() const { return schedule_; }

  // Decrypts one 16-byte block. Throws "Object not Initialized" without a key.
  void DecryptBlock(const std::uint8_t* in, std::uint8_t* out) const;
  // Decrypts every 16-byte block of the input independently (ECB) and returns
  // the plaintext, as long as the input. Throws "Object not Initialized"
  // without a key, and "Data not multiple of Block Size" when the input is
  // empty or its length is not a multiple of 16.
  std::string DecryptEcb(std::string_view ciphertext) const;

 private:
  KeySchedule schedule_{};
  bool initialised_ = false;
};

// Decodes the hex text of an encrypted update file into UTF-16 code units:
// the text ends at its first zero byte; each group of four characters, most
// significant first, is one code unit. "0"-"9" count 0-9, the upper-case
// letters "A"-"F" count 10-15, and every other character (lower-case letters
// included) counts 0. An incomplete last group is dropped.
std::u16string DecodeHexCodeUnits(std::string_view text);
