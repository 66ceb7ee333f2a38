// Runs the built copy program, and the copy of it that the updater carries,
// on real files. The cases run side by side, so that the program's wait before
// the copy is spent once.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/system_paths.h"
#include "tests/support/temp_folder.h"
#include "updater/tasks/self_update/embedded_copy_program.h"

namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kRunBoundMs = 20000;  // the program waits 3 s before it copies

// Removes the display variables for the life of the object, so that a failure
// goes to standard error and the system log instead of a dialog.
class NoDisplay {
 public:
  NoDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
      saved_.push_back({name, platform::GetEnv(name)});
      unsetenv(name);
    }
  }
  ~NoDisplay() {
    for (const auto& [name, value] : saved_)
      if (value) setenv(name.c_str(), value->c_str(), 1);
  }

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

unsigned ModeOf(const std::string& path) {
  return static_cast<unsigned>(fs::status(path).permissions()) & 0777;
}

std::string WriteEmbeddedProgram(const TempFolder& folder) {
  std::span<const unsigned char> bytes = EmbeddedCopyProgram();
  std::string path = folder / "embedded/Tolvaric";
  platform::CreateFolders(folder / "embedded");
  platform::WriteFileAtomic(
      path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
      platform::FilePermissions::kExecutable);
  return path;
}

struct ProgramCase {
  std::string name;
  std::string program;
  std::vector<std::string> arguments;
  int exit_code;
  std::function<void()> check;
};

}  // namespace

TEST(EmbeddedCopyProgram, HoldsTheBuiltProgramWithoutDebugInformation) {
  std::span<const unsigned char> bytes = EmbeddedCopyProgram();
  auto file = platform::ReadFile(VELMORA_EMBEDDED_COPY_PROGRAM_FILE, 64 << 20);
  ASSERT_TRUE(file);
  ASSERT_EQ(bytes.size(), file->size());
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), file->begin(), [](unsigned char a, char b) {
    return a == static_cast<unsigned char>(b);
  }));
  ASSERT_GE(bytes.size(), 4u);
  EXPECT_EQ(bytes[0], 0x7f);  // an ELF program
  EXPECT_EQ(bytes[1], 'E');
}

TEST(CopyProgram, ReplacesOrLeavesTheOldProgramInPlace) {
  NoDisplay no_display;
  TempFolder folder;
  const std::string built = VELMORA_TOLVARIC_PROGRAM;
  const std::string embedded = WriteEmbeddedProgram(folder);

  // One folder per case: an installed program and a newer one in a temporary folder.
  auto prepare = [&folder](const std::string& name) {
    std::string target = folder.Write(name + "/app folder/Velmora Updater", "old program");
    fs::permissions(target, static_cast<fs::perms>(0755), fs::perm_options::replace);
    std::string source = folder.Write(name + "/tmp folder/Velmora Updater", "new program");
    return std::pair{source, target};
  };

  std::vector<ProgramCase> cases;
  {
    auto [source, target] = prepare("replaced");
    cases.push_back({"Replaced", built, {source, target}, 0, [target] {
                       EXPECT_EQ(platform::ReadFile(target, 1024), "new program");
                       EXPECT_EQ(ModeOf(target), 0755u);
                     }});
  }
  {
    auto [source, target] = prepare("embedded");
    cases.push_back({"EmbeddedCopyReplaces", embedded, {source, target}, 0, [target] {
                       EXPECT_EQ(platform::ReadFile(target, 1024), "new program");
                     }});
  }
  {
    auto [source, target] = prepare("missing");
    fs::remove(source);
    cases.push_back({"SourceMissing", built, {source, target}, 1, [target] {
                       EXPECT_EQ(platform::ReadFile(target, 1024), "old program");
                     }});
  }
  {
    auto [source, target] = prepare("failing");
    cases.push_back(
        {"SourceFailsWhileRead", built, {"/proc/self/mem", target}, 1, [target, &folder] {
           EXPECT_EQ(platform::ReadFile(target, 1024), "old program");
           // no temporary file beside the program
           EXPECT_EQ(platform::ListFolder(folder / "failing/app folder")->size(), 1u);
         }});
  }
  {
    auto [source, target] = prepare("link");
    std::string victim = folder.Write("link/elsewhere/victim", "someone else's file");
    std::string link = folder / "link/app folder/linked updater";
    fs::create_symlink(victim, link);
    cases.push_back({"TargetIsALink", built, {source, link}, 1, [link, victim] {
                       EXPECT_TRUE(platform::IsSymbolicLink(link));
                       EXPECT_EQ(platform::ReadFile(victim, 1024), "someone else's file");
                     }});
  }
  cases.push_back({"NoArguments", built, {}, 1, [] {}});
  cases.push_back({"EmbeddedCopyWithoutArguments", embedded, {}, 1, [] {}});

  std::vector<platform::StartResult> started;
  for (const ProgramCase& c : cases) {
    started.push_back(platform::StartProgram(c.program, c.arguments, folder.path()));
    ASSERT_TRUE(started.back().status) << c.name << ": " << started.back().status.message();
  }
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].name);
    EXPECT_EQ(platform::WaitForProcess(started[i].pid, kRunBoundMs), cases[i].exit_code);
    cases[i].check();
  }
}
