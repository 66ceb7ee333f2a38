#include "updater/description/minisign.h"

#include <sodium.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr std::string_view kUntrustedPrefix = "untrusted comment: ";
constexpr std::string_view kTrustedPrefix = "trusted comment: ";
constexpr std::string_view kAlgorithm = "Ed";
constexpr std::string_view kAlgorithmPrehashed = "ED";
constexpr std::string_view kNoKeyDerivation{"\0\0", 2};
constexpr std::string_view kKeyDerivationScrypt = "Sc";
constexpr std::string_view kChecksumAlgorithm = "B2";
constexpr std::size_t kAlgorithmBytes = 2;
constexpr std::size_t kSaltBytes = 32;
constexpr std::size_t kLimitBytes = 8;
constexpr std::size_t kChecksumBytes = 32;
constexpr std::size_t kPublicKeyRecordBytes =
    kAlgorithmBytes + kMinisignKeyIdBytes + kMinisignPublicKeyBytes;
constexpr std::size_t kSignatureRecordBytes =
    kAlgorithmBytes + kMinisignKeyIdBytes + kMinisignSignatureBytes;
constexpr std::size_t kSecretKeyRecordBytes = 3 * kAlgorithmBytes + kSaltBytes + 2 * kLimitBytes +
                                              kMinisignKeyIdBytes + kMinisignSecretKeyBytes +
                                              kChecksumBytes;
constexpr std::size_t kPrehashBytes = 64;

static_assert(kMinisignPublicKeyBytes == crypto_sign_PUBLICKEYBYTES);
static_assert(kMinisignSecretKeyBytes == crypto_sign_SECRETKEYBYTES);
static_assert(kMinisignSignatureBytes == crypto_sign_BYTES);

void InitSodium() {
  // Idempotent and safe from any thread; a failure leaves the portable code in use.
  static const int initialised = sodium_init();
  (void)initialised;
}

// The length of the base64 text (with padding) of n bytes.
constexpr std::size_t Base64Length(std::size_t n) { return (n + 2) / 3 * 4; }

// Decodes strict base64 of exactly `size` bytes; nullopt for anything else.
std::optional<std::vector<unsigned char>> DecodeBase64(std::string_view text, std::size_t size) {
  if (text.size() != Base64Length(size)) return std::nullopt;
  std::vector<unsigned char> bytes(size + 3);
  std::size_t decoded = 0;
  const char* end = nullptr;
  if (sodium_base642bin(bytes.data(), bytes.size(), text.data(), text.size(), nullptr, &decoded,
                        &end, sodium_base64_VARIANT_ORIGINAL) != 0 ||
      end != text.data() + text.size() || decoded != size)
    return std::nullopt;
  bytes.resize(size);
  return bytes;
}

std::string EncodeBase64(const unsigned char* bytes, std::size_t size) {
  std::string text(sodium_base64_ENCODED_LEN(size, sodium_base64_VARIANT_ORIGINAL), '\0');
  sodium_bin2base64(text.data(), text.size(), bytes, size, sodium_base64_VARIANT_ORIGINAL);
  text.resize(std::strlen(text.c_str()));
  return text;
}

bool StartsWith(const std::vector<unsigned char>& bytes, std::string_view prefix) {
  return bytes.size() >= prefix.size() &&
         std::equal(prefix.begin(), prefix.end(), bytes.begin(),
                    [](char a, unsigned char b) { return static_cast<unsigned char>(a) == b; });
}

// The lines of a small text file: split at "\n", a "\r" before it dropped; a
// final line break ends the last line and adds none. False when a line is
// longer than its bound (the bounds apply in order, the last one to the rest)
// or there are more lines than bounds.
bool SplitLines(std::string_view text, std::initializer_list<std::size_t> bounds,
                std::vector<std::string_view>& lines) {
  lines.clear();
  const std::size_t* bound = bounds.begin();
  while (!text.empty()) {
    if (bound == bounds.end()) return false;
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.size() > *bound) return false;
    lines.push_back(line);
    ++bound;
  }
  return true;
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() &&
         (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n'))
    text.remove_suffix(1);
  return text;
}

