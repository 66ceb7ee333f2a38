// The full mode's wizard as a person meets it: shown on a private X server,
// told what to show as the mode would, photographed page by page, and driven
// with the keyboard and the mouse through xdotool.

#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/gauge.h>
#include <wx/radiobut.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/treectrl.h>
#include <wx/webview.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "tests/support/test_http_server.h"
#include "tests/ui_wx/dialog_driver.h"
#include "updater/ui/wx/wx_wizard.h"
#include "updater/ui/wx/wx_wizard_parts.h"

namespace wizard_gtest {

// What the person did, in order.
class RecordingActions : public IWizardActions {
 public:
  void OnNext() override { calls.push_back("next"); }
  void OnFinish() override { calls.push_back("finish"); }
  void OnCancel() override { calls.push_back("cancel"); }
  void OnAboutLink() override { calls.push_back("about"); }
  void OnHideInTray() override { calls.push_back("hide"); }
  void OnLicenseChoice(bool agree) override {
    calls.push_back(agree ? "license:agree" : "license:not");
  }
  void OnSectionToggled(std::size_t row) override {
    calls.push_back("toggle:" + std::to_string(row));
  }
  void OnSectionSelected(std::size_t row) override {
    calls.push_back("select:" + std::to_string(row));
  }
  int Count(const std::string& call) const {
    return static_cast<int>(std::count(calls.begin(), calls.end(), call));
  }
  std::vector<std::string> calls;
};

WizardFrame Frame() {
  WizardFrame frame;
  frame.title = "Updater - Update Sample Editor";
  frame.about_link = "Updater";
  frame.hide_in_tray = "Hide in tray";
  frame.next_text = "Next >";
  frame.finish_text = "Finish";
  frame.cancel_text = "Cancel";
  frame.link_colour = "R0,G102,B204";
  frame.link_hover_colour = "#0000FF";
  return frame;
}

WizardButtons Forward(bool finish = false) {
  WizardButtons buttons;
  buttons.finish = finish;
  buttons.forward_enabled = true;
  buttons.next_label = "Next >";
  return buttons;
}

WizardButtons NoButtons() {
  WizardButtons buttons;
  buttons.next_label = "Next >";
  return buttons;
}

WizardPageTexts Interior(const std::string& title, const std::string& subtitle) {
  WizardPageTexts texts;
  texts.header_title = title;
  texts.header_subtitle = subtitle;
  return texts;
}

const std::string kLicense =
    "SOFTWARE LICENCE AGREEMENT\n\n"
    "1. The Sample Editor & its parts are licensed, not sold. You may install and use one "
    "copy on each computer you own.\n\n"
    "2. You may not rent, lease or lend the software. <b>No markup</b> is read here.\n\n"
    "3. The software is provided \"as is\", without warranty of any kind.";

WizardPageTexts LicenseTexts() {
  WizardPageTexts texts =
      Interior("License agreement", "Please read the license agreement of Sample Editor.");
  texts.license_text = kLicense;
  texts.agree_text = "I accept the agreement";
  texts.not_agree_text = "I do not accept the agreement";
  return texts;
}

const std::vector<SectionRow> kRows = {
    {"Spell checker", 0, true, true},
    {"Dictionaries (required)", 0, true, false},
};

WizardPageTexts SelectTexts() {
  WizardPageTexts texts =
      Interior("Select update", "Choose the parts of the update you want to install.");
  texts.explanation = "The following parts of Sample Editor can be updated:";
  return texts;
}

SectionDetails SpellChecker() {
  return {"Spell checker", "Checks your spelling as you type, in twelve languages.",
          "More information", "https://sample.example.com/spell"};
}

class Wizard : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    ASSERT_TRUE(StartWindowTests(&why)) << why;
    wizard_ = std::make_unique<CWxWizard>(
        Frame(), actions_, [this](const std::string& address) { opened_.push_back(address); });
    ASSERT_NE(wizard_->Window(), nullptr);
  }
  void TearDown() override { wizard_.reset(); }

  CWxWizardWindow& Window() { return *wizard_->Window(); }
  std::function<bool()> Recorded(const std::string& call, int times = 1) {
    return [this, call, times] { return actions_.Count(call) >= times; };
  }
  void ExpectClean(const DialogDriver& driver, std::size_t screenshots) {
    EXPECT_EQ(driver.Errors(), "");
    EXPECT_EQ(driver.Screenshots().size(), screenshots);
    for (const std::string& path : driver.Screenshots()) EXPECT_TRUE(platform::FileExists(path));
  }

  RecordingActions actions_;
  std::vector<std::string> opened_;
  std::unique_ptr<CWxWizard> wizard_;
};

