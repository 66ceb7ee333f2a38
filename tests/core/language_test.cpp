#include "updater/core/language.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "platform/file_system.h"
#include "platform/path.h"
#include "tests/support/native_path.h"
#include "tests/support/temp_folder.h"
#include "updater/core/dialog_service.h"
#include "updater/core/language_texts.h"
#include "updater/core/text.h"
#include "updater/core/updater_paths.h"

namespace {

// Records the message boxes instead of showing them.
class RecordingDialogs : public IDialogService {
 public:
  void ShowError(const ErrorDialogRequest&) override {}
  MessageBoxAnswer ShowMessageBox(const MessageBoxRequest& request) override {
    boxes.push_back(request);
    return MessageBoxAnswer::kOk;
  }
  std::optional<std::size_t> SelectLanguage(const std::vector<LanguageChoice>&,
                                            std::size_t) override {
    return std::nullopt;
  }
  std::vector<MessageBoxRequest> boxes;
};

// A language file with the given header values and DATA content.
std::string LanguageFile(std::string_view version, std::string_view data,
                         std::string_view name = "Deutsch") {
  return "<?xml version=\"1.0\"?>\n<UPDATERLANGUAGE>\n  <INFO>\n    <LANGUAGE>" +
         std::string(name) + "</LANGUAGE>\n    <VERSION>" + std::string(version) +
         "</VERSION>\n    <TRANSLATOR>Anna Beispiel</TRANSLATOR>\n  </INFO>\n  <DATA>\n" +
         std::string(data) + "\n  </DATA>\n</UPDATERLANGUAGE>\n";
}

// The updater's folder and its "lng" subfolder in a temporary folder, with
// the dialog service replaced by a recorder.
class LanguageFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    SystemFolders system;
    system.executable = folder_ / "Velmora Updater";
    system.temp = folder_ / "tmp";
    ASSERT_TRUE(CUpdaterPaths::Instance().Init(system));
    SetDialogService(&dialogs_);
  }
  void TearDown() override {
    SetDialogService(nullptr);
    CUpdaterPaths::ResetInstance();
    CLanguage::ResetInstance();
  }
  std::string Write(std::string_view name, std::string_view bytes) {
    return folder_.Write("lng/" + std::string(name), bytes);
  }

  TempFolder folder_;
  RecordingDialogs dialogs_;
  CLanguage language_;
};

}  // namespace

