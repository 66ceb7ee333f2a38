#include "updater/ui/authentication_controller.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/file_system.h"
#include "tests/support/file_traits.h"
#include "tests/support/permission_bits.h"
#include "tests/support/temp_folder.h"
#include "updater/core/ini_file.h"
#include "updater/core/language.h"
#include "updater/ui/dialog_results.h"

namespace authentication_controller_test {

class AuthenticationController : public ::testing::Test {
 protected:
  void SetUp() override {
    CLanguage::ResetInstance();
    CUpdaterSettings::ResetInstance();
  }
  void TearDown() override {
    CLanguage::ResetInstance();
    CUpdaterSettings::ResetInstance();
  }
  CUpdaterSettings& settings() { return CUpdaterSettings::Instance(); }

  TempFolder folder;
};

TEST_F(AuthenticationController, OkKeepsTheCredentialsForTheRunOnlyWhenNotSaved) {
  const std::string ini = folder.Write("settings.ini", "[UPDATER]\nrunmode=full\n");
  CAuthenticationController controller(settings(), ini, "jdoe");
  EXPECT_EQ(controller.Ok("jdoe", "secret", /*save_credentials=*/false), kDialogOk);
  EXPECT_EQ(settings().Values().proxy_username, "jdoe");
  EXPECT_EQ(settings().Values().proxy_password, "secret");
  EXPECT_EQ(folder.Read("settings.ini"), "[UPDATER]\nrunmode=full\n");
}

TEST_F(AuthenticationController, SavedCredentialsGoToTheProxyGroupReadableByTheOwnerOnly) {
  const std::string ini = folder.Write("settings.ini", "[UPDATER]\nrunmode=full\n");
  SetPermissionBits(ini, 0644);
  CAuthenticationController controller(settings(), ini, "jdoe");
  EXPECT_EQ(controller.Ok("proxy user", "p=ss;word", true), kDialogOk);
  EXPECT_EQ(ReadIniValue(ini, "PROXY", "username", "-"), "proxy user");
  EXPECT_EQ(ReadIniValue(ini, "PROXY", "password", "-"), "p=ss;word");
  EXPECT_EQ(ReadIniValue(ini, "UPDATER", "runmode", "-"), "full");
  // Windows has no mode bits: the user's own folders keep the file private there.
  if (test_support::FilesHaveModeBits()) {
    EXPECT_EQ(PermissionBits(ini), 0600u);
  }
  EXPECT_EQ(settings().Values().proxy_username, "proxy user");
}

TEST_F(AuthenticationController, SavingCreatesAMissingFilePrivateAndAFailedWriteKeepsTheValues) {
  const std::string ini = folder / "settings.ini";
  CAuthenticationController controller(settings(), ini, "");
  EXPECT_EQ(controller.Ok("u", "p", true), kDialogOk);
  EXPECT_EQ(ReadIniValue(ini, "PROXY", "password", "-"), "p");
  if (test_support::FilesHaveModeBits()) {
    EXPECT_EQ(PermissionBits(ini), 0600u);
  }

  CAuthenticationController unwritable(settings(), folder / "missing/settings.ini", "");
  EXPECT_EQ(unwritable.Ok("u2", "p2", true), kDialogOk);
  EXPECT_EQ(settings().Values().proxy_username, "u2");
  EXPECT_FALSE(platform::PathExists(folder / "missing"));
}

TEST_F(AuthenticationController, CancelStoresNothing) {
  settings().MutableValues().proxy_username = "before";
  CAuthenticationController controller(settings(), folder / "settings.ini", "jdoe");
  EXPECT_EQ(controller.Cancel(), kDialogCancel);
  EXPECT_EQ(settings().Values().proxy_username, "before");
  EXPECT_FALSE(platform::PathExists(folder / "settings.ini"));
}

TEST_F(AuthenticationController, ProposesTheLogonNameAndThenAsksForThePassword) {
  CAuthenticationController named(settings(), folder / "settings.ini", "jdoe");
  EXPECT_EQ(named.ProposedUserName(), "jdoe");
  EXPECT_TRUE(named.FocusOnPassword());
  CAuthenticationController unnamed(settings(), folder / "settings.ini", "");
  EXPECT_EQ(unnamed.ProposedUserName(), "");
  EXPECT_FALSE(unnamed.FocusOnPassword());
  const AuthenticationTexts texts = named.Texts();
  EXPECT_EQ(texts.caption, "Authentication needed");
  EXPECT_EQ(texts.user_name_label, "Username");
  EXPECT_EQ(texts.password_label, "Password");
  EXPECT_EQ(texts.save_label, "Save credentials");
}

TEST_F(AuthenticationController, OverlongCredentialsAreCut) {
  CAuthenticationController controller(settings(), folder / "settings.ini", "");
  controller.Ok(std::string(5000, 'u'), std::string(5000, 'p'), false);
  EXPECT_EQ(settings().Values().proxy_username.size(), kMaxProxyCredentialLength);
  EXPECT_EQ(settings().Values().proxy_password.size(), kMaxProxyCredentialLength);
}

}  // namespace authentication_controller_test
