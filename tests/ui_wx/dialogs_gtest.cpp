// The updater's dialogs as a person meets them: shown on a private X server,
// photographed, and answered with the keyboard or the mouse through xdotool.

#include <gtest/gtest.h>
#include <wx/hyperlink.h>
#include <wx/image.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "tests/support/temp_folder.h"
#include "tests/ui_wx/dialog_driver.h"
#include "updater/core/language.h"
#include "updater/core/updater_settings.h"
#include "updater/ui/about_texts.h"
#include "updater/ui/authentication_controller.h"
#include "updater/ui/close_application_controller.h"
#include "updater/ui/dialog_results.h"
#include "updater/ui/wx/wx_about_dialog.h"
#include "updater/ui/wx/wx_authentication_dialog.h"
#include "updater/ui/wx/wx_close_application_dialog.h"
#include "updater/ui/wx/wx_dialog_service.h"
#include "updater/ui/wx/wx_language_dialog.h"
#include "updater/ui/wx/wx_message_dialog.h"

namespace dialogs_gtest {

class Dialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    CLanguage::ResetInstance();
    CUpdaterSettings::ResetInstance();
    std::string why;
    ASSERT_TRUE(StartWindowTests(&why)) << why;
  }
  void TearDown() override {
    CLanguage::ResetInstance();
    CUpdaterSettings::ResetInstance();
  }
};

// The run's result, with every screenshot taken and no error met.
void ExpectClean(const DialogDriver& driver, std::size_t screenshots) {
  EXPECT_EQ(driver.Errors(), "");
  EXPECT_EQ(driver.Screenshots().size(), screenshots);
  for (const std::string& path : driver.Screenshots()) EXPECT_TRUE(platform::FileExists(path));
}

const std::string kText =
    "The application is running and must be closed before the update can be installed. "
    "Do you want to close it now?";

TEST_F(Dialogs, ConfirmationEscapeAnswersNoNeverYes) {
  CWxConfirmationDialog dialog("Close application", "Confirmation", kText, "Yes", "No");
  DialogDriver driver(dialog);
  driver.Screenshot("confirmation").Key("Escape");
  EXPECT_EQ(driver.Run(), kDialogNo);
  ExpectClean(driver, 1);
}

TEST_F(Dialogs, ConfirmationCloseBoxAnswersNo) {
  CWxConfirmationDialog dialog("Close application", "Confirmation", kText, "Yes", "No");
  DialogDriver driver(dialog);
  // What the window manager's close box sends.
  driver.Then([&dialog] { dialog.Close(); });
  EXPECT_EQ(driver.Run(), kDialogNo);
  ExpectClean(driver, 0);
}

TEST_F(Dialogs, ConfirmationYesByClickAndByReturnNoByClick) {
  {
    CWxConfirmationDialog dialog("Question one", "Confirmation", kText, "Yes", "No");
    DialogDriver driver(dialog);
    driver.Click(*dialog.Buttons()[0]);
    EXPECT_EQ(driver.Run(), kDialogYes);
    ExpectClean(driver, 0);
  }
  {
    CWxConfirmationDialog dialog("Question two", "Confirmation", kText, "Yes", "No");
    DialogDriver driver(dialog);
    driver.Key("Return");
    EXPECT_EQ(driver.Run(), kDialogYes);
    ExpectClean(driver, 0);
  }
  {
    CWxConfirmationDialog dialog("Question three", "Confirmation", kText, "Yes", "No");
    DialogDriver driver(dialog);
    driver.Click(*dialog.Buttons()[1]);
    EXPECT_EQ(driver.Run(), kDialogNo);
    ExpectClean(driver, 0);
  }
}

TEST_F(Dialogs, UpdateFileTextsArePlainTextNeverMarkupOrMnemonics) {
  const std::string text = "Save & <b>exit</b> &amp; go on";
  CWxConfirmationDialog dialog("Plain text", "Heading & <i>more</i>", text, "&Yes", "N&o");
  EXPECT_EQ(dialog.Explanation().GetLabelText().utf8_string(), text);
  EXPECT_EQ(dialog.Buttons()[0]->GetLabelText().utf8_string(), "&Yes");
  EXPECT_EQ(dialog.Buttons()[1]->GetLabelText().utf8_string(), "N&o");
  EXPECT_EQ(dialog.Header().Heading().utf8_string(), "Heading & <i>more</i>");
  DialogDriver driver(dialog);
  driver.Screenshot("plain_text").Key("Escape");
  EXPECT_EQ(driver.Run(), kDialogNo);
  ExpectClean(driver, 1);
}

