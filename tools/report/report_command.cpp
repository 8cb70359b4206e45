#include "report_command.hpp"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <new>
#include <optional>

#include "command_line.hpp"
#include "csv_tables.hpp"
#include "generation_aggregator.hpp"
#include "history_report.hpp"
#include "html_page.hpp"
#include "input_file.hpp"
#include "output_set.hpp"
#include "report/history_layout.hpp"
#include "plot_runner.hpp"
#include "report_errors.hpp"
#include "results_reader.hpp"
#include "summary_writer.hpp"

namespace parasim::report_tool {
namespace {

void report_results(const std::string& path, const std::optional<std::string>& table_folder,
                    HtmlPage* page, std::ostream& out) {
  const InputFile results(path);
  SummaryWriter summary(out, path);
  std::optional<CsvTables> tables;
  std::vector<GenerationObserver*> observers{&summary};
  if (table_folder) {
    observers.push_back(&tables.emplace(*table_folder));
  }
  if (page) {
    page->observe_results(observers);
  }
  GenerationAggregator aggregator(observers);
  read_results(results.source(), page ? page->results_consumer(aggregator) : aggregator);
}

// The summary goes to out; a failure to write it (a full disk behind standard output) is a
// failed report.
void check_written(std::ostream& out) {
  out.flush();
  if (!out) {
    throw ReportIoError(std::string("cannot write the summary to standard output") +
                        (errno != 0 ? std::string(": ") + std::strerror(errno) : ""));
  }
}

void report(const ReportOptions& options, const PlotTools& plot_tools, std::ostream& out) {
  const std::optional<std::string>& output_folder =
      options.plot_folder ? options.plot_folder : options.csv_folder;
  std::optional<HtmlPage> page;
  if (options.html_file) {
    std::vector<std::filesystem::path> inputs;
    if (options.results_path) {
      inputs.emplace_back(*options.results_path);
    }
    if (options.history_folder) {
      inputs.push_back(std::filesystem::path(*options.history_folder) /
                       report::history_species_file);
      inputs.push_back(std::filesystem::path(*options.history_folder) /
                       report::history_abundance_file);
    }
    page.emplace(*options.html_file, options.record_file, inputs);
  }
  std::optional<OutputSet> outputs;
  std::optional<std::string> table_folder;
  if (output_folder) {
    table_folder = outputs.emplace(*output_folder).staging().string();
  }
  if (options.results_path) {
    report_results(*options.results_path, table_folder, page ? &*page : nullptr, out);
  }
  if (options.history_folder) {
    if (options.results_path) {
      out << '\n';
    }
    std::optional<std::filesystem::path> history_tables;
    if (table_folder) {
      history_tables = *table_folder;
    }
    report_history(*options.history_folder, history_tables, options.min_size, out);
    if (page) {
      page->add_history(*options.history_folder, options.min_size);
    }
  }
  if (options.plot_folder) {
    out.flush();
    FigureSets sets;
    sets.results = options.results_path.has_value();
    sets.history = options.history_folder.has_value();
    run_plot_script(plot_tools, *table_folder, sets);
  }
  check_written(out);
  // The page before the tables: a page that fails leaves the folder's earlier tables.
  if (page) {
    page->write(plot_tools, options.results_path, options.history_folder);
  }
  if (outputs) {
    outputs->commit();
  }
}

}  // namespace

int run_report_command(const std::vector<std::string>& arguments, const PlotTools& plot_tools,
                       std::ostream& out, std::ostream& err) {
  std::string results_path;
  try {
    const ReportOptions options = parse_command_line(arguments);
    results_path = options.results_path.value_or("");
    if (options.show_help) {
      out << usage_text;
      return exit_done;
    }
    report(options, plot_tools, out);
    return exit_done;
  } catch (const UsageError& error) {
    err << "parasim-report: " << error.what() << "\n\n" << usage_text;
    return exit_usage_or_io;
  } catch (const MalformedResults& error) {
    out.flush();
    // The file as it was named on the command line, so the message points where the user looks.
    err << results_path << ':' << error.line() << ": " << error.what() << '\n';
    return exit_malformed_results;
  } catch (const MalformedHistory& error) {
    out.flush();
    err << error.file() << ':' << error.line() << ": " << error.what() << '\n';
    return exit_malformed_results;
  } catch (const ReportIoError& error) {
    out.flush();
    err << "parasim-report: " << error.what() << '\n';
    return exit_usage_or_io;
  } catch (const std::bad_alloc&) {
    err << "parasim-report: out of memory\n";
    return exit_usage_or_io;
  }
}

}  // namespace parasim::report_tool
