// The texts of the wizard's dialogs, in the built-in English.

#include "updater/ui/wizard_dialogs.h"

#include <gtest/gtest.h>

#include "updater/core/language.h"

namespace {

TEST(DisplayFileName, IsTheLastComponentCutBeforeItsLastBracket) {
  struct Case {
    const char* path;
    const char* shown;
  } cases[] = {
      {"/opt/app/lib/core.so", "core.so"},
      {"/opt/app/core.so (copy)", "core.so"},
      {"/opt/app (x86)/data (1) (delete)", "data (1)"},
      {"C:\\Program Files\\App\\app.exe (execute)", "app.exe"},
      {"name   ", "name"},
      {"/opt/app/(copy)", ""},
      {"/opt/app/", ""},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(DisplayFileName(c.path), c.shown) << c.path;
}

TEST(MegabytesNeeded, TruncatesAndNeverGoesBelowNothing) {
  EXPECT_EQ(MegabytesNeeded(5 * 1048576 + 1048575), 5);
  EXPECT_EQ(MegabytesNeeded(1048575), 0);
  EXPECT_EQ(MegabytesNeeded(-1048576 * 3), 0);
  EXPECT_EQ(MegabytesNeeded(std::int64_t{3} << 40), std::int64_t{3} << 20);
}

class WizardDialogsTest : public ::testing::Test {
 protected:
  void SetUp() override { CLanguage::ResetInstance(); }
  void TearDown() override { CLanguage::ResetInstance(); }
  CWizardDialogs Dialogs() const { return CWizardDialogs(CLanguage::Instance(), "Demo App"); }
};

TEST_F(WizardDialogsTest, EveryErrorCodeHasItsThreeTexts) {
  struct Case {
    UpdateError code;
    std::int64_t argument;
    const char* item;
    const char* caption;
    const char* explanation;
    std::string more_start;  // "" : no more text
  } cases[] = {
      {UpdateError::kUnknown, 0, "", "Unknown error", "An unknown error has occurred.", ""},
      {UpdateError::kNoConnection, 0, "", "No connection available",
       "There is no connection to the internet available.", "First check if you are connected"},
      {UpdateError::kServer, 0, "http://h/u.xml", "Can't connect to server",
       "Can't connect to the server.", "Probably the server"},
      {UpdateError::kNoDiskSpace, 7 * 1048576 + 5, "", "Insufficient diskspace",
       "Insufficient diskspace. There is 7 mb needed.", "Clean up some files"},
      {UpdateError::kFileNotFound, 0, "/srv/files/app.zip (copy)", "File not found",
       "File app.zip not found.",
       "The file is not available on the server.\n\nPlease contact the developer of Demo App"},
      {UpdateError::kCopyFailed, 0, "/opt/app/a.so (copy)", "Can't copy file",
       "Can't copy file a.so.", "There can be several reasons"},
      {UpdateError::kDeleteFailed, 0, "/opt/app/old.so", "Can't delete file",
       "Can't delete file old.so.", "There can be several reasons"},
      {UpdateError::kRunFailed, 0, "/opt/app/setup (execute)", "Can't execute file",
       "Can't execute file setup.", "Probably the file does not exist"},
      {UpdateError::kCloseApplication, 0, "Other (App)", "Can't close application",
       "You need to close Other (App) before installing the updates.",
       "Before installing, Other (App) must be closed"},
      {UpdateError::kFileCorrupt, 0, "/tmp/dl/app.zip", "File corrupt", "File app.zip is corrupt.",
       "Updater expects a specific file format"},
      {UpdateError::kWriteFailed, 0, "/opt/app/app.ini", "Can't write to file",
       "Can't write to file app.ini.", "Probably this file is in use"},
      {UpdateError::kUnzipFailed, 0, "/tmp/dl/app.zip", "Can't unzip file",
       "Can't unzip file app.zip.", "Probably the zip file is corrupt"},
      {static_cast<UpdateError>(99), 0, "", "Unknown error", "An unknown error has occurred.", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ToNumber(c.code));
    ModeError error;
    error.code = c.code;
    error.argument = c.argument;
    error.item = c.item;
    const ErrorDialogRequest request = Dialogs().Error(error);
    EXPECT_EQ(request.caption, c.caption);
    EXPECT_EQ(request.heading, "Error");
    EXPECT_EQ(request.message.substr(0, std::string(c.explanation).size()), c.explanation);
    if (c.more_start.empty())
      EXPECT_EQ(request.detail, "");
    else
      EXPECT_EQ(request.detail.substr(0, c.more_start.size()), c.more_start);
    EXPECT_EQ(request.ok_text, "OK");
    EXPECT_EQ(request.more_text, "More");
  }
}

TEST_F(WizardDialogsTest, UnzipAndCorruptFilesNameTheApplicationToContact) {
  ModeError error;
  error.code = UpdateError::kUnzipFailed;
  error.item = "/tmp/x.zip";
  EXPECT_NE(Dialogs().Error(error).detail.find("please contact the developer of Demo App."),
            std::string::npos);
}

TEST_F(WizardDialogsTest, QuestionsAreYesNoConfirmationsWithTheirTexts) {
  struct Case {
    QuestionId id;
    const char* text;
    CloseApplicationMode close_mode;
    const char* caption;
    const char* body_start;
  } cases[] = {
      {QuestionId::kDeleteFile, "/opt/app/old.so", CloseApplicationMode::Close, "Delete file",
       "The file /opt/app/old.so needs to be deleted."},
      {QuestionId::kRegisterFile, "/opt/app/lib/comp.dll", CloseApplicationMode::Close,
       "Register file", "The file comp.dll needs to be registered."},
      {QuestionId::kCloseApplication, "Demo App", CloseApplicationMode::Close, "Close application",
       "Demo App needs to be closed before installing the updates.\n\nIf you select No"},
      {QuestionId::kCloseApplication, "Demo App", CloseApplicationMode::User, "Close application",
       "Demo App needs to be closed before installing the updates.\n\nPlease close Demo App"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.caption);
    ModeQuestion question;
    question.id = c.id;
    question.text = c.text;
    const MessageBoxRequest request = Dialogs().Question(question, c.close_mode);
    EXPECT_TRUE(request.yes_no);
    EXPECT_EQ(request.caption, c.caption);
    EXPECT_EQ(request.heading, "Confirmation required");
    EXPECT_EQ(request.text.substr(0, std::string(c.body_start).size()), c.body_start);
  }
  ModeQuestion deleting;
  deleting.text = "/opt/app/old.so";
  EXPECT_NE(Dialogs()
                .Question(deleting, CloseApplicationMode::Close)
                .text.find("behaviour of Demo App.\n\nDo you want to delete /opt/app/old.so now?"),
            std::string::npos);
}

TEST_F(WizardDialogsTest, WarningAndStopUpdatingTexts) {
  const MessageBoxRequest warning = Dialogs().Warning("/opt/app/lib/comp.dll (register)");
  EXPECT_EQ(warning.kind, MessageBoxKind::kWarning);
  EXPECT_FALSE(warning.yes_no);
  EXPECT_EQ(warning.caption, "Unable to register file");
  EXPECT_EQ(warning.heading, "Warning");
  EXPECT_EQ(warning.text.substr(0, 48), "Updater is unable to register comp.dll on your s");

  const MessageBoxRequest stop = Dialogs().StopUpdating();
  EXPECT_TRUE(stop.yes_no);
  EXPECT_EQ(stop.caption, "Stop updating");
  EXPECT_EQ(stop.heading, "Confirmation required");
  EXPECT_EQ(stop.text,
            "This update may be required for Demo App. If you select yes, you can update Demo App "
            "at a later time.\n\nDo you want to stop and cancel the update process for Demo App?");
}

}  // namespace
