// The minisign readers: public keys (line and file), signature files and
// secret key files. A signature that parses is checked against a key; and
// every input, signed with a fixed key, must verify and carry its time stamp.
//
// Input: the first byte picks the reader, the rest is its text.

#include <sodium.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "updater/description/minisign.h"

namespace {

// A fixed key pair from a fixed seed.
const MinisignSecretKey& SecretKey() {
  static const MinisignSecretKey key = [] {
    FuzzCheck(sodium_init() >= 0, "libsodium starts");
    MinisignSecretKey secret;
    unsigned char seed[crypto_sign_SEEDBYTES] = {1, 2, 3, 4, 5, 6, 7, 8};
    unsigned char public_key[crypto_sign_PUBLICKEYBYTES];
    crypto_sign_seed_keypair(public_key, secret.key.data(), seed);
    secret.key_id = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
    return secret;
  }();
  return key;
}

const MinisignPublicKey& PublicKey() {
  static const MinisignPublicKey key = [] {
    MinisignParsed<MinisignPublicKey> parsed =
        ParseMinisignPublicKey(MinisignPublicKeyLine(SecretKey()));
    FuzzCheck(parsed.value.has_value(), "the fixed public key parses: " + parsed.error);
    return *parsed.value;
  }();
  return key;
}

template <typename T>
void CheckParsed(const MinisignParsed<T>& parsed) {
  FuzzCheck(parsed.value.has_value() || !parsed.error.empty(), "a refusal says why");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0 || size > kMaxFuzzInputBytes) return 0;
  const std::string_view text = InputText(data + 1, size - 1);
  switch (data[0] % 5) {
    case 0: {
      MinisignParsed<MinisignSignature> signature = ParseMinisignSignature(text);
      CheckParsed(signature);
      if (signature.value) {
        FuzzCheck(!VerifyMinisign(PublicKey(), *signature.value, "message").empty() ||
                      signature.value->key_id == PublicKey().key_id,
                  "only the key's own signature verifies");
        (void)MinisignTimestamp(signature.value->trusted_comment);
        (void)MinisignKeyIdText(signature.value->key_id);
      }
      break;
    }
    case 1:
      CheckParsed(ParseMinisignPublicKey(text));
      break;
    case 2:
      CheckParsed(ParseMinisignPublicKeyFile(text));
      break;
    case 3:
      CheckParsed(ParseMinisignSecretKeyFile(text));
      break;
    default: {
      // The input as the message, and as the trusted comment.
      const std::string comment = "timestamp:1700000000\tfile:" + std::string(text.substr(0, 512));
      const std::string file = SignMinisign(SecretKey(), text, comment);
      MinisignParsed<MinisignSignature> signature = ParseMinisignSignature(file);
      FuzzCheck(signature.value.has_value(), "our own signature parses: " + signature.error);
      const std::string verified = VerifyMinisign(PublicKey(), *signature.value, text);
      FuzzCheck(verified.empty(), "our own signature verifies: " + verified);
      FuzzCheck(MinisignTimestamp(signature.value->trusted_comment) == 1700000000,
                "the time stamp reads back");
      FuzzCheck(!VerifyMinisign(PublicKey(), *signature.value, std::string(text) + "x").empty(),
                "a changed message does not verify");
      break;
    }
  }
  return 0;
}
