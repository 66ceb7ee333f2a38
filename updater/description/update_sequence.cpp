#include "updater/description/update_sequence.h"

#include <string>

#include "updater/core/updater_log.h"
#include "updater/core/updater_settings.h"
#include "updater/description/update_file_loader.h"
#include "updater/description/versions.h"
#include "updater/description/xml_document.h"

std::string GetSequenceLocation(const std::string& path, std::string_view application_version) {
  CXmlDocument document;
  ReadUpdateFileText(path, document);
  if (!document.FindElement("UPDATEINFO") || !document.EnterElement()) return "";
  if (!document.FindElement("SEQUENCE") || !document.EnterElement()) return "";
  if (!document.FindElement("MINIMUMVERSION")) return "";
  const std::string minimum = document.GetContentText();
  document.ResetPosition();
  if (!document.FindElement("LOCATION")) return "";
  std::string location = document.GetContentText();
  if (CompareVersions(application_version, minimum) != kVersionOlder) return "";
  return location;
}

std::string GetSequenceLocation(const std::string& path) {
  return GetSequenceLocation(path, CUpdaterSettings::Instance().Values().version);
}

SequenceStep CUpdateSequenceFollower::Next(const std::string& update_file) {
  SequenceStep step;
  step.location = GetSequenceLocation(update_file, application_version_);
  if (step.location.empty()) return step;
  if (redirections_ >= kMaxSequenceRedirections) {
    CUpdaterLog::Instance().WriteLine("UPDATE SEQUENCE ERROR: more than " +
                                      std::to_string(kMaxSequenceRedirections) + " redirections");
    step.kind = SequenceStep::Kind::kTooManyRedirections;
    return step;
  }
  ++redirections_;
  step.kind = SequenceStep::Kind::kDownload;
  return step;
}

SequenceResult FollowUpdateSequence(const std::string& update_file,
                                    std::string_view application_version,
                                    const SequenceFetcher& fetch) {
  CUpdateSequenceFollower follower{std::string(application_version)};
  SequenceResult result;
  for (;;) {
    SequenceStep step = follower.Next(update_file);
    result.redirections = follower.redirections();
    if (step.kind == SequenceStep::Kind::kLoad) return result;
    if (step.kind == SequenceStep::Kind::kTooManyRedirections) {
      result.status = SequenceResult::Status::kTooManyRedirections;
      result.error_code = kSequenceServerErrorCode;
      return result;
    }
    if (!fetch || !fetch(step.location, update_file)) {
      result.status = SequenceResult::Status::kDownloadFailed;
      result.error_code = kSequenceServerErrorCode;
      return result;
    }
  }
}
