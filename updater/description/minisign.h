#pragma once
// Ed25519 keys and signatures in minisign's text formats, checked and made with
// libsodium.
//
// Public key: the base64 of "Ed", the 8-byte key id and the 32-byte key; its
// file holds an "untrusted comment: " line before that line.
// Signature file (".minisig"), four lines:
//   untrusted comment: <anything>
//   base64 of "Ed" (the file's bytes are signed) or "ED" (their BLAKE2b-512
//     digest is signed), the key id and the 64-byte signature
//   trusted comment: <text>
//   base64 of the 64-byte signature of the signature bytes followed by the text
// Secret key file (written by "minisign -G -W"): an "untrusted comment: " line,
// then the base64 of "Ed", the key derivation "\0\0" (no password), "B2", a
// 32-byte salt, two 8-byte limits, the key id, the 64-byte secret key and a
// checksum (BLAKE2b-256 of "Ed", key id and secret key; minisign leaves it zero
// for a key without a password). A key encrypted with a password (key
// derivation "Sc") is refused.
//
// Every reader bounds what it takes: line lengths, the exact sizes of the
// decoded parts, strict base64 with padding and no blanks inside. Lines end
// with "\n" or "\r\n"; the last line may lack its end.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

inline constexpr std::size_t kMinisignKeyIdBytes = 8;
inline constexpr std::size_t kMinisignPublicKeyBytes = 32;
inline constexpr std::size_t kMinisignSecretKeyBytes = 64;
inline constexpr std::size_t kMinisignSignatureBytes = 64;
// Longest untrusted comment line and trusted comment line, their prefixes included.
inline constexpr std::size_t kMinisignMaxCommentLine = 1024;
inline constexpr std::size_t kMinisignMaxTrustedCommentLine = 8192;
// Largest signature file and key file that is read.
inline constexpr std::uint64_t kMinisignMaxFileBytes = 16 * 1024;

using MinisignKeyId = std::array<std::uint8_t, kMinisignKeyIdBytes>;

struct MinisignPublicKey {
  MinisignKeyId key_id{};
  std::array<std::uint8_t, kMinisignPublicKeyBytes> key{};
};

struct MinisignSignature {
  bool prehashed = false;  // "ED": the BLAKE2b-512 digest of the message is signed
  MinisignKeyId key_id{};
  std::array<std::uint8_t, kMinisignSignatureBytes> signature{};
  std::string trusted_comment;  // without its prefix
  std::array<std::uint8_t, kMinisignSignatureBytes> global_signature{};
};

// The secret key is wiped when the record goes.
struct MinisignSecretKey {
  MinisignKeyId key_id{};
  std::array<std::uint8_t, kMinisignSecretKeyBytes> key{};

  MinisignSecretKey() = default;
  MinisignSecretKey(const MinisignSecretKey&) = default;
  MinisignSecretKey& operator=(const MinisignSecretKey&) = default;
  ~MinisignSecretKey();
};

// A value read, or why not (one line of text, never empty on failure).
template <typename T>
struct MinisignParsed {
  std::optional<T> value;
  std::string error;
};

// The key from its base64 line alone (blanks around it are ignored).
MinisignParsed<MinisignPublicKey> ParseMinisignPublicKey(std::string_view base64_line);
// The key from the text of a ".pub" file.
MinisignParsed<MinisignPublicKey> ParseMinisignPublicKeyFile(std::string_view text);
MinisignParsed<MinisignSignature> ParseMinisignSignature(std::string_view text);
MinisignParsed<MinisignSecretKey> ParseMinisignSecretKeyFile(std::string_view text);

// "" when the signature is the key's and matches the message and its trusted
// comment, else why not.
std::string VerifyMinisign(const MinisignPublicKey& key, const MinisignSignature& signature,
                           std::string_view message);

// The text of a ".minisig" file for the message: prehashed ("ED"), with the
// trusted comment given (no line break allowed: it is replaced by a blank).
std::string SignMinisign(const MinisignSecretKey& key, std::string_view message,
                         std::string_view trusted_comment);
// The public key of a secret key, as the base64 line of a ".pub" file.
std::string MinisignPublicKeyLine(const MinisignSecretKey& key);

// The seconds of a trusted comment that begins "timestamp:<digits>" (followed
// by a tab or the end), as minisign writes it; nullopt otherwise.
std::optional<std::int64_t> MinisignTimestamp(std::string_view trusted_comment);

// The key id as minisign shows it: 16 upper-case hex digits.
std::string MinisignKeyIdText(const MinisignKeyId& key_id);
