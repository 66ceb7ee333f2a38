#pragma once
// The signatures of update descriptions (the update file, every file of its
// update sequence, the self-update description). With the vendor's public key
// in the settings (PUBLICKEY in [UPDATEINFO]) a description is used only when
// the minisign signature beside it (its path with ".minisig" appended) is
// that key's and matches it; without a key nothing is checked.
//
// Replay: the time stamp of the trusted comment ("timestamp:<seconds>") of a
// description fetched from a server is remembered per address, in
// "signatures_<application name>.txt" beside the installed-sections file; a
// later description from the same address signed earlier is refused. The file
// shipped beside the updater is exempt. A fetched description must carry a
// time stamp.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "updater/description/minisign.h"

inline constexpr char kSignatureSuffix[] = ".minisig";
// Addresses whose signing time is remembered; the oldest entries go first.
inline constexpr std::size_t kMaxRememberedSignatures = 256;

class CDescriptionSignatures {
 public:
  // key_line: the settings' PUBLICKEY ("" = no check); times_file: where
  // the signing times are remembered, at most max_remembered of them.
  CDescriptionSignatures(const std::string& key_line, std::string times_file,
                         std::size_t max_remembered = kMaxRememberedSignatures);

  bool enabled() const { return enabled_; }

  // Checks the description at path against the signature at path +
  // kSignatureSuffix. source: the address it was fetched from, "" for the
  // file shipped beside the updater. "" when accepted (the signing time of a
  // fetched file is then remembered), else why not, as one log-line text.
  std::string Check(const std::string& path, const std::string& source);

 private:
  std::optional<std::int64_t> RememberedTime(const std::string& source_digest) const;
  void Remember(const std::string& source_digest, std::int64_t seconds) const;

  bool enabled_ = false;
  std::optional<MinisignPublicKey> key_;
  std::string key_error_;
  std::string times_file_;
  std::size_t max_remembered_;
};

// The file of the remembered signing times: the updater's folder followed by
// "signatures_" + the settings' application name + ".txt".
std::string SignatureTimesPath();