TEST_F(Dialogs, ErrorDetailsExpandAndCollapseWithTheButton) {
  const std::string details =
      "The server answered 404 Not Found for https://updates.example.com/app/updatefile.xml. "
      "Check the address in the settings file.";
  CWxErrorDialog dialog("Update failed", "Error", "The update file could not be downloaded.",
                        details, "OK", "More");
  const int collapsed_height = dialog.GetClientSize().y;
  EXPECT_EQ(dialog.DetailsButton().GetLabelText().utf8_string(), "More >>");
  EXPECT_TRUE(dialog.DetailsButton().IsEnabled());
  EXPECT_FALSE(dialog.Details().IsShown());
  int expanded_height = 0;
  DialogDriver driver(dialog);
  driver.Screenshot("error_collapsed")
      .Click(dialog.DetailsButton())
      .Screenshot("error_expanded", [&] { return dialog.Expanded(); })
      .Then([&] {
        expanded_height = dialog.GetClientSize().y;
        EXPECT_EQ(dialog.DetailsButton().GetLabelText().utf8_string(), "<< More");
        EXPECT_TRUE(dialog.Details().IsShown());
      })
      .Click(dialog.DetailsButton())
      .Key("Escape", [&] { return !dialog.Expanded(); });
  EXPECT_EQ(driver.Run(), kDialogCancel);
  ExpectClean(driver, 2);
  EXPECT_GT(expanded_height, collapsed_height);
  EXPECT_EQ(dialog.GetClientSize().y, collapsed_height);
  EXPECT_EQ(dialog.DetailsButton().GetLabelText().utf8_string(), "More >>");
}

TEST_F(Dialogs, ErrorWithoutDetailsHasADisabledButtonAndOkEndsWithOne) {
  CWxErrorDialog dialog("No details", "Error", "Something went wrong.", "", "OK", "More");
  EXPECT_FALSE(dialog.DetailsButton().IsEnabled());
  DialogDriver driver(dialog);
  driver.Screenshot("error_no_details").Key("Return");
  EXPECT_EQ(driver.Run(), kDialogOk);
  ExpectClean(driver, 1);
}

TEST_F(Dialogs, InformationAndWarningEndWithOkOrCancel) {
  {
    CWxInformationDialog dialog("Restart", "Information",
                                "The computer restarts now to finish the update of Sample.", "OK");
    DialogDriver driver(dialog);
    driver.Screenshot("information").Key("Return");
    EXPECT_EQ(driver.Run(), kDialogOk);
    ExpectClean(driver, 1);
  }
  {
    CWxWarningDialog dialog("Unable to register file", "Warning",
                            std::string(600, 'w') + " and a long text that wraps", "OK");
    DialogDriver driver(dialog);
    driver.Screenshot("warning").Key("Escape");
    EXPECT_EQ(driver.Run(), kDialogCancel);
    ExpectClean(driver, 1);
  }
}

// A program that never closes by itself, or closes after some checks.
class FakeProcesses : public ICloseApplicationProcesses {
 public:
  explicit FakeProcesses(int running_checks = -1) : running_checks_(running_checks) {}
  bool IsProcessRunning(const std::string&) override {
    return running_checks_ < 0 || checks_++ < running_checks_;
  }
  void CloseProcesses(const std::string&, bool terminate) override {
    requests.push_back(terminate);
  }
  std::vector<bool> requests;

 private:
  int running_checks_;
  int checks_ = 0;
};

TEST_F(Dialogs, CloseApplicationEndNowTerminates) {
  FakeProcesses processes;
  CCloseApplicationController controller("Sample Browser", "/opt/sample/sample", processes);
  CWxCloseApplicationDialog dialog(controller);
  DialogDriver driver(dialog);
  driver.Screenshot("close_application").Click(dialog.EndNowButton());
  EXPECT_EQ(driver.Run(), kDialogOk);
  ExpectClean(driver, 1);
  EXPECT_EQ(processes.requests, (std::vector<bool>{false, true}));
}

