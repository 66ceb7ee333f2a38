#include "platform/message_box.h"

#include <cstdint>
#include <optional>

#include "platform/process.h"
#include "platform/system_paths.h"

namespace platform {
namespace {

// The user closes the dialog; this only bounds a dialog nobody answers.
constexpr std::int64_t kDialogBoundMs = 24LL * 60 * 60 * 1000;

bool IsSet(const char* name) {
  auto value = GetEnv(name);
  return value && !value->empty();
}

// The program's path in the first folder of the search path that holds it;
// only absolute folders count.
std::optional<std::string> FindOnSearchPath(const std::string& name) {
  std::string search = GetEnv("PATH").value_or("/usr/bin:/bin");
  std::size_t start = 0;
  while (start <= search.size()) {
    std::size_t end = search.find(':', start);
    if (end == std::string::npos) end = search.size();
    std::string folder = search.substr(start, end - start);
    start = end + 1;
    if (folder.empty() || folder[0] != '/') continue;
    std::string candidate = folder + "/" + name;
    if (IsExecutableFile(candidate)) return candidate;
  }
  return std::nullopt;
}

}  // namespace

std::vector<std::string> WarningDialogArguments(std::string_view program,
                                                const std::string& caption,
                                                const std::string& text) {
  if (program == "zenity")
    return {"--warning", "--no-markup", "--title=" + caption, "--text=" + text, "--ok-label=OK"};
  if (program == "kdialog") return {"--title", caption, "--sorry", text};
  if (program == "xmessage")
    return {"-title", caption, "-buttons", "OK:0", "-default", "OK", "-center", text};
  return {};
}

Status ShowWarningMessage(const std::string& caption, const std::string& text) {
  const bool x_display = IsSet("DISPLAY");
  if (!x_display && !IsSet("WAYLAND_DISPLAY")) return Status::Fail("no display");
  for (const char* program : {"zenity", "kdialog", "xmessage"}) {
    if (std::string_view(program) == "xmessage" && !x_display) continue;
    auto path = FindOnSearchPath(program);
    if (!path) continue;
    StartResult started = StartProgram(*path, WarningDialogArguments(program, caption, text), "");
    if (!started.status) continue;
    std::optional<int> code = WaitForProcess(started.pid, kDialogBoundMs);
    if (!code) {
      ReleaseChild(started.pid);
      return Status::Fail(std::string(program) + " did not end");
    }
    // Any other ending (no display connection, closed by the window manager)
    // is not taken as seen.
    if (*code != 0)
      return Status::Fail(std::string(program) + " ended with code " + std::to_string(*code));
    return Status::Ok();
  }
  return Status::Fail("no dialog program is installed");
}

}  // namespace platform
