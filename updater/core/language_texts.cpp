#include "updater/core/language_texts.h"

#include <algorithm>
#include <array>

namespace {

// The built-in English texts, ordered by identifier. "\n" is a real line break.
constexpr std::array<LanguageText, 143> kTexts = {{
    {10001, "IDS_GENERAL_OK", "OK"},
    {10002, "IDS_GENERAL_CANCEL", "Cancel"},
    {10003, "IDS_GENERAL_YES", "Yes"},
    {10004, "IDS_GENERAL_NO", "No"},
    {10005, "IDS_GENERAL_NEXT", "Next"},
    {10006, "IDS_GENERAL_FINISH", "Finish"},
    {10007, "IDS_GENERAL_TITLE", "Updater - Update %s"},
    {10012, "IDS_SILENT_CHECKVERSION", "Checking for new version..."},
    {10013, "IDS_SILENT_DOWNLOAD", "Downloading files..."},
    {10014, "IDS_SILENT_INSTALL", "Installing..."},
    {10015, "IDS_SILENT_WELCOME", "Welcome to Updater!"},
    {10016, "IDS_SILENT_NOTIFICATION", "Updater notification"},
    {10017, "IDS_SILENT_FINISH", "You are ready!\nNew version: %s"},
    {10018, "IDS_SILENT_ERROR", "Error"},
    {10019, "IDS_SILENT_ROLLBACK", "Rolling back changes..."},
    {10020, "IDS_ERROR_UNKNOWN", "Unknown error"},
    {10021, "IDS_ERROR_NOCONNECTION", "No connection to internet available"},
    {10022, "IDS_ERROR_SERVER", "Can't connect to server"},
    {10023, "IDS_ERROR_NODISKSPACE", "Insufficient diskspace! %d mb needed"},
    {10024, "IDS_ERROR_FILENOTFOUND", "File %s not found"},
    {10025, "IDS_ERROR_COPYFILE", "Can't copy file %s"},
    {10026, "IDS_ERROR_DELETEFILE", "Can't delete file %s"},
    {10027, "IDS_ERROR_RUNFILE", "Can't execute file %s"},
    {10028, "IDS_ERROR_CLOSEAPP",
     "You need to close %s before installing updates.\nPlease try again later"},
    {10029, "IDS_ERROR_FILECORRUPT", "File %s is corrupt"},
    {10031, "IDS_ERROR_WRITEFILE", "Can't write to file %s"},
    {10032, "IDS_FULL_WELCOME_EXPLANATION",
     "Updater is about to check for new updates for %s.\n\nPlease follow the instructions, and be "
     "sure you are connected to the internet.\n\nIf you are ready, press next, and Updater will "
     "check if there is a new version available."},
    {10033, "IDS_FULL_WELCOME_TITLE", "Welcome to Updater!"},
    {10034, "IDS_FULL_CHECKVERSION_TITLE", "Check for new version"},
    {10035, "IDS_FULL_DOWNLOAD_TITLE", "Download files"},
    {10036, "IDS_FULL_INSTALL_TITLE", "Install updates"},
    {10037, "IDS_FULL_FINISH_TITLE", "Finished"},
    {10038, "IDS_FULL_ROLLBACK_TITLE", "Rolling back changes"},
    {10039, "IDS_FULL_CHECKVERSION_EXPLANATION",
     "Updater is checking if there is a new version available for %s.\n\nIf there is no new "
     "version available, the wizard will stop, because you don't need a newer version.\n\nIf there "
     "is a new version available, you can click next to start downloading the files."},
    {10040, "IDS_FULL_FILEPROGRESS", "File progress: %s"},
    {10041, "IDS_FULL_TOTALPROGRESS", "Total progress:"},
    {10042, "IDS_FULL_FINISH_EXPLANATION",
     "You are ready!\n\n%s is updated to the newest version, and you can start using %s "
     "again.\n\nTo be sure you always have the newest version, run Updater once in a month to "
     "check for new versions.\n\nThanks for using Updater!"},
    {10043, "IDS_FULL_DOWNLOAD_EXPLANATION",
     "Updater is downloading new files that are needed to update %s.\n\nThis process can take a "
     "long time, depending on your internet connection speed.\n\nIf Updater is ready downloading "
     "the files, you can press next to install the update."},
    {10044, "IDS_FULL_INSTALL_EXPLANATION",
     "Now, Updater is installing the files and executing some actions.\n\nThis can take a while. "
     "You can always cancel the process, but then it is possible that %s will not work properly "
     "anymore.\n\nIt is possible that Updater asks for confirmation of some steps.\n\nIf "
     "installation progress is ready, please click next."},
    {10045, "IDS_FULL_CHECKVERSION_FEATURES", "New features in this version"},
    {10046, "IDS_FULL_ROLLBACK_EXPLANATION",
     "Updater is rolling back the changes so your old version will keep working. If an error "
     "occurred, please try to update again."},
    {10047, "IDS_ACTION_COPY", "%s (copy)"},
    {10048, "IDS_ACTION_DELETE", "%s (delete)"},
    {10049, "IDS_ACTION_RUN", "%s (execute)"},
    {10050, "IDS_ACTION_REGISTRY", "Registry settings"},
    {10051, "IDS_ACTION_INI", "Ini settings"},
    {10052, "IDS_STATUS_CONNECTINGTOSERVER", "Connecting to server..."},
    {10053, "IDS_STATUS_NONEWVERSION", "No new version available..."},
    {10054, "IDS_STATUS_NEWVERSION", "New version (%s) available!"},
    {10055, "IDS_STATUS_INITIALIZING", "Initialising..."},
    {10056, "IDS_ERROR_UNZIPFILE", "Can't unzip file %s"},
    {10057, "IDS_ACTION_UNZIP", "%s (unzip)"},
    {10059, "IDS_ABOUT_TITLE", "About Updater"},
    {10060, "IDS_ABOUT_UPDATERVERSION", "Updater version:"},
    {10062, "IDS_ABOUT_WEBSITE", "Website:"},
    {10063, "IDS_ABOUT_LANGUAGEVERSION", "Language pack version:"},
    {10064, "IDS_ABOUT_TRANSLATEDBY", "translated by"},
    {10065, "IDS_ABOUT_LANGUAGEUSED", "Language used:"},
    {10066, "IDS_ABOUT_SPECIALTHANKS", "Special thanks to:"},
    {10067, "IDS_ABOUT_THANKS_NAME", "Name"},
    {10068, "IDS_ABOUT_THANKS_REASON", "Reason"},
    {10069, "IDS_FULL_CHECKVERSION_SUBTITLE", "Checking the internet for a new version"},
    {10070, "IDS_FULL_DOWNLOAD_SUBTITLE", "Downloading files from the internet"},
    {10071, "IDS_FULL_INSTALL_SUBTITLE", "Performing actions to update %s"},
    {10072, "IDS_FULL_FINISH_SUBTITLE", "Finished updating %s"},
    {10073, "IDS_FULL_ROLLBACK_SUBTITLE", "Performing actions to restore %s"},
    {10074, "IDS_FULL_SELECTUPDATE_EXPLANATION",
     "There are several updates available for %s. Please select the updates you wish to download "
     "and install. When you click on an item, the description will appear at the right of the "
     "tree.\n\nIf you have selected the updates, please click next."},
    {10075, "IDS_FULL_SELECTUPDATE_TITLE", "Select update"},
    {10076, "IDS_FULL_SELECTUPDATE_SUBTITLE",
     "Select the updates you wish to download and install"},
    {10077, "IDS_FULL_LICENSE_TITLE", "End-user license agreement"},
    {10078, "IDS_FULL_LICENSE_SUBTITLE", "Please read the following license agreement carefully"},
    {10079, "IDS_FULL_LICENSE_AGREE", "I accept the terms in the license agreement"},
    {10080, "IDS_FULL_LICENSE_NOTAGREE", "I do not accept the terms in the license agreement"},
    {10081, "IDS_AUTHENTICATION_EXPLANATION",
     "Authentication for the proxy server is needed in order to download the files.\n\nPlease "
     "enter your proxy username and password in the fields below."},
    {10082, "IDS_AUTHENTICATION_USERNAME", "Username"},
    {10083, "IDS_AUTHENTICATION_PASSWORD", "Password"},
    {10084, "IDS_AUTHENTICATION_TITLE", "Authentication needed"},
    {10085, "IDS_FULL_HTMLMESSAGE_TITLE", "Product/company information"},
    {10086, "IDS_FULL_HTMLMESSAGE_SUBTITLE",
     "Please take your time to read the product/company information"},
    {10087, "IDS_FULL_SELECTUPDATE_MOREINFO", "More information..."},
    {10088, "IDS_CONFIRMATION_STOPUPDATING_TITLE", "Stop updating"},
    {10089, "IDS_CONFIRMATION_STOPUPDATING_EXPLANATION",
     "This update may be required for %s. If you select yes, you can update %s at a later "
     "time.\n\nDo you want to stop and cancel the update process for %s?"},
    {10090, "IDS_CONFIRMATION_DELETEFILE_TITLE", "Delete file"},
    {10091, "IDS_CONFIRMATION_DELETEFILE_EXPLANATION",
     "The file %s needs to be deleted.\n\nIf you select No, the file will not be deleted from your "
     "system. However, this may infect the behaviour of %s.\n\nDo you want to delete %s now? "},
    {10092, "IDS_CONFIRMATION_CLOSEAPPLICATION_TITLE", "Close application"},
    {10093, "IDS_CONFIRMATION_CLOSEAPPLICATION_EXPLANATION",
     "%s needs to be closed before installing the updates.\n\nIf you select No, you will have to "
     "update %s at a later time.\n\nAny unsaved changes to open documents may be lost when "
     "proceeding!\n\nDo you want to close %s now? "},
    {10094, "IDS_CONFIRMATION_TITLE", "Confirmation required"},
    {10095, "IDS_ERROR_TITLE", "Error"},
    {10096, "IDS_ERROR_MORE", "More"},
    {10097, "IDS_ERROR_UNKNOWN_TITLE", "Unknown error"},
    {10098, "IDS_ERROR_UNKNOWN_EXPLANATION", "An unknown error has occurred."},
    {10099, "IDS_ERROR_NOCONNECTION_TITLE", "No connection available"},
    {10100, "IDS_ERROR_NOCONNECTION_EXPLANATION",
     "There is no connection to the internet available."},
    {10101, "IDS_ERROR_NOCONNECTION_MORE",
     "First check if you are connected to the internet to fix this problem.\n\nIf the problem is "
     "not fixed even when connected to the internet, disable the checkconnection setting of "
     "Updater."},
    {10102, "IDS_ERROR_SERVER_TITLE", "Can't connect to server"},
    {10103, "IDS_ERROR_SERVER_EXPLANATION", "Can't connect to the server."},
    {10104, "IDS_ERROR_SERVER_MORE",
     "Probably the server that is hosting the update information is offline or not "
     "reachable.\n\nPlease try again at a later time."},
    {10105, "IDS_ERROR_NODISKSPACE_TITLE", "Insufficient diskspace"},
    {10106, "IDS_ERROR_NODISKSPACE_EXPLANATION", "Insufficient diskspace. There is %d mb needed."},
    {10107, "IDS_ERROR_NODISKSPACE_MORE",
     "Clean up some files on the hard-disk you don't use anymore to create some free space."},
    {10108, "IDS_ERROR_FILENOTFOUND_TITLE", "File not found"},
    {10109, "IDS_ERROR_FILENOTFOUND_EXPLANATION", "File %s not found."},
    {10110, "IDS_ERROR_FILENOTFOUND_MORE",
     "The file is not available on the server.\n\nPlease contact the developer of %s to solve this "
     "problem."},
    {10111, "IDS_ERROR_COPYFILE_TITLE", "Can't copy file"},
    {10112, "IDS_ERROR_COPYFILE_EXPLANATION", "Can't copy file %s."},
    {10113, "IDS_ERROR_COPYFILE_MORE",
     "There can be several reasons for this error. The file is not available or the file is in use "
     "by another application."},
    {10114, "IDS_ERROR_DELETEFILE_TITLE", "Can't delete file"},
    {10115, "IDS_ERROR_DELETEFILE_EXPLANATION", "Can't delete file %s."},
    {10116, "IDS_ERROR_DELETEFILE_MORE",
     "There can be several reasons for this error. The file is not available or the file is in use "
     "by another application."},
    {10117, "IDS_ERROR_RUNFILE_TITLE", "Can't execute file"},
    {10118, "IDS_ERROR_RUNFILE_EXPLANATION", "Can't execute file %s."},
    {10119, "IDS_ERROR_RUNFILE_MORE", "Probably the file does not exist on your system."},
    {10120, "IDS_ERROR_CLOSEAPP_TITLE", "Can't close application"},
    {10121, "IDS_ERROR_CLOSEAPP_EXPLANATION",
     "You need to close %s before installing the updates.\n\nPlease try again later"},
    {10122, "IDS_ERROR_CLOSEAPP_MORE",
     "Before installing, %s must be closed because Updater must overwrite the file.\n\nClose the "
     "application first and run Updater again."},
    {10123, "IDS_ERROR_FILECORRUPT_TITLE", "File corrupt"},
    {10124, "IDS_ERROR_FILECORRUPT_EXPLANATION", "File %s is corrupt."},
    {10125, "IDS_ERROR_FILECORRUPT_MORE",
     "Updater expects a specific file format for this file. This format can't be found in the "
     "file, so it is probably corrupt.\n\nPlease contact the developer of %s to solve this "
     "problem."},
    {10126, "IDS_ERROR_WRITEFILE_TITLE", "Can't write to file"},
    {10127, "IDS_ERROR_WRITEFILE_EXPLANATION", "Can't write to file %s."},
    {10128, "IDS_ERROR_WRITEFILE_MORE",
     "Probably this file is in use by another application.\n\nPlease close the other applications "
     "using the file and try again."},
    {10129, "IDS_ERROR_UNZIPFILE_TITLE", "Can't unzip file"},
    {10130, "IDS_ERROR_UNZIPFILE_EXPLANATION", "Can't unzip file %s."},
    {10131, "IDS_ERROR_UNZIPFILE_MORE",
     "Probably the zip file is corrupt. Try to open the file with another application to see if it "
     "is corrupt. If the file is not corrupt, please contact the developer of %s."},
    {10132, "IDS_INFORMATION_TITLE", "Information"},
    {10133, "IDS_INFORMATION_RESTARTSYSTEM_TITLE", "Restart system"},
    {10134, "IDS_INFORMATION_RESTARTSYSTEM_EXPLANATION",
     "To complete the update of %s, the system needs to be restarted.\n\nWhen you close this "
     "dialog, the system will restart."},
    {10135, "IDS_FULL_FINISH_CREATESHORTCUTS", "Create shortcuts for %s"},
    {10146, "IDS_ACTION_REGISTER", "%s (register)"},
    {10147, "IDS_ACTION_SETFILEATTR", "%s (set file attributes)"},
    {10148, "IDS_CONFIRMATION_REGISTER_TITLE", "Register file"},
    {10149, "IDS_CONFIRMATION_REGISTER_EXPLANATION",
     "The file %s needs to be registered.\n\nIf you select No, the file will not be registered on "
     "your system. However, this may infect the behaviour of %s.\n\nDo you want to register %s "
     "now? "},
    {10150, "IDS_WARNING_REGISTER", "Unable to register file %s"},
    {10151, "IDS_WARNING_TITLE", "Warning"},
    {10152, "IDS_WARNING_REGISTER_TITLE", "Unable to register file"},
    {10153, "IDS_WARNING_REGISTER_EXPLANATION",
     "Updater is unable to register %s on your system.\n\nAsk the administrator to register the "
     "file manually or register the dll yourself."},
    {10154, "IDS_POPUP_BITMAPS", "Popup menu bitmaps"},
    {10169, "IDS_AUTHENTICATION_SAVECREDENTIALS", "Save credentials"},
    {10170, "IDS_CLOSEAPPLICATION_TITLE", "Close %s"},
    {10171, "IDS_CLOSEAPPLICATION_EXPLANATION",
     "Updater can't end %s at this moment because it is waiting for a response of you.\n\nUpdater "
     "will force the application to close in %d seconds.\n\nIf you choose to end %s immediately, "
     "you will lose any unsaved data. To end the application now, press End Now."},
    {10172, "IDS_CLOSEAPPLICATION_ENDNOW", "End now"},
    {10174, "IDS_CLOSEAPPLICATION_APPLICATION", "application"},
    {10175, "IDS_CONFIRMATION_CLOSEAPPLICATION_USER_EXPLANATION",
     "%s needs to be closed before installing the updates.\n\nPlease close %s and press the "
     "confirmation button.\n\nIf you select No, you will have to update %s at a later time."},
}};

}  // namespace

std::span<const LanguageText> BuiltInLanguageTexts() { return kTexts; }

const LanguageText* FindBuiltInText(std::int32_t id) {
  auto it =
      std::lower_bound(kTexts.begin(), kTexts.end(), id,
                       [](const LanguageText& t, std::int32_t value) { return t.id < value; });
  return it != kTexts.end() && it->id == id ? &*it : nullptr;
}

const LanguageText* FindBuiltInTextByKey(std::string_view key) {
  auto it = std::find_if(kTexts.begin(), kTexts.end(),
                         [key](const LanguageText& t) { return t.key == key; });
  return it != kTexts.end() ? &*it : nullptr;
}