TEST_F(Dialogs, CloseApplicationEndsByItselfWhenTheProgramHasGoneAndEscapeCancels) {
  {
    FakeProcesses processes(/*running_checks=*/2);
    CCloseApplicationController controller("", "/opt/sample/sample", processes);
    CWxCloseApplicationDialog dialog(controller, /*tick_ms=*/20);
    EXPECT_EQ(dialog.GetTitle().utf8_string(), "Close application");
    DialogDriver driver(dialog);
    EXPECT_EQ(driver.Run(), kDialogOk);
    EXPECT_EQ(processes.requests, (std::vector<bool>{false}));
    EXPECT_EQ(controller.ProgressPosition(), 2);
  }
  {
    FakeProcesses processes;
    CCloseApplicationController controller("Sample", "/opt/sample/sample", processes);
    CWxCloseApplicationDialog dialog(controller);
    DialogDriver driver(dialog);
    driver.Key("Escape");
    EXPECT_EQ(driver.Run(), kDialogCancel);
    ExpectClean(driver, 0);
    EXPECT_EQ(processes.requests, (std::vector<bool>{false}));
  }
}

TEST_F(Dialogs, CloseApplicationCountsDownUntilCancelled) {
  FakeProcesses processes;
  CCloseApplicationController controller("Sample", "/opt/sample/sample", processes);
  CWxCloseApplicationDialog dialog(controller, /*tick_ms=*/100);
  std::string explanation;
  int position = 0;
  DialogDriver driver(dialog);
  driver.Screenshot("counting_down", [&] { return controller.ProgressPosition() >= 10; })
      .Then([&] {
        // The shown lines, joined again where they were wrapped.
        explanation = dialog.Explanation().GetLabelText().utf8_string();
        std::replace(explanation.begin(), explanation.end(), '\n', ' ');
        position = controller.ProgressPosition();
        EXPECT_EQ(dialog.Progress().GetValue(), position);
      })
      .Click(dialog.CancelButton());
  EXPECT_EQ(driver.Run(), kDialogCancel);
  ExpectClean(driver, 1);
  EXPECT_NE(explanation.find("in " + std::to_string(60 - position) + " seconds"), std::string::npos)
      << explanation;
  EXPECT_EQ(processes.requests, (std::vector<bool>{false}));
}

TEST_F(Dialogs, LanguageWindowGivesTheChoiceAndTheRememberBoxEscapeGivesNone) {
  const std::vector<LanguageChoice> items = {{"german", "Deutsch"},
                                             {"english", "English (original)"},
                                             {"french",
                                              "Fran\xc3\xa7"
                                              "ais"}};
  {
    CWxLanguageDialog dialog(items, 1);
    EXPECT_EQ(dialog.List().GetSelection(), 1);
    DialogDriver driver(dialog);
    driver.Screenshot("language")
        .Then([&] { dialog.List().SetSelection(2); })
        .Click(dialog.Remember())
        .Click(dialog.OkButton(), [&] { return dialog.Remember().GetValue(); });
    EXPECT_EQ(driver.Run(), kDialogOk);
    ExpectClean(driver, 1);
    ASSERT_TRUE(dialog.Choice());
    EXPECT_EQ(dialog.Choice()->index, 2u);
    EXPECT_TRUE(dialog.Choice()->remember);
  }
  {
    CWxLanguageDialog dialog(items, 1);
    DialogDriver driver(dialog);
    driver.Key("Escape");
    EXPECT_EQ(driver.Run(), kDialogCancel);
    ExpectClean(driver, 0);
    EXPECT_FALSE(dialog.Choice());
  }
}

TEST_F(Dialogs, AuthenticationTypesThePasswordAndKeepsItForTheRun) {
  TempFolder folder;
  CAuthenticationController controller(CUpdaterSettings::Instance(), folder / "settings.ini",
                                       "jdoe");
  CWxAuthenticationDialog dialog(controller);
  EXPECT_EQ(dialog.UserName().GetValue().utf8_string(), "jdoe");
  EXPECT_FALSE(dialog.SaveCredentials().GetValue());
  DialogDriver driver(dialog);
  driver.Type("s3cret")
      .Screenshot("authentication", [&] { return dialog.Password().GetValue() == "s3cret"; })
      .Key("Return");
  EXPECT_EQ(driver.Run(), kDialogOk);
  ExpectClean(driver, 1);
  EXPECT_EQ(CUpdaterSettings::Instance().Values().proxy_username, "jdoe");
  EXPECT_EQ(CUpdaterSettings::Instance().Values().proxy_password, "s3cret");
  EXPECT_FALSE(platform::PathExists(folder / "settings.ini"));
}

