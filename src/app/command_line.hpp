#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace parasim::app {

// The options of a run. Without any, parasim reads its ten answers, seeds from the
// clock and writes Output.dat, nothing more.
struct Options {
  bool show_help = false;
  bool show_version = false;
  bool list_parameters = false;   // --list-parameters: the ten answers, for programs
  bool print_parameters = false;  // --print-parameters: the answers read, as a parameters file
  std::optional<std::string> parameters_path;  // --parameters FILE: the answers by name
  std::optional<std::int32_t> seed_ticks;      // --seed TICKS: the tick count instead of the clock
  std::optional<std::string> record_path;      // --record FILE: a JSON record of the run
  bool progress = false;                       // --progress: a live progress line on stderr
  std::optional<std::string> checkpoint_path;  // --checkpoint FILE: the state, now and then
  std::int32_t checkpoint_every = 100;         // --checkpoint-every G: generations between them
  std::optional<std::string> resume_path;      // --resume FILE: go on from a checkpoint
  std::optional<std::string> history_path;     // --history DIR: the species history
  std::optional<std::int32_t> genetics_every;  // --genetics-every G: divergence and groups
  std::optional<std::string> genomes_path;     // --genomes DIR: genomes as VCF, now and then
  std::int32_t genomes_every = 10;             // --genomes-every G: generations between them
};

struct ParsedCommandLine {
  Options options;
  std::optional<std::string> error;  // a one-line usage error
};

ParsedCommandLine parse_command_line(const std::vector<std::string>& arguments);

std::string usage_text();
// The program's version, "1.0.0", as the project's build names it.
std::string version_number();
// What --version prints: the version and where the citation of parasim and its manuscript is.
std::string version_text();

// The ten answers in the order asked, one per line: name, type ("integer" or "real") and the
// prompt, separated by tabs. Tools that write answer files check their own list against it.
std::string parameter_listing();

}  // namespace parasim::app
