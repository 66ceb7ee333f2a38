#include "updater/ui/mode_silent.h"

#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <optional>
#include <ostream>
#include <vector>

#include "tests/support/native_path.h"
#include "tests/ui/mode_test_doubles.h"
#include "updater/core/language.h"
#include "updater/core/text.h"
#include "updater/core/updater_paths.h"
#include "updater/core/updater_settings.h"
#include "updater/description/update_file_data.h"

namespace {

// ---------------------------------------------------------------------------
// Stand-ins

// The host that records what the mode posts, shared with the other modes' tests.
using mode_test::Post;
using mode_test::RecordingHost;
using mode_test::Target;
using mode_test::ToProcess;

const Post kRollback = ToProcess(MessageId::kCommand, CommandCode::kStartTask, TaskId::kRollback);
const Post kFinish = ToProcess(MessageId::kCommand, CommandCode::kFinish, 0);
const Post kCancel = ToProcess(MessageId::kCommand, CommandCode::kCancel, 0);

Post Delayed(Post post, std::int64_t delay_ms) {
  post.delay_ms = delay_ms;
  return post;
}

// Message boxes answer from a script (No once it is used up).
class ScriptedDialogs : public IDialogService {
 public:
  void ShowError(const ErrorDialogRequest&) override { ++errors; }
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
  std::vector<MessageBoxRequest> boxes;
  int errors = 0;
};

class FakeWindowModule : public IWindowModule, public IEventLoop {
 public:
  platform::Status Start() override { return platform::Status::Ok(); }
  IEventLoop& Loop() override { return *this; }
  IDialogService& Dialogs() override { return dialogs; }
  bool Serve(CMessageQueue&, const std::function<bool()>&) override { return false; }
  std::optional<TypedCredentials> AskProxyCredentials() override {
    ++credential_asks;
    return typed;
  }
  void ShowAbout() override {}
  bool CloseApplication(const std::string& title, const std::string& path) override {
    ++countdowns;
    closed_title = title;
    closed_path = path;
    return closes;
  }
  std::unique_ptr<IWizardView> CreateWizard(const WizardFrame&, IWizardActions&) override {
    return nullptr;
  }
  std::unique_ptr<ITrayView> CreateTray(const TrayFrame&, ITrayActions&) override {
    return nullptr;
  }
  // Back to a module nobody has used.
  void Reset() {
    dialogs.answers.clear();
    dialogs.boxes.clear();
    typed.reset();
    closes = true;
    credential_asks = 0;
    countdowns = 0;
    closed_title.clear();
    closed_path.clear();
  }
  ScriptedDialogs dialogs;
  std::optional<TypedCredentials> typed;
  bool closes = true;
  int credential_asks = 0;
  int countdowns = 0;
  std::string closed_title;
  std::string closed_path;
};

struct NotifierRecord {
  std::vector<std::string> titles;
  std::vector<std::string> descriptions;
  bool shown = false;
  std::map<NotifierTimer, int> running;
};

class RecordingNotifier : public INotifierWindow {
 public:
  explicit RecordingNotifier(NotifierRecord& record) : record_(record) {}
  void SetTexts(const std::string& title, const std::string& description) override {
    record_.titles.push_back(title);
    record_.descriptions.push_back(description);
  }
  void Show() override { record_.shown = true; }
  void Hide() override { record_.shown = false; }
  bool IsShown() const override { return record_.shown; }
  bool CanSetTransparent() const override { return true; }
  void SetOpacity(int) override {}
  NotifierSize Size() const override { return {200, 100}; }
  RichRect WorkArea() const override { return {0, 0, 800, 600}; }
  void MoveTo(RichPoint) override {}
  void StartTimer(NotifierTimer timer, int interval) override { record_.running[timer] = interval; }
  void StopTimer(NotifierTimer timer) override { record_.running.erase(timer); }

 private:
  NotifierRecord& record_;
};

// Everything the tray view was told, in order.
struct TrayRecord {
  bool created = false;
  TrayFrame frame;
  ITrayActions* actions = nullptr;
  bool has_tray = true;
  bool balloons_work = true;        // the desktop's notification service shows balloons
  std::vector<std::string> events;  // icons, animations, hides, in order
  std::vector<std::string> tool_tips;
  std::vector<TrayMenu> menus;
  std::vector<TrayBalloon> balloons;  // offered to the service
  int notifiers_created = 0;
  NotifierLook notifier_look;
  NotifierRecord notifier;
  bool destroyed = false;

  const std::string& ToolTip() const { return tool_tips.back(); }
  const TrayMenu& Menu() const { return menus.empty() ? frame.menu : menus.back(); }
};

class RecordingTray : public ITrayView {
 public:
  explicit RecordingTray(TrayRecord& record) : record_(record) {}
  ~RecordingTray() override { record_.destroyed = true; }
  bool HasTray() const override { return record_.has_tray; }
  void SetIcon(TrayIcon icon) override {
    static const char* names[] = {"icon default", "icon finished", "icon error"};
    record_.events.push_back(names[static_cast<int>(icon)]);
  }
  void Animate(TrayAnimation animation) override {
    static const char* names[] = {"animate check", "animate download", "animate install"};
    record_.events.push_back(names[static_cast<int>(animation)]);
  }
  void StopAnimation() override { record_.events.push_back("stop animation"); }
  void SetToolTip(const std::string& text) override { record_.tool_tips.push_back(text); }
  void HideIcon() override { record_.events.push_back("hide icon"); }
  void SetMenu(const TrayMenu& menu) override { record_.menus.push_back(menu); }
  bool ShowBalloon(const TrayBalloon& balloon) override {
    record_.balloons.push_back(balloon);
    return record_.balloons_work;
  }
  std::unique_ptr<INotifierWindow> CreateNotifier(const NotifierLook& look,
                                                  INotifierActions&) override {
    ++record_.notifiers_created;
    record_.notifier_look = look;
    return std::make_unique<RecordingNotifier>(record_.notifier);
  }