TEST_F(Dialogs, AuthenticationSavesWhenCheckedAndEscapeStoresNothing) {
  TempFolder folder;
  {
    CAuthenticationController controller(CUpdaterSettings::Instance(), folder / "settings.ini",
                                         "jdoe");
    CWxAuthenticationDialog dialog(controller);
    DialogDriver driver(dialog);
    driver.Type("pw")
        .Click(dialog.SaveCredentials(), [&] { return dialog.Password().GetValue() == "pw"; })
        .Click(dialog.OkButton(), [&] { return dialog.SaveCredentials().GetValue(); });
    EXPECT_EQ(driver.Run(), kDialogOk);
    ExpectClean(driver, 0);
    EXPECT_TRUE(platform::FileExists(folder / "settings.ini"));
  }
  CUpdaterSettings::ResetInstance();
  {
    CAuthenticationController controller(CUpdaterSettings::Instance(), folder / "other.ini", "");
    CWxAuthenticationDialog dialog(controller);
    DialogDriver driver(dialog);
    driver.Type("typed").Key("Escape", [&] { return dialog.UserName().GetValue() == "typed"; });
    EXPECT_EQ(driver.Run(), kDialogCancel);
    ExpectClean(driver, 0);
    EXPECT_EQ(CUpdaterSettings::Instance().Values().proxy_username, "");
    EXPECT_FALSE(platform::PathExists(folder / "other.ini"));
  }
}

TEST_F(Dialogs, WindowIconIsTheSettingsIconFileElseTheBadge) {
  TempFolder folder;
  // A 16 by 16 red PNG, and a file that is no picture.
  wxImage red(16, 16);
  red.SetRGB(wxRect(0, 0, 16, 16), 255, 0, 0);
  ASSERT_TRUE(red.SaveFile(wxString::FromUTF8(folder / "icon.png"), wxBITMAP_TYPE_PNG));
  folder.Write("broken.png", "not a picture");
  for (const std::string& icon :
       {folder / "icon.png", folder / "broken.png", folder / "missing.png", std::string()}) {
    CUpdaterSettings::Instance().MutableValues().icon = icon;
    CWxAboutDialog dialog(MakeAboutTexts());
    ASSERT_EQ(dialog.GetIcons().GetIconCount(), 1u) << icon;
    const wxIcon shown = dialog.GetIcons().GetIconByIndex(0);
    ASSERT_TRUE(shown.IsOk()) << icon;
    EXPECT_EQ(shown.GetWidth(), 64) << icon;
    const wxImage image = wxBitmap(shown).ConvertToImage();
    const bool red_icon = image.GetRed(32, 32) == 255 && image.GetGreen(32, 32) == 0;
    EXPECT_EQ(red_icon, icon == folder / "icon.png") << icon;
  }
}

TEST_F(Dialogs, AboutShowsTheVersionsAndEndsWithOkOrCancel) {
  {
    CWxAboutDialog dialog(MakeAboutTexts());
    DialogDriver driver(dialog);
    driver.Screenshot("about").Key("Return");
    EXPECT_EQ(driver.Run(), kDialogOk);
    ExpectClean(driver, 1);
  }
  {
    CWxAboutDialog dialog(MakeAboutTexts());
    DialogDriver driver(dialog);
    driver.Key("Escape");
    EXPECT_EQ(driver.Run(), kDialogCancel);
    ExpectClean(driver, 0);
  }
}

// The texts of the controls of a kind in the dialog, in their order.
template <typename Control>
std::vector<std::string> TextsOf(wxWindow& dialog) {
  std::vector<std::string> texts;
  for (wxWindow* child : dialog.GetChildren()) {
    if (auto* control = dynamic_cast<Control*>(child))
      texts.push_back(control->GetLabel().ToStdString(wxConvUTF8));
  }
  return texts;
}

