#include "platform/shortcut.h"

#include <vector>

#include "platform/file_system.h"
#include "platform/path.h"
#include "platform/posix/desktop_entry.h"
#include "platform/process.h"

namespace platform {
namespace {

constexpr char kDesktopEnding[] = ".desktop";
constexpr char kLinkEnding[] = ".lnk";

bool EndsWithNoCase(const std::string& text, const std::string& ending) {
  if (text.size() < ending.size()) return false;
  for (std::size_t i = 0; i < ending.size(); ++i) {
    char c = text[text.size() - ending.size() + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != ending[i]) return false;
  }
  return true;
}

}  // namespace

std::string ShortcutFilePath(const std::string& link_file) {
  std::string path = NormalizeSeparators(link_file);
  if (EndsWithNoCase(path, kDesktopEnding)) return path;
  if (EndsWithNoCase(path, kLinkEnding)) path.resize(path.size() - (sizeof(kLinkEnding) - 1));
  return path + kDesktopEnding;
}

std::optional<std::string> FormatShortcutEntry(const ShortcutDefinition& definition) {
  if (definition.target.empty()) return std::nullopt;
  std::string name = definition.description;
  if (name.empty()) {
    name = FileNameOf(ShortcutFilePath(definition.link_file));
    name.resize(name.size() - (sizeof(kDesktopEnding) - 1));
  }
  std::vector<std::string> exec = SplitCommandLine(definition.parameters);
  exec.insert(exec.begin(), NormalizeSeparators(definition.target));

  DesktopEntryWriter entry;
  bool ok = entry.Add("Type", "Application") && entry.Add("Name", name);
  if (ok && !definition.description.empty()) ok = entry.Add("Comment", definition.description);
  if (ok) ok = entry.AddExec(exec);
  if (ok && !definition.working_folder.empty())
    ok = entry.Add("Path", NormalizeSeparators(definition.working_folder));
  if (ok && !definition.icon_file.empty() && definition.icon_index >= 0)
    ok = entry.Add("Icon", NormalizeSeparators(definition.icon_file));
  if (!ok) return std::nullopt;
  return entry.Text();
}

Status CreateShortcut(const ShortcutDefinition& definition) {
  std::optional<std::string> text = FormatShortcutEntry(definition);
  if (!text) return Status::Fail("the shortcut '" + definition.link_file + "' cannot be written");
  const std::string path = ShortcutFilePath(definition.link_file);
  if (FileNameOf(path) == kDesktopEnding)
    return Status::Fail("the shortcut '" + definition.link_file + "' has no name");
  const std::string folder = FolderOf(path);
  if (!folder.empty()) {
    if (Status status = CreateFolders(folder); !status) return status;
  }
  return WriteFileAtomic(path, *text, FilePermissions::kExecutable);
}

}  // namespace platform
