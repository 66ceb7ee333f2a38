#include "updater/tasks/self_update/self_update.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/file_system.h"
#include "platform/path.h"
#include "platform/system_paths.h"
#include "updater/core/text.h"
#include "updater/core/updater_log.h"
#include "updater/core/updater_paths.h"
#include "updater/description/read_text_file.h"
#include "updater/description/xml_document.h"
#include "updater/tasks/install/install.h"

namespace {

constexpr char kFallbackDownloadName[] = "updater.download";
constexpr char kCollisionPrefix[] = "selfupdate_";
constexpr char kResumeSuffix[] = ".rsm";
// Names the check and the rollback use below %updatertemp%.
constexpr const char* kReservedNames[] = {"updatefile.xml", "selfupdate.xml", "rollback"};

void Log(const std::string& line) { CUpdaterLog::Instance().WriteLine(line); }

SelfUpdateOutcome Refuse(const std::string& why) {
  Log("SELF-UPDATE REFUSED: " + why);
  return SelfUpdateOutcome::kRefused;
}

std::string InFolder(const std::string& folder, const std::string& name) {
  return platform::JoinPath(platform::WithoutTrailingSeparators(folder), name);
}

bool IsHexDigest(std::string_view text) {
  return text.size() == 32 && std::all_of(text.begin(), text.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
         });
}

// Every path below %updatertemp% that the other downloads of the update take,
// with their resume files.
std::vector<std::string> TakenDownloadPaths(const CUpdateFileData& data) {
  std::vector<std::string> taken;
  for (const CFileData& file : data.files) {
    for (const FileAction& action : file.actions) {
      const auto* found = std::get_if<CFileActionDownload>(&action);
      if (!found) continue;
      const CFileActionDownload& download = *found;
      if (download.destination.empty()) continue;
      const std::string path = platform::NormalizeSeparators(download.destination);
      taken.push_back(path);
      taken.push_back(path + kResumeSuffix);
    }
  }
  return taken;
}

bool IsTaken(const std::string& name, const std::string& updater_temp,
             const std::vector<std::string>& taken) {
  for (const char* reserved : kReservedNames)
    if (EqualsNoCase(name, reserved) || EqualsNoCase(name + kResumeSuffix, reserved)) return true;
  const std::string path = platform::NormalizeSeparators(InFolder(updater_temp, name));
  for (const std::string& other : taken) {
    if (EqualsNoCase(path, other) || EqualsNoCase(path + kResumeSuffix, other)) return true;
  }
  return false;
}

bool IsSelfUpdateRecord(const CFileData& file, const SelfUpdateFiles& files) {
  if (file.name != kSelfUpdateRecordName || !file.section.empty() || !file.location.empty() ||
      file.actions.size() != 2)
    return false;
  const auto* copy = std::get_if<CFileActionCopy>(&file.actions[1]);
  return copy && copy->new_location == files.staged;
}

bool IsSelfUpdateCloseAction(const EventAction& action, const SelfUpdateFiles& files) {
  const auto* run = std::get_if<CEventActionRun>(&action);
  return run && run->location == files.copy_program;
}

// Why the files cannot make a hand-off; "" when they can.
std::string FilesProblem(const SelfUpdateFiles& files) {
  struct Named {
    const char* role;
    const std::string& path;
  };
  for (const Named& named :
       {Named{"the staged program", files.staged}, Named{"the program to replace", files.target},
        Named{"the copy program", files.copy_program}, Named{"the download", files.download}}) {
    const std::string problem = HandOffPathProblem(named.path);
    if (!problem.empty()) return "the path of " + std::string(named.role) + " " + problem;
  }
  if (EqualsNoCase(files.staged, files.target))
    return "the updater runs from the place where the new program is staged";
  if (platform::IsSymbolicLink(files.target) || !platform::FileExists(files.target))
    return "the program to replace is not a regular file: " + files.target;
  if (platform::FolderExists(files.staged))
    return "a folder is in the place of the staged program: " + files.staged;
  return {};
}

}  // namespace

std::string UpdaterProgramFileName() { return "Velmora Updater" + platform::ExecutableSuffix(); }

std::optional<std::string> ReadSelfUpdateDigest(const std::string& path) {
  CXmlDocument document;
  document.SetDocument(ReadTextFile(path));
  if (!document.FindElement("SELFUPDATE") || !document.EnterElement()) return std::string();
  if (!document.FindElement("HASH")) return std::string();
  const std::string digest = ToLower(TrimWhitespace(document.GetContentText()));
  if (!IsHexDigest(digest)) return std::nullopt;
  return digest;
}

std::string SelfUpdateDownloadName(std::string_view location, const CUpdateFileData& data,
                                   const std::string& updater_temp) {
  std::string_view path = location;
  path = path.substr(0, path.find_first_of("?#"));
  std::string name = platform::FileNameOf(std::string(path));
  if (name.empty() || name == "." || name == ".." || name.size() > kMaxDownloadNameBytes ||
      HasControlCharacter(name) || name.find('"') != std::string::npos)
    name = kFallbackDownloadName;
  const std::vector<std::string> taken = TakenDownloadPaths(data);
  // Each round makes the name longer, so it leaves the finite set of taken
  // names behind.
  while (IsTaken(name, updater_temp, taken)) name = kCollisionPrefix + name;
  return name;
}