TEST_F(Dialogs, AboutWithoutAWebAddressOrLanguageFileShowsNothingDangling) {
  CWxAboutDialog dialog(MakeAboutTexts());
  const std::vector<std::string> labels = TextsOf<wxStaticText>(dialog);
  EXPECT_EQ(std::count(labels.begin(), labels.end(), "Website:"), 0);
  EXPECT_TRUE(TextsOf<wxGenericHyperlinkCtrl>(dialog).empty());
  std::vector<std::string> fields;
  for (wxWindow* child : dialog.GetChildren()) {
    if (auto* field = dynamic_cast<wxTextCtrl*>(child))
      fields.push_back(field->GetValue().ToStdString(wxConvUTF8));
  }
  ASSERT_EQ(fields.size(), 3u);
  EXPECT_EQ(fields[2], "English (default)");
  DialogDriver driver(dialog);
  driver.Screenshot("about_plain").Key("Return");
  EXPECT_EQ(driver.Run(), kDialogOk);
  ExpectClean(driver, 1);
}

TEST_F(Dialogs, AboutShowsAWebAddressThatOpensAsALink) {
  AboutTexts texts = MakeAboutTexts();
  texts.website_address = "https://velmora.example/updater";
  CWxAboutDialog dialog(texts);
  const std::vector<std::string> labels = TextsOf<wxStaticText>(dialog);
  EXPECT_EQ(std::count(labels.begin(), labels.end(), "Website:"), 1);
  std::vector<wxGenericHyperlinkCtrl*> links;
  for (wxWindow* child : dialog.GetChildren()) {
    if (auto* link = dynamic_cast<wxGenericHyperlinkCtrl*>(child)) links.push_back(link);
  }
  ASSERT_EQ(links.size(), 1u);
  EXPECT_EQ(links[0]->GetURL(), "https://velmora.example/updater");
  EXPECT_EQ(links[0]->GetNormalColour(), wxColour(175, 175, 255));
  DialogDriver driver(dialog);
  driver.Screenshot("about_website").Key("Return");
  EXPECT_EQ(driver.Run(), kDialogOk);
  ExpectClean(driver, 1);
}

TEST_F(Dialogs, ServiceAnswersYesOnlyForYes) {
  CWxDialogService service;
  MessageBoxRequest question;
  question.kind = MessageBoxKind::kQuestion;
  question.caption = "Service question";
  question.text = "Go on?";
  question.yes_no = true;
  {
    BackgroundAnswer answer("Service question", "Escape");
    EXPECT_EQ(service.ShowMessageBox(question), MessageBoxAnswer::kNo);
    EXPECT_EQ(answer.Finish(), "");
  }
  {
    question.caption = "Service question two";
    BackgroundAnswer answer("Service question two", "Return");
    EXPECT_EQ(service.ShowMessageBox(question), MessageBoxAnswer::kYes);
    EXPECT_EQ(answer.Finish(), "");
  }
  {
    BackgroundAnswer answer("Service confirmation", "Escape");
    EXPECT_FALSE(service.Confirm("Service confirmation", "Confirmation", "Go on?", "Yes", "No"));
    EXPECT_EQ(answer.Finish(), "");
  }
}

TEST_F(Dialogs, ServiceShowsErrorsInformationAndWarnings) {
  CWxDialogService service;
  {
    BackgroundAnswer answer("Service error", "Escape");
    service.ShowError({"Service error", "Error", "It failed.", "The details.", "OK", "More"});
    EXPECT_EQ(answer.Finish(), "");
  }
  {
    BackgroundAnswer answer("Service information", "Return");
    service.ShowInformation({"Service information", "Information", "Done.", "OK"});
    EXPECT_EQ(answer.Finish(), "");
  }
  {
    MessageBoxRequest warning;
    warning.kind = MessageBoxKind::kWarning;
    warning.caption = "Service warning";
    warning.text = "Careful.";
    BackgroundAnswer answer("Service warning", "Escape");
    EXPECT_EQ(service.ShowMessageBox(warning), MessageBoxAnswer::kCancel);
    EXPECT_EQ(answer.Finish(), "");
  }
}

// A dialog that ends while Escape is still held must not leave the next one
// deaf to its first Escape.
TEST_F(Dialogs, EscapeAnswersEachOfSeveralDialogsInARow) {
  for (int i = 0; i < 4; ++i) {
    const std::string caption = "In a row " + std::to_string(i);
    CWxConfirmationDialog dialog(caption, "Confirmation", "Go on?", "Yes", "No");
    BackgroundAnswer answer(caption, "Escape");
    EXPECT_EQ(dialog.ShowModal(), kDialogNo) << i;
    EXPECT_EQ(answer.Finish(), "") << i;
  }
}

}  // namespace dialogs_gtest