TEST(BuiltInTexts, AnswerTheirExactEnglishText) {
  struct Case {
    std::int32_t id;
    const char* key;
    const char* text;
  } cases[] = {
      {10001, "IDS_GENERAL_OK", "OK"},
      {10005, "IDS_GENERAL_NEXT", "Next"},
      {10007, "IDS_GENERAL_TITLE", "Updater - Update %s"},
      {10017, "IDS_SILENT_FINISH", "You are ready!\nNew version: %s"},
      {10023, "IDS_ERROR_NODISKSPACE", "Insufficient diskspace! %d mb needed"},
      {10028, "IDS_ERROR_CLOSEAPP",
       "You need to close %s before installing updates.\nPlease try again later"},
      {10032, "IDS_FULL_WELCOME_EXPLANATION",
       "Updater is about to check for new updates for %s.\n\nPlease follow the instructions, and "
       "be sure you are connected to the internet.\n\nIf you are ready, press next, and Updater "
       "will check if there is a new version available."},
      {10041, "IDS_FULL_TOTALPROGRESS", "Total progress:"},
      {10055, "IDS_STATUS_INITIALIZING", "Initialising..."},
      {10057, "IDS_ACTION_UNZIP", "%s (unzip)"},
      {10074, "IDS_FULL_SELECTUPDATE_EXPLANATION",
       "There are several updates available for %s. Please select the updates you wish to "
       "download and install. When you click on an item, the description will appear at the "
       "right of the tree.\n\nIf you have selected the updates, please click next."},
      {10085, "IDS_FULL_HTMLMESSAGE_TITLE", "Product/company information"},
      {10089, "IDS_CONFIRMATION_STOPUPDATING_EXPLANATION",
       "This update may be required for %s. If you select yes, you can update %s at a later "
       "time.\n\nDo you want to stop and cancel the update process for %s?"},
      {10091, "IDS_CONFIRMATION_DELETEFILE_EXPLANATION",
       "The file %s needs to be deleted.\n\nIf you select No, the file will not be deleted from "
       "your system. However, this may infect the behaviour of %s.\n\nDo you want to delete %s "
       "now? "},
      {10093, "IDS_CONFIRMATION_CLOSEAPPLICATION_EXPLANATION",
       "%s needs to be closed before installing the updates.\n\nIf you select No, you will have "
       "to update %s at a later time.\n\nAny unsaved changes to open documents may be lost when "
       "proceeding!\n\nDo you want to close %s now? "},
      {10106, "IDS_ERROR_NODISKSPACE_EXPLANATION",
       "Insufficient diskspace. There is %d mb needed."},
      {10113, "IDS_ERROR_COPYFILE_MORE",
       "There can be several reasons for this error. The file is not available or the file is "
       "in use by another application."},
      {10119, "IDS_ERROR_RUNFILE_MORE", "Probably the file does not exist on your system."},
      {10122, "IDS_ERROR_CLOSEAPP_MORE",
       "Before installing, %s must be closed because Updater must overwrite the file.\n\nClose "
       "the application first and run Updater again."},
      {10135, "IDS_FULL_FINISH_CREATESHORTCUTS", "Create shortcuts for %s"},
      {10146, "IDS_ACTION_REGISTER", "%s (register)"},
      {10149, "IDS_CONFIRMATION_REGISTER_EXPLANATION",
       "The file %s needs to be registered.\n\nIf you select No, the file will not be registered "
       "on your system. However, this may infect the behaviour of %s.\n\nDo you want to register "
       "%s now? "},
      {10154, "IDS_POPUP_BITMAPS", "Popup menu bitmaps"},
      {10169, "IDS_AUTHENTICATION_SAVECREDENTIALS", "Save credentials"},
      {10171, "IDS_CLOSEAPPLICATION_EXPLANATION",
       "Updater can't end %s at this moment because it is waiting for a response of you.\n\n"
       "Updater will force the application to close in %d seconds.\n\nIf you choose to end %s "
       "immediately, you will lose any unsaved data. To end the application now, press End Now."},
      {10175, "IDS_CONFIRMATION_CLOSEAPPLICATION_USER_EXPLANATION",
       "%s needs to be closed before installing the updates.\n\nPlease close %s and press the "
       "confirmation button.\n\nIf you select No, you will have to update %s at a later time."},
  };
  CLanguage language;
  for (const auto& c : cases) {
    EXPECT_EQ(language.GetText(c.id), c.text) << c.id;
    EXPECT_EQ(language.GetText(std::string_view(c.key)), c.text) << c.key;
    const LanguageText* entry = FindBuiltInText(c.id);
    ASSERT_NE(entry, nullptr) << c.id;
    EXPECT_EQ(entry->key, c.key);
  }
  EXPECT_EQ(IDS_GENERAL_OK, 10001);
  EXPECT_EQ(IDS_CONFIRMATION_REGISTER_EXPLANATION, 10149);
}