template <typename T>
MinisignParsed<T> Refused(std::string error) {
  return MinisignParsed<T>{std::nullopt, std::move(error)};
}

// The untrusted comment and the base64 line of a key file.
bool KeyFileLines(std::string_view text, std::size_t key_line_length,
                  std::vector<std::string_view>& lines, std::string& error) {
  if (text.size() > kMinisignMaxFileBytes) {
    error = "the key file is too large";
    return false;
  }
  if (!SplitLines(text, {kMinisignMaxCommentLine, key_line_length}, lines) || lines.size() != 2) {
    error = "the key file does not have the form of a minisign key";
    return false;
  }
  if (!lines[0].starts_with(kUntrustedPrefix)) {
    error = "the key file does not begin with an untrusted comment";
    return false;
  }
  return true;
}

}  // namespace

MinisignSecretKey::~MinisignSecretKey() { sodium_memzero(key.data(), key.size()); }

MinisignParsed<MinisignPublicKey> ParseMinisignPublicKey(std::string_view base64_line) {
  std::optional<std::vector<unsigned char>> bytes =
      DecodeBase64(TrimBlanks(base64_line), kPublicKeyRecordBytes);
  if (!bytes) return Refused<MinisignPublicKey>("the public key is not the base64 of a key");
  if (!StartsWith(*bytes, kAlgorithm))
    return Refused<MinisignPublicKey>("the public key is not an Ed25519 key");
  MinisignPublicKey key;
  auto at = bytes->begin() + kAlgorithmBytes;
  std::copy_n(at, kMinisignKeyIdBytes, key.key_id.begin());
  std::copy_n(at + kMinisignKeyIdBytes, kMinisignPublicKeyBytes, key.key.begin());
  return {key, {}};
}

MinisignParsed<MinisignPublicKey> ParseMinisignPublicKeyFile(std::string_view text) {
  std::vector<std::string_view> lines;
  std::string error;
  if (!KeyFileLines(text, Base64Length(kPublicKeyRecordBytes), lines, error))
    return Refused<MinisignPublicKey>(error);
  return ParseMinisignPublicKey(lines[1]);
}

MinisignParsed<MinisignSignature> ParseMinisignSignature(std::string_view text) {
  using Result = MinisignSignature;
  if (text.size() > kMinisignMaxFileBytes)
    return Refused<Result>("the signature file is too large");
  std::vector<std::string_view> lines;
  if (!SplitLines(text,
                  {kMinisignMaxCommentLine, Base64Length(kSignatureRecordBytes),
                   kMinisignMaxTrustedCommentLine, Base64Length(kMinisignSignatureBytes)},
                  lines))
    return Refused<Result>("the signature file has a line that is too long, or too many lines");
  if (lines.size() != 4) return Refused<Result>("the signature file does not have four lines");
  if (!lines[0].starts_with(kUntrustedPrefix))
    return Refused<Result>("the signature file does not begin with an untrusted comment");
  if (!lines[2].starts_with(kTrustedPrefix))
    return Refused<Result>("the third line of the signature file is not a trusted comment");

  std::optional<std::vector<unsigned char>> record = DecodeBase64(lines[1], kSignatureRecordBytes);
  if (!record) return Refused<Result>("the signature is not the base64 of a signature");
  MinisignSignature signature;
  if (StartsWith(*record, kAlgorithmPrehashed))
    signature.prehashed = true;
  else if (!StartsWith(*record, kAlgorithm))
    return Refused<Result>("the signature is not an Ed25519 signature");
  auto at = record->begin() + kAlgorithmBytes;
  std::copy_n(at, kMinisignKeyIdBytes, signature.key_id.begin());
  std::copy_n(at + kMinisignKeyIdBytes, kMinisignSignatureBytes, signature.signature.begin());

  std::optional<std::vector<unsigned char>> global =
      DecodeBase64(lines[3], kMinisignSignatureBytes);
  if (!global)
    return Refused<Result>("the trusted comment's signature is not base64 of a signature");
  std::copy(global->begin(), global->end(), signature.global_signature.begin());
  signature.trusted_comment = std::string(lines[2].substr(kTrustedPrefix.size()));
  return {std::move(signature), {}};
}

