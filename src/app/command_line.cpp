#include "app/command_line.hpp"

#include <charconv>

namespace parasim::app {

namespace {

std::optional<std::int32_t> parse_ticks(const std::string& text) {
  std::int32_t value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || stop != end || value < 0) {
    return std::nullopt;
  }
  return value;
}

}  // namespace

ParsedCommandLine parse_command_line(const std::vector<std::string>& arguments) {
  ParsedCommandLine parsed;
  Options& options = parsed.options;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    const bool has_value = i + 1 < arguments.size();
    if (argument == "--help" || argument == "-h") {
      options.show_help = true;
    } else if (argument == "--version") {
      options.show_version = true;
    } else if (argument == "--progress") {
      options.progress = true;
    } else if (argument == "--seed" || argument == "--record") {
      if (!has_value) {
        parsed.error = argument + " needs a value";
        return parsed;
      }
      const std::string& value = arguments[++i];
      if (argument == "--record") {
        options.record_path = value;
      } else if (const auto ticks = parse_ticks(value)) {
        options.seed_ticks = ticks;
      } else {
        parsed.error = "--seed takes a tick count from 0 to 2147483647, not \"" + value + "\"";
        return parsed;
      }
    } else {
      parsed.error = "unknown argument \"" + argument + "\"";
      return parsed;
    }
  }
  return parsed;
}

std::string usage_text() {
  return "Usage: parasim [--seed TICKS] [--record FILE] [--progress]\n"
         "       parasim --help | --version\n"
         "\n"
         "Runs one simulation of parasites evolving on a line of hosts. The ten parameters\n"
         "are read from standard input, one answer per prompt; the results go to\n"
         "Output.dat in the working directory.\n"
         "\n"
         "  --seed TICKS   seed the random stream from TICKS (0 ... 2147483647) instead of\n"
         "                 the clock, so that a run can be repeated exactly\n"
         "  --record FILE  after the run, write a JSON record of it to FILE (parameters,\n"
         "                 seed, times, outcome, exit status)\n"
         "  --progress     show a progress line on standard error while the model runs\n"
         "  --help         show this text\n"
         "  --version      show the program version\n"
         "\n"
         "Exit status: 0 after a completed run (also when the population died out),\n"
         "2 after a failed read, a refused parameter or a failed file operation,\n"
         "1 when memory ran out.\n";
}

std::string version_text() { return "parasim 1.0.0\n"; }

}  // namespace parasim::app
