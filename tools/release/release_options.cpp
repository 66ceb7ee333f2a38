#include "tools/release/release_options.h"

#include <map>
#include <set>
#include <string_view>

#include "tools/release/release_text.h"

namespace {

constexpr std::string_view kValueOptions[] = {
    "--previous", "--next",     "--version",          "--base-url",
    "--output",   "--sections", "--application-name", "--close-application",
    "--check",    "--sign",
};
constexpr std::string_view kFlagOptions[] = {"--enable-rollback", "--encrypt"};

bool IsValueOption(std::string_view name) {
  for (std::string_view option : kValueOptions)
    if (option == name) return true;
  return false;
}

bool IsFlagOption(std::string_view name) {
  for (std::string_view option : kFlagOptions)
    if (option == name) return true;
  return false;
}

bool StartsWithDashes(std::string_view argument) { return argument.substr(0, 2) == "--"; }

ParsedArguments Error(std::string message) {
  ParsedArguments parsed;
  parsed.error = std::move(message);
  return parsed;
}

}  // namespace

ParsedArguments ParseReleaseArguments(const std::vector<std::string>& arguments) {
  std::map<std::string, std::string> values;
  std::set<std::string> flags;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    std::string name = arguments[i];
    if (name == "--help" || name == "-h") {
      ParsedArguments parsed;
      parsed.help = true;
      return parsed;
    }
    std::optional<std::string> value;
    if (std::size_t equals = name.find('=');
        StartsWithDashes(name) && equals != std::string::npos) {
      value = name.substr(equals + 1);
      name.resize(equals);
    }
    if (IsFlagOption(name)) {
      if (value) return Error(name + " takes no value");
      if (!flags.insert(name).second) return Error(name + " is given twice");
      continue;
    }
    if (!IsValueOption(name)) return Error("unknown argument \"" + name + "\"");
    if (!value) {
      if (i + 1 >= arguments.size()) return Error(name + " needs a value");
      value = arguments[++i];
    }
    if (!values.emplace(name, *value).second) return Error(name + " is given twice");
  }

  ReleaseOptions options;
  struct Required {
    std::string_view name;
    std::string* field;
  };
  const Required required[] = {{"--previous", &options.previous},
                               {"--next", &options.next},
                               {"--version", &options.version},
                               {"--base-url", &options.base_url},
                               {"--output", &options.output}};
  for (const Required& entry : required) {
    auto found = values.find(std::string(entry.name));
    if (found == values.end() || found->second.empty())
      return Error(std::string(entry.name) + " is required");
    *entry.field = found->second;
  }
  if (!IsDottedVersion(options.version))
    return Error("--version \"" + options.version +
                 "\" is not a dotted version (one to four numbers, such as 2.5.0.1)");
  if (auto problem = BaseUrlProblem(options.base_url))
    return Error("--base-url \"" + options.base_url + "\" is refused: " + *problem);
  while (options.base_url.back() == '/') options.base_url.pop_back();
  if (BaseUrlProblem(options.base_url)) return Error("--base-url names no host");

  if (auto found = values.find("--sections"); found != values.end()) {
    if (found->second == "toplevel")
      options.sections = SectionLayout::kTopLevel;
    else if (found->second == "single")
      options.sections = SectionLayout::kSingle;
    else
      return Error("--sections must be toplevel or single");
  }
  if (auto found = values.find("--application-name"); found != values.end()) {
    options.application_name = found->second;
    if (auto problem = ApplicationNameProblem(options.application_name))
      return Error("--application-name is refused: " + *problem);
  }
  if (auto found = values.find("--close-application"); found != values.end()) {
    const std::string& mode = found->second;
    if (mode != "true" && mode != "false" && mode != "restart" && mode != "user")
      return Error("--close-application must be true, false, restart or user");
    options.close_application = mode;
  }
  if (auto found = values.find("--check"); found != values.end()) {
    if (found->second == "hash")
      options.check = FileCheck::kHash;
    else if (found->second == "version")
      options.check = FileCheck::kVersion;
    else if (found->second == "date")
      options.check = FileCheck::kDate;
    else
      return Error("--check must be hash, version or date");
  }
  options.enable_rollback = flags.count("--enable-rollback") != 0;
  options.encrypt = flags.count("--encrypt") != 0;
  if (auto found = values.find("--sign"); found != values.end()) {
    if (found->second.empty()) return Error("--sign needs a key file");
    options.sign_key_file = found->second;
  }

  ParsedArguments parsed;
  parsed.options = std::move(options);
  return parsed;
}

std::string ReleaseUsage() {
  return R"(Usage: Velmora Release --previous DIR --next DIR --version X.Y.Z.W --base-url URL
                       --output DIR [options]

Compares two release folders and writes the update file that makes the updater
install the next release over the previous one, together with the files to
publish.

Required:
  --previous DIR        the folder of the release installed now
  --next DIR            the folder of the new release
  --version X.Y.Z.W     the new release's version: one to four numbers with dots
  --base-url URL        http:// or https:// address where the content of the
                        output folder will be published (no query or fragment)
  --output DIR          where to write; must be missing or an empty folder

Options:
  --sections toplevel|single
                        toplevel (default): one section per top-level folder,
                        files at the top in a section named after the
                        application; single: one section named after the
                        application
  --application-name NAME
                        the application's section name (default Application)
  --close-application true|false|restart|user
                        whether the updater closes the application before it
                        installs (default false)
  --enable-rollback     let the updater keep what it needs to undo the update
  --encrypt             write updatefile.xml in the encrypted form
  --check hash|version|date
                        how the updater finds a file out of date when it checks
                        file by file (default hash); a file without a version
                        resource is checked by hash
  --sign KEYFILE        sign updatefile.xml with a minisign secret key made
                        without a password (minisign -G -W): writes
                        updatefile.xml.minisig beside it, with the trusted
                        comment "timestamp:<seconds>\tfile:updatefile.xml"
  -h, --help            show this text

Output:
  OUTPUT/updatefile.xml          the update file (with --encrypt its encrypted
                                 form, under the same name; no plain copy is
                                 written)
  OUTPUT/updatefile.xml.minisig  with --sign: its signature
  OUTPUT/files/<relative path>   every new or changed file of the next release

For every new or changed file the update file holds a download from
URL/files/<relative path> (percent-encoded) into the updater's temporary
folder and a copy to %app%<relative path>, overwriting; for every removed file
a delete of %app%<relative path>. Every published file carries its MD5 and
SHA-256 digests (the FILE's hash and sha256, the download's sha256). Symbolic
links and special files in either folder are refused, never followed.

Exit codes: 0 written; 1 wrong command line; 2 the folders or their files are
refused (missing folder, link, unreadable file, a name the update file cannot
carry, more than 1024 files); 3 the output could not be written.
)";
}