TEST(BuiltInTexts, HoldExactlyTheUpdatersIdentifiers) {
  const std::int32_t expected[] = {
      10001, 10002, 10003, 10004, 10005, 10006, 10007, 10012, 10013, 10014, 10015, 10016, 10017,
      10018, 10019, 10020, 10021, 10022, 10023, 10024, 10025, 10026, 10027, 10028, 10029, 10031,
      10032, 10033, 10034, 10035, 10036, 10037, 10038, 10039, 10040, 10041, 10042, 10043, 10044,
      10045, 10046, 10047, 10048, 10049, 10050, 10051, 10052, 10053, 10054, 10055, 10056, 10057,
      10059, 10060, 10062, 10063, 10064, 10065, 10066, 10067, 10068, 10069, 10070, 10071, 10072,
      10073, 10074, 10075, 10076, 10077, 10078, 10079, 10080, 10081, 10082, 10083, 10084, 10085,
      10086, 10087, 10088, 10089, 10090, 10091, 10092, 10093, 10094, 10095, 10096, 10097, 10098,
      10099, 10100, 10101, 10102, 10103, 10104, 10105, 10106, 10107, 10108, 10109, 10110, 10111,
      10112, 10113, 10114, 10115, 10116, 10117, 10118, 10119, 10120, 10121, 10122, 10123, 10124,
      10125, 10126, 10127, 10128, 10129, 10130, 10131, 10132, 10133, 10134, 10135, 10146, 10147,
      10148, 10149, 10150, 10151, 10152, 10153, 10154, 10169, 10170, 10171, 10172, 10174, 10175,
  };
  std::vector<std::int32_t> ids;
  std::set<std::string_view> keys;
  for (const auto& entry : BuiltInLanguageTexts()) {
    ids.push_back(entry.id);
    keys.insert(entry.key);
    EXPECT_TRUE(StartsWith(entry.key, "IDS_")) << entry.id;
    EXPECT_FALSE(entry.text.empty()) << entry.id;
  }
  EXPECT_EQ(ids, std::vector<std::int32_t>(std::begin(expected), std::end(expected)));
  EXPECT_EQ(keys.size(), ids.size());
}

TEST(BuiltInTexts, UnknownIdentifiersAndKeysGiveEmptyText) {
  CLanguage language;
  for (std::int32_t id : {0, -1, 10000, 10008, 10173, 10176, 99999})
    EXPECT_EQ(language.GetText(id), "") << id;
  EXPECT_EQ(language.GetText(std::string_view("ids_general_ok")), "");
  EXPECT_EQ(language.GetText(std::string_view("")), "");
}

