#include "tolvaric/copy_program.h"

#include <utility>

#include "tolvaric/copy_arguments.h"

CCopyProgram::CCopyProgram(Deps deps) : deps_(std::move(deps)) {}

int CCopyProgram::Run(const std::optional<std::string>& command_line) {
  std::optional<CopyArguments> arguments;
  if (command_line) arguments = ParseCopyArguments(*command_line);
  if (!arguments) return Fail("the command line does not name a source and a destination file");

  deps_.wait(kWaitBeforeCopy);
  platform::Status replaced = deps_.replace(arguments->source, arguments->destination);
  if (!replaced) return Fail(replaced.message());
  return 0;
}

int CCopyProgram::Fail(const std::string& detail) {
  deps_.report_failure(kCaption, kFailureText, detail);
  return 1;
}
