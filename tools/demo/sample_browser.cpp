// The sample application of the demo update: a stand-in for the browser that
// the starter launches (Browser/chrome). It prints its version, which is
// compiled in, the arguments it was given and the greeting of its start page
// (data/startpage.txt beside it), then ends at once, so that an update shows in
// what it prints.

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "platform/file_system.h"
#include "platform/path.h"
#include "platform/system_paths.h"

#ifndef VELMORA_SAMPLE_VERSION
#error "VELMORA_SAMPLE_VERSION names the version of this build"
#endif

namespace {

constexpr std::uint64_t kMaxStartPageBytes = 4096;

// The first line of the start page, or a note when it cannot be read.
std::string StartPageGreeting() {
  const std::string path = platform::JoinPath(
      platform::JoinPath(platform::FolderOf(platform::ExecutablePath()), "data"), "startpage.txt");
  std::optional<std::string> text = platform::ReadFile(path, kMaxStartPageBytes);
  if (!text) return "(no start page)";
  std::string line = text->substr(0, text->find('\n'));
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace

int main(int argc, char** argv) {
  std::printf("Velmora Browser %s\n", VELMORA_SAMPLE_VERSION);
  std::printf("arguments:");
  for (int i = 1; i < argc; ++i) std::printf(" [%s]", argv[i]);
  std::printf("\nstart page: %s\n", StartPageGreeting().c_str());
  return 0;
}
