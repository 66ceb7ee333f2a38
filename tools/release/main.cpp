// Velmora Release: writes the update file and the files to publish for a new
// release, from the folders of the previous and the next release.
//   Velmora Release --previous DIR --next DIR --version X.Y.Z.W --base-url URL
//                   --output DIR [options]      (--help lists them)

#include <iostream>
#include <string>
#include <vector>

#include "platform/command_line.h"
#include "tools/release/release_builder.h"
#include "tools/release/release_options.h"

int main(int argc, char** argv) {
  ParsedArguments parsed = ParseReleaseArguments(platform::ProgramArguments(argc, argv));
  if (parsed.help) {
    std::cout << ReleaseUsage();
    return kReleaseExitOk;
  }
  if (!parsed.options) {
    std::cerr << "Velmora Release: " << parsed.error << "\n"
              << "Try \"Velmora Release --help\".\n";
    return kReleaseExitUsage;
  }
  ReleaseReport report = BuildRelease(*parsed.options);
  for (const std::string& line : report.errors) std::cerr << "Velmora Release: " << line << "\n";
  for (const std::string& line : report.notes) std::cout << line << "\n";
  if (report.exit_code != kReleaseExitOk) std::cerr << "Velmora Release: nothing was written\n";
  return report.exit_code;
}
