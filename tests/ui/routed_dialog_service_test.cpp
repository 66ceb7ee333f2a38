// The program's dialogs go to the windows when a window module is had, and to
// the plain service otherwise; the module is asked for at every request, so a
// module loaded later takes the requests from then on.

#include "updater/ui/routed_dialog_service.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "updater/ui/window_module.h"

namespace routed_dialog_service_test {

// Records which service got which request, and answers as told.
class RecordingDialogs : public IDialogService {
 public:
  RecordingDialogs(std::string name, std::vector<std::string>& calls)
      : name_(std::move(name)), calls_(calls) {}
  void ShowError(const ErrorDialogRequest&) override { calls_.push_back(name_ + " error"); }
  MessageBoxAnswer ShowMessageBox(const MessageBoxRequest&) override {
    calls_.push_back(name_ + " box");
    return answer;
  }
  std::optional<std::size_t> SelectLanguage(const std::vector<LanguageChoice>&,
                                            std::size_t preselected) override {
    calls_.push_back(name_ + " language");
    return preselected;
  }
  void ShowInformation(const InformationDialogRequest&) override {
    calls_.push_back(name_ + " information");
  }
  MessageBoxAnswer answer = MessageBoxAnswer::kOk;

 private:
  std::string name_;
  std::vector<std::string>& calls_;
};

class FakeModule : public IWindowModule {
 public:
  explicit FakeModule(IDialogService& dialogs) : dialogs_(dialogs) {}
  platform::Status Start() override { return platform::Status::Ok(); }
  IEventLoop& Loop() override { std::abort(); }
  IDialogService& Dialogs() override { return dialogs_; }
  std::optional<TypedCredentials> AskProxyCredentials() override { return std::nullopt; }
  void ShowAbout() override {}
  bool CloseApplication(const std::string&, const std::string&) override { return false; }
  std::unique_ptr<IWizardView> CreateWizard(const WizardFrame&, IWizardActions&) override {
    return nullptr;
  }
  std::unique_ptr<ITrayView> CreateTray(const TrayFrame&, ITrayActions&) override {
    return nullptr;
  }

 private:
  IDialogService& dialogs_;
};

TEST(RoutedDialogService, RequestsGoToTheWindowsOnceThereAreAny) {
  std::vector<std::string> calls;
  RecordingDialogs plain("plain", calls);
  RecordingDialogs windowed("windows", calls);
  windowed.answer = MessageBoxAnswer::kNo;
  FakeModule module(windowed);
  IWindowModule* loaded = nullptr;
  CRoutedDialogService service([&loaded] { return loaded; }, plain);

  service.ShowError({});
  EXPECT_EQ(service.ShowMessageBox({}), MessageBoxAnswer::kOk);
  loaded = &module;  // a mode with windows started
  service.ShowError({});
  EXPECT_EQ(service.ShowMessageBox({}), MessageBoxAnswer::kNo);
  EXPECT_EQ(service.SelectLanguage({}, 3), std::optional<std::size_t>(3));
  service.ShowInformation({});
  // The window service's own language dialog, not the plain default.
  const auto chosen = service.ChooseLanguage({}, 1);
  ASSERT_TRUE(chosen);
  EXPECT_EQ(chosen->index, 1u);

  EXPECT_EQ(calls, (std::vector<std::string>{"plain error", "plain box", "windows error",
                                             "windows box", "windows language",
                                             "windows information", "windows language"}));
}

}  // namespace routed_dialog_service_test