// A point on a row's check box, in the tree's coordinates: where the tree
// itself says there is one.
wxPoint CheckBoxOf(wxTreeCtrl& tree, std::size_t row) {
  wxTreeItemIdValue cookie;
  wxTreeItemId item = tree.GetFirstChild(tree.GetRootItem(), cookie);
  for (std::size_t i = 0; i < row && item.IsOk(); ++i) item = tree.GetNextSibling(item);
  wxRect rect;
  tree.GetBoundingRect(item, rect, false);
  const int y = rect.y + rect.height / 2;
  for (int x = 0; x < tree.GetClientSize().x; ++x) {
    int flags = 0;
    if (tree.HitTest(wxPoint(x, y), flags) == item && (flags & wxTREE_HITTEST_ONITEMSTATEICON)) {
      const int width = tree.GetStateImageList()->GetSize().x;
      return {x + width / 2, y};
    }
  }
  ADD_FAILURE() << "no check box on row " << row;
  return {0, y};
}

TEST_F(Wizard, EveryPageShowsItsTexts) {
  CWxWizardWindow& window = Window();
  DialogDriver driver(window);
  driver
      .Then([&] {
        WizardPageTexts texts;
        texts.title = "Welcome to the update of Sample Editor";
        texts.explanation =
            "This wizard updates Sample Editor on your computer to its newest version.\n\n"
            "Click Next to look for a new version.";
        wizard_->ShowPage(WizardPage::kWelcome, texts);
        wizard_->SetButtons(Forward());
      })
      .Screenshot("wizard_welcome")
      .Then([&] {
        WizardPageTexts texts = Interior("Check for new version",
                                         "The updater is looking for a new version of Sample "
                                         "Editor on the server.");
        texts.explanation = "The updater connects to the server of Sample Editor.";
        texts.status = "Connecting to server...";
        wizard_->ShowPage(WizardPage::kCheck, texts);
        wizard_->SetButtons(NoButtons());
        wizard_->SetStatus("New version (2.0.0.0) available!");
        wizard_->SetFeatures(
            "New features:\n",
            {{"  \xC2\xBB Faster start & smaller files", "https://sample.example.com/speed"},
             {"  \xC2\xBB A spell checker in twelve languages", ""},
             {"  \xC2\xBB Dark theme", "mailto:news@sample.example.com"}});
        wizard_->SetButtons(Forward());
      })
      .Screenshot("wizard_check")
      .Then([&] {
        wizard_->ShowPage(WizardPage::kLicense, LicenseTexts());
        wizard_->SetButtons(NoButtons());
      })
      .Screenshot("wizard_license")
      .Then([&] {
        wizard_->ShowPage(WizardPage::kSelectUpdate, SelectTexts());
        wizard_->SetSections(kRows);
        wizard_->SetSectionDetails(SpellChecker());
        wizard_->SetButtons(Forward());
      })
      .Screenshot("wizard_select")
      .Then([&] {
        WizardPageTexts texts =
            Interior("Downloading", "The updater downloads the files of the new version.");
        texts.explanation = "Please wait while the new version of Sample Editor is downloaded.";
        texts.item_label = "Connecting to server...";
        texts.total_label = "Connecting to server...";
        wizard_->ShowPage(WizardPage::kDownload, texts);
        wizard_->SetButtons(NoButtons());
        wizard_->SetItemProgress(20, std::string("File progress: editor-core.zip"));
        wizard_->SetItemProgress(45, std::nullopt);
        wizard_->SetTotalProgress(45, "Total progress:");
      })
      .Screenshot("wizard_download")
      .Then([&] {
        WizardPageTexts texts =
            Interior("Installing", "The updater installs the new version of Sample Editor.");
        texts.explanation = "Please wait while the new version of Sample Editor is installed.";
        texts.item_label = "Initializing...";
        texts.total_label = "Initializing...";
        wizard_->ShowPage(WizardPage::kInstall, texts);
        wizard_->SetItemProgress(45, std::string("File progress: bin/editor"));
        wizard_->SetTotalProgress(45, "Total progress:");
      })
      .Screenshot("wizard_install")
      .Then([&] {
        WizardPageTexts texts;
        texts.explanation =
            "Sample Editor has been updated to its newest version.\n\n"
            "Click Finish to close the updater and to go on working with Sample Editor.";
        texts.shortcuts_shown = true;
        texts.shortcuts_text = "Create shortcuts for Sample Editor";
        wizard_->ShowPage(WizardPage::kFinish, texts);
        wizard_->SetButtons(Forward(true));
      })
      .Screenshot("wizard_finish")
      .Then([&] {
        WizardPageTexts texts = Interior("Rolling back", "The updater restores Sample Editor.");
        texts.explanation = "The update was stopped; the files of Sample Editor are restored.";
        texts.total_label = "Initializing...";
        wizard_->ShowPage(WizardPage::kRollback, texts);
        wizard_->SetButtons(NoButtons());
        wizard_->SetTotalProgress(45, "Total progress:");
      })
      .Screenshot("wizard_rollback");
  EXPECT_TRUE(driver.RunModeless());
  ExpectClean(driver, 8);

  // What the pages show: plain texts, the header of the page shown last.
  const WizardPageControls& check = window.Page(WizardPage::kCheck);
  EXPECT_EQ(check.status->GetLabelText().utf8_string(), "New version (2.0.0.0) available!");
  EXPECT_TRUE(check.features_heading->IsShown());
  EXPECT_EQ(check.features_heading->GetLabelText().utf8_string(), "New features:");
  EXPECT_TRUE(check.feature_links[0]->IsShown());
  EXPECT_EQ(check.feature_links[0]->GetLabel().utf8_string(),
            "  \xC2\xBB Faster start & smaller files");
  EXPECT_FALSE(check.feature_texts[0]->IsShown());
  EXPECT_TRUE(check.feature_texts[1]->IsShown());
  EXPECT_FALSE(check.feature_links[1]->IsShown());
  EXPECT_TRUE(check.feature_links[2]->IsShown());
  EXPECT_FALSE(check.feature_links[3]->IsShown());
  EXPECT_FALSE(check.feature_texts[3]->IsShown());
  EXPECT_EQ(window.Page(WizardPage::kLicense).license->GetValue().utf8_string(), kLicense);
  const WizardPageControls& download = window.Page(WizardPage::kDownload);
  EXPECT_EQ(download.item_label->GetLabelText().utf8_string(), "File progress: editor-core.zip");
  EXPECT_EQ(download.item_percent->GetLabel().utf8_string(), "45%");
  EXPECT_EQ(download.item_bar->GetValue(), 45);
  EXPECT_EQ(download.total_percent->GetLabel().utf8_string(), "45%");
  EXPECT_TRUE(window.Page(WizardPage::kFinish).shortcuts->IsShown());
  EXPECT_TRUE(window.Page(WizardPage::kFinish).shortcuts->GetValue());
  EXPECT_EQ(window.Header().Title().utf8_string(), "Rolling back");
  EXPECT_EQ(window.Page(WizardPage::kRollback).total_bar->GetValue(), 45);
  // After the rollback started no other page comes back.
  wizard_->ShowPage(WizardPage::kWelcome, {});
  EXPECT_EQ(window.CurrentPage(), WizardPage::kRollback);
  EXPECT_EQ(window.GetTitle().utf8_string(), "Updater - Update Sample Editor");
  EXPECT_TRUE(actions_.calls.empty());
}

