// Tolvaric: replaces the updater program after the updater has ended.
//   Tolvaric "<new program file>" "<program file to replace>"

#include <chrono>
#include <thread>

#include "platform/command_line.h"
#include "tolvaric/copy_program.h"
#include "tolvaric/failure_report.h"
#include "tolvaric/program_file.h"

int main(int argc, char** argv) {
  CCopyProgram program({
      .wait = [](std::chrono::milliseconds pause) { std::this_thread::sleep_for(pause); },
      .replace = ReplaceProgramFile,
      .report_failure = ReportCopyFailure,
  });
  return program.Run(platform::ProgramArgumentText(argc, argv));
}
