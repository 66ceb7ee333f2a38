// The full mode's wizard, driven as a person would, with a recording window.

#include "updater/ui/mode_full.h"

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/native_path.h"
#include "tests/ui/mode_test_doubles.h"
#include "updater/core/language.h"
#include "updater/core/text.h"
#include "updater/core/updater_settings.h"
#include "updater/description/installed_sections.h"
#include "updater/description/update_file_data.h"

void PrintTo(const WizardButtons& b, std::ostream* out) {
  *out << "{finish " << b.finish << ", forward " << b.forward_enabled << ", '" << b.next_label
       << "', cancel " << b.cancel_enabled << ", close " << b.close_enabled << ", hide "
       << b.hide_enabled << "}";
}

namespace {

using namespace mode_test;

// Buttons as a table writes them.
WizardButtons Buttons(bool finish, bool forward, bool cancel, bool close, bool hide = true,
                      std::string next = "Next") {
  return WizardButtons{finish, forward, std::move(next), cancel, close, hide};
}

const WizardButtons kWaiting = Buttons(false, false, true, true);
const WizardButtons kNextEnabled = Buttons(false, true, true, true);
const WizardButtons kOnlyFinish = Buttons(true, true, false, true, false);

CSectionData Section(std::string name, std::string title, std::string version,
                     std::string parent = "", std::string description = "", std::string url = "",
                     bool check = true, bool enabled = true) {
  CSectionData section;
  section.name = std::move(name);
  section.title = std::move(title);
  section.version = std::move(version);
  section.parent = std::move(parent);
  section.description = std::move(description);
  section.url = std::move(url);
  section.check = check;
  section.enabled = enabled;
  section.selected = check;
  return section;
}

Message Started(TaskId task) { return MakeMessage(MessageId::kTaskStarted, task); }
Message Complete(TaskId task) { return MakeMessage(MessageId::kTaskComplete, task); }

class ModeFullTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetAll();
    SettingsValues& settings = CUpdaterSettings::Instance().MutableValues();
    settings.name = "Demo App";
    settings.location = "/opt/demo/demo";
    settings.logo_small = "/opt/demo/banner.png";
    Data().version = "2.0";
  }
  void TearDown() override {
    mode_.reset();
    ResetAll();
  }
  static void ResetAll() {
    CLanguage::ResetInstance();
    CUpdaterSettings::ResetInstance();
    CUpdateFileData::ResetInstance();
    CInstalledSections::ResetInstance();
  }
  static CUpdateFileData& Data() { return CUpdateFileData::Instance(); }

  CModeFull& Create(TaskId task = TaskId::kInit) {
    mode_ = std::make_unique<CModeFull>(host, task, module);
    mode_->Create();
    return *mode_;
  }
  // Messages from the process, in order.
  void Send(std::initializer_list<Message> messages) {
    for (const Message& m : messages) mode_->OnMessage(m);
  }
  // Creates the mode on the welcome page and takes the wizard to the task's
  // page as the process would.
  void GoTo(TaskId task) {
    Create();
    Send({Started(task)});
    host.posts.clear();
  }
  std::vector<Post> ProcessPosts() const {
    std::vector<Post> posts;
    for (const Post& p : host.posts)
      if (p.target == Target::kProcess) posts.push_back(p);
    return posts;
  }
  const WizardRecord& Wizard() const { return module.wizard; }
  IWizardActions& Person() { return *module.actions; }

  RecordingHost host;
  FakeWindowModule module;
  std::unique_ptr<CModeFull> mode_;
};

TEST_F(ModeFullTest, CreateOpensTheWizardAndCatchesUpAtOnce) {
  Create(TaskId::kDownload);
  EXPECT_EQ(module.frame.title, "Updater - Update Demo App");
  EXPECT_EQ(module.frame.about_link, "Updater");
  EXPECT_EQ(module.frame.next_text, "Next");
  EXPECT_EQ(module.frame.finish_text, "Finish");
  EXPECT_EQ(module.frame.cancel_text, "Cancel");
  EXPECT_EQ(module.frame.banner_file, "/opt/demo/banner.png");
  EXPECT_EQ(module.frame.link_colour, "#AFAFFF");
  EXPECT_EQ(module.frame.link_hover_colour, "#0000FF");
  EXPECT_EQ(Wizard().pages, (std::vector<WizardPage>{WizardPage::kDownload}));
  EXPECT_TRUE(StartsWith(Wizard().page_texts[0].explanation,
                         "Updater is downloading new files that are needed to update Demo App."));
  EXPECT_EQ(Wizard().page_texts[0].item_label, "Connecting to server...");
  EXPECT_TRUE(host.posts.empty()) << "the catch-up is handled, not posted";
  EXPECT_EQ(mode_->CurrentTask(), TaskId::kDownload);
  EXPECT_EQ(mode_->EventLoop(), static_cast<IEventLoop*>(&module));
  mode_.reset();
  EXPECT_TRUE(Wizard().destroyed) << "the window goes with the mode";
}