 private:
  TrayRecord& record_;
};

class FakePrograms : public IProcessServices {
 public:
  bool FileExists(const std::string& path) override { return existing.count(path) > 0; }
  void StartProgram(const std::string& location, const std::string& parameters,
                    const std::string& folder) override {
    started.push_back({location, parameters, folder});
  }
  bool IsProcessRunning(const std::string&) override { return false; }
  bool CloseApplication(const std::string&, const std::string&) override { return true; }
  bool Confirm(const std::string&, const std::string&, const std::string&, const std::string&,
               const std::string&) override {
    return false;
  }
  struct Start {
    std::string location, parameters, folder;
    bool operator==(const Start&) const = default;
  };
  std::map<std::string, bool> existing;
  std::vector<Start> started;
};

// A silent mode with its stand-ins, created and caught up with its task.
class SilentFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    CUpdaterSettings::ResetInstance();
    CUpdateFileData::ResetInstance();
    CLanguage::ResetInstance();
    Settings().name = "My App";
    Settings().location = "/opt/myapp/bin/myapp";
    Data().version = "2.0";
  }
  void TearDown() override {
    mode_.reset();
    CUpdaterSettings::ResetInstance();
    CUpdateFileData::ResetInstance();
  }

  static SettingsValues& Settings() { return CUpdaterSettings::Instance().MutableValues(); }
  static CUpdateFileData& Data() { return CUpdateFileData::Instance(); }
  static std::string Text(int id) { return CLanguage::Instance().GetText(id); }

  CModeSilent& Make(const std::string& mode_name, TaskId task = TaskId::kInit,
                    bool with_view = true) {
    TrayViewFactory factory;
    if (with_view)
      factory = [this](const TrayFrame& frame, ITrayActions& actions) {
        tray_.created = true;
        tray_.frame = frame;
        tray_.actions = &actions;
        return std::make_unique<RecordingTray>(tray_);
      };
    mode_.reset();
    mode_ = std::make_unique<CModeSilent>(host_, task, mode_name, windows_, factory, programs_);
    mode_->Create();
    host_.posts.clear();
    return *mode_;
  }

  void Send(const Message& message) { mode_->OnMessage(message); }
  void Started(TaskId task) { Send(MakeMessage(MessageId::kTaskStarted, task)); }
  void Complete(TaskId task) { Send(MakeMessage(MessageId::kTaskComplete, task)); }
  void Error(UpdateError code, std::int64_t argument = 0, const std::string& item = {}) {
    Send(MakeMessage(MessageId::kError, code, argument, item));
  }

  std::vector<std::string> BalloonTexts() const {
    std::vector<std::string> texts;
    for (const TrayBalloon& balloon : tray_.balloons) texts.push_back(balloon.text);
    return texts;
  }
  std::vector<int> MenuCommands() const {
    std::vector<int> commands;
    for (const TrayMenuItem& item : tray_.Menu().items)
      commands.push_back(item.separator ? 0 : item.command);
    return commands;
  }

  RecordingHost host_;
  FakeWindowModule windows_;
  FakePrograms programs_;
  TrayRecord tray_;
  std::unique_ptr<CModeSilent> mode_;
};

// ---------------------------------------------------------------------------
// Creation

TEST_F(SilentFixture, CreateMakesTheTrayAndCatchesUpWithItsTask) {
  Settings().icon = "/opt/myapp/icon.png";
  TrayViewFactory factory = [this](const TrayFrame& frame, ITrayActions& actions) {
    tray_.frame = frame;
    tray_.actions = &actions;
    return std::make_unique<RecordingTray>(tray_);
  };
  CModeSilent mode(host_, TaskId::kDownload, "silent", windows_, factory, programs_);
  EXPECT_EQ(tray_.actions, nullptr);  // nothing before Create
  mode.Create();
  EXPECT_EQ(tray_.actions, static_cast<ITrayActions*>(&mode));
  EXPECT_EQ(tray_.frame.icon_file, "/opt/myapp/icon.png");
  EXPECT_EQ(tray_.frame.tool_tip, "Welcome to Updater!");
  EXPECT_EQ(host_.posts, (std::vector<Post>{Post{Target::kInterface, MessageId::kTaskStarted,
                                                 ToNumber(TaskId::kDownload), 0, 0}}));
  EXPECT_EQ(mode.EventLoop(), static_cast<IEventLoop*>(&windows_));
  EXPECT_EQ(tray_.notifiers_created, 0);  // balloons: the popup only when needed
}

TEST_F(SilentFixture, CustomNotifyMakesThePopupWithTheSkinSettings) {
  Settings().custom_notify = true;
  Settings().notify_skin = "/opt/myapp/skin.bmp";
  Settings().close_rect = SettingsRect{180, 0, 200, 20};
  Make("silent");
  EXPECT_EQ(tray_.notifiers_created, 1);
  EXPECT_EQ(tray_.notifier_look.skin_file, "/opt/myapp/skin.bmp");
  EXPECT_EQ(tray_.notifier_look.close_rect, (RichRect{180, 0, 20, 20}));
}

TEST_F(SilentFixture, DestroyingTheModeRemovesTheIcon) {
  Make("silent");
  mode_.reset();
  EXPECT_TRUE(tray_.destroyed);
}