TEST_F(Wizard, TextsArePlainNeverMnemonicsOrMarkup) {
  CWxWizardWindow& window = Window();
  const std::string odd = "A & <b>B</b> &amp;";  // short: no line is broken
  WizardPageTexts texts;
  texts.title = odd;
  texts.explanation = odd;
  wizard_->ShowPage(WizardPage::kWelcome, texts);
  EXPECT_EQ(window.Page(WizardPage::kWelcome).title->GetLabelText().utf8_string(), odd);
  EXPECT_EQ(window.Page(WizardPage::kWelcome).explanation->GetLabelText().utf8_string(), odd);
  WizardPageTexts license = LicenseTexts();
  license.header_title = odd;
  license.agree_text = "I &accept";
  license.not_agree_text = "I do <i>not</i> accept";
  license.license_text = odd;
  wizard_->ShowPage(WizardPage::kLicense, license);
  EXPECT_EQ(window.Header().Title().utf8_string(), odd);
  EXPECT_EQ(window.Page(WizardPage::kLicense).agree->GetLabelText().utf8_string(), "I &accept");
  EXPECT_EQ(window.Page(WizardPage::kLicense).not_agree->GetLabelText().utf8_string(),
            "I do <i>not</i> accept");
  EXPECT_EQ(window.Page(WizardPage::kLicense).license->GetValue().utf8_string(), odd);
  WizardButtons buttons = Forward();
  buttons.next_label = "&Next >";
  wizard_->SetButtons(buttons);
  EXPECT_EQ(window.NextButton().GetLabelText().utf8_string(), "&Next >");
  wizard_->ShowPage(WizardPage::kSelectUpdate, SelectTexts());
  wizard_->SetSections({{odd, 0, true, true}});
  wizard_->SetSectionDetails({odd, odd, "More & more", "https://sample.example.com/"});
  const WizardPageControls& select = window.Page(WizardPage::kSelectUpdate);
  wxTreeItemIdValue cookie;
  EXPECT_EQ(select.tree->GetItemText(select.tree->GetFirstChild(select.tree->GetRootItem(), cookie))
                .utf8_string(),
            odd);
  EXPECT_EQ(select.section_title->GetLabelText().utf8_string(), odd);
  EXPECT_EQ(select.more_info->GetLabel().utf8_string(), "More & more");
}

