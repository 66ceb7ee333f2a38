#pragma once
// Stand-ins for the tests of the modes: a host that records what a mode
// posts, a window module whose dialogs answer from a script, and a wizard
// view that records what it is told.

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <type_traits>
#include <vector>

#include "updater/core/dialog_service.h"
#include "updater/process/event_loop.h"
#include "updater/process/mode.h"
#include "updater/ui/window_module.h"
#include "updater/ui/wizard_view.h"

namespace mode_test {

enum class Target { kProcess, kInterface };

struct Post {
  Target target;
  MessageId id;
  std::int64_t wparam;
  std::int64_t lparam;
  std::int64_t delay_ms;  // 0: at once

  bool operator==(const Post&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const Post& post) {
  return out << (post.target == Target::kProcess ? "process" : "interface") << " 0x" << std::hex
             << ToNumber(post.id) << std::dec << " (" << post.wparam << ", " << post.lparam
             << ") after " << post.delay_ms << " ms";
}

class RecordingHost : public IModeHost {
 public:
  void PostToProcess(Message m) override { Record(Target::kProcess, m, 0); }
  void PostToProcessDelayed(Message m, std::int64_t delay_ms) override {
    Record(Target::kProcess, m, delay_ms);
  }
  void PostToInterface(Message m) override { Record(Target::kInterface, m, 0); }
  void PostToInterfaceDelayed(Message m, std::int64_t delay_ms) override {
    Record(Target::kInterface, m, delay_ms);
  }

  std::vector<Post> posts;
  std::vector<Message> messages;  // the same posts, whole
  Message last;                   // the last message posted, whole

 private:
  void Record(Target target, const Message& m, std::int64_t delay_ms) {
    posts.push_back(Post{target, m.id, m.wparam, m.lparam, delay_ms});
    messages.push_back(m);
    last = m;
  }
};

// A parameter as the message carries it: a code by its number.
template <typename Parameter>
std::int64_t Number(Parameter parameter) {
  if constexpr (std::is_enum_v<Parameter>)
    return ToNumber(parameter);
  else
    return parameter;
}

template <typename W, typename L>
Post ToProcess(MessageId id, W wparam, L lparam, std::int64_t delay = 0) {
  return Post{Target::kProcess, id, Number(wparam), Number(lparam), delay};
}

inline Post ToInterface(MessageId id, TaskId task) {
  return Post{Target::kInterface, id, ToNumber(task), 0, 0};
}

// Dialogs whose message boxes answer from a script (No once it is used up)
// and which remember what they showed.
class ScriptedDialogs : public IDialogService {
 public:
  void ShowError(const ErrorDialogRequest& request) override { errors.push_back(request); }
  MessageBoxAnswer ShowMessageBox(const MessageBoxRequest& request) override {
    boxes.push_back(request);
    if (answers.empty()) return MessageBoxAnswer::kNo;
    const MessageBoxAnswer answer = answers.front();
    answers.pop_front();
    return answer;
  }
  std::optional<std::size_t> SelectLanguage(const std::vector<LanguageChoice>&,
                                            std::size_t) override {
    return std::nullopt;
  }

  std::deque<MessageBoxAnswer> answers;
  std::vector<ErrorDialogRequest> errors;
  std::vector<MessageBoxRequest> boxes;
};

// Everything a wizard view was told, in order.
struct WizardRecord {
  std::vector<WizardPage> pages;
  std::vector<WizardPageTexts> page_texts;
  std::vector<WizardButtons> buttons;
  std::vector<std::string> statuses;
  std::string features_heading;
  std::vector<FeatureLine> features;
  std::vector<std::vector<SectionRow>> sections;
  std::vector<SectionDetails> details;
  std::vector<std::optional<std::string>> item_labels;  // one per item progress
  std::vector<int> item_percents;
  std::vector<int> total_percents;
  std::vector<std::string> total_labels;
  bool shortcuts_checked = true;  // the finish page's check box
  bool destroyed = false;

  const WizardButtons& Buttons() const { return buttons.back(); }
};

class RecordingWizardView : public IWizardView {
 public:
  explicit RecordingWizardView(WizardRecord& record) : record_(record) {}
  ~RecordingWizardView() override { record_.destroyed = true; }
  void ShowPage(WizardPage page, const WizardPageTexts& texts) override {
    record_.pages.push_back(page);
    record_.page_texts.push_back(texts);
  }
  void SetButtons(const WizardButtons& buttons) override { record_.buttons.push_back(buttons); }
  void SetStatus(const std::string& status) override { record_.statuses.push_back(status); }
  void SetFeatures(const std::string& heading, const std::vector<FeatureLine>& lines) override {
    record_.features_heading = heading;
    record_.features = lines;
  }
  void SetSections(const std::vector<SectionRow>& rows) override {
    record_.sections.push_back(rows);
  }
  void SetSectionDetails(const SectionDetails& details) override {
    record_.details.push_back(details);
  }
  void SetItemProgress(int percent, const std::optional<std::string>& label) override {
    record_.item_percents.push_back(percent);
    record_.item_labels.push_back(label);
  }
  void SetTotalProgress(int percent, const std::string& label) override {
    record_.total_percents.push_back(percent);
    record_.total_labels.push_back(label);
  }
  bool ShortcutsChecked() const override { return record_.shortcuts_checked; }

 private:
  WizardRecord& record_;
};

// A started window module stand-in whose loop is never run here.
class FakeWindowModule : public IWindowModule, public IEventLoop {
 public:
  platform::Status Start() override { return platform::Status::Ok(); }
  IEventLoop& Loop() override { return *this; }
  IDialogService& Dialogs() override { return dialogs; }
  bool Serve(CMessageQueue&, const std::function<bool()>&) override { return false; }
  std::optional<TypedCredentials> AskProxyCredentials() override {
    ++asked;
    return typed;
  }
  void ShowAbout() override {}
  bool CloseApplication(const std::string& title, const std::string& executable_path) override {
    ++asked;
    closed_title = title;
    closed_path = executable_path;
    return closes;
  }
  std::unique_ptr<IWizardView> CreateWizard(const WizardFrame& wizard_frame,
                                            IWizardActions& wizard_actions) override {
    if (!has_wizard) return nullptr;
    frame = wizard_frame;
    actions = &wizard_actions;
    return std::make_unique<RecordingWizardView>(wizard);
  }
  std::unique_ptr<ITrayView> CreateTray(const TrayFrame& frame, ITrayActions&) override {
    ++trays;
    tray_frame = frame;
    return nullptr;
  }

  ScriptedDialogs dialogs;
  std::optional<TypedCredentials> typed;  // what the person types; nullopt: Cancel
  bool closes = true;                     // the countdown ends with the program gone
  std::string closed_title;
  std::string closed_path;
  int asked = 0;
  bool has_wizard = true;
  WizardFrame frame;
  IWizardActions* actions = nullptr;
  WizardRecord wizard;
  int trays = 0;  // tray views asked for
  TrayFrame tray_frame;
};

}  // namespace mode_test