MinisignParsed<MinisignSecretKey> ParseMinisignSecretKeyFile(std::string_view text) {
  using Result = MinisignSecretKey;
  std::vector<std::string_view> lines;
  std::string error;
  if (!KeyFileLines(text, Base64Length(kSecretKeyRecordBytes), lines, error))
    return Refused<Result>(error);
  std::optional<std::vector<unsigned char>> record =
      DecodeBase64(TrimBlanks(lines[1]), kSecretKeyRecordBytes);
  if (!record) return Refused<Result>("the secret key is not the base64 of a minisign secret key");
  struct Wipe {
    std::vector<unsigned char>& bytes;
    ~Wipe() { sodium_memzero(bytes.data(), bytes.size()); }
  } wipe{*record};
  if (!StartsWith(*record, kAlgorithm))
    return Refused<Result>("the secret key is not an Ed25519 key");
  const std::string_view derivation(reinterpret_cast<const char*>(record->data()) + kAlgorithmBytes,
                                    kAlgorithmBytes);
  if (derivation == kKeyDerivationScrypt)
    return Refused<Result>(
        "the secret key is encrypted with a password; create a key without one (minisign -G -W)");
  if (derivation != kNoKeyDerivation)
    return Refused<Result>("the secret key names an unknown key derivation");
  const std::string_view checksum_algorithm(
      reinterpret_cast<const char*>(record->data()) + 2 * kAlgorithmBytes, kAlgorithmBytes);
  if (checksum_algorithm != kChecksumAlgorithm)
    return Refused<Result>("the secret key names an unknown checksum");

  MinisignSecretKey key;
  auto at = record->begin() + 3 * kAlgorithmBytes + kSaltBytes + 2 * kLimitBytes;
  std::copy_n(at, kMinisignKeyIdBytes, key.key_id.begin());
  std::copy_n(at + kMinisignKeyIdBytes, kMinisignSecretKeyBytes, key.key.begin());
  const unsigned char* stored = &*(at + kMinisignKeyIdBytes + kMinisignSecretKeyBytes);

  InitSodium();
  // minisign fills the checksum only when it encrypts the key: all zeros
  // means none; any other value must match.
  unsigned char checksum[kChecksumBytes];
  crypto_generichash_state state;
  crypto_generichash_init(&state, nullptr, 0, sizeof checksum);
  crypto_generichash_update(&state, record->data(), kAlgorithmBytes);
  crypto_generichash_update(&state, key.key_id.data(), key.key_id.size());
  crypto_generichash_update(&state, key.key.data(), key.key.size());
  crypto_generichash_final(&state, checksum, sizeof checksum);
  if (!sodium_is_zero(stored, kChecksumBytes) &&
      sodium_memcmp(checksum, stored, sizeof checksum) != 0)
    return Refused<Result>("the secret key's checksum does not match");
  // The second half of the key is the public key that the first half makes.
  unsigned char public_key[crypto_sign_PUBLICKEYBYTES];
  unsigned char expanded[crypto_sign_SECRETKEYBYTES];
  crypto_sign_seed_keypair(public_key, expanded, key.key.data());
  sodium_memzero(expanded, sizeof expanded);
  if (sodium_memcmp(public_key, key.key.data() + crypto_sign_SEEDBYTES, sizeof public_key) != 0)
    return Refused<Result>("the secret key is damaged");
  return {std::move(key), {}};
}