TEST_F(LanguageFiles, HeaderAndVersionDecideWhetherAFileIsUsed) {
  const std::string next = "<IDS_GENERAL_NEXT>Weiter</IDS_GENERAL_NEXT>";
  struct Case {
    const char* name;
    std::string content;
    bool loaded;
    const char* language_name;
    const char* version;
  } cases[] = {
      {"in order", LanguageFile("0.8.1.5", next), true, "Deutsch", "0.8.1.5"},
      {"longer version", LanguageFile("0.8.1.5.0", next), true, "Deutsch", "0.8.1.5.0"},
      {"newer minor", LanguageFile("0.9", next), true, "Deutsch", "0.9"},
      {"newer major", LanguageFile("1.0", next), true, "Deutsch", "1.0"},
      {"older", LanguageFile("0.8.1.4", next), false, "Deutsch", "0.8.1.4"},
      {"much older", LanguageFile("0.7", next), false, "Deutsch", "0.7"},
      {"parts compare as numbers", LanguageFile("0.8.1.10", next), true, "Deutsch", "0.8.1.10"},
      {"commas", LanguageFile("0, 8, 1, 4", next), false, "Deutsch", "0, 8, 1, 4"},
      {"suffix", LanguageFile("0.8.1.5 beta", next), true, "Deutsch", "0.8.1.5 beta"},
      {"empty version", LanguageFile("", next), false, "Deutsch", ""},
      {"empty name takes the requested one", LanguageFile("0.8.1.5", next, ""), true, "req",
       "0.8.1.5"},
      {"DATA before INFO",
       "<UPDATERLANGUAGE><DATA>" + next +
           "</DATA><INFO><LANGUAGE>Deutsch</LANGUAGE><X/><VERSION>0.8.1.5</VERSION>"
           "<TRANSLATOR>A</TRANSLATOR></INFO></UPDATERLANGUAGE>",
       true, "Deutsch", "0.8.1.5"},
      {"TRANSLATOR before VERSION",
       "<UPDATERLANGUAGE><INFO><LANGUAGE>Deutsch</LANGUAGE><TRANSLATOR>A</TRANSLATOR>"
       "<VERSION>0.8.1.5</VERSION></INFO><DATA>" +
           next + "</DATA></UPDATERLANGUAGE>",
       false, "Deutsch", "0.8.1.5"},
      {"no DATA",
       "<UPDATERLANGUAGE><INFO><LANGUAGE>Deutsch</LANGUAGE><VERSION>0.8.1.5</VERSION>"
       "<TRANSLATOR>A</TRANSLATOR></INFO></UPDATERLANGUAGE>",
       false, "Deutsch", "0.8.1.5"},
      {"no INFO", "<UPDATERLANGUAGE><DATA>" + next + "</DATA></UPDATERLANGUAGE>", false, "", ""},
      {"other root", "<LANGUAGEFILE>" + LanguageFile("0.8.1.5", next) + "</LANGUAGEFILE>", false,
       "", ""},
      {"lower-case header",
       "<updaterlanguage><INFO><LANGUAGE>x</LANGUAGE><VERSION>0.8.1.5</VERSION>"
       "<TRANSLATOR>A</TRANSLATOR></INFO><DATA/></updaterlanguage>",
       false, "", ""},
      {"not XML", "Weiter = Next", false, "", ""},
      {"empty file", "", false, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = Write("case.xml", c.content);
    EXPECT_EQ(language_.LoadLanguageFile(path, "req", false), c.loaded);
    EXPECT_EQ(language_.InUse(), c.loaded);
    EXPECT_EQ(language_.GetLanguageName(), c.language_name);
    EXPECT_EQ(language_.GetLanguageVersion(), c.version);
    EXPECT_EQ(language_.GetText(IDS_GENERAL_NEXT), c.loaded ? "Weiter" : "Next");
  }
  EXPECT_TRUE(dialogs_.boxes.empty());
}

TEST_F(LanguageFiles, AnOlderFileAtStartUpIsReportedAndEnglishIsUsed) {
  const std::string path =
      Write("german.xml", LanguageFile("0.8.1.4", "<IDS_GENERAL_NEXT>Weiter</IDS_GENERAL_NEXT>"));
  EXPECT_FALSE(language_.LoadLanguageFile(path, "german", true));
  ASSERT_EQ(dialogs_.boxes.size(), 1u);
  EXPECT_EQ(dialogs_.boxes[0].kind, MessageBoxKind::kError);
  EXPECT_FALSE(dialogs_.boxes[0].yes_no);
  EXPECT_EQ(dialogs_.boxes[0].text,
            "You are using a wrong version (0.8.1.4) of the language file!\n"
            "You should use version 0.8.1.5! Updater will now use default language (English)");
  EXPECT_EQ(language_.GetLanguageName(), "english");
  EXPECT_EQ(language_.GetTranslator(), "Anna Beispiel");
  EXPECT_EQ(language_.GetText(IDS_GENERAL_NEXT), "Next");
}

TEST_F(LanguageFiles, TextsComeFromTheFileOrFallBackToEnglish) {
  const std::string data =
      "<IDS_GENERAL_NEXT>Weiter</IDS_GENERAL_NEXT>\n"
      "<IDS_GENERAL_NEXT>Zweites</IDS_GENERAL_NEXT>\n"
      "<IDS_GENERAL_CANCEL></IDS_GENERAL_CANCEL>\n"
      "<IDS_GENERAL_YES/>\n"
      "<ids_general_no>nein</ids_general_no>\n"
      "<IDS_GENERAL_FINISH><B>Fertig</B></IDS_GENERAL_FINISH>\n"
      "<IDS_SILENT_FINISH>Fertig!\\nNeue Version: %s</IDS_SILENT_FINISH>\n"
      "<IDS_GENERAL_TITLE>A &amp; B &lt;%s&gt; &#65;&#x42;</IDS_GENERAL_TITLE>\n"
      "<IDS_SILENT_ERROR><![CDATA[<Fehler> & mehr]]></IDS_SILENT_ERROR>\n"
      "<IDS_ERROR_UNKNOWN>  Unbekannter Fehler  </IDS_ERROR_UNKNOWN>\n"
      "<IDS_ERROR_FILENOTFOUND>%s%n%d%x</IDS_ERROR_FILENOTFOUND>\n"
      "<!-- <IDS_GENERAL_OK>Kommentar</IDS_GENERAL_OK> -->\n";
  const std::string path = Write("german.xml", LanguageFile("0.8.1.5", data));
  ASSERT_TRUE(language_.LoadLanguageFile(path, "german", true));
  struct Case {
    std::int32_t id;
    const char* text;
  } cases[] = {
      {IDS_GENERAL_NEXT, "Weiter"},    // the first of two equal keys
      {IDS_GENERAL_CANCEL, "Cancel"},  // empty element
      {IDS_GENERAL_YES, "Yes"},        // empty-element form
      {IDS_GENERAL_NO, "No"},          // names are case-sensitive
      {IDS_GENERAL_FINISH, "Finish"},  // an element with children counts as empty
      {IDS_GENERAL_OK, "OK"},          // commented out
      {IDS_SILENT_FINISH, "Fertig!\nNeue Version: %s"},
      {IDS_GENERAL_TITLE, "A & B <%s> AB"},
      {IDS_SILENT_ERROR, "<Fehler> & mehr"},
      {IDS_ERROR_UNKNOWN, "  Unbekannter Fehler  "},
      {IDS_ERROR_FILENOTFOUND, "%s%n%d%x"},                    // returned as it is, never formatted
      {IDS_STATUS_NEWVERSION, "New version (%s) available!"},  // missing
      {10173, ""},
  };
  for (int round = 0; round < 2; ++round)  // every lookup starts again from the first child
    for (const auto& c : cases) EXPECT_EQ(language_.GetText(c.id), c.text) << c.id;
  EXPECT_EQ(FillPlaceholders(language_.GetText(IDS_ERROR_FILENOTFOUND), {"a.txt"}), "a.txt%n%d%x");
  EXPECT_EQ(language_.GetLanguageName(), "Deutsch");
  EXPECT_EQ(language_.GetTranslator(), "Anna Beispiel");
  EXPECT_EQ(language_.GetLanguageVersion(), "0.8.1.5");
  EXPECT_TRUE(dialogs_.boxes.empty());

  language_.ClearLanguage();
  EXPECT_FALSE(language_.InUse());
  EXPECT_EQ(language_.GetText(IDS_GENERAL_NEXT), "Next");
  EXPECT_EQ(language_.GetLanguageName(), "");
  EXPECT_EQ(language_.GetTranslator(), "");
  EXPECT_EQ(language_.GetLanguageVersion(), "");
}

TEST_F(LanguageFiles, ReadsUtf16FilesWithNonAsciiTexts) {
  const std::string text = LanguageFile(
      "0.8.1.5",
      "<IDS_GENERAL_NEXT>\xD0\x94\xD0\xB0\xD0\xBB\xD0\xB5\xD0\xB5</IDS_GENERAL_NEXT>"
      "<IDS_GENERAL_CANCEL>\xE5\x8F\x96\xE6\xB6\x88 \xF0\x9F\x98\x80</IDS_GENERAL_CANCEL>",
      "\xD0\xA0\xD1\x83\xD1\x81\xD1\x81\xD0\xBA\xD0\xB8\xD0\xB9");
  const std::string path = Write("russian.xml", EncodeTextFile(text, TextEncoding::kUtf16LeBom));
  ASSERT_TRUE(language_.LoadLanguageFile(path, "russian", false));
  EXPECT_EQ(language_.GetText(IDS_GENERAL_NEXT), "\xD0\x94\xD0\xB0\xD0\xBB\xD0\xB5\xD0\xB5");
  EXPECT_EQ(language_.GetText(IDS_GENERAL_CANCEL), "\xE5\x8F\x96\xE6\xB6\x88 \xF0\x9F\x98\x80");
  EXPECT_EQ(language_.GetLanguageName(),
            "\xD0\xA0\xD1\x83\xD1\x81\xD1\x81\xD0\xBA\xD0\xB8\xD0\xB9");
}

TEST_F(LanguageFiles, BoundsTheLengthOfTextsFromFiles) {
  const std::string data = "<IDS_GENERAL_NEXT>" + std::string(3 * kMaxLanguageTextUnits, 'x') +
                           "</IDS_GENERAL_NEXT><IDS_GENERAL_OK>" +
                           std::string(kMaxLanguageTextUnits, 'y') + "</IDS_GENERAL_OK>";
  const std::string path = Write("long.xml", LanguageFile("0.8.1.5", data));
  ASSERT_TRUE(language_.LoadLanguageFile(path, "long", false));
  EXPECT_EQ(language_.GetText(IDS_GENERAL_NEXT), std::string(kMaxLanguageTextUnits, 'x'));
  EXPECT_EQ(language_.GetText(IDS_GENERAL_OK), std::string(kMaxLanguageTextUnits, 'y'));
}

TEST_F(LanguageFiles, AMissingFileGivesTheEnglishDefault) {
  EXPECT_FALSE(language_.LoadLanguageFile(folder_ / "lng/none.xml", "none", true));
  EXPECT_EQ(language_.GetLanguageName(), "English (default)");
  EXPECT_EQ(language_.GetText(IDS_GENERAL_NEXT), "Next");
  EXPECT_TRUE(dialogs_.boxes.empty());
}

TEST_F(LanguageFiles, ALoadReplacesTheFileLoadedBefore) {
  ASSERT_TRUE(language_.LoadLanguageFile(
      Write("german.xml", LanguageFile("0.8.1.5", "<IDS_GENERAL_NEXT>Weiter</IDS_GENERAL_NEXT>")),
      "german", false));
  EXPECT_FALSE(language_.LoadLanguageFile(Write("broken.xml", "<UPDATERLANGUAGE/>"), "x", false));
  EXPECT_EQ(language_.GetText(IDS_GENERAL_NEXT), "Next");
  EXPECT_EQ(language_.GetTranslator(), "");
}

TEST_F(LanguageFiles, SelectsTheFileOfTheSystemLanguage) {
  Write("german.xml", LanguageFile("0.8.1.5", "<IDS_GENERAL_NEXT>Weiter</IDS_GENERAL_NEXT>"));
  struct Case {
    const char* name;
    std::uint16_t lang_id;
    bool matched;
    const char* language_name;
    const char* next;
  } cases[] = {
      {"de_AT", 0x0C07, true, "Deutsch", "Weiter"},
      {"de_CH", 0x0807, true, "Deutsch", "Weiter"},
      {"pt_PT", 0x0816, false, "English (default)", "Next"},
      {"en_GB", 0x0809, false, "English (default)", "Next"},
      {"fr_CA without french.xml", 0x0C0C, true, "English (default)", "Next"},
      {"unknown", 0x1234, false, "English (default)", "Next"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CLanguage language;
    EXPECT_EQ(language.SelectLanguageByLangId(c.lang_id), c.matched);
    EXPECT_EQ(language.GetLanguageName(), c.language_name);
    EXPECT_EQ(language.GetText(IDS_GENERAL_NEXT), c.next);
  }
}

TEST_F(LanguageFiles, SystemLanguageTableHasItsEighteenLanguagesInOrder) {
  std::vector<std::string> names;
  for (const auto& entry : language_.SystemLanguages()) {
    names.push_back(entry.name);
    EXPECT_LE(entry.lang_ids.size(), kMaxLangIdsPerLanguage);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"czech", "danish", "dutch", "finnish", "french",
                                             "german", "greek", "hungarian", "icelandic", "italian",
                                             "norwegian", "polish", "portuguese", "russian",
                                             "slovak", "spanish", "swedish", "turkish"}));
  EXPECT_EQ(language_.SystemLanguages()[4].lang_ids,
            (std::vector<std::uint16_t>{0x040C, 0x080C, 0x0C0C, 0x100C}));
}

