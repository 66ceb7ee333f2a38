#include "updater/core/dialog_service.h"

#include <iostream>

namespace {

class StandardErrorDialogs : public IDialogService {
 public:
  void ShowError(const ErrorDialogRequest& r) override {
    std::cerr << r.caption << "\n" << r.heading << "\n" << r.message << "\n" << r.detail << "\n";
  }
  MessageBoxAnswer ShowMessageBox(const MessageBoxRequest& r) override {
    std::cerr << r.caption << "\n" << r.text << "\n";
    return r.yes_no ? MessageBoxAnswer::kYes : MessageBoxAnswer::kOk;
  }
  std::optional<std::size_t> SelectLanguage(const std::vector<LanguageChoice>& choices,
                                            std::size_t preselected) override {
    if (preselected >= choices.size()) return std::nullopt;
    return preselected;
  }
};

IDialogService* g_installed = nullptr;

}  // namespace

std::optional<LanguageSelection> IDialogService::ChooseLanguage(
    const std::vector<LanguageChoice>& choices, std::size_t preselected) {
  std::optional<std::size_t> index = SelectLanguage(choices, preselected);
  if (!index) return std::nullopt;
  return LanguageSelection{*index, false};
}

void IDialogService::ShowInformation(const InformationDialogRequest& request) {
  MessageBoxRequest box;
  box.kind = MessageBoxKind::kInformation;
  box.caption = request.caption;
  box.text = request.heading.empty() ? request.text : request.heading + "\n\n" + request.text;
  ShowMessageBox(box);
}

IDialogService& DialogService() {
  static StandardErrorDialogs fallback;
  return g_installed ? *g_installed : fallback;
}

void SetDialogService(IDialogService* service) { g_installed = service; }
