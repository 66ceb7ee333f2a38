#include "platform/system_paths.h"

#include <limits.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/file_system.h"
#include "platform/path.h"

namespace platform {
namespace {

std::string HomeFolder() {
  if (auto home = GetEnv("HOME"); home && !home->empty()) return *home;
  if (passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return "/";
}

// An XDG base folder: the variable when it holds an absolute path, else the fallback.
std::string XdgFolder(const char* variable, const std::string& fallback) {
  auto value = GetEnv(variable);
  if (value && !value->empty() && (*value)[0] == '/') return *value;
  return fallback;
}

// The desktop folder from user-dirs.dirs (XDG_DESKTOP_DIR="$HOME/Desktop"), else ~/Desktop.
std::string DesktopFolder(const std::string& home, const std::string& config) {
  if (auto value = GetEnv("XDG_DESKTOP_DIR"); value && !value->empty() && (*value)[0] == '/')
    return WithoutTrailingSeparators(*value);
  if (auto text = ReadFile(config + "/user-dirs.dirs", 64 * 1024)) {
    size_t start = 0;
    while (start < text->size()) {
      size_t end = text->find('\n', start);
      if (end == std::string::npos) end = text->size();
      std::string line = text->substr(start, end - start);
      start = end + 1;
      const std::string key = "XDG_DESKTOP_DIR=\"";
      if (line.rfind(key, 0) != 0) continue;
      size_t close = line.find('"', key.size());
      if (close == std::string::npos) continue;
      std::string value = line.substr(key.size(), close - key.size());
      if (value.rfind("$HOME", 0) == 0) value = home + value.substr(5);
      if (!value.empty() && value[0] == '/') return WithoutTrailingSeparators(value);
    }
  }
  return home + "/Desktop";
}

}  // namespace

std::string ExecutablePath() {
  std::vector<char> buffer(PATH_MAX + 1);
  ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (n <= 0) return {};
  std::string path(buffer.data(), static_cast<size_t>(n));
  const std::string deleted = " (deleted)";
  if (path.size() > deleted.size() &&
      path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0)
    path.resize(path.size() - deleted.size());
  return path;
}

std::string ExecutableSuffix() { return ""; }

std::string CurrentFolder() {
  std::vector<char> buffer(PATH_MAX + 1);
  if (::getcwd(buffer.data(), buffer.size()) == nullptr) return "/";
  return buffer.data();
}

std::string FullPath(const std::string& path) {
  if (path.empty()) return path;
  return CollapseDots(path[0] == '/' ? path : CurrentFolder() + "/" + path);
}

std::string UserStateFolder() {
  std::string home = WithoutTrailingSeparators(HomeFolder());
  return WithoutTrailingSeparators(XdgFolder("XDG_STATE_HOME", home + "/.local/state"));
}

SpecialFolders GetSpecialFolders() {
  std::string home = WithoutTrailingSeparators(HomeFolder());
  std::string config = WithoutTrailingSeparators(XdgFolder("XDG_CONFIG_HOME", home + "/.config"));
  std::string data = WithoutTrailingSeparators(XdgFolder("XDG_DATA_HOME", home + "/.local/share"));
  SpecialFolders f;
  f.program_files = "/opt";
  f.system = "/usr/lib";
  f.user_profile = home;
  f.app_data = config;
  f.common_app_data = "/var/lib";
  f.start_menu = data + "/applications";
  f.desktop = DesktopFolder(home, config);
  f.common_start_menu = "/usr/share/applications";
  f.common_desktop = f.desktop;
  f.windows = "/etc";
  return f;
}

std::optional<std::string> PrivateTempFolder(std::string* error) {
  std::string base = XdgFolder("TMPDIR", "/tmp");
  base = WithoutTrailingSeparators(base);
  uid_t uid = ::getuid();
  std::string folder = base + "/velmora-" + std::to_string(uid);
  auto fail = [&](const std::string& why) -> std::optional<std::string> {
    if (error) *error = "temporary folder '" + folder + "' " + why;
    return std::nullopt;
  };
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
    return fail(std::string("cannot be created: ") + std::strerror(errno));
  struct stat st {};
  if (::lstat(folder.c_str(), &st) != 0) return fail("cannot be read");
  if (S_ISLNK(st.st_mode)) return fail("is a symbolic link");
  if (!S_ISDIR(st.st_mode)) return fail("is not a folder");
  if (st.st_uid != uid) return fail("belongs to another user");
  if ((st.st_mode & 077) != 0) return fail("is open to other users");
  return folder;
}

std::optional<std::string> GetEnv(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  if (!value) return std::nullopt;
  return std::string(value);
}

}  // namespace platform

namespace platform {

std::string LogonUserName() {
  // The account database's name for the real user, bounded like the
  // system's own login names.
  const long size_hint = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size_hint > 0 && size_hint < 65536 ? static_cast<std::size_t>(size_hint)
                                                              : 16384);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
      !found->pw_name)
    return {};
  std::string name = found->pw_name;
  if (name.size() > 256) return {};
  return name;
}

}  // namespace platform
