#pragma once
// The check for a new version on the process-wide internet object: downloads
// through CInternet (its worker reports to the owner given with SetOwner),
// remote dates of files, the connection check and the version query.
//
// The version query is a GET of an https address only, sent on a connection
// of its own: no credentials, the proxy of the environment, certificates and
// host name always checked (an extra CA bundle named by VELMORA_CA_BUNDLE is
// trusted too), the answer capped at kMaxUpdateApiAnswerBytes and the whole
// query at query_limit_ms. The downloads of update files and self-update
// descriptions are bounded likewise: description_max_bytes while they arrive,
// description_limit_ms as a whole.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "updater/description/update_file_loader.h"
#include "updater/tasks/check/check_version_network.h"

struct CheckVersionInternetOptions {
  // The hosts the connection check tries (TCP, no proxy); all are tried.
  std::vector<std::string> connection_hosts;
  int connection_port = 0;
  std::int32_t connection_timeout_ms = 0;
  // Longest time the version query may take as a whole.
  std::int64_t query_limit_ms = 30000;
  // Longest time the download of an update file, an update sequence or a
  // self-update description may take as a whole (sends and transfer).
  std::int64_t description_limit_ms = 300000;
  // The most bytes such a file may have; its download stops as soon as more
  // arrive.
  std::int64_t description_max_bytes = static_cast<std::int64_t>(kMaxUpdateFileBytes);
  // The clock the query's limit is measured on.
  const platform::IClock* clock = nullptr;

  // The public hosts on port 80, the system clock.
  static CheckVersionInternetOptions Defaults();
};

class CCheckVersionInternet : public ICheckVersionNetwork {
 public:
  explicit CCheckVersionInternet(
      CheckVersionInternetOptions options = CheckVersionInternetOptions::Defaults());

  void SetOwner(std::shared_ptr<CMessageQueue> owner) override;
  bool CheckConnection() override;
  bool DownloadFile(const std::string& location, const std::string& path) override;
  std::string QueryUpdateApi(const std::string& url) override;
  std::string GetRemoteFileDate(const std::string& location) override;
  std::string GetRemoteFileDateTime(const std::string& location) override;
  void Abort() override;

 private:
  CheckVersionInternetOptions options_;
};
