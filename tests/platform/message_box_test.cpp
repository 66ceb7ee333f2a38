#include "platform/message_box.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/system_paths.h"

namespace {

// Removes an environment variable for the life of the object.
class ScopedUnset {
 public:
  explicit ScopedUnset(std::string name) : name_(std::move(name)), old_(platform::GetEnv(name_)) {
    unsetenv(name_.c_str());
  }
  ~ScopedUnset() {
    if (old_) setenv(name_.c_str(), old_->c_str(), 1);
  }

 private:
  std::string name_;
  std::optional<std::string> old_;
};

}  // namespace

struct DialogCase {
  const char* program;
  std::vector<std::string> expected;
};

void PrintTo(const DialogCase& c, std::ostream* out) { *out << c.program; }

class WarningDialog : public ::testing::TestWithParam<DialogCase> {};

TEST_P(WarningDialog, ArgumentsCarryCaptionAndTextLiterally) {
  const DialogCase& c = GetParam();
  EXPECT_EQ(platform::WarningDialogArguments(c.program, "Cap <b>", "Text & \"more\""), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Programs, WarningDialog,
    ::testing::Values(DialogCase{"zenity",
                                 {"--warning", "--no-markup", "--title=Cap <b>",
                                  "--text=Text & \"more\"", "--ok-label=OK"}},
                      DialogCase{"kdialog", {"--title", "Cap <b>", "--sorry", "Text & \"more\""}},
                      DialogCase{"xmessage",
                                 {"-title", "Cap <b>", "-buttons", "OK:0", "-default", "OK",
                                  "-center", "Text & \"more\""}},
                      DialogCase{"sh", {}}),
    [](const auto& info) { return std::string(info.param.program); });

TEST(ShowWarningMessage, WithoutDisplayShowsNothing) {
  ScopedUnset display("DISPLAY"), wayland("WAYLAND_DISPLAY");
  platform::Status shown = platform::ShowWarningMessage("Caption", "Text");
  EXPECT_FALSE(shown);
  EXPECT_EQ(shown.message(), "no display");
}

TEST(ShowWarningMessage, WithoutDialogProgramShowsNothing) {
  ScopedUnset wayland("WAYLAND_DISPLAY");
  std::optional<std::string> old_display = platform::GetEnv("DISPLAY");
  std::optional<std::string> old_path = platform::GetEnv("PATH");
  setenv("DISPLAY", ":4242", 1);
  setenv("PATH", "/nonexistent-velmora-folder", 1);
  platform::Status shown = platform::ShowWarningMessage("Caption", "Text");
  old_path ? setenv("PATH", old_path->c_str(), 1) : unsetenv("PATH");
  old_display ? setenv("DISPLAY", old_display->c_str(), 1) : unsetenv("DISPLAY");
  EXPECT_FALSE(shown);
  EXPECT_EQ(shown.message(), "no dialog program is installed");
}