TEST_F(Wizard, ItemLabelIsWrittenOnlyWhenGiven) {
  CWxWizardWindow& window = Window();
  WizardPageTexts texts = Interior("Downloading", "");
  texts.item_label = "Connecting to server...";
  wizard_->ShowPage(WizardPage::kDownload, texts);
  wizard_->SetItemProgress(10, std::string("File progress: a.dll"));
  for (int percent : {20, 30, 40}) wizard_->SetItemProgress(percent, std::nullopt);
  const WizardPageControls& download = window.Page(WizardPage::kDownload);
  EXPECT_EQ(download.item_label->GetLabelText().utf8_string(), "File progress: a.dll");
  EXPECT_EQ(download.item_percent->GetLabel().utf8_string(), "40%");
  EXPECT_EQ(window.ItemLabelWrites(), 1);
  wizard_->SetItemProgress(150, std::string("File progress: b & c.dll"));
  EXPECT_EQ(download.item_label->GetLabelText().utf8_string(), "File progress: b & c.dll");
  EXPECT_EQ(download.item_percent->GetLabel().utf8_string(), "100%");
  EXPECT_EQ(window.ItemLabelWrites(), 2);
  // Progress for a page that is not shown changes nothing.
  wizard_->ShowPage(WizardPage::kCheck, Interior("Check", ""));
  wizard_->SetItemProgress(90, std::string("File progress: late.dll"));
  EXPECT_EQ(download.item_label->GetLabelText().utf8_string(), "File progress: b & c.dll");
}

