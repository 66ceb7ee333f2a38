// The proxy question of the configured internet object, against a proxy that
// asks for authentication.

#include <gtest/gtest.h>

#include "tests/support/log_capture.h"
#include "tests/support/scoped_env.h"
#include "tests/support/test_http_server.h"
#include "updater/tasks/net/internet_setup.h"

namespace {

TEST(InternetSetupProxyTest, AsksForProxyCredentialsExceptInTheHiddenMode) {
  // The proxy is the test's own; the developer's shell has no say.
  ScopedEnvironment env;
  env.ClearProxyVariables();
  LogCapture log;
  TestHttpServer proxy;
  ASSERT_TRUE(proxy.ok()) << proxy.Error();
  proxy.ActAsRefusingProxy();
  struct Case {
    const char* run_mode;
    int questions;
  };
  for (const Case& c : {Case{"full", 1}, Case{"silent", 1}, Case{"hidden", 0}}) {
    SCOPED_TRACE(c.run_mode);
    CInternet::ResetInstance();
    SettingsValues settings;
    settings.run_mode = c.run_mode;
    settings.server_timeout = 2000;
    int questions = 0;
    ConfigureInternet(CInternet::Instance(), settings, std::make_shared<CMessageQueue>(),
                      [&questions] {
                        ++questions;
                        return std::optional<ProxyCredentials>();
                      });
    CInternet::Instance().SetProxyResolver(MakeNamedProxyResolver(proxy.Url("")));
    EXPECT_EQ(CInternet::Instance().GetRemoteFileSize("http://127.0.0.1:9/f.bin"), -1);
    EXPECT_EQ(questions, c.questions);
  }
  CInternet::ResetInstance();
}

}  // namespace
