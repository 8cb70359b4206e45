// libFuzzer target: a parameters file (parasim --parameters FILE) of arbitrary bytes.
//
// Checked, besides "no crash" and "no other exception":
// - a refusal names a line of the file (1 ... its number of lines), the last line for names
//   never given; a refusal of a name or a value names the line that holds that text;
// - a file that is read gives all ten answers; they print as a file that reads back to the same
//   answers, bit for bit, and prints again to the same text.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/failure_report.hpp"
#include "app/parameters_file.hpp"

namespace {

using parasim::app::ParametersFileFault;
using parasim::app::ParametersFileRefused;

[[noreturn]] void fail(const char* what, std::string_view text) {
  std::fprintf(stderr, "property violated: %s\n--- file:\n%.*s\n---\n", what,
               static_cast<int>(text.size()), text.data());
  std::abort();
}

std::uint64_t line_count(std::string_view text) {
  std::uint64_t lines = 0;
  while (!text.empty()) {
    ++lines;
    const std::size_t end = text.find('\n');
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
  }
  return lines;
}

std::string_view line_at(std::string_view text, std::uint64_t number) {
  for (std::uint64_t i = 1; i < number; ++i) {
    text.remove_prefix(text.find('\n') + 1);
  }
  return text.substr(0, text.find('\n'));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(bytes), size);
  const std::string path = "p.txt";
  parasim::model::Parameters parameters;
  try {
    parameters = parasim::app::parameters_from_text(text, path);
  } catch (const ParametersFileRefused& refused) {
    const ParametersFileFault& fault = refused.fault();
    const std::uint64_t lines = line_count(text);
    if (refused.path() != path)
      fail("the refusal names another file", text);
    if (fault.line < 1 || fault.line > (lines == 0 ? 1 : lines)) {
      fail("the refusal names a line the file does not have", text);
    }
    using Kind = ParametersFileFault::Kind;
    if (fault.kind == Kind::missing_names) {
      if (fault.line != (lines == 0 ? 1 : lines))
        fail("missing names not at the last line", text);
    } else if (fault.kind != Kind::not_a_setting) {
      const std::string_view line = line_at(text, fault.line);
      if (line.find(fault.name) == std::string_view::npos) {
        fail("the refused name is not on the line named", text);
      }
      if (line.find(fault.value) == std::string_view::npos) {
        fail("the refused value is not on the line named", text);
      }
    }
    return 0;
  }
  const std::string printed = parasim::app::parameters_file_text(parameters);
  const parasim::model::Parameters again = parasim::app::parameters_from_text(printed, path);
  if (!(again == parameters))
    fail("the printed answers read back to others", text);
  if (parasim::app::parameters_file_text(again) != printed)
    fail("printing is not stable", text);
  return 0;
}
