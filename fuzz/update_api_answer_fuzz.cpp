// The update API's answer: parsed as JSON and applied to the process-wide
// update-file records (reset before and after every input).

#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>

#include "fuzz/fuzz_support.h"
#include "updater/description/update_file_data.h"
#include "updater/tasks/net/update_api_answer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > kMaxFuzzInputBytes) return 0;
  UpdateApiAnswer answer = ParseUpdateApiAnswer(InputText(data, size));
  if (answer.version) FuzzCheck(IsPlainVersionText(*answer.version), "a plain version");
  if (answer.url) {
    FuzzCheck(answer.url->size() <= kMaxUpdateApiUrlLength, "a bounded address");
    FuzzCheck(answer.url->rfind("http", 0) == 0 || answer.url->rfind("HTTP", 0) == 0 ||
                  answer.url->rfind("Http", 0) == 0 || answer.url->find("://") != std::string::npos,
              "a web address");
  }

  CUpdateFileData::ResetInstance();
  CUpdateFileData& records = CUpdateFileData::Instance();
  CFileData file;
  file.name = "setup.bin";
  CFileActionDownload download;
  download.locations = {"https://example.invalid/setup.bin"};
  file.actions.push_back(download);
  records.files.push_back(file);
  ApplyUpdateApiAnswer(answer, records);
  const auto& after = std::get<CFileActionDownload>(records.files[0].actions[0]);
  FuzzCheck(after.locations.size() == 1, "one location stays one");
  CUpdateFileData::ResetInstance();
  return 0;
}
