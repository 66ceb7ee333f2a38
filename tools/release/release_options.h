#pragma once
// The command line of the release tool.

#include <optional>
#include <string>
#include <vector>

// Exit codes of the tool.
inline constexpr int kReleaseExitOk = 0;
inline constexpr int kReleaseExitUsage = 1;   // the command line is wrong
inline constexpr int kReleaseExitInput = 2;   // the folders or their files are refused
inline constexpr int kReleaseExitOutput = 3;  // the output could not be written

enum class SectionLayout {
  kTopLevel,  // one section per top-level folder; files at the top in the application's section
  kSingle,    // one section named after the application
};

enum class FileCheck { kHash, kVersion, kDate };

struct ReleaseOptions {
  std::string previous;
  std::string next;
  std::string version;
  std::string base_url;
  std::string output;
  SectionLayout sections = SectionLayout::kTopLevel;
  std::string application_name = "Application";
  std::string close_application = "false";  // "true", "false", "restart" or "user"
  bool enable_rollback = false;
  bool encrypt = false;
  FileCheck check = FileCheck::kHash;
  // A minisign secret key file (without a password): the update file is signed.
  std::string sign_key_file;
};

struct ParsedArguments {
  bool help = false;                      // --help or -h was given
  std::optional<ReleaseOptions> options;  // set when the command line is complete and valid
  std::string error;                      // why not, when neither help nor options
};

// Reads the arguments after the program name. Every option takes the next
// argument as its value ("--version 1.2.3.4"); "--option=value" is accepted
// too. Options may come in any order, each at most once. Checks the forms of
// the values (version, web address, application name, the choice words) but
// not the folders.
ParsedArguments ParseReleaseArguments(const std::vector<std::string>& arguments);

// The text of --help.
std::string ReleaseUsage();