// ---------------------------------------------------------------------------
// Task started and complete, notifications per message

struct NotificationCase {
  const char* name;
  std::string mode;
  bool custom_notify;
  Message message;
  std::vector<std::string> events;
  std::vector<std::string> balloons;      // texts offered as balloons
  std::vector<std::string> popup_titles;  // titles shown in the popup
  std::vector<std::string> popup_texts;
};

void PrintTo(const NotificationCase& c, std::ostream* out) { *out << c.name; }

// clang-format off
std::vector<NotificationCase> NotificationCases() {
  const std::string title = "Updater notification";
  const auto started = [](TaskId task) { return MakeMessage(MessageId::kTaskStarted, task); };
  const auto error = [](UpdateError code) { return MakeMessage(MessageId::kError, code); };
  const Message warning = MakeMessage(MessageId::kWarning, 0, 0, "/opt/a/x.so");
  const Message event = MakeMessage(MessageId::kShowNotifier, 0, 0, "Event", "Hello");
  return {
      {"CheckSilent", "silent", false, started(TaskId::kCheckVersion), {"animate check"}, {"Checking for new version..."}, {}, {}},
      {"CheckSilentPopup", "silent", true, started(TaskId::kCheckVersion), {"animate check"}, {}, {title}, {"Checking for new version..."}},
      {"CheckVerySilent", "verysilent", false, started(TaskId::kCheckVersion), {"animate check"}, {}, {}, {}},
      {"DownloadSilent", "silent", false, started(TaskId::kDownload), {"animate download"}, {"Downloading files..."}, {}, {}},
      {"InstallSilent", "silent", false, started(TaskId::kInstall), {"animate install"}, {"Installing..."}, {}, {}},
      {"InstallVerySilent", "verysilent", true, started(TaskId::kInstall), {"animate install"}, {}, {}, {}},
      {"RollbackSilent", "silent", false, started(TaskId::kRollback), {}, {"Rolling back changes..."}, {}, {}},
      {"InitSilent", "silent", false, started(TaskId::kInit), {}, {}, {}, {}},
      {"LicenseSilent", "silent", false, started(TaskId::kLicense), {}, {}, {}, {}},
      {"WarningSilent", "silent", false, warning, {}, {"Unable to register file /opt/a/x.so"}, {}, {}},
      {"WarningVerySilent", "verysilent", false, warning, {}, {}, {}, {}},
      {"NoNewVersionSilent", "silent", false, error(UpdateError::kNoNewVersion), {"stop animation", "icon finished"}, {"No new version available..."}, {}, {}},
      {"ErrorSilent", "silent", false, error(UpdateError::kServer), {"stop animation", "icon error"}, {"Can't connect to server"}, {}, {}},
      {"ErrorSilentPopup", "silent", true, error(UpdateError::kServer), {"stop animation", "icon error"}, {}, {title}, {"Can't connect to server"}},
      {"ErrorVerySilent", "verysilent", false, error(UpdateError::kServer), {"stop animation", "icon error"}, {}, {}, {}},
      {"ShowNotifierSilent", "silent", false, event, {}, {"Hello"}, {}, {}},
      {"ShowNotifierVerySilent", "verysilent", false, event, {}, {"Hello"}, {}, {}},
      {"ShowNotifierPopup", "verysilent", true, event, {}, {}, {"Event"}, {"Hello"}},
      {"ProgressSilent", "silent", false, MakeMessage(MessageId::kItemProgress, 50, 0, "f"), {}, {}, {}, {}},
  };
}
// clang-format on

class SilentNotifications : public SilentFixture,
                            public ::testing::WithParamInterface<NotificationCase> {};

TEST_P(SilentNotifications, ShowWhatTheTableSays) {
  const NotificationCase& c = GetParam();
  Settings().custom_notify = c.custom_notify;
  Make(c.mode);
  Send(c.message);
  EXPECT_EQ(tray_.events, c.events);
  EXPECT_EQ(BalloonTexts(), c.balloons);
  EXPECT_EQ(tray_.notifier.titles, c.popup_titles);
  EXPECT_EQ(tray_.notifier.descriptions, c.popup_texts);
}

