#include "command_line.hpp"

#include <charconv>

namespace parasim::report_tool {

const char* const usage_text =
    "Usage: parasim-report [--csv DIR] [--plot DIR] [--html FILE [--record RECORD]\n"
    "                      [--plotly-src PATH]] RESULTS_FILE\n"
    "       parasim-report --history HISTORY [--min-size N] [--csv DIR] [--plot DIR]\n"
    "                      [--html FILE [--record RECORD] [--plotly-src PATH]] [RESULTS_FILE]\n"
    "       parasim-report --help\n"
    "\n"
    "Reads the results file of a parasim run (Output.dat) and prints a summary: the population\n"
    "and the number of species of each reported generation, the generation at which each\n"
    "species label first appears, and the last generation of each species that died out.\n"
    "With --history, also reads the species history that parasim --history wrote and adds\n"
    "speciation events, extinctions, the first split, lifetimes, the species alive at the end\n"
    "and the shape of the extant species' tree (Colless index, gamma).\n"
    "\n"
    "  --history HISTORY  the folder of species.csv and abundance.csv (parasim --history)\n"
    "  --min-size N       also count the species alive at the end with at least N parasites\n"
    "                     (default 10)\n"
    "  --csv DIR   also write the tables into DIR (created when missing): generations.csv,\n"
    "              species_by_generation.csv, hosts.csv and points.csv from the results\n"
    "              file; tree.nwk, tree-extant.nwk, species_history.csv, species_sizes.csv,\n"
    "              host_use.csv, lineages.csv and history_summary.csv from the history\n"
    "  --plot DIR  write the tables into DIR, then the figures (drawn by parasim_report with\n"
    "              /usr/bin/python3): phenotypes and population from the results file; tree,\n"
    "              muller, host_use and lineages from the history; each as .png and .svg\n"
    "  --html FILE write one web page of the run into FILE, which opens in any browser without\n"
    "              a network: phenotypes, population and species, and from the history the\n"
    "              Muller plot, species tree, host use and lineages, each to hover, zoom and\n"
    "              hide species in (built by parasim_report with /usr/bin/python3 and plotly)\n"
    "  --record RECORD  the run record (parasim --record) whose answers, seed and outcome the\n"
    "              page shows; without it the page says they are not known\n"
    "  --plotly-src PATH  the page links plotly.js from PATH (relative to the page) instead\n"
    "              of holding it inside, so that pages beside one copy share it\n"
    "  --help      show this text\n"
    "\n"
    "Exit status: 0 done; 1 the results file or the history is malformed, or the two are of\n"
    "different runs (the message gives FILE:LINE); 2 wrong usage, a file or folder that cannot\n"
    "be read or written, a run record of another run, or failed figures.\n";

namespace {

std::string value_after(const std::vector<std::string>& arguments, std::size_t& i,
                        const char* what) {
  if (i + 1 >= arguments.size() || arguments[i + 1].empty()) {
    throw UsageError(arguments[i] + " needs " + what);
  }
  return arguments[++i];
}

std::int64_t least_count(const std::string& option, const std::string& text) {
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 1) {
    throw UsageError(option + " takes a whole number of parasites of at least 1, not \"" + text +
                     "\"");
  }
  return value;
}

}  // namespace

ReportOptions parse_command_line(const std::vector<std::string>& arguments) {
  ReportOptions options;
  std::vector<std::string> files;
  bool min_size_given = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--help" || argument == "-h") {
      options.show_help = true;
    } else if (argument == "--csv") {
      options.csv_folder = value_after(arguments, i, "a folder");
    } else if (argument == "--plot") {
      options.plot_folder = value_after(arguments, i, "a folder");
    } else if (argument == "--html") {
      options.html_file = value_after(arguments, i, "a file name");
    } else if (argument == "--record") {
      options.record_file = value_after(arguments, i, "the run record");
    } else if (argument == "--plotly-src") {
      options.plotly_src = value_after(arguments, i, "the path of plotly.js");
    } else if (argument == "--history") {
      options.history_folder = value_after(arguments, i, "the history folder");
    } else if (argument == "--min-size") {
      options.min_size = least_count(argument, value_after(arguments, i, "a number"));
      min_size_given = true;
    } else if (argument.size() > 1 && argument[0] == '-') {
      throw UsageError("unknown option " + argument);
    } else {
      files.push_back(argument);
    }
  }
  if (options.show_help) {
    return options;
  }
  if (files.size() > 1) {
    throw UsageError("give one results file, not " + std::to_string(files.size()));
  }
  if (files.empty() && !options.history_folder) {
    throw UsageError("name the results file to read, or a history with --history");
  }
  if (min_size_given && !options.history_folder) {
    throw UsageError("--min-size counts the species of a history: it goes with --history");
  }
  if (options.record_file && !options.html_file) {
    throw UsageError("--record gives the page its run record: it goes with --html");
  }
  if (options.plotly_src && !options.html_file) {
    throw UsageError("--plotly-src tells the page where plotly.js is: it goes with --html");
  }
  if (options.csv_folder && options.plot_folder && *options.csv_folder != *options.plot_folder) {
    throw UsageError(
        "--plot writes its tables beside the figures; give --csv and --plot the same "
        "folder, or only --plot");
  }
  if (!files.empty()) {
    options.results_path = files.front();
  }
  return options;
}

}  // namespace parasim::report_tool