TEST_F(Wizard, ReturnPressesTheForwardButtonEscapeAndCloseBoxCancelAndTheWindowStays) {
  CWxWizardWindow& window = Window();
  DialogDriver driver(window);
  driver
      .Then([&] {
        wizard_->ShowPage(WizardPage::kWelcome, {});
        wizard_->SetButtons(Forward());
      })
      .Key("Return")
      .Key("Escape", Recorded("next"))
      .Then(
          [&] {
            EXPECT_TRUE(window.IsShown());
            // What the window manager's close box sends.
            window.Close();
          },
          Recorded("cancel"))
      .Then(
          [&] {
            EXPECT_TRUE(window.IsShown());
            WizardButtons closed = NoButtons();
            closed.close_enabled = false;
            closed.cancel_enabled = false;
            wizard_->SetButtons(closed);
            window.Close();
            // Next is disabled: Return does nothing.
          },
          Recorded("cancel", 2))
      .Key("Return")
      .Then([&] { wizard_->SetButtons(Forward(true)); })
      .Key("Return")
      .Then([] {}, Recorded("finish"));
  EXPECT_TRUE(driver.RunModeless());
  ExpectClean(driver, 0);
  EXPECT_EQ(actions_.calls, (std::vector<std::string>{"next", "cancel", "cancel", "finish"}));
  EXPECT_TRUE(window.IsShown());
  EXPECT_TRUE(window.FinishButton().IsShown());
  EXPECT_FALSE(window.NextButton().IsShown());
}

TEST_F(Wizard, ReturnWaitsForNextOnAProgressPage) {
  CWxWizardWindow& window = Window();
  DialogDriver driver(window);
  driver
      .Then([&] {
        WizardPageTexts texts = Interior("Downloading", "");
        texts.item_label = "Connecting to server...";
        wizard_->ShowPage(WizardPage::kDownload, texts);
        wizard_->SetButtons(NoButtons());
        EXPECT_EQ(wxWindow::FindFocus(), window.Page(WizardPage::kDownload).page);
      })
      .Key("Return")
      // Keys come in order: once Escape arrived, so had Return.
      .Key("Escape")
      .Then([&] { wizard_->SetButtons(Forward()); }, Recorded("cancel"))
      .Key("Return")
      .Then([] {}, Recorded("next"));
  EXPECT_TRUE(driver.RunModeless());
  ExpectClean(driver, 0);
  EXPECT_EQ(actions_.calls, (std::vector<std::string>{"cancel", "next"}));
  EXPECT_EQ(wxWindow::FindFocus(), &window.NextButton());
}

TEST_F(Wizard, FinishPageShortcutsBoxWorksWithTheKeyboardAndTabMovesOn) {
  CWxWizardWindow& window = Window();
  wxCheckBox* shortcuts = window.Page(WizardPage::kFinish).shortcuts;
  DialogDriver driver(window);
  driver
      .Then([&] {
        WizardPageTexts texts;
        texts.explanation = "Sample Editor has been updated.";
        texts.shortcuts_shown = true;
        texts.shortcuts_text = "Create shortcuts for Sample Editor";
        wizard_->ShowPage(WizardPage::kFinish, texts);
        wizard_->SetButtons(Forward(true));
        EXPECT_EQ(wxWindow::FindFocus(), shortcuts);
        EXPECT_TRUE(wizard_->ShortcutsChecked());
      })
      .Key("space")
      .Key("Tab", [&] { return !wizard_->ShortcutsChecked(); })
      .Key("shift+Tab", [&] { return wxWindow::FindFocus() != shortcuts; })
      .Screenshot("wizard_finish_unticked", [&] { return wxWindow::FindFocus() == shortcuts; })
      .Key("Return")
      .Then([] {}, Recorded("finish"));
  EXPECT_TRUE(driver.RunModeless());
  ExpectClean(driver, 1);
  EXPECT_EQ(actions_.calls, (std::vector<std::string>{"finish"}));
  EXPECT_FALSE(wizard_->ShortcutsChecked());
}

