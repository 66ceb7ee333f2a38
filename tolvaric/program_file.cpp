#include "tolvaric/program_file.h"

#include "platform/file_replace.h"
#include "platform/file_system.h"

platform::Status ReplaceProgramFile(const std::string& source, const std::string& target) {
  if (platform::IsSymbolicLink(source) || !platform::FileExists(source))
    return platform::Status::Fail("the new program is not a regular file: '" + source + "'");
  if (platform::IsSymbolicLink(target))
    return platform::Status::Fail("the program to replace is a symbolic link: '" + target + "'");
  if (!platform::FileExists(target))
    return platform::Status::Fail("the program to replace is not a regular file: '" + target + "'");
  return platform::ReplaceFileWithCopy(source, target, platform::CopyPermissions::kKeepDestination);
}