INSTANTIATE_TEST_SUITE_P(Messages, SilentNotifications, ::testing::ValuesIn(NotificationCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SilentFixture, BalloonsCarryTitleKindAndEscapedMarkup) {
  Data().version = "2.0 <beta> & more";
  Make("silent");
  Error(UpdateError::kCopyFailed, 0, "/opt/a/b&c.txt");
  ASSERT_EQ(tray_.balloons.size(), 1u);
  EXPECT_EQ(tray_.balloons[0].title, "Error");
  EXPECT_EQ(tray_.balloons[0].kind, NotificationKind::kError);
  EXPECT_EQ(tray_.balloons[0].text, "Can't copy file b&c.txt");
  EXPECT_EQ(tray_.balloons[0].markup, "Can't copy file b&amp;c.txt");

  Send(MakeMessage(MessageId::kWarning, 0, 0, "/x"));
  EXPECT_EQ(tray_.balloons.back().kind, NotificationKind::kWarning);
  EXPECT_EQ(tray_.balloons.back().title, "Updater notification");

  Complete(TaskId::kInstall);
  EXPECT_EQ(tray_.balloons.back().text, "You are ready!\nNew version: 2.0 <beta> & more");
  EXPECT_EQ(tray_.balloons.back().markup,
            "You are ready!\nNew version: 2.0 &lt;beta&gt; &amp; more");
  EXPECT_EQ(tray_.balloons.back().kind, NotificationKind::kInformation);
}

TEST_F(SilentFixture, ARefusedBalloonGoesToThePopup) {
  tray_.balloons_work = false;  // no notification service on the desktop
  Make("silent");
  EXPECT_EQ(tray_.notifiers_created, 0);
  Started(TaskId::kCheckVersion);
  EXPECT_EQ(tray_.balloons.size(), 1u);
  EXPECT_EQ(tray_.notifiers_created, 1);
  EXPECT_EQ(tray_.notifier.descriptions, (std::vector<std::string>{"Checking for new version..."}));
  EXPECT_EQ(tray_.notifier.running.at(NotifierTimer::kFade), kNotifierFadeTickMs);
  Started(TaskId::kDownload);
  EXPECT_EQ(tray_.notifiers_created, 1);  // one popup for the mode's life
  EXPECT_EQ(tray_.notifier.descriptions.size(), 2u);
}

TEST_F(SilentFixture, AnEventsNotificationSwallowsTheNextOneOfTheMode) {
  Make("silent");
  Send(MakeMessage(MessageId::kShowNotifier, 0, 0, "Sale", "50% off"));
  Started(TaskId::kDownload);  // swallowed
  Started(TaskId::kInstall);
  EXPECT_EQ(BalloonTexts(), (std::vector<std::string>{"50% off", "Installing..."}));
  EXPECT_EQ(tray_.balloons[0].title, "Sale");
  // The animation and status go on regardless.
  EXPECT_EQ(tray_.events, (std::vector<std::string>{"animate download", "animate install"}));
}

TEST_F(SilentFixture, NotificationTextsAreCutWithoutSplittingACharacter) {
  Make("silent");
  // 126 units, then a character of two UTF-16 units across the 127 border.
  const std::string pattern = Text(IDS_ERROR_CLOSEAPP);
  const std::string prefix = pattern.substr(0, pattern.find("%s"));
  ASSERT_LT(Utf16Length(prefix), 126u);
  const std::string filler(126 - Utf16Length(prefix), 'a');
  Error(UpdateError::kCloseApplication, 0, filler + "\xF0\x9F\x98\x80" + "tail");
  EXPECT_EQ(tray_.ToolTip(), prefix + filler);  // the whole character left out
  EXPECT_EQ(Utf16Length(tray_.ToolTip()), 126u);

  // A balloon's title ends at 64 units and its text at 256: a 3-byte
  // character (one unit) exactly at the border is kept whole, a 4-byte one
  // (two units) across it is left out.
  Send(MakeMessage(MessageId::kShowNotifier, 0, 0, std::string(63, 't') + "\xE2\x82\xAC" + "x",
                   std::string(255, 'b') + "\xF0\x9F\x98\x80"));
  const TrayBalloon& balloon = tray_.balloons.back();
  EXPECT_EQ(balloon.title, std::string(63, 't') + "\xE2\x82\xAC");
  EXPECT_EQ(balloon.text, std::string(255, 'b'));
}

// ---------------------------------------------------------------------------
// Progress and the tool tip

TEST_F(SilentFixture, ProgressBecomesTheToolTip) {
  Make("silent");
  Started(TaskId::kDownload);
  Send(MakeMessage(MessageId::kItemProgress, 45, 0, "core.zip"));
  EXPECT_EQ(tray_.ToolTip(),
            "Downloading files...\n 45%\n[||||||||            ]\nTotal progress: 0%\n"
            "[                    ]");
  Send(MakeMessage(MessageId::kTotalProgress, 100));
  EXPECT_EQ(tray_.ToolTip(),
            "Downloading files...\n 45%\n[||||||||            ]\nTotal progress: 100%\n"
            "[||||||||||||||||||||]");
  Send(MakeMessage(MessageId::kItemProgress, 0, 10485760, "big.bin"));  // size unknown
  EXPECT_EQ(tray_.ToolTip().substr(0, 28), "Downloading files...\n 10 MB\n");
  // A new task starts again from 0.
  Started(TaskId::kInstall);
  Send(MakeMessage(MessageId::kStatusChanged));
  EXPECT_EQ(tray_.ToolTip(),
            "Installing...\n 0%\n[                    ]\nTotal progress: 0%\n"
            "[                    ]");
}

TEST_F(SilentFixture, AFinishedRunKeepsItsLastToolTip) {
  Make("silent");
  Error(UpdateError::kNoNewVersion);
  const std::size_t tips = tray_.tool_tips.size();
  EXPECT_EQ(tray_.ToolTip(), "No new version available...");
  Send(MakeMessage(MessageId::kStatusChanged));
  Send(MakeMessage(MessageId::kTotalProgress, 50));
  EXPECT_EQ(tray_.tool_tips.size(), tips);
}

// ---------------------------------------------------------------------------
// Reactions posted to the process

struct ReactionCase {
  const char* name;
  std::string mode;
  bool show_errors;
  Message message;
  std::vector<Post> expected;
};

void PrintTo(const ReactionCase& c, std::ostream* out) { *out << c.name; }

// clang-format off
std::vector<ReactionCase> ReactionCases() {
  const auto next = [](TaskId task) {
    return ToProcess(MessageId::kCommand, CommandCode::kStartTask, ToNumber(task), 100);
  };
  const auto complete = [](TaskId task) { return ToProcess(MessageId::kTaskComplete, task, 0); };
  const auto answer = [](QuestionId id, int yes_no) { return ToProcess(MessageId::kAnswer, id, yes_no); };
  const auto started = [](TaskId task) { return MakeMessage(MessageId::kTaskStarted, task); };
  const auto completed = [](TaskId task) { return MakeMessage(MessageId::kTaskComplete, task); };
  const auto question = [](QuestionId id) { return MakeMessage(MessageId::kQuestion, id, 0, "/opt/a/x"); };
  const Message no_new_version = MakeMessage(MessageId::kError, UpdateError::kNoNewVersion);
  const Message warning = MakeMessage(MessageId::kWarning, 0, 0, "/x");
  const Post ack = ToProcess(MessageId::kWarningAck, 0, 0, 500);
  std::vector<ReactionCase> cases = {
      {"StartedHtmlMessage", "silent", true, started(TaskId::kHtmlMessage), {complete(TaskId::kHtmlMessage)}},
      {"StartedLicense", "verysilent", true, started(TaskId::kLicense), {complete(TaskId::kLicense)}},
      {"StartedSelectUpdate", "silent", true, started(TaskId::kSelectUpdate), {complete(TaskId::kSelectUpdate)}},
      {"StartedDownload", "silent", true, started(TaskId::kDownload), {}},
      {"CompleteInit", "silent", true, completed(TaskId::kInit), {next(TaskId::kCheckVersion)}},
      {"CompleteCheck", "silent", true, completed(TaskId::kCheckVersion), {next(TaskId::kHtmlMessage)}},
      {"CompleteDownload", "verysilent", true, completed(TaskId::kDownload), {next(TaskId::kInstall)}},
      {"CompleteLicense", "silent", true, completed(TaskId::kLicense), {}},
      {"CompleteInstall", "silent", true, completed(TaskId::kInstall), {kFinish}},
      {"CompleteInstallVerySilent", "verysilent", true, completed(TaskId::kInstall), {kFinish}},
      {"CompleteRollbackShowingErrors", "silent", true, completed(TaskId::kRollback), {Delayed(kFinish, 3000)}},
      {"CompleteRollbackHidingErrors", "silent", false, completed(TaskId::kRollback), {kFinish}},
      {"NoNewVersion", "silent", true, no_new_version, {Delayed(kFinish, 500)}},
      {"NoNewVersionVerySilent", "verysilent", false, no_new_version, {Delayed(kFinish, 500)}},
      {"WarningSilent", "silent", true, warning, {ack}},
      {"WarningVerySilent", "verysilent", true, warning, {ack}},
      {"QuestionVerySilentDelete", "verysilent", true, question(QuestionId::kDeleteFile), {answer(QuestionId::kDeleteFile, 0)}},
      {"QuestionVerySilentClose", "verysilent", true, question(QuestionId::kCloseApplication), {answer(QuestionId::kCloseApplication, 0)}},
      {"QuestionVerySilentRegister", "verysilent", true, question(QuestionId::kRegisterFile), {answer(QuestionId::kRegisterFile, 0)}},
      {"QuestionVerySilentProxy", "verysilent", true, question(QuestionId::kProxyCredentials), {answer(QuestionId::kProxyCredentials, 1)}},
      {"ShowNotifier", "silent", true, MakeMessage(MessageId::kShowNotifier, 0, 0, "T", "X"), {}},
  };
  // clang-format on
  // Every error but "no new version" asks for the rollback, whether errors
  // are shown or not, in both modes; the silent mode lets a shown error be
  // read first.
  for (UpdateError code : {UpdateError::kUnknown, UpdateError::kNoConnection, UpdateError::kServer,
                           UpdateError::kNoDiskSpace, UpdateError::kCopyFailed,
                           UpdateError::kCloseApplication, UpdateError::kUnzipFailed}) {
    const Message error = MakeMessage(MessageId::kError, code, 1 << 20, "/opt/a/b");
    cases.push_back({"ErrorShownSilent", "silent", true, error, {Delayed(kRollback, 3000)}});
    cases.push_back({"ErrorHiddenSilent", "silent", false, error, {kRollback}});
    cases.push_back({"ErrorShownVerySilent", "verysilent", true, error, {kRollback}});
    cases.push_back({"ErrorHiddenVerySilent", "verysilent", false, error, {kRollback}});
  }
  return cases;
}

class SilentReaction : public SilentFixture, public ::testing::WithParamInterface<ReactionCase> {};

TEST_P(SilentReaction, PostsWhatTheTableSays) {
  const ReactionCase& c = GetParam();
  Data().show_errors = c.show_errors;
  Make(c.mode, TaskId::kCheckVersion);
  Send(c.message);
  EXPECT_EQ(host_.posts, c.expected);
  EXPECT_TRUE(windows_.dialogs.boxes.empty());  // no question in these cases
}

INSTANTIATE_TEST_SUITE_P(Messages, SilentReaction, ::testing::ValuesIn(ReactionCases()),
                         [](const auto& info) {
                           return std::string(info.param.name) + "_" + std::to_string(info.index);
                         });

TEST_F(SilentFixture, HiddenErrorsHideTheIconAndStillRollBack) {
  Data().show_errors = false;
  Make("silent", TaskId::kDownload);
  Started(TaskId::kDownload);
  Error(UpdateError::kNoConnection);
  EXPECT_EQ(tray_.events,
            (std::vector<std::string>{"animate download", "stop animation", "hide icon"}));
  EXPECT_EQ(BalloonTexts(), (std::vector<std::string>{"Downloading files..."}));  // no error
  EXPECT_EQ(host_.posts, (std::vector<Post>{kRollback}));
  Started(TaskId::kRollback);
  Complete(TaskId::kRollback);
  EXPECT_EQ(host_.posts.back(), kFinish);
}

TEST_F(SilentFixture, ASwallowedErrorStillPausesBeforeTheRollback) {
  Make("silent", TaskId::kDownload);
  Send(MakeMessage(MessageId::kShowNotifier, 0, 0, "Event", "Text"));
  Error(UpdateError::kServer);
  EXPECT_EQ(BalloonTexts(), (std::vector<std::string>{"Text"}));
  EXPECT_EQ(host_.posts, (std::vector<Post>{Delayed(kRollback, 3000)}));
}

TEST_F(SilentFixture, SilentRunFlowsFromInitToFinish) {
  Make("silent", TaskId::kInit);
  Started(TaskId::kInit);
  Complete(TaskId::kInit);
  Started(TaskId::kCheckVersion);
  Complete(TaskId::kCheckVersion);
  Started(TaskId::kHtmlMessage);
  Started(TaskId::kLicense);
  Started(TaskId::kSelectUpdate);
  Started(TaskId::kDownload);
  Complete(TaskId::kDownload);
  Started(TaskId::kInstall);
  Complete(TaskId::kInstall);
  const auto next = [](TaskId task) {
    return ToProcess(MessageId::kCommand, CommandCode::kStartTask, ToNumber(task), 100);
  };
  EXPECT_EQ(host_.posts,
            (std::vector<Post>{next(TaskId::kCheckVersion), next(TaskId::kHtmlMessage),
                               ToProcess(MessageId::kTaskComplete, TaskId::kHtmlMessage, 0),
                               ToProcess(MessageId::kTaskComplete, TaskId::kLicense, 0),
                               ToProcess(MessageId::kTaskComplete, TaskId::kSelectUpdate, 0),
                               next(TaskId::kInstall), kFinish}));
  EXPECT_EQ(BalloonTexts(),
            (std::vector<std::string>{"Checking for new version...", "Downloading files...",
                                      "Installing...", "You are ready!\nNew version: 2.0"}));
  EXPECT_EQ(tray_.events,
            (std::vector<std::string>{"animate check", "animate download", "animate install",
                                      "stop animation", "icon finished"}));
  EXPECT_EQ(tray_.ToolTip(), "You are ready!\nNew version: 2.0");
  EXPECT_TRUE(mode_->Finished());
  // Once finished, a late completion asks for nothing more.
  Complete(TaskId::kCheckVersion);
  EXPECT_EQ(host_.posts.back(), kFinish);
}

TEST_F(SilentFixture, ErrorThenRollbackEndsTheRunInOrder) {
  Make("silent", TaskId::kDownload);
  Started(TaskId::kDownload);
  Error(UpdateError::kServer);
  Started(TaskId::kRollback);
  EXPECT_TRUE(mode_->RollingBack());
  Complete(TaskId::kRollback);
  EXPECT_FALSE(mode_->RollingBack());
  EXPECT_TRUE(mode_->Finished());
  EXPECT_EQ(host_.posts, (std::vector<Post>{Delayed(kRollback, 3000), Delayed(kFinish, 3000)}));
}

// ---------------------------------------------------------------------------
// Questions in the silent mode

TEST_F(SilentFixture, SilentQuestionsAskForConfirmationAndOnlyYesIsYes) {
  const std::string delete_text = FillPlaceholders(Text(IDS_CONFIRMATION_DELETEFILE_EXPLANATION),
                                                   {"/opt/a/old.dll", "My App", "/opt/a/old.dll"});
  const std::string register_text =
      FillPlaceholders(Text(IDS_CONFIRMATION_REGISTER_EXPLANATION), {"x.so", "My App", "x.so"});
  const std::string close_text = FillPlaceholders(
      Text(IDS_CONFIRMATION_CLOSEAPPLICATION_EXPLANATION), {"My App", "My App", "My App"});
  const int delete_title = IDS_CONFIRMATION_DELETEFILE_TITLE;
  const int register_title = IDS_CONFIRMATION_REGISTER_TITLE;
  const int close_title = IDS_CONFIRMATION_CLOSEAPPLICATION_TITLE;
  const MessageBoxAnswer yes = MessageBoxAnswer::kYes;
  const MessageBoxAnswer no = MessageBoxAnswer::kNo;
  const MessageBoxAnswer escape = MessageBoxAnswer::kCancel;  // Escape or the close box
  struct Case {
    const char* name;
    QuestionId question;
    const char* argument;
    MessageBoxAnswer answer;
    bool closes;  // the countdown ends with the program gone
    int caption;
    const std::string& text;
    std::int64_t posted;  // 0 yes, 1 no
    int countdowns;
  } cases[] = {
      // clang-format off
      {"delete yes", QuestionId::kDeleteFile, "/opt/a/old.dll", yes, true, delete_title, delete_text, 0, 0},
      {"delete no", QuestionId::kDeleteFile, "/opt/a/old.dll", no, true, delete_title, delete_text, 1, 0},
      {"delete escape", QuestionId::kDeleteFile, "/opt/a/old.dll", escape, true, delete_title, delete_text, 1, 0},
      {"register yes", QuestionId::kRegisterFile, "/opt/a/lib/x.so", yes, true, register_title, register_text, 0, 0},
      {"register escape", QuestionId::kRegisterFile, "/opt/a/lib/x.so", escape, true, register_title, register_text, 1, 0},
      {"close yes, program gone", QuestionId::kCloseApplication, "My App", yes, true, close_title, close_text, 0, 1},
      {"close yes, countdown cancelled", QuestionId::kCloseApplication, "My App", yes, false, close_title, close_text, 1, 1},
      {"close no", QuestionId::kCloseApplication, "My App", no, true, close_title, close_text, 1, 0},
      // clang-format on
  };
  // The plain close text even where the update asks the person to close it.
  Data().close_application = CloseApplicationMode::User;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    windows_.Reset();
    windows_.closes = c.closes;
    windows_.dialogs.answers.push_back(c.answer);
    Make("silent", TaskId::kInstall);
    Message question = MakeMessage(MessageId::kQuestion, c.question, 0, c.argument);
    question.payload =
        QuestionTicket{.serial = 9, .generation = 3, .user_name = {}, .password = {}};
    Send(question);
    ASSERT_EQ(windows_.dialogs.boxes.size(), 1u);
    const MessageBoxRequest& box = windows_.dialogs.boxes[0];
    EXPECT_TRUE(box.yes_no);
    EXPECT_EQ(box.caption, Text(c.caption));
    EXPECT_EQ(box.text, c.text);
    EXPECT_EQ(windows_.countdowns, c.countdowns);
    if (c.countdowns) {
      EXPECT_EQ(windows_.closed_path, Native("/opt/myapp/bin/myapp"));
    }
    EXPECT_EQ(host_.posts,
              (std::vector<Post>{ToProcess(MessageId::kAnswer, c.question, c.posted)}));
    ASSERT_TRUE(TicketOf(host_.last));
    EXPECT_EQ(TicketOf(host_.last)->serial, 9u);
  }
}