std::string VerifyMinisign(const MinisignPublicKey& key, const MinisignSignature& signature,
                           std::string_view message) {
  InitSodium();
  if (signature.key_id != key.key_id)
    return "made with another key (key id " + MinisignKeyIdText(signature.key_id) + ", expected " +
           MinisignKeyIdText(key.key_id) + ")";
  const auto* bytes = reinterpret_cast<const unsigned char*>(message.data());
  int verified = -1;
  if (signature.prehashed) {
    unsigned char digest[kPrehashBytes];
    crypto_generichash(digest, sizeof digest, bytes, message.size(), nullptr, 0);
    verified = crypto_sign_verify_detached(signature.signature.data(), digest, sizeof digest,
                                           key.key.data());
  } else {
    verified = crypto_sign_verify_detached(signature.signature.data(), bytes, message.size(),
                                           key.key.data());
  }
  if (verified != 0) return "does not match the file";
  std::vector<unsigned char> global(signature.signature.begin(), signature.signature.end());
  global.insert(global.end(), signature.trusted_comment.begin(), signature.trusted_comment.end());
  if (crypto_sign_verify_detached(signature.global_signature.data(), global.data(), global.size(),
                                  key.key.data()) != 0)
    return "does not match its trusted comment";
  return {};
}

std::string SignMinisign(const MinisignSecretKey& key, std::string_view message,
                         std::string_view trusted_comment) {
  InitSodium();
  std::string comment(trusted_comment.substr(
      0, std::min(trusted_comment.size(), kMinisignMaxTrustedCommentLine - kTrustedPrefix.size())));
  std::replace_if(
      comment.begin(), comment.end(), [](char c) { return c == '\r' || c == '\n' || c == '\0'; },
      ' ');

  unsigned char digest[kPrehashBytes];
  crypto_generichash(digest, sizeof digest, reinterpret_cast<const unsigned char*>(message.data()),
                     message.size(), nullptr, 0);
  std::vector<unsigned char> record(kAlgorithmPrehashed.begin(), kAlgorithmPrehashed.end());
  record.insert(record.end(), key.key_id.begin(), key.key_id.end());
  unsigned char signature[kMinisignSignatureBytes];
  crypto_sign_detached(signature, nullptr, digest, sizeof digest, key.key.data());
  record.insert(record.end(), signature, signature + sizeof signature);

  std::vector<unsigned char> global_message(signature, signature + sizeof signature);
  global_message.insert(global_message.end(), comment.begin(), comment.end());
  unsigned char global[kMinisignSignatureBytes];
  crypto_sign_detached(global, nullptr, global_message.data(), global_message.size(),
                       key.key.data());

  return std::string(kUntrustedPrefix) + "signature from minisign secret key\n" +
         EncodeBase64(record.data(), record.size()) + "\n" + std::string(kTrustedPrefix) + comment +
         "\n" + EncodeBase64(global, sizeof global) + "\n";
}

std::string MinisignPublicKeyLine(const MinisignSecretKey& key) {
  InitSodium();
  std::vector<unsigned char> record(kAlgorithm.begin(), kAlgorithm.end());
  record.insert(record.end(), key.key_id.begin(), key.key_id.end());
  // The second half of libsodium's secret key is the public key.
  record.insert(record.end(), key.key.begin() + kMinisignPublicKeyBytes, key.key.end());
  return EncodeBase64(record.data(), record.size());
}

std::optional<std::int64_t> MinisignTimestamp(std::string_view trusted_comment) {
  constexpr std::string_view kPrefix = "timestamp:";
  if (!trusted_comment.starts_with(kPrefix)) return std::nullopt;
  std::string_view digits = trusted_comment.substr(kPrefix.size());
  digits = digits.substr(0, digits.find('\t'));
  // At most 18 digits: the value fits a 64-bit integer.
  if (digits.empty() || digits.size() > 18) return std::nullopt;
  std::int64_t seconds = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    seconds = seconds * 10 + (c - '0');
  }
  return seconds;
}

std::string MinisignKeyIdText(const MinisignKeyId& key_id) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  // minisign shows the id as a little-endian 64-bit number.
  std::string text;
  for (auto byte = key_id.rbegin(); byte != key_id.rend(); ++byte) {
    text.push_back(kDigits[*byte >> 4]);
    text.push_back(kDigits[*byte & 0x0f]);
  }
  return text;
}