TEST_F(LanguageFiles, LoadsByNameFromTheLanguageFolder) {
  Write("German.xml", LanguageFile("0.8.1.5", "<IDS_GENERAL_NEXT>Weiter</IDS_GENERAL_NEXT>"));
  Write("dutch.xml", LanguageFile("0.8.1.5", "<IDS_GENERAL_NEXT>Volgende</IDS_GENERAL_NEXT>", ""));
  folder_.Write("outside.xml", LanguageFile("0.8.1.5", "<IDS_GENERAL_NEXT>Out</IDS_GENERAL_NEXT>"));

  EXPECT_EQ(LanguageFolder(), Native(CUpdaterPaths::Instance().Entry(kPathUpdater) + "lng/"));
  EXPECT_EQ(LanguageFilePath("dutch"), LanguageFolder() + "dutch.xml");
  // The file whose name differs in case only: its own name where names are
  // told apart by case, any spelling that opens it where they are not.
  const std::string german = LanguageFilePath("german");
  EXPECT_TRUE(platform::FileExists(german)) << german;
  EXPECT_EQ(platform::FolderOf(german) + platform::PathSeparator(), LanguageFolder());
  EXPECT_TRUE(EqualsNoCase(platform::FileNameOf(german), "German.xml")) << german;

  EXPECT_TRUE(language_.LoadLanguageByName("german"));
  EXPECT_EQ(language_.GetText(IDS_GENERAL_NEXT), "Weiter");
  EXPECT_TRUE(language_.LoadLanguageByName("dutch"));
  EXPECT_EQ(language_.GetLanguageName(), "dutch");
  EXPECT_EQ(language_.GetText(IDS_GENERAL_NEXT), "Volgende");
  for (const char* name : {"default", "user", "../outside", "..", "", "a/b", "a\\b"}) {
    EXPECT_FALSE(language_.LoadLanguageByName(name)) << name;
    EXPECT_EQ(language_.GetLanguageName(), "English (default)") << name;
    EXPECT_EQ(language_.GetText(IDS_GENERAL_NEXT), "Next") << name;
  }
}