TEST_F(SilentFixture, ProxyCredentialsAreAskedOnlyInTheSilentMode) {
  windows_.typed = TypedCredentials{"ann", "pw"};
  Make("silent", TaskId::kDownload);
  Send(MakeMessage(MessageId::kQuestion, QuestionId::kProxyCredentials));
  EXPECT_EQ(windows_.credential_asks, 1);
  EXPECT_EQ(host_.posts,
            (std::vector<Post>{ToProcess(MessageId::kAnswer, QuestionId::kProxyCredentials, 0)}));
  EXPECT_EQ(TicketOf(host_.last)->user_name, "ann");

  Make("verysilent", TaskId::kDownload);
  Send(MakeMessage(MessageId::kQuestion, QuestionId::kProxyCredentials));
  EXPECT_EQ(windows_.credential_asks, 1);  // no window in the very silent mode
  EXPECT_EQ(host_.posts,
            (std::vector<Post>{ToProcess(MessageId::kAnswer, QuestionId::kProxyCredentials, 1)}));
}

TEST_F(SilentFixture, VerySilentShowsNoDialogAndAnswersYesAtOnce) {
  Make("verysilent", TaskId::kInstall);
  for (QuestionId id :
       {QuestionId::kCloseApplication, QuestionId::kDeleteFile, QuestionId::kRegisterFile})
    Send(MakeMessage(MessageId::kQuestion, id, 0, "/opt/a/x"));
  EXPECT_TRUE(windows_.dialogs.boxes.empty());
  EXPECT_EQ(windows_.countdowns, 0);
  EXPECT_EQ(host_.posts,
            (std::vector<Post>{ToProcess(MessageId::kAnswer, QuestionId::kCloseApplication, 0),
                               ToProcess(MessageId::kAnswer, QuestionId::kDeleteFile, 0),
                               ToProcess(MessageId::kAnswer, QuestionId::kRegisterFile, 0)}));
}

