#include "command_line.hpp"

namespace parasim::report_tool {

const char* const usage_text =
    "Usage: parasim-report [--csv DIR] [--plot DIR] RESULTS_FILE\n"
    "       parasim-report --help\n"
    "\n"
    "Reads the results file of a parasim run (Output.dat) and prints a summary: the population\n"
    "and the number of species of each reported generation, the generation at which each\n"
    "species label first appears, and the last generation of each species that died out.\n"
    "\n"
    "  --csv DIR   also write generations.csv, species.csv, hosts.csv and points.csv into DIR\n"
    "              (created when missing); standard deviations divide by n\n"
    "  --plot DIR  write the tables into DIR, then the figures phenotypes.png/.svg and\n"
    "              population.png/.svg (drawn by parasim_plot.py with /usr/bin/python3)\n"
    "  --help      show this text\n"
    "\n"
    "Exit status: 0 done; 1 the results file is malformed (the message gives FILE:LINE);\n"
    "2 wrong usage, or a file or folder that cannot be read or written, or failed figures.\n";

namespace {

std::string folder_after(const std::vector<std::string>& arguments, std::size_t& i) {
  if (i + 1 >= arguments.size() || arguments[i + 1].empty()) {
    throw UsageError(arguments[i] + " needs a folder");
  }
  return arguments[++i];
}

}  // namespace

ReportOptions parse_command_line(const std::vector<std::string>& arguments) {
  ReportOptions options;
  std::vector<std::string> files;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--help" || argument == "-h") {
      options.show_help = true;
    } else if (argument == "--csv") {
      options.csv_folder = folder_after(arguments, i);
    } else if (argument == "--plot") {
      options.plot_folder = folder_after(arguments, i);
    } else if (argument.size() > 1 && argument[0] == '-') {
      throw UsageError("unknown option " + argument);
    } else {
      files.push_back(argument);
    }
  }
  if (options.show_help) {
    return options;
  }
  if (files.size() != 1) {
    throw UsageError(files.empty() ? "name the results file to read"
                                   : "give one results file, not " + std::to_string(files.size()));
  }
  if (options.csv_folder && options.plot_folder && *options.csv_folder != *options.plot_folder) {
    throw UsageError(
        "--plot writes its tables beside the figures; give --csv and --plot the same "
        "folder, or only --plot");
  }
  options.results_path = files.front();
  return options;
}

}  // namespace parasim::report_tool
