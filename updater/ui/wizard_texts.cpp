#include "updater/ui/wizard_texts.h"

#include <cstdio>
#include <utility>

#include "updater/core/language.h"
#include "updater/core/language_ids.h"
#include "updater/core/text.h"

CWizardTexts::CWizardTexts(const CLanguage& language, std::string application_name)
    : language_(language), application_name_(std::move(application_name)) {}

std::string CWizardTexts::Text(int id) const { return language_.GetText(id); }

std::string CWizardTexts::WithName(int id) const {
  // A text names the application at most three times (the finish page twice).
  return FillPlaceholders(Text(id), {application_name_, application_name_, application_name_});
}

WizardFrame CWizardTexts::Frame(const SettingsValues& settings) const {
  WizardFrame frame;
  frame.title = WithName(IDS_GENERAL_TITLE);
  frame.about_link = kAboutLinkText;
  frame.hide_in_tray = kHideInTrayText;
  frame.next_text = Text(IDS_GENERAL_NEXT);
  frame.finish_text = Text(IDS_GENERAL_FINISH);
  frame.cancel_text = Text(IDS_GENERAL_CANCEL);
  frame.banner_file = settings.logo_small;
  frame.watermark_file = settings.logo_large;
  frame.icon_file = settings.icon;
  frame.link_colour = ColourText(settings.link_color_link);
  frame.link_hover_colour = ColourText(settings.link_color_hover);
  return frame;
}

namespace {

// The texts every page has: the header (interior pages; 0 for none) and the
// explanation (0 for none).
struct PageRow {
  WizardPage page;
  int header_title;
  int header_subtitle;
  int explanation;
};

// clang-format off
constexpr PageRow kPageRows[] = {
    {WizardPage::kWelcome,      0,                           0,                              IDS_FULL_WELCOME_EXPLANATION},
    {WizardPage::kCheck,        IDS_FULL_CHECKVERSION_TITLE, IDS_FULL_CHECKVERSION_SUBTITLE, IDS_FULL_CHECKVERSION_EXPLANATION},
    {WizardPage::kHtmlMessage,  IDS_FULL_HTMLMESSAGE_TITLE,  IDS_FULL_HTMLMESSAGE_SUBTITLE,  0},
    {WizardPage::kLicense,      IDS_FULL_LICENSE_TITLE,      IDS_FULL_LICENSE_SUBTITLE,      0},
    {WizardPage::kSelectUpdate, IDS_FULL_SELECTUPDATE_TITLE, IDS_FULL_SELECTUPDATE_SUBTITLE, IDS_FULL_SELECTUPDATE_EXPLANATION},
    {WizardPage::kDownload,     IDS_FULL_DOWNLOAD_TITLE,     IDS_FULL_DOWNLOAD_SUBTITLE,     IDS_FULL_DOWNLOAD_EXPLANATION},
    {WizardPage::kInstall,      IDS_FULL_INSTALL_TITLE,      IDS_FULL_INSTALL_SUBTITLE,      IDS_FULL_INSTALL_EXPLANATION},
    {WizardPage::kFinish,       IDS_FULL_FINISH_TITLE,       IDS_FULL_FINISH_SUBTITLE,       IDS_FULL_FINISH_EXPLANATION},
    {WizardPage::kRollback,     IDS_FULL_ROLLBACK_TITLE,     IDS_FULL_ROLLBACK_SUBTITLE,     IDS_FULL_ROLLBACK_EXPLANATION},
};
// clang-format on

}  // namespace

WizardPageTexts CWizardTexts::Page(WizardPage page, const CUpdateFileData& data) const {
  WizardPageTexts texts;
  for (const PageRow& row : kPageRows) {
    if (row.page != page) continue;
    if (row.header_title != 0) texts.header_title = WithName(row.header_title);
    if (row.header_subtitle != 0) texts.header_subtitle = WithName(row.header_subtitle);
    if (row.explanation != 0) texts.explanation = WithName(row.explanation);
  }
  switch (page) {
    case WizardPage::kWelcome:
      texts.title = Text(IDS_FULL_WELCOME_TITLE);
      break;
    case WizardPage::kCheck:
      texts.status = Text(IDS_STATUS_CONNECTINGTOSERVER);
      break;
    case WizardPage::kHtmlMessage:
      texts.html_address = data.html_message_url;
      break;
    case WizardPage::kLicense:
      texts.license_text = data.license;
      texts.agree_text = Text(IDS_FULL_LICENSE_AGREE);
      texts.not_agree_text = Text(IDS_FULL_LICENSE_NOTAGREE);
      break;
    case WizardPage::kDownload:
      texts.item_label = Text(IDS_STATUS_CONNECTINGTOSERVER);
      texts.total_label = texts.item_label;
      break;
    case WizardPage::kInstall:
      texts.item_label = Text(IDS_STATUS_INITIALIZING);
      texts.total_label = texts.item_label;
      break;
    case WizardPage::kFinish:
      texts.shortcuts_shown = data.shortcuts_ask_user && !data.shortcuts.empty();
      texts.shortcuts_text = WithName(IDS_FULL_FINISH_CREATESHORTCUTS);
      break;
    case WizardPage::kRollback:
      texts.total_label = Text(IDS_STATUS_INITIALIZING);
      break;
    case WizardPage::kSelectUpdate:
      break;
  }
  return texts;
}

std::string CWizardTexts::Next() const { return Text(IDS_GENERAL_NEXT); }

std::string CWizardTexts::NextCountdown(int seconds_left) const {
  return FillPlaceholders("%s (%d)", {Next(), std::to_string(seconds_left)});
}

std::string CWizardTexts::NewVersionStatus(const std::string& version) const {
  return FillPlaceholders(Text(IDS_STATUS_NEWVERSION), {version});
}

std::string CWizardTexts::NoNewVersionStatus() const { return Text(IDS_STATUS_NONEWVERSION); }

std::string CWizardTexts::FeaturesHeading(const std::vector<CFeatureData>& features) const {
  if (features.empty()) return {};
  return FillPlaceholders("%s:\n", {Text(IDS_FULL_CHECKVERSION_FEATURES)});
}

std::vector<FeatureLine> CWizardTexts::FeatureLines(const std::vector<CFeatureData>& features) {
  std::vector<FeatureLine> lines;
  for (const CFeatureData& feature : features) {
    if (lines.size() == kMaxFeatures) break;
    lines.push_back(FeatureLine{"  \xC2\xBB " + feature.text, feature.link});
  }
  return lines;
}

std::string CWizardTexts::MoreInformation() const { return Text(IDS_FULL_SELECTUPDATE_MOREINFO); }

std::string CWizardTexts::FileProgress(const std::string& item) const {
  return FillPlaceholders(Text(IDS_FULL_FILEPROGRESS), {item});
}

std::string CWizardTexts::TotalProgress() const { return Text(IDS_FULL_TOTALPROGRESS); }

std::string ColourText(SettingsColour colour) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02X%02X%02X", colour & 0xFFu, (colour >> 8) & 0xFFu,
                (colour >> 16) & 0xFFu);
  return text;
}
