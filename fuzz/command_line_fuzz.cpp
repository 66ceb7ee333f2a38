// The updater's command line: the parser with the updater's options, the
// pass that finds the settings file and the pass that applies the options to
// the process-wide settings (reset before and after every input).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "updater/core/command_line_parser.h"
#include "updater/core/updater_settings.h"

namespace {

// Runs the call; the parser's four exceptions are its answers to a bad line.
template <typename Call>
void Guarded(Call call) {
  try {
    call();
  } catch (const DoubleParametersException&) {
  } catch (const UnknownParameterException&) {
  } catch (const ValueExpectedException&) {
  } catch (const WrongTypeException&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > kMaxFuzzInputBytes) return 0;
  const std::string_view line = InputText(data, size);
  CUpdaterSettings::ResetInstance();

  Guarded([&] {
    CCommandLineParser parser;
    AddUpdaterOptions(parser);
    parser.Parse(line);
    FuzzCheck(parser.ResultCount() <= CCommandLineParser::kCapacity, "results bounded");
    for (std::size_t i = 0; i < parser.ResultCount(); ++i) {
      const CommandLineOption& result = parser.Result(i);
      FuzzCheck(IsValidOptionValue(result.value, result.value_type),
                "a stored value passes its type check: " + result.name);
    }
  });
  Guarded([&] { (void)FindSettingsFileOption(line); });
  Guarded([&] { ApplyCommandLine(line); });

  // The arguments (split at zero bytes) joined as the program joins its own.
  std::vector<std::string> arguments;
  std::size_t begin = 0;
  while (begin <= line.size() && arguments.size() < 64) {
    std::size_t end = line.find('\0', begin);
    if (end == std::string_view::npos) end = line.size();
    arguments.emplace_back(line.substr(begin, end - begin));
    begin = end + 1;
  }
  Guarded([&] { ApplyCommandLine(JoinCommandLine(arguments)); });
  CUpdaterSettings::ResetInstance();
  return 0;
}