// ---------------------------------------------------------------------------
// The menu, Exit and the popup items

TEST_F(SilentFixture, MenuHoldsAboutSeparatorAndExit) {
  Make("silent");
  EXPECT_EQ(MenuCommands(), (std::vector<int>{kTrayCommandAbout, 0, kTrayCommandExit}));
  const TrayMenu& menu = tray_.Menu();
  EXPECT_EQ(menu.items[0].text, "About Updater...");
  EXPECT_TRUE(menu.items[1].separator);
  EXPECT_EQ(menu.items[2].text, "Exit");
  EXPECT_TRUE(menu.items[2].enabled);
}

TEST_F(SilentFixture, PopupItemsJoinTheMenuOnceTheUpdateIsDone) {
  CUpdaterPaths::ResetInstance();
  Data().popup_items = {
      {"Release notes", "https://example.org/notes", "", "https://example.org/notes.png"},
      {"-", "", "", ""},
      {"Start My App", "/opt/myapp/bin/myapp", "--fresh", ""},
      {"Tool", "/opt/myapp\\tools\\tool", "", ""},  // written for Windows
  };
  Make("silent", TaskId::kInstall);
  EXPECT_EQ(MenuCommands(), (std::vector<int>{kTrayCommandAbout, 0, kTrayCommandExit}));
  Complete(TaskId::kInstall);
  EXPECT_TRUE(host_.posts.empty());  // the icon stays for the items; Exit ends the run
  EXPECT_EQ(MenuCommands(), (std::vector<int>{kTrayCommandAbout, 0, kTrayCommandFirstPopupItem, 0,
                                              kTrayCommandFirstPopupItem + 2,
                                              kTrayCommandFirstPopupItem + 3, kTrayCommandExit}));
  EXPECT_EQ(tray_.Menu().items[2].text, "Release notes");
  EXPECT_EQ(tray_.Menu().items[4].text, "Start My App");
  EXPECT_EQ(tray_.Menu().items[4].image_file, "");

  programs_.existing[Native("/opt/myapp/bin/myapp")] = true;
  programs_.existing[Native("/opt/myapp/tools/tool")] = true;
  tray_.actions->OnMenuCommand(kTrayCommandFirstPopupItem);
  tray_.actions->OnMenuCommand(kTrayCommandFirstPopupItem + 1);  // the separator
  tray_.actions->OnMenuCommand(kTrayCommandFirstPopupItem + 2);
  tray_.actions->OnMenuCommand(kTrayCommandFirstPopupItem + 3);
  tray_.actions->OnMenuCommand(kTrayCommandFirstPopupItem + 7);  // no such item
  EXPECT_EQ(programs_.started,
            (std::vector<FakePrograms::Start>{
                {"https://example.org/notes", "", Native("/opt/myapp/bin")},
                {Native("/opt/myapp/bin/myapp"), "--fresh", Native("/opt/myapp/bin")},
                // the file that was found, not the text
                {Native("/opt/myapp/tools/tool"), "", Native("/opt/myapp/bin")}}));

  tray_.actions->OnMenuCommand(kTrayCommandExit);
  EXPECT_TRUE(windows_.dialogs.boxes.empty());  // no question once finished
  EXPECT_EQ(host_.posts, (std::vector<Post>{kFinish}));
}