TEST_F(Wizard, ButtonsFollowTheModeAndTheCountdownLabel) {
  CWxWizardWindow& window = Window();
  WizardButtons countdown = NoButtons();
  countdown.next_label = "Next > (5)";
  wizard_->SetButtons(countdown);
  EXPECT_EQ(window.NextButton().GetLabelText().utf8_string(), "Next > (5)");
  EXPECT_FALSE(window.NextButton().IsEnabled());
  EXPECT_TRUE(window.NextButton().IsShown());
  EXPECT_FALSE(window.FinishButton().IsShown());
  WizardButtons forced = Forward();
  forced.cancel_enabled = false;
  forced.hide_enabled = false;
  wizard_->SetButtons(forced);
  EXPECT_EQ(window.NextButton().GetLabelText().utf8_string(), "Next >");
  EXPECT_TRUE(window.NextButton().IsEnabled());
  EXPECT_FALSE(window.CancelButton().IsEnabled());
  EXPECT_FALSE(window.HideButton().IsEnabled());
  // Next and Finish share one place.
  EXPECT_EQ(window.NextButton().GetPosition(), window.FinishButton().GetPosition());
}

TEST_F(Wizard, LicenceIsAcceptedWithTheKeyboard) {
  CWxWizardWindow& window = Window();
  const WizardPageControls& license = window.Page(WizardPage::kLicense);
  DialogDriver driver(window);
  driver
      .Then([&] {
        wizard_->ShowPage(WizardPage::kLicense, LicenseTexts());
        wizard_->SetButtons(NoButtons());
        EXPECT_TRUE(license.not_agree->GetValue());
        EXPECT_EQ(wxWindow::FindFocus(), license.not_agree);
      })
      .Key("Up")
      .Then(
          [&] {
            EXPECT_TRUE(license.agree->GetValue());
            wizard_->SetButtons(Forward());  // what the mode does on agreeing
          },
          Recorded("license:agree"))
      .Screenshot("wizard_license_agreed")
      .Key("Down")
      .Key("Up", Recorded("license:not"))
      .Key("Return", Recorded("license:agree", 2))
      .Then([] {}, Recorded("next"));
  EXPECT_TRUE(driver.RunModeless());
  ExpectClean(driver, 1);
  EXPECT_EQ(actions_.calls,
            (std::vector<std::string>{"license:agree", "license:not", "license:agree", "next"}));
}

TEST_F(Wizard, SectionsToggleBySpaceAndClickAndDisabledRowsAreReported) {
  CWxWizardWindow& window = Window();
  wxTreeCtrl& tree = *window.Page(WizardPage::kSelectUpdate).tree;
  // The mode's answer to a toggle: the enabled row flips.
  std::vector<SectionRow> rows = kRows;
  const auto first_state = [&] {
    wxTreeItemIdValue cookie;
    return tree.GetItemState(tree.GetFirstChild(tree.GetRootItem(), cookie));
  };
  DialogDriver driver(window);
  driver
      .Then([&] {
        wizard_->ShowPage(WizardPage::kSelectUpdate, SelectTexts());
        wizard_->SetSections(rows);
        wizard_->SetSectionDetails(SpellChecker());
        wizard_->SetButtons(Forward());
        EXPECT_EQ(wxWindow::FindFocus(), &tree);
        EXPECT_EQ(first_state(), kImageChecked);
      })
      .Key("space")
      .Then(
          [&] {
            rows[0].checked = false;
            wizard_->SetSections(rows);
            EXPECT_EQ(first_state(), kImageUnchecked);
          },
          Recorded("toggle:0"))
      .Screenshot("wizard_select_unticked")
      .ClickAt(tree, [&] { return CheckBoxOf(tree, 0); })
      .ClickAt(
          tree, [&] { return CheckBoxOf(tree, 1); }, Recorded("toggle:0", 2))
      .Key("Down", Recorded("toggle:1"))
      .Then(
          [&] {
            wizard_->SetSectionDetails(
                {"Dictionaries (required)", "The word lists.", "More information", ""});
          },
          Recorded("select:1"))
      .Screenshot("wizard_select_second")
      .Key("Return")
      .Then([] {}, Recorded("next"));
  EXPECT_TRUE(driver.RunModeless());
  ExpectClean(driver, 2);
  EXPECT_EQ(actions_.calls,
            (std::vector<std::string>{"toggle:0", "toggle:0", "toggle:1", "select:1", "next"}));
  // The disabled row stays as the mode says; its check box is greyed.
  wxTreeItemIdValue cookie;
  const wxTreeItemId first = tree.GetFirstChild(tree.GetRootItem(), cookie);
  EXPECT_EQ(tree.GetItemState(tree.GetNextSibling(first)), kImageCheckedDisabled);
  EXPECT_FALSE(window.Page(WizardPage::kSelectUpdate).more_info->IsShown());
}

