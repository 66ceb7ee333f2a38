#include "updater/ui/tray_texts.h"

#include <gtest/gtest.h>

#include <string>

#include "updater/core/text.h"

namespace {

std::string Bar(int full) {
  return "[" + std::string(static_cast<std::size_t>(2 * full), '|') +
         std::string(static_cast<std::size_t>(2 * (10 - full)), ' ') + "]";
}

TEST(ProgressBar, TwoBarsPerFullTenPercentAndTwoBlanksForTheRest) {
  struct Case {
    int percent;
    std::string bar;
  } cases[] = {
      {0, Bar(0)},    {9, Bar(0)},    {10, Bar(1)}, {45, Bar(4)},
      {99, Bar(9)},   {100, Bar(10)}, {-5, Bar(0)},  // out of range: taken as 0 and 100
      {250, Bar(10)},
  };
  for (const Case& c : cases) EXPECT_EQ(ProgressBar(c.percent), c.bar) << c.percent;
  EXPECT_EQ(ProgressBar(45), "[||||||||            ]");
}

TEST(SizeText, KilobytesBelowAMegabyteElseMegabytes) {
  struct Case {
    std::int64_t bytes;
    const char* text;
  } cases[] = {
      {10485760, "10 MB"},  {10485759, "9 MB"}, {1048576, "1 MB"},
      {1048575, "1023 KB"}, {1536, "1 KB"},     {1023, "0 KB"},
      {0, "0 KB"},          {-1, "0 KB"},       {5368709120, "5120 MB"},
  };
  for (const Case& c : cases) EXPECT_EQ(SizeText(c.bytes), c.text) << c.bytes;
}

TEST(ProgressToolTip, FiveLinesOfStatusPercentsAndBars) {
  struct Case {
    const char* name;
    TrayProgress progress;
    std::string tip;
  } cases[] = {
      {"percents",
       {"Downloading files...", "", 45, 0, "Total progress:", 10},
       "Downloading files...\n 45%\n" + Bar(4) + "\nTotal progress: 10%\n" + Bar(1)},
      {"unknown size: the bytes so far",
       {"Downloading files...", "", 0, 10485760, "Total progress:", 0},
       "Downloading files...\n 10 MB\n" + Bar(0) + "\nTotal progress: 0%\n" + Bar(0)},
      {"a known percent wins over bytes",
       {"Installing...", "", 60, 4096, "Total progress:", 100},
       "Installing...\n 60%\n" + Bar(6) + "\nTotal progress: 100%\n" + Bar(10)},
      {"out of range",
       {"Updater", "item", 140, 0, "Total:", -3},
       "Updater\nitem 100%\n" + Bar(10) + "\nTotal: 0%\n" + Bar(0)},
  };
  for (const Case& c : cases) EXPECT_EQ(ProgressToolTip(c.progress), c.tip) << c.name;
}

TEST(EscapeNotificationMarkup, WritesAmpersandAndAngleBracketsAsReferences) {
  struct Case {
    const char* text;
    const char* markup;
  } cases[] = {
      {"", ""},
      {"New version: 2.0", "New version: 2.0"},
      {"Tom & Jerry", "Tom &amp; Jerry"},
      {"<b>bold</b>", "&lt;b&gt;bold&lt;/b&gt;"},
      {"&amp;", "&amp;amp;"},
      {"a<b>c & \"d\" 'e'", "a&lt;b&gt;c &amp; \"d\" 'e'"},
      {"Größe < 5 €", "Größe &lt; 5 €"},
  };
  for (const Case& c : cases) EXPECT_EQ(EscapeNotificationMarkup(c.text), c.markup) << c.text;
}

TEST(TrayErrorText, EachCodeWithItsArgument) {
  CLanguage::ResetInstance();
  const CLanguage& language = CLanguage::Instance();
  struct Case {
    UpdateError code;
    std::int64_t argument;
    const char* item;
    const char* text;
  } cases[] = {
      {UpdateError::kUnknown, 0, "", "Unknown error"},
      {UpdateError::kNoConnection, 0, "", "No connection to internet available"},
      {UpdateError::kServer, 0, "https://example.org/u.xml", "Can't connect to server"},
      {UpdateError::kNoDiskSpace, 10485760, "", "Insufficient diskspace! 10 mb needed"},
      {UpdateError::kNoDiskSpace, 10485759, "", "Insufficient diskspace! 9 mb needed"},
      {UpdateError::kNoDiskSpace, -7, "", "Insufficient diskspace! 0 mb needed"},
      {UpdateError::kFileNotFound, 0, "/opt/app/setup (2).exe", "File setup not found"},
      {UpdateError::kCopyFailed, 0, "/opt/app/lib/core.so", "Can't copy file core.so"},
      {UpdateError::kDeleteFailed, 0, "/opt/app/old.dat", "Can't delete file old.dat"},
      {UpdateError::kRunFailed, 0, "/opt/app/post.sh", "Can't execute file post.sh"},
      {UpdateError::kFileCorrupt, 0, "/tmp/u/app.zip", "File app.zip is corrupt"},
      {UpdateError::kWriteFailed, 0, "/opt/app/a b.txt", "Can't write to file a b.txt"},
      {UpdateError::kUnzipFailed, 0, "/tmp/u/app (1).zip", "Can't unzip file app"},
      {UpdateError::kNoNewVersion, 0, "", "No new version available..."},
  };
  for (const Case& c : cases) {
    ModeError error;
    error.code = c.code;
    error.argument = c.argument;
    error.item = c.item;
    EXPECT_EQ(TrayErrorText(error, language), c.text) << ToNumber(c.code) << " " << c.item;
  }
  ModeError close;
  close.code = UpdateError::kCloseApplication;
  close.item = "My App";
  EXPECT_EQ(TrayErrorText(close, language),
            FillPlaceholders(language.GetText(IDS_ERROR_CLOSEAPP), {"My App"}));
  // A "%s" in a file name is never read as a directive.
  ModeError odd;
  odd.code = UpdateError::kCopyFailed;
  odd.item = "/opt/%s%d.txt";
  EXPECT_EQ(TrayErrorText(odd, language), "Can't copy file %s%d.txt");
}

}  // namespace
