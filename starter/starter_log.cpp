#include "starter/starter_log.h"

#include <easylogging++.h>

INITIALIZE_EASYLOGGINGPP

void ConfigureStarterLog() {
  el::Configurations configuration;
  configuration.setToDefault();
  configuration.setGlobally(el::ConfigurationType::Filename, "velmora_starter.log");
  configuration.setGlobally(el::ConfigurationType::ToFile, "true");
  // The starter shows nothing; its lines go to the file only.
  configuration.setGlobally(el::ConfigurationType::ToStandardOutput, "false");
  configuration.setGlobally(el::ConfigurationType::Format, "%datetime %level %msg \n");
  configuration.set(el::Level::Debug, el::ConfigurationType::Format,
                    "%datetime %level [%user@%host] [%func] [%loc] %msg \n");
  for (el::Level level : {el::Level::Error, el::Level::Fatal, el::Level::Trace})
    configuration.set(level, el::ConfigurationType::Format,
                      "%datetime %level [%func] [%loc] %msg \n");
  configuration.set(el::Level::Verbose, el::ConfigurationType::Format,
                    "%datetime %level-%vlevel %msg \n");
  configuration.setGlobally(el::ConfigurationType::MaxLogFileSize, "2097152");

  el::Loggers::addFlag(el::LoggingFlag::StrictLogFileSizeCheck);
  el::Loggers::addFlag(el::LoggingFlag::DisableApplicationAbortOnFatalLog);
  el::Loggers::addFlag(el::LoggingFlag::LogDetailedCrashReason);
  el::Loggers::reconfigureLogger("default", configuration);
}

void WriteStarterLog(const std::string& line) { LOG(INFO) << line; }
