#pragma once
// What the check for a new version needs from the network: the connection
// check, downloads of update files and of the self-update description, the
// query to the vendor's update API and the remote dates of files.
//
// CCheckVersionInternet (check_version_internet.h) is the implementation on
// the internet object; CCheckVersionOffline stands in where no network may be
// used: it sends nothing and fails every request, so a check that needs the
// network reports what a failed transfer reports.

#include <memory>
#include <string>

#include "updater/process/message_queue.h"

class ICheckVersionNetwork {
 public:
  virtual ~ICheckVersionNetwork() = default;

  // The queue that receives the outcome of every download begun afterwards
  // (the check-version task's own queue while it runs).
  virtual void SetOwner(std::shared_ptr<CMessageQueue> owner) = 0;
  // True when the internet can be reached (the CHECKCONNECTION setting).
  virtual bool CheckConnection() = 0;
  // Begins fetching the location into the file at path, replacing it. True
  // when the transfer has begun: its outcome then arrives at the owner as
  // MessageId::kWorkerDone (the whole file is there) or MessageId::kError (it failed; a part
  // of the file, or the file that was there before, may be left), possibly
  // after MessageId::kBytesProgress messages. False when it could not begin (not an
  // http or https location): nothing arrives then. The location is passed as
  // the update file or the settings give it. The files fetched are small
  // descriptions: the implementation bounds their size while they arrive and
  // the time their download may take.
  virtual bool DownloadFile(const std::string& location, const std::string& path) = 0;
  // The answer text of a GET of the update API's https address, at most
  // kMaxUpdateApiAnswerBytes long; "" on any failure (a longer answer too).
  virtual std::string QueryUpdateApi(const std::string& url) = 0;
  // The modification date of the file at a location, "YYYY-MM-DD", or
  // "1970-01-01" when it cannot be found out.
  virtual std::string GetRemoteFileDate(const std::string& location) = 0;
  // The same with the time, "YYYY-MM-DD/hh:mm:ss", or "1970-01-01/00:00:00".
  virtual std::string GetRemoteFileDateTime(const std::string& location) = 0;
  // Stops a running transfer (it reports nothing then); called when the task
  // ends.
  virtual void Abort() = 0;
};

// The stand-in without network access: no traffic, every request fails.
class CCheckVersionOffline : public ICheckVersionNetwork {
 public:
  void SetOwner(std::shared_ptr<CMessageQueue>) override {}
  bool CheckConnection() override { return false; }
  bool DownloadFile(const std::string&, const std::string&) override { return false; }
  std::string QueryUpdateApi(const std::string&) override { return {}; }
  std::string GetRemoteFileDate(const std::string&) override;
  std::string GetRemoteFileDateTime(const std::string&) override;
  void Abort() override {}
};