TEST_F(LanguageFiles, ConcurrentLookupsDoNotDisturbEachOther) {
  ASSERT_TRUE(language_.LoadLanguageFile(
      Write("german.xml",
            LanguageFile("0.8.1.5",
                         "<IDS_GENERAL_OK>Gut</IDS_GENERAL_OK><IDS_GENERAL_NEXT>Weiter</"
                         "IDS_GENERAL_NEXT><IDS_GENERAL_NO>Nein</IDS_GENERAL_NO>")),
      "german", false));
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([this, t, &failures] {
      for (int i = 0; i < 500; ++i) {
        if (language_.GetText(IDS_GENERAL_NO) != "Nein") ++failures[t];
        if (language_.GetText(IDS_GENERAL_OK) != "Gut") ++failures[t];
        if (language_.GetText(IDS_GENERAL_YES) != "Yes") ++failures[t];
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(failures, std::vector<int>(4, 0));
}

TEST(LanguageInstance, IsOneObjectUntilReset) {
  CLanguage* first = &CLanguage::Instance();
  EXPECT_EQ(first, &CLanguage::Instance());
  CLanguage::ResetInstance();
  EXPECT_EQ(CLanguage::Instance().GetText(IDS_GENERAL_OK), "OK");
  EXPECT_EQ(CLanguage::Instance().GetLanguageName(), "");
}