TEST_F(SilentFixture, APopupItemWhoseFileIsMissingDoesNothing) {
  Data().popup_items = {{"Readme", "/opt/myapp/readme.txt", "", ""}};
  Make("silent", TaskId::kInstall);
  Complete(TaskId::kInstall);
  tray_.actions->OnMenuCommand(kTrayCommandFirstPopupItem);
  EXPECT_TRUE(programs_.started.empty());
}

TEST_F(SilentFixture, PopupItemsWaitForExitOnlyWhereThereIsATray) {
  tray_.has_tray = false;
  Data().popup_items = {{"Notes", "https://example.org", "", ""}};
  Make("silent", TaskId::kInstall);
  Complete(TaskId::kInstall);
  EXPECT_EQ(host_.posts, (std::vector<Post>{kFinish}));  // nobody could choose Exit
}

TEST_F(SilentFixture, NoMenuDuringARollbackAndNoPopupItemsAfterIt) {
  Data().popup_items = {{"Notes", "https://example.org", "", ""}};
  Make("silent", TaskId::kInstall);
  Error(UpdateError::kCopyFailed, 0, "/opt/a/b");
  Started(TaskId::kRollback);
  EXPECT_TRUE(tray_.Menu().items.empty());
  tray_.actions->OnIconActivated();
  EXPECT_EQ(host_.posts.size(), 1u);  // no About during the rollback either
  Complete(TaskId::kRollback);
  EXPECT_EQ(MenuCommands(), (std::vector<int>{kTrayCommandAbout, 0, kTrayCommandExit}));
  tray_.actions->OnMenuCommand(kTrayCommandFirstPopupItem);
  EXPECT_TRUE(programs_.started.empty());
}

