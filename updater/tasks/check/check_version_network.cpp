#include "updater/tasks/check/check_version_network.h"

#include "updater/description/versions.h"

std::string CCheckVersionOffline::GetRemoteFileDate(const std::string&) { return kMissingFileDate; }

std::string CCheckVersionOffline::GetRemoteFileDateTime(const std::string&) {
  return kMissingFileDateTime;
}
