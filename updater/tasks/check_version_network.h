#pragma once
// What the check for a new version needs from the network: the connection
// check, downloads of update files and of the self-update description, the
// query to the vendor's update API and the remote dates of files.
//
// NETWORK SEAM: the internet work supplies the real implementation (transfers,
// proxies, credentials, resume). Until then CCheckVersionOffline stands in: it
// sends nothing and fails every request, so a check that needs the network
// reports what a failed transfer reports.

#include <string>

class ICheckVersionNetwork {
 public:
  virtual ~ICheckVersionNetwork() = default;

  // True when the internet can be reached (the CHECKCONNECTION setting).
  virtual bool CheckConnection() = 0;
  // Fetches the location into the file at path, replacing it; true once the
  // whole file is there. The location is passed as the update file or the
  // settings give it. The task's thread waits for the call, and sees a cancel
  // of the run only afterwards: a transfer must also stop on the process-wide
  // abort signal, so that a cancelled run never waits for it.
  virtual bool DownloadFile(const std::string& location, const std::string& path) = 0;
  // The answer text of a GET of the update API's address; "" on any failure.
  virtual std::string QueryUpdateApi(const std::string& url) = 0;
  // The modification date of the file at a location, "YYYY-MM-DD", or
  // "1970-01-01" when it cannot be found out.
  virtual std::string GetRemoteFileDate(const std::string& location) = 0;
  // The same with the time, "YYYY-MM-DD/hh:mm:ss", or "1970-01-01/00:00:00".
  virtual std::string GetRemoteFileDateTime(const std::string& location) = 0;
  // Stops a running transfer; called when the task ends.
  virtual void Abort() = 0;
};

// The stand-in without network access: no traffic, every request fails.
class CCheckVersionOffline : public ICheckVersionNetwork {
 public:
  bool CheckConnection() override { return false; }
  bool DownloadFile(const std::string&, const std::string&) override { return false; }
  std::string QueryUpdateApi(const std::string&) override { return {}; }
  std::string GetRemoteFileDate(const std::string&) override;
  std::string GetRemoteFileDateTime(const std::string&) override;
  void Abort() override {}
};