struct StartedCase {
  const char* name;
  TaskId task;
  WizardPage page;
  WizardButtons buttons;
};

class ModeFullStarted : public ModeFullTest, public ::testing::WithParamInterface<StartedCase> {};

TEST_P(ModeFullStarted, ShowsTheTasksPageWithItsButtons) {
  Data().sections.push_back(Section("core", "Core", "2.0"));
  Data().license = "Terms";
  Data().html_message_url = "http://example.org/news.html";
  GoTo(GetParam().task);
  EXPECT_EQ(Wizard().pages.back(), GetParam().page);
  EXPECT_EQ(Wizard().Buttons(), GetParam().buttons);
  EXPECT_TRUE(ProcessPosts().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Tasks, ModeFullStarted,
    ::testing::Values(StartedCase{"Init", TaskId::kInit, WizardPage::kWelcome, kWaiting},
                      StartedCase{"Check", TaskId::kCheckVersion, WizardPage::kCheck, kWaiting},
                      StartedCase{"HtmlWithoutTime", TaskId::kHtmlMessage, WizardPage::kHtmlMessage,
                                  kNextEnabled},
                      StartedCase{"License", TaskId::kLicense, WizardPage::kLicense, kWaiting},
                      StartedCase{"Select", TaskId::kSelectUpdate, WizardPage::kSelectUpdate,
                                  kNextEnabled},
                      StartedCase{"Download", TaskId::kDownload, WizardPage::kDownload, kWaiting},
                      StartedCase{"Install", TaskId::kInstall, WizardPage::kInstall, kWaiting},
                      StartedCase{"Rollback", TaskId::kRollback, WizardPage::kRollback,
                                  Buttons(false, false, false, false)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ModeFullTest, ATaskWithoutAPageChangesNothing) {
  GoTo(TaskId::kDownload);
  Send({Started(static_cast<TaskId>(4)), Started(TaskId::kWorker)});
  EXPECT_EQ(Wizard().pages, (std::vector<WizardPage>{WizardPage::kWelcome, WizardPage::kDownload}));
  EXPECT_EQ(mode_->CurrentTask(), TaskId::kDownload);
}

TEST_F(ModeFullTest, PagesGetTheirTexts) {
  Data().license = "The terms.";
  Data().html_message_url = "http://example.org/news.html";
  Create();
  Send({Started(TaskId::kCheckVersion), Started(TaskId::kHtmlMessage), Started(TaskId::kLicense),
        Started(TaskId::kInstall), Started(TaskId::kRollback)});
  const std::vector<WizardPageTexts>& texts = Wizard().page_texts;
  ASSERT_EQ(texts.size(), 6u);
  EXPECT_EQ(texts[0].title, "Welcome to Updater!");
  EXPECT_TRUE(StartsWith(texts[0].explanation,
                         "Updater is about to check for new updates for Demo App.\n\n"));
  EXPECT_EQ(texts[1].header_title, "Check for new version");
  EXPECT_EQ(texts[1].status, "Connecting to server...");
  EXPECT_EQ(texts[2].header_title, "Product/company information");
  EXPECT_EQ(texts[2].html_address, "http://example.org/news.html");
  EXPECT_EQ(texts[3].license_text, "The terms.");
  EXPECT_EQ(texts[3].agree_text, "I accept the terms in the license agreement");
  EXPECT_EQ(texts[3].not_agree_text, "I do not accept the terms in the license agreement");
  EXPECT_EQ(texts[4].header_subtitle, "Performing actions to update Demo App");
  EXPECT_EQ(texts[4].item_label, "Initialising...");
  EXPECT_EQ(texts[5].header_subtitle, "Performing actions to restore Demo App");
  EXPECT_EQ(texts[5].total_label, "Initialising...");
}

TEST_F(ModeFullTest, CompletedTasksSetTheButtonsAndFlags) {
  struct Case {
    TaskId task;
    WizardButtons buttons;
    bool installed;
    bool finished;
  } cases[] = {
      {TaskId::kInit, kNextEnabled, false, false},
      {TaskId::kCheckVersion, kNextEnabled, false, false},
      {TaskId::kDownload, kNextEnabled, false, false},
      {TaskId::kInstall, kNextEnabled, true, false},
      {TaskId::kRollback, kOnlyFinish, false, true},
      {TaskId::kLicense, kWaiting, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(TaskName(c.task));
    Data().license = "Terms";
    GoTo(c.task);
    Send({Complete(c.task)});
    EXPECT_EQ(Wizard().Buttons(), c.buttons);
    EXPECT_TRUE(ProcessPosts().empty());
    // Next reveals the flags: the finish page once installed, nothing when finished.
    Person().OnNext();
    if (c.installed) {
      EXPECT_EQ(Wizard().pages.back(), WizardPage::kFinish);
    }
    if (c.finished) {
      EXPECT_TRUE(ProcessPosts().empty());
    }
    module.wizard = WizardRecord();
  }
}

TEST_F(ModeFullTest, CheckCompletionShowsTheNewVersionAndItsFeatures) {
  Data().features = {{"Faster start", "https://example.org/start"}, {"New icons", ""}};
  GoTo(TaskId::kCheckVersion);
  Send({Complete(TaskId::kCheckVersion)});
  EXPECT_EQ(Wizard().statuses.back(), "New version (2.0) available!");
  EXPECT_EQ(Wizard().features_heading, "New features in this version:\n");
  EXPECT_EQ(Wizard().features,
            (std::vector<FeatureLine>{{"  \xC2\xBB Faster start", "https://example.org/start"},
                                      {"  \xC2\xBB New icons", ""}}));
  // Without features the heading is hidden.
  Data().features.clear();
  Send({Complete(TaskId::kCheckVersion)});
  EXPECT_EQ(Wizard().features_heading, "");
  EXPECT_TRUE(Wizard().features.empty());
}

TEST_F(ModeFullTest, NextAsksForWhatTheCurrentTaskNeeds) {
  const Post next_task = ToProcess(MessageId::kCommand, CommandCode::kNextTask, 0);
  struct Case {
    const char* name;
    TaskId task;
    bool completed;  // the task completed before Next
    std::vector<Post> posts;
  } cases[] = {
      {"welcome", TaskId::kInit, true, {next_task}},
      {"check", TaskId::kCheckVersion, true, {next_task}},
      {"html message",
       TaskId::kHtmlMessage,
       false,
       {ToProcess(MessageId::kTaskComplete, TaskId::kHtmlMessage, 0)}},
      {"selection",
       TaskId::kSelectUpdate,
       false,
       {ToProcess(MessageId::kTaskComplete, TaskId::kSelectUpdate, 0)}},
      {"download", TaskId::kDownload, true, {next_task}},
      {"download still running", TaskId::kDownload, false, {}},
      {"install acknowledged", TaskId::kInstall, true, {}},
  };
  Data().sections.push_back(Section("core", "Core", "2.0"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GoTo(c.task);
    if (c.completed) Send({Complete(c.task)});
    Person().OnNext();
    Person().OnNext();  // a second press before the next page asks for nothing more
    EXPECT_EQ(ProcessPosts(), c.posts);
  }
}

TEST_F(ModeFullTest, NextAfterTheInstallShowsTheFinishPageWithOnlyFinish) {
  Data().shortcuts.push_back(CShortcutData{});
  GoTo(TaskId::kInstall);
  Send({Complete(TaskId::kInstall)});
  Person().OnNext();
  EXPECT_EQ(Wizard().pages.back(), WizardPage::kFinish);
  EXPECT_EQ(Wizard().Buttons(), kOnlyFinish);
  const WizardPageTexts& texts = Wizard().page_texts.back();
  EXPECT_TRUE(
      StartsWith(texts.explanation, "You are ready!\n\nDemo App is updated to the newest version"));
  EXPECT_NE(texts.explanation.find("start using Demo App again"), std::string::npos);
  EXPECT_TRUE(texts.shortcuts_shown);
  EXPECT_EQ(texts.shortcuts_text, "Create shortcuts for Demo App");
  EXPECT_TRUE(ProcessPosts().empty());
}

TEST_F(ModeFullTest, FinishStoresTheShortcutChoiceThenFinishes) {
  struct Case {
    const char* name;
    bool ask_user;
    std::size_t shortcuts;
    bool checked;  // the box as the person left it
    bool shown;
    bool accepted;
  } cases[] = {
      {"shown and checked", true, 1, true, true, true},
      {"shown and unchecked", true, 2, false, true, false},
      {"not asked", false, 1, false, false, true},
      {"no shortcuts", true, 0, false, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Data().shortcuts_ask_user = c.ask_user;
    Data().shortcuts.assign(c.shortcuts, CShortcutData{});
    Data().shortcuts_accepted = !c.accepted;
    GoTo(TaskId::kInstall);
    Send({Complete(TaskId::kInstall)});
    Person().OnNext();
    EXPECT_EQ(Wizard().page_texts.back().shortcuts_shown, c.shown);
    module.wizard.shortcuts_checked = c.checked;
    Person().OnFinish();
    Person().OnFinish();  // finishing once is enough
    EXPECT_EQ(Data().shortcuts_accepted, c.accepted);
    EXPECT_EQ(ProcessPosts(),
              (std::vector<Post>{ToProcess(MessageId::kCommand, CommandCode::kFinish, 0)}));
  }
}

TEST_F(ModeFullTest, CancelFinishesIsRefusedOrAsksAsTheStateSays) {
  const Post cancel = ToProcess(MessageId::kCommand, CommandCode::kCancel, 0);
  const Post finish = ToProcess(MessageId::kCommand, CommandCode::kFinish, 0);
  struct Case {
    const char* name;
    std::vector<Message> before;
    bool forced;
    bool next_first;  // the person pressed Next before
    std::vector<MessageBoxAnswer> answers;
    std::size_t dialogs;  // over two presses
    std::vector<Post> posts;
  } cases[] = {
      {"yes cancels",
       {Started(TaskId::kDownload)},
       false,
       false,
       {MessageBoxAnswer::kYes},
       1,
       {cancel}},
      {"no goes on", {Started(TaskId::kDownload)}, false, false, {MessageBoxAnswer::kNo}, 2, {}},
      {"escape goes on",
       {Started(TaskId::kDownload)},
       false,
       false,
       {MessageBoxAnswer::kCancel, MessageBoxAnswer::kCancel},
       2,
       {}},
      {"forced update", {Started(TaskId::kDownload)}, true, false, {MessageBoxAnswer::kYes}, 0, {}},
      {"rollback running",
       {Started(TaskId::kRollback)},
       false,
       false,
       {MessageBoxAnswer::kYes},
       0,
       {}},
      {"rollback complete",
       {Started(TaskId::kRollback), Complete(TaskId::kRollback)},
       false,
       false,
       {},
       0,
       {finish}},
      {"install acknowledged",
       {Started(TaskId::kInstall), Complete(TaskId::kInstall)},
       false,
       true,
       {},
       0,
       {finish}},
      {"install complete, not acknowledged",
       {Started(TaskId::kInstall), Complete(TaskId::kInstall)},
       false,
       false,
       {MessageBoxAnswer::kYes},
       1,
       {cancel}},
      {"forced, finished",
       {Started(TaskId::kRollback), Complete(TaskId::kRollback)},
       true,
       false,
       {},
       0,
       {finish}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Data().force_update = c.forced;
    module.dialogs = ScriptedDialogs();
    module.dialogs.answers.assign(c.answers.begin(), c.answers.end());
    Create();
    for (const Message& m : c.before) mode_->OnMessage(m);
    if (c.next_first) Person().OnNext();
    host.posts.clear();
    Person().OnCancel();
    Person().OnCancel();  // again: asked again only when the first answer was not yes
    ASSERT_EQ(module.dialogs.boxes.size(), c.dialogs);
    if (c.dialogs > 0) {
      EXPECT_EQ(module.dialogs.boxes[0].caption, "Stop updating");
      EXPECT_EQ(module.dialogs.boxes[0].heading, "Confirmation required");
      EXPECT_TRUE(module.dialogs.boxes[0].yes_no);
    }
    EXPECT_EQ(ProcessPosts(), c.posts);
  }
}

TEST_F(ModeFullTest, AForcedUpdateGreysCancelAndClosesOnlyOnFinish) {
  Data().force_update = true;
  GoTo(TaskId::kDownload);
  EXPECT_EQ(Wizard().Buttons(), Buttons(false, false, false, false));
  Send({Complete(TaskId::kDownload)});
  EXPECT_EQ(Wizard().Buttons(), Buttons(false, true, false, false));
  Send({Started(TaskId::kRollback), Complete(TaskId::kRollback)});
  EXPECT_EQ(Wizard().Buttons(), kOnlyFinish);
}

TEST_F(ModeFullTest, ErrorsShowTheirDialogThenQuitOrRollBack) {
  const Post rollback = ToProcess(MessageId::kCommand, CommandCode::kStartTask, TaskId::kRollback);
  struct Case {
    UpdateError code;
    const char* item;
    const char* caption;
    const char* explanation;
    Post after;
  } cases[] = {
      {UpdateError::kNoConnection, "", "No connection available",
       "There is no connection to the internet available.", rollback},
      {UpdateError::kServer, "http://example.org/update.xml", "Can't connect to server",
       "Can't connect to the server.", ToProcess(MessageId::kQuit, 0, 0)},
      {UpdateError::kCopyFailed, "/opt/demo/lib/core.so (copy)", "Can't copy file",
       "Can't copy file core.so.", rollback},
      {UpdateError::kUnknown, "", "Unknown error", "An unknown error has occurred.", rollback},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.caption);
    module.dialogs = ScriptedDialogs();
    GoTo(TaskId::kDownload);
    Send({MakeError(c.code, c.item, ErrorDetail{})});
    ASSERT_EQ(module.dialogs.errors.size(), 1u);
    EXPECT_EQ(module.dialogs.errors[0].caption, c.caption);
    EXPECT_EQ(module.dialogs.errors[0].heading, "Error");
    EXPECT_EQ(module.dialogs.errors[0].message, c.explanation);
    EXPECT_EQ(ProcessPosts(), (std::vector<Post>{c.after}));
  }
}

TEST_F(ModeFullTest, NoNewVersionLeavesOnlyFinishOnTheCheckPage) {
  GoTo(TaskId::kCheckVersion);
  Send({MakeMessage(MessageId::kError, UpdateError::kNoNewVersion)});
  EXPECT_TRUE(module.dialogs.errors.empty());
  EXPECT_EQ(Wizard().pages.back(), WizardPage::kCheck);
  EXPECT_EQ(Wizard().statuses.back(), "No new version available...");
  EXPECT_EQ(Wizard().Buttons(), kOnlyFinish);
  EXPECT_TRUE(ProcessPosts().empty());
  Person().OnFinish();
  EXPECT_EQ(ProcessPosts(),
            (std::vector<Post>{ToProcess(MessageId::kCommand, CommandCode::kFinish, 0)}));
}

TEST_F(ModeFullTest, TheHtmlCountdownCountsTheNextButtonDown) {
  Data().html_message_url = "http://example.org/news.html";
  Data().html_message_time = 5;
  Create();
  host.posts.clear();
  Send({Started(TaskId::kHtmlMessage)});
  std::vector<std::string> labels = {Wizard().Buttons().next_label};
  EXPECT_FALSE(Wizard().Buttons().forward_enabled);
  // The timer's messages come back to the mode as the queue would deliver them.
  for (int tick = 0; tick < 10 && !host.posts.empty(); ++tick) {
    ASSERT_EQ(host.posts.size(), 1u);
    EXPECT_EQ(host.posts[0].target, Target::kInterface);
    EXPECT_EQ(host.posts[0].delay_ms, 1000);
    const Message timer = host.last;
    host.posts.clear();
    mode_->OnMessage(timer);
    labels.push_back(Wizard().Buttons().next_label);
    EXPECT_EQ(Wizard().Buttons().forward_enabled, labels.back() == "Next");
  }
  EXPECT_EQ(labels, (std::vector<std::string>{"Next (5)", "Next (4)", "Next (3)", "Next (2)",
                                              "Next (1)", "Next"}));
  Person().OnNext();
  EXPECT_EQ(ProcessPosts(),
            (std::vector<Post>{ToProcess(MessageId::kTaskComplete, TaskId::kHtmlMessage, 0)}));
}

TEST_F(ModeFullTest, ACountdownTickAfterThePageChangedDoesNothing) {
  Data().html_message_url = "http://example.org/news.html";
  Data().html_message_time = 3;
  Create();
  Send({Started(TaskId::kHtmlMessage)});
  const Message timer = host.last;
  ASSERT_EQ(timer.id, MessageId::kModeTimer);
  Send({Started(TaskId::kLicense)});
  const std::size_t buttons_shown = Wizard().buttons.size();
  host.posts.clear();
  mode_->OnMessage(timer);
  EXPECT_EQ(Wizard().buttons.size(), buttons_shown);
  EXPECT_TRUE(host.posts.empty());
  EXPECT_EQ(Wizard().Buttons(), kWaiting);
}

TEST_F(ModeFullTest, TheLicenceChoiceEnablesNext) {
  Data().license = "Terms";
  GoTo(TaskId::kLicense);
  Person().OnNext();
  EXPECT_TRUE(ProcessPosts().empty()) << "not accepted yet";
  Person().OnLicenseChoice(true);
  EXPECT_TRUE(Wizard().Buttons().forward_enabled);
  Person().OnLicenseChoice(false);
  EXPECT_FALSE(Wizard().Buttons().forward_enabled);
  Person().OnLicenseChoice(true);
  Person().OnNext();
  EXPECT_EQ(ProcessPosts(),
            (std::vector<Post>{ToProcess(MessageId::kTaskComplete, TaskId::kLicense, 0)}));
}

class ModeFullSelection : public ModeFullTest {
 protected:
  void SetUp() override {
    ModeFullTest::SetUp();
    Data().sections = {
        Section("core", "Core", "2.0", "", "The program", "https://example.org/core"),
        Section("docs", "Docs", "1.0", "", "Manuals"),
        Section("plugin", "Core", "3.0", "core"),
        Section("extras", "Extras", "1.5", "", "More", "", false, false),
    };
    CInstalledSections::Instance().SetVersion("core", "1.0");
    CInstalledSections::Instance().SetVersion("docs", "1.0");
  }
};

TEST_F(ModeFullSelection, OffersOnlyRootSectionsNewerThanInstalled) {
  GoTo(TaskId::kSelectUpdate);
  EXPECT_EQ(Wizard().pages.back(), WizardPage::kSelectUpdate);
  EXPECT_NE(Wizard().page_texts.back().explanation.find("available for Demo App"),
            std::string::npos);
  ASSERT_EQ(Wizard().sections.size(), 1u);
  EXPECT_EQ(Wizard().sections[0],
            (std::vector<SectionRow>{{"Core", 0, true, true}, {"Extras", 0, false, false}}));
  EXPECT_EQ(Wizard().details.back(), (SectionDetails{"Core", "The program", "More information...",
                                                     "https://example.org/core"}));
  Person().OnSectionSelected(1);
  EXPECT_EQ(Wizard().details.back(), (SectionDetails{"Extras", "More", "More information...", ""}));
  Person().OnSectionSelected(7);
  EXPECT_EQ(Wizard().details.size(), 2u);
}

TEST_F(ModeFullSelection, NextStoresEachRowsStateInTheSectionsOfItsTitle) {
  GoTo(TaskId::kSelectUpdate);
  Person().OnSectionToggled(1);  // disabled: goes back at once
  EXPECT_EQ(Wizard().sections.back()[1].checked, false);
  Person().OnSectionToggled(0);
  EXPECT_EQ(Wizard().sections.back()[0].checked, false);
  Person().OnNext();
  EXPECT_EQ(ProcessPosts(),
            (std::vector<Post>{ToProcess(MessageId::kTaskComplete, TaskId::kSelectUpdate, 0)}));
  const std::vector<CSectionData>& sections = Data().sections;
  EXPECT_FALSE(sections[0].selected);
  EXPECT_TRUE(sections[1].selected) << "not offered: kept as read";
  EXPECT_FALSE(sections[2].selected) << "the same title";
  EXPECT_FALSE(sections[3].selected);
}

TEST_F(ModeFullSelection, NothingNewerCompletesTheTaskAtOnce) {
  CInstalledSections::Instance().SetVersion("core", "2.0");
  CInstalledSections::Instance().SetVersion("extras", "1.5");
  GoTo(TaskId::kSelectUpdate);
  EXPECT_EQ(ProcessPosts(), std::vector<Post>{});  // cleared by GoTo: look at the whole run
  Create();
  Send({Started(TaskId::kSelectUpdate)});
  EXPECT_EQ(ProcessPosts(),
            (std::vector<Post>{ToProcess(MessageId::kTaskComplete, TaskId::kSelectUpdate, 0)}));
  EXPECT_NE(Wizard().pages.back(), WizardPage::kSelectUpdate);
}

TEST_F(ModeFullTest, TheFileLabelIsWrittenOnlyWhenItChanges) {
  GoTo(TaskId::kDownload);
  for (const auto& [percent, item] : std::vector<std::pair<int, std::string>>{
           {10, "a.zip"}, {50, "a.zip"}, {100, "a.zip"}, {0, "b.zip"}, {150, "b.zip"}})
    Send({MakeMessage(MessageId::kItemProgress, percent, 0, item)});
  EXPECT_EQ(Wizard().item_percents, (std::vector<int>{10, 50, 100, 0, 100}));
  EXPECT_EQ(Wizard().item_labels, (std::vector<std::optional<std::string>>{
                                      "File progress: a.zip", std::nullopt, std::nullopt,
                                      "File progress: b.zip", std::nullopt}));
  Send({MakeMessage(MessageId::kTotalProgress, 40), MakeMessage(MessageId::kTotalProgress, -3)});
  EXPECT_EQ(Wizard().total_percents, (std::vector<int>{40, 0}));
  EXPECT_EQ(Wizard().total_labels.back(), "Total progress:");
  // A new page starts from its own label again.
  Send({Started(TaskId::kInstall), MakeMessage(MessageId::kItemProgress, 5, 0, "b.zip")});
  EXPECT_EQ(Wizard().item_labels.back(), std::optional<std::string>("File progress: b.zip"));
}

TEST_F(ModeFullTest, QuestionsAreAnsweredYesOnlyByYes) {
  struct Case {
    const char* name;
    QuestionId id;
    CloseApplicationMode close_mode;
    MessageBoxAnswer answer;
    bool closes;  // the countdown ends with the program gone
    bool countdown;
    std::int64_t posted;  // 0 yes, 1 no
  } cases[] = {
      {"delete yes", QuestionId::kDeleteFile, CloseApplicationMode::Close, MessageBoxAnswer::kYes,
       true, false, 0},
      {"delete no", QuestionId::kDeleteFile, CloseApplicationMode::Close, MessageBoxAnswer::kNo,
       true, false, 1},
      {"register escape", QuestionId::kRegisterFile, CloseApplicationMode::Close,
       MessageBoxAnswer::kCancel, true, false, 1},
      {"register yes", QuestionId::kRegisterFile, CloseApplicationMode::Close,
       MessageBoxAnswer::kYes, true, false, 0},
      {"close yes, program gone", QuestionId::kCloseApplication, CloseApplicationMode::Close,
       MessageBoxAnswer::kYes, true, true, 0},
      {"close yes, countdown cancelled", QuestionId::kCloseApplication, CloseApplicationMode::Close,
       MessageBoxAnswer::kYes, false, true, 1},
      {"close no", QuestionId::kCloseApplication, CloseApplicationMode::Close,
       MessageBoxAnswer::kNo, true, false, 1},
      {"closed by the person", QuestionId::kCloseApplication, CloseApplicationMode::User,
       MessageBoxAnswer::kYes, false, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Data().close_application = c.close_mode;
    module.dialogs = ScriptedDialogs();
    module.dialogs.answers = {c.answer};
    module.closes = c.closes;
    module.asked = 0;
    GoTo(TaskId::kInstall);
    Message question =
        MakeMessage(MessageId::kQuestion, c.id, 0,
                    c.id == QuestionId::kCloseApplication ? "Demo App" : "/opt/demo/x.so");
    question.payload =
        QuestionTicket{.serial = 4, .generation = 1, .user_name = {}, .password = {}};
    Send({question});
    EXPECT_EQ(module.dialogs.boxes.size(), 1u);
    EXPECT_EQ(module.asked, c.countdown ? 1 : 0);
    if (c.countdown) {
      EXPECT_EQ(module.closed_title, "Demo App");
      EXPECT_EQ(module.closed_path, Native("/opt/demo/demo"));
    }
    EXPECT_EQ(ProcessPosts(), (std::vector<Post>{ToProcess(MessageId::kAnswer, c.id, c.posted)}));
    ASSERT_TRUE(TicketOf(host.last));
    EXPECT_EQ(TicketOf(host.last)->serial, 4u);
  }
}

TEST_F(ModeFullTest, ProxyCredentialsAreAskedInTheirDialog) {
  module.typed = TypedCredentials{"ann", "s3cret"};
  GoTo(TaskId::kDownload);
  Send({MakeMessage(MessageId::kQuestion, QuestionId::kProxyCredentials)});
  EXPECT_TRUE(module.dialogs.boxes.empty());
  EXPECT_EQ(ProcessPosts(),
            (std::vector<Post>{ToProcess(MessageId::kAnswer, QuestionId::kProxyCredentials, 0)}));
  ASSERT_TRUE(TicketOf(host.last));
  EXPECT_EQ(TicketOf(host.last)->user_name, "ann");
  module.typed.reset();
  host.posts.clear();
  Send({MakeMessage(MessageId::kQuestion, QuestionId::kProxyCredentials)});
  EXPECT_EQ(ProcessPosts(),
            (std::vector<Post>{ToProcess(MessageId::kAnswer, QuestionId::kProxyCredentials, 1)}));
}

TEST_F(ModeFullTest, AWarningIsShownThenAcknowledged) {
  GoTo(TaskId::kInstall);
  Send({MakeMessage(MessageId::kWarning, 0, 0, "/opt/demo/lib/comp.so (register)")});
  ASSERT_EQ(module.dialogs.boxes.size(), 1u);
  EXPECT_EQ(module.dialogs.boxes[0].caption, "Unable to register file");
  EXPECT_NE(module.dialogs.boxes[0].text.find("register comp.so on"), std::string::npos);
  EXPECT_EQ(ProcessPosts(), (std::vector<Post>{ToProcess(MessageId::kWarningAck, 0, 0)}));
}

TEST_F(ModeFullTest, TheAboutLinkAndHidingInTheTrayAskTheProcess) {
  GoTo(TaskId::kDownload);
  Person().OnAboutLink();
  Person().OnHideInTray();
  EXPECT_EQ(ProcessPosts(), (std::vector<Post>{ToProcess(MessageId::kShowAbout, 0, 0),
                                               ToProcess(MessageId::kChangeMode, 0, 0)}));
  EXPECT_EQ(host.last.text, "silent");
  // Once the run can only end there is nothing to follow in the tray.
  Send({Started(TaskId::kRollback), Complete(TaskId::kRollback)});
  host.posts.clear();
  Person().OnHideInTray();
  EXPECT_TRUE(ProcessPosts().empty());
}

TEST_F(ModeFullTest, AWizardOpenedMidRunTakesTheReplayedMessage) {
  // Switched to from another mode during the download: the catch-up shows the
  // page, then the process posts its last message again.
  Create(TaskId::kDownload);
  Send({Complete(TaskId::kDownload)});
  EXPECT_EQ(Wizard().pages, (std::vector<WizardPage>{WizardPage::kDownload}));
  EXPECT_EQ(Wizard().Buttons(), kNextEnabled);
  Person().OnNext();
  EXPECT_EQ(ProcessPosts(),
            (std::vector<Post>{ToProcess(MessageId::kCommand, CommandCode::kNextTask, 0)}));
}

TEST_F(ModeFullTest, AModuleWithoutAWizardShowsNothingAndDoesNotFail) {
  module.has_wizard = false;
  Create(TaskId::kCheckVersion);
  Send({Complete(TaskId::kCheckVersion), MakeMessage(MessageId::kItemProgress, 5, 0, "a")});
  EXPECT_TRUE(Wizard().pages.empty());
}

TEST_F(ModeFullTest, ARunWithoutErrorsGoesFromWelcomeToFinish) {
  Data().license = "Terms";
  Data().html_message_url = "http://example.org/news.html";
  Create();
  Send({Complete(TaskId::kInit)});
  Person().OnNext();
  Send({Started(TaskId::kCheckVersion), Complete(TaskId::kCheckVersion)});
  Person().OnNext();
  Send({Started(TaskId::kHtmlMessage)});
  Person().OnNext();
  Send({Started(TaskId::kLicense)});
  Person().OnLicenseChoice(true);
  Person().OnNext();
  Send({Started(TaskId::kDownload), Complete(TaskId::kDownload)});
  Person().OnNext();
  Send({Started(TaskId::kInstall), Complete(TaskId::kInstall)});
  Person().OnNext();
  Person().OnFinish();
  const Post next = ToProcess(MessageId::kCommand, CommandCode::kNextTask, 0);
  EXPECT_EQ(
      ProcessPosts(),
      (std::vector<Post>{next, next, ToProcess(MessageId::kTaskComplete, TaskId::kHtmlMessage, 0),
                         ToProcess(MessageId::kTaskComplete, TaskId::kLicense, 0), next,
                         ToProcess(MessageId::kCommand, CommandCode::kFinish, 0)}));
  EXPECT_EQ(Wizard().pages, (std::vector<WizardPage>{WizardPage::kWelcome, WizardPage::kCheck,
                                                     WizardPage::kHtmlMessage, WizardPage::kLicense,
                                                     WizardPage::kDownload, WizardPage::kInstall,
                                                     WizardPage::kFinish}));
}

}  // namespace