TEST_F(Wizard, AboutLinkHideInTrayAndFeatureLinksReportOrOpen) {
  CWxWizardWindow& window = Window();
  const WizardPageControls& check = window.Page(WizardPage::kCheck);
  DialogDriver driver(window);
  driver
      .Then([&] {
        wizard_->ShowPage(WizardPage::kCheck, Interior("Check for new version", ""));
        wizard_->SetFeatures("New features:", {{"Opens", "https://sample.example.com/speed"},
                                               {"Never opens", "file:///etc/passwd"},
                                               {"Plain", ""}});
      })
      .Click(window.AboutLink())
      .Click(window.HideButton(), Recorded("about"))
      .Click(*check.feature_links[0], Recorded("hide"))
      .Click(*check.feature_links[1], [&] { return opened_.size() == 1; })
      .Click(window.AboutLink())
      .Then([] {}, Recorded("about", 2));
  EXPECT_TRUE(driver.RunModeless());
  ExpectClean(driver, 0);
  EXPECT_EQ(actions_.calls, (std::vector<std::string>{"about", "hide", "about"}));
  EXPECT_EQ(opened_, (std::vector<std::string>{"https://sample.example.com/speed"}));
  EXPECT_FALSE(check.feature_links[2]->IsShown());
  EXPECT_TRUE(check.feature_texts[2]->IsShown());
}

TEST_F(Wizard, HtmlMessageShowsTheServedPageAndNeverLeavesTheWeb) {
  TestHttpServer server;
  ASSERT_TRUE(server.ok()) << server.Error();
  server.ServeStatus("/message.html", 200,
                     "<html><body style='font-family:sans-serif'><h2>What is new in Sample "
                     "Editor 2.0</h2><p>A spell checker, a dark theme and a faster start.</p>"
                     "<script>setTimeout(function(){location.href='file:///etc/hostname';},50);"
                     "setTimeout(function(){location.href='" +
                         server.Url("/done.html") + "';},400);</script></body></html>");
  server.ServeStatus("/done.html", 200,
                     "<html><body style='font-family:sans-serif'><h2>What is new in Sample "
                     "Editor 2.0</h2><p>Thank you for reading.</p></body></html>");
  CWxWizardWindow& window = Window();
  std::vector<std::string> loaded;
  DialogDriver driver(window);
  driver.Then([&] {
    WizardPageTexts texts = Interior("Information", "");
    texts.html_address = "file:///etc/passwd";
    wizard_->ShowPage(WizardPage::kHtmlMessage, texts);
    EXPECT_EQ(window.BrowsedAddress(), "");
  });
  EXPECT_TRUE(driver.RunModeless());
  ASSERT_TRUE(wxWebView::IsBackendAvailable(wxWebViewBackendDefault))
      << "the web view of WebKitGTK is missing (apt-get install libwxgtk-webview3.2-dev)";
  wxWebView* web = nullptr;
  DialogDriver browse(window);
  browse
      .Then([&] {
        WizardPageTexts texts =
            Interior("Information", "Please read the following about Sample Editor.");
        texts.html_address = server.Url("/message.html");
        wizard_->ShowPage(WizardPage::kHtmlMessage, texts);
        EXPECT_EQ(window.BrowsedAddress(), server.Url("/message.html"));
        web = dynamic_cast<wxWebView*>(window.WebView());
        ASSERT_NE(web, nullptr);
        web->Bind(wxEVT_WEBVIEW_LOADED, [&](wxWebViewEvent& event) {
          loaded.push_back(event.GetURL().utf8_string());
          event.Skip();
        });
      })
      .Screenshot("wizard_html", [&] {
        return std::find(loaded.begin(), loaded.end(), server.Url("/done.html")) != loaded.end();
      });
  EXPECT_TRUE(browse.RunModeless());
  ExpectClean(browse, 1);
  // Only the served pages, never the file the page went for.
  EXPECT_EQ(loaded,
            (std::vector<std::string>{server.Url("/message.html"), server.Url("/done.html")}));
  ASSERT_NE(web, nullptr);
  EXPECT_EQ(web->GetCurrentURL().utf8_string(), server.Url("/done.html"));
  for (auto& u : loaded) {
    fprintf(stderr, "DEBUG loaded %s\n", u.c_str());
  }
  fprintf(stderr, "DEBUG requests %d %d\n", server.Requests("/message.html"),
          server.Requests("/done.html"));
}

