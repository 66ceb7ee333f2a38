#include "updater/process/start_location.h"

#include "platform/file_system.h"
#include "platform/path.h"
#include "updater/core/text.h"
#include "updater/core/updater_settings.h"

RunTarget RunTargetOf(const std::string& location) {
  RunTarget target;
  target.web = IsWebLocation(location);
  if (target.web) {
    target.location = location;
    return target;
  }
  target.location = platform::NormalizeSeparators(location);
  target.working_folder = platform::FolderOf(target.location);
  return target;
}

bool OpensWithDesktop(const std::string& location) {
  return IsWebLocation(location) ||
         (!platform::IsProgramFile(location) && !platform::IsExecutableFile(location));
}

platform::StartResult StartLocation(const std::string& location, const std::string& parameters,
                                    const std::string& working_folder) {
  platform::StartResult result;
  if (OpensWithDesktop(location)) {
    // The opener wants a full address; "www.example.com" alone would be taken for a file.
    std::string target = location;
    if (IsWebLocation(location) && !StartsWith(location, "http")) target = "https://" + location;
    result.status = platform::OpenWithDesktop(target);
    return result;
  }
  // A downloaded program arrives without the execute bit.
  if (!platform::IsExecutableFile(location)) {
    result.status = platform::MakeExecutableForOwner(location);
    if (!result.status) return result;
  }
  return platform::StartProgram(location, platform::SplitCommandLine(parameters), working_folder);
}