std::string HandOffPathProblem(const std::string& path) {
  if (path.empty()) return "is empty";
  if (path.size() > kMaxHandOffPathBytes) return "is too long";
  if (path.find('"') != std::string::npos) return "holds a double quote: " + path;
  if (HasControlCharacter(path)) return "holds a control character";
  // The file actions read a backslash as a separator; the copy program takes
  // the path as written. Only one spelling may reach both.
  if (platform::NormalizeSeparators(path) != path)
    return "is not written with the platform's separators: " + path;
  if (platform::IsPathSeparator(path.back())) return "ends in a separator: " + path;
  if (platform::FullPath(path) != path) return "is not a full path: " + path;
  return {};
}

std::string CopyProgramParameters(const SelfUpdateFiles& files) {
  return "\"" + files.staged + "\" \"" + files.target + "\"";
}

CFileData MakeSelfUpdateRecord(const std::string& location, const std::string& digest,
                               const SelfUpdateFiles& files) {
  CFileData record;
  record.name = kSelfUpdateRecordName;
  record.hash = digest;
  record.update_needed = true;
  CFileActionDownload download;
  download.locations.push_back(location);
  download.destination = files.download;
  download.temporary = true;
  // The description's digest is that of the download, which is copied as it is.
  download.md5 = digest;
  record.actions.push_back(std::move(download));
  CFileActionCopy copy;
  copy.old_location = files.download;
  copy.new_location = files.staged;
  copy.overwrite = true;
  record.actions.push_back(std::move(copy));
  return record;
}

CEventActionRun MakeSelfUpdateCloseAction(const SelfUpdateFiles& files) {
  CEventActionRun run;
  run.location = files.copy_program;
  run.parameters = CopyProgramParameters(files);
  return run;
}

SelfUpdateOutcome PrepareSelfUpdate(const std::string& description_path,
                                    SelfUpdateContext context) {
  if (!context.data.self_update) return SelfUpdateOutcome::kDisabled;
  ReadSelfUpdateFile(description_path, context.info);
  const std::string offered = TrimWhitespace(context.info.version);
  const std::string own = CSelfUpdateInfo::OwnUpdaterVersionText();
  if (offered.empty() || offered == own) {
    Log("self-update: no other updater version is offered");
    return SelfUpdateOutcome::kCurrent;
  }

  const std::string location = TrimWhitespace(context.info.location);
  if (location.empty()) return Refuse("version " + offered + " is offered without a location");
  const std::optional<std::string> digest = ReadSelfUpdateDigest(description_path);
  if (!digest) return Refuse("the HASH of version " + offered + " is not an MD5 digest");
  const SelfUpdateFolders& folders = context.folders;
  if (folders.updater_temp.empty() || folders.temp.empty())
    return Refuse("the temporary folders are not known");

  SelfUpdateFiles files;
  files.download = InFolder(folders.updater_temp,
                            SelfUpdateDownloadName(location, context.data, folders.updater_temp));
  files.staged = InFolder(folders.temp, UpdaterProgramFileName());
  files.copy_program = InFolder(folders.temp, CopyProgramFileName());
  files.target = folders.running_updater;
  if (std::string problem = FilesProblem(files); !problem.empty()) return Refuse(problem);

  // A record and action of an earlier call are replaced.
  std::erase_if(context.data.files,
                [&files](const CFileData& file) { return IsSelfUpdateRecord(file, files); });
  CEventData* on_close = context.events.Find(kSelfUpdateEvent);
  if (!on_close) return Refuse("the event table has no ONCLOSE");
  std::erase_if(on_close->actions, [&files](const EventAction& action) {
    return IsSelfUpdateCloseAction(action, files);
  });
  if (context.data.files.size() >= kMaxFiles) return Refuse("the list of files is full");
  if (on_close->actions.size() >= kMaxEventActions)
    return Refuse("the list of ONCLOSE actions is full");

  // Only what this run stages may be handed over: a program staged by an
  // earlier run (perhaps another version) goes.
  if (platform::FileExists(files.staged) || platform::IsSymbolicLink(files.staged)) {
    if (platform::Status removed = platform::RemoveFile(files.staged); !removed)
      return Refuse("an earlier staged program cannot be removed: " + removed.message());
  }

  context.data.files.push_back(MakeSelfUpdateRecord(location, *digest, files));
  on_close->actions.push_back(MakeSelfUpdateCloseAction(files));
  Log("self-update: updater version " + offered + " from " + location + " replaces " + own +
      (digest->empty() ? " (no digest given)" : " (MD5 " + *digest + ")"));
  return SelfUpdateOutcome::kPrepared;
}

SelfUpdateOutcome PrepareSelfUpdate(const std::string& description_path) {
  const CUpdaterPaths& paths = CUpdaterPaths::Instance();
  return PrepareSelfUpdate(
      description_path,
      SelfUpdateContext{.data = CUpdateFileData::Instance(),
                        .events = CEventTable::Instance(),
                        .info = CSelfUpdateInfo::Instance(),
                        .folders = {.updater_temp = paths.Entry(kPathUpdaterTemp),
                                    .temp = paths.Entry(kPathTemp),
                                    .running_updater = paths.Entry(kPathUpdaterFile)}});
}