TEST_F(SilentFixture, ExitAsksBeforeCancellingARunningUpdate) {
  struct Case {
    const char* name;
    MessageBoxAnswer answer;
    std::vector<Post> posts;
  } cases[] = {
      {"yes cancels", MessageBoxAnswer::kYes, {kCancel}},
      {"no goes on", MessageBoxAnswer::kNo, {}},
      {"escape goes on", MessageBoxAnswer::kCancel, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    windows_.Reset();
    windows_.dialogs.answers.push_back(c.answer);
    Make("verysilent", TaskId::kDownload);
    tray_.actions->OnMenuCommand(kTrayCommandExit);
    ASSERT_EQ(windows_.dialogs.boxes.size(), 1u);
    EXPECT_EQ(windows_.dialogs.boxes[0].caption, Text(IDS_CONFIRMATION_STOPUPDATING_TITLE));
    EXPECT_EQ(windows_.dialogs.boxes[0].text,
              FillPlaceholders(Text(IDS_CONFIRMATION_STOPUPDATING_EXPLANATION),
                               {"My App", "My App", "My App"}));
    EXPECT_EQ(host_.posts, c.posts);
  }
}

TEST_F(SilentFixture, ForcedUpdatesGreyExitUntilDone) {
  Data().force_update = true;
  Data().popup_items = {{"Notes", "https://example.org", "", ""}};
  Make("silent", TaskId::kDownload);
  EXPECT_FALSE(tray_.Menu().items.back().enabled);
  tray_.actions->OnMenuCommand(kTrayCommandExit);  // a stale click is ignored
  EXPECT_TRUE(windows_.dialogs.boxes.empty());
  EXPECT_TRUE(host_.posts.empty());
  Complete(TaskId::kInstall);
  EXPECT_TRUE(tray_.Menu().items.back().enabled);
  tray_.actions->OnMenuCommand(kTrayCommandExit);
  EXPECT_EQ(host_.posts, (std::vector<Post>{kFinish}));
}

TEST_F(SilentFixture, AboutAndDoubleClickAskTheProcessForTheAboutBox) {
  Make("silent");
  tray_.actions->OnMenuCommand(kTrayCommandAbout);
  tray_.actions->OnIconActivated();
  EXPECT_EQ(host_.posts, (std::vector<Post>{ToProcess(MessageId::kShowAbout, 0, 0),
                                            ToProcess(MessageId::kShowAbout, 0, 0)}));
}

TEST_F(SilentFixture, WithoutATrayViewTheRunStillGoesOn) {
  Make("silent", TaskId::kDownload, false);
  Started(TaskId::kDownload);
  Send(MakeMessage(MessageId::kItemProgress, 30));
  Error(UpdateError::kServer);
  Send(MakeMessage(MessageId::kShowNotifier, 0, 0, "T", "X"));
  EXPECT_EQ(host_.posts, (std::vector<Post>{Delayed(kRollback, 3000)}));
}

}  // namespace