TEST_F(Wizard, WithoutAWebViewTheAddressIsALinkToTheBrowser) {
  CWxWizardWindow& window = Window();
  window.UseWebView(false);
  const std::string address = "https://sample.example.com/news.html";
  WizardPageTexts texts = Interior("Information", "Please read the following.");
  texts.html_address = address;
  wizard_->ShowPage(WizardPage::kHtmlMessage, texts);
  ASSERT_NE(window.AddressLink(), nullptr);
  EXPECT_EQ(window.WebView(), nullptr);
  EXPECT_EQ(window.AddressLink()->GetLabel().utf8_string(), address);
  DialogDriver driver(window);
  driver.Screenshot("wizard_html_without_web_view")
      .Click(*window.AddressLink())
      .Then(
          [&] {
            // An address that is no web page is shown, and opens nothing.
            texts.html_address = "file:///etc/passwd";
            wizard_->ShowPage(WizardPage::kHtmlMessage, texts);
          },
          [&] { return opened_.size() == 1; })
      .Click(*window.AddressLink())
      .Key("Escape")
      .Then([] {}, Recorded("cancel"));
  EXPECT_TRUE(driver.RunModeless());
  ExpectClean(driver, 1);
  EXPECT_EQ(opened_, (std::vector<std::string>{address}));
}

TEST_F(Wizard, OnlyWebAddressesAreBrowsed) {
  const struct {
    const char* address;
    bool allowed;
  } cases[] = {
      {"http://sample.example.com/news.html", true},
      {"HTTPS://sample.example.com/news.html", true},
      {"file:///etc/passwd", false},
      {"javascript:alert(1)", false},
      {"data:text/html,<b>x</b>", false},
      {"about:blank", false},
      {"mailto:news@sample.example.com", false},
      {"", false},
      {"http://", false},
      {"\"http://sample.example.com/\"", false},
      {"http://sample.example.com/a b", false},
  };
  for (const auto& c : cases) EXPECT_EQ(WizardMayBrowse(c.address), c.allowed) << c.address;
}

TEST_F(Wizard, LinkColoursFromSettingsTexts) {
  const wxColour fallback(1, 2, 3);
  EXPECT_EQ(WizardColour("#0066CC", fallback), wxColour(0, 102, 204));
  EXPECT_EQ(WizardColour("0,102,204", fallback), wxColour(0, 102, 204));
  EXPECT_EQ(WizardColour("R175,G175,B255", fallback), wxColour(175, 175, 255));
  EXPECT_EQ(WizardColour("256,0,0", fallback), fallback);
  EXPECT_EQ(WizardColour("1,2", fallback), fallback);
  EXPECT_EQ(WizardColour("no such colour", fallback), fallback);
  EXPECT_EQ(WizardColour("", fallback), fallback);
}

}  // namespace wizard_gtest
