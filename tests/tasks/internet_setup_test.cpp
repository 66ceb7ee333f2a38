#include "updater/tasks/net/internet_setup.h"

#include <gtest/gtest.h>

#include "updater/core/updater_settings.h"

namespace {

class InternetSetupTest : public ::testing::Test {
 protected:
  void SetUp() override { CInternet::ResetInstance(); }
  void TearDown() override { CInternet::ResetInstance(); }
};

TEST_F(InternetSetupTest, TakesCredentialsAndTimeOutFromTheSettings) {
  SettingsValues settings;
  settings.proxy_username = "proxy user";
  settings.proxy_password = "proxy secret";
  settings.http_username = "web user";
  settings.http_password = "web secret";
  settings.ftp_username = "ftp user";
  settings.ftp_password = "ftp secret";
  settings.server_timeout = 1234;
  CInternet& internet = CInternet::Instance();
  ConfigureInternet(internet, settings, std::make_shared<CMessageQueue>(), nullptr);
  EXPECT_EQ(internet.GetProxyCredentials(), (ProxyCredentials{"proxy user", "proxy secret"}));
  EXPECT_EQ(internet.GetHttpCredentials(), (ProxyCredentials{"web user", "web secret"}));
  EXPECT_EQ(internet.GetFtpCredentials(), (ProxyCredentials{"ftp user", "ftp secret"}));
  EXPECT_EQ(internet.Timeout(), 1234);
}

TEST_F(InternetSetupTest, ATimeOutThatIsNoDurationGivesTheDefault) {
  for (std::int32_t timeout : {0, -5}) {
    SettingsValues settings;
    settings.server_timeout = timeout;
    ConfigureInternet(CInternet::Instance(), settings, nullptr, nullptr);
    EXPECT_EQ(CInternet::Instance().Timeout(), 5000) << timeout;
  }
}

}  // namespace
