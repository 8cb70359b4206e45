#include "report_command.hpp"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <new>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "command_line.hpp"
#include "csv_tables.hpp"
#include "generation_aggregator.hpp"
#include "history_report.hpp"
#include "html_page.hpp"
#include "input_file.hpp"
#include "plot_runner.hpp"
#include "report/history_layout.hpp"
#include "report/placed_file.hpp"
#include "report_errors.hpp"
#include "report_folder_files.hpp"
#include "results_history_match.hpp"
#include "results_reader.hpp"
#include "run_mark.hpp"
#include "summary_writer.hpp"

namespace parasim::report_tool {
namespace {

// counts: when given, keeps the counts of each report for the history read after.
void report_results(const std::string& path, const std::optional<std::string>& table_folder,
                    HtmlPage* page, ReportedCounts* counts, std::ostream& out) {
  const InputFile results(path);
  SummaryWriter summary(out, path);
  std::optional<CsvTables> tables;
  std::vector<GenerationObserver*> observers{&summary};
  if (counts) {
    observers.push_back(counts);
  }
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

// The files the report reads and that are there: the results file, the history's files, the
// record. No output may be one of them. (One that is missing or is no file is left to its
// reader, which says so in its own words.)
std::vector<std::pair<std::string, std::string>> report_inputs(const ReportOptions& options) {
  std::vector<std::pair<std::string, std::string>> named;
  if (options.results_path) {
    named.emplace_back("the results file", *options.results_path);
  }
  if (options.history_folder) {
    for (const std::string_view name : report::history_file_names) {
      named.emplace_back("the history's " + std::string(name),
                         (std::filesystem::path(*options.history_folder) / name).string());
    }
  }
  if (options.record_file) {
    named.emplace_back("the run record", *options.record_file);
  }
  std::vector<std::pair<std::string, std::string>> inputs;
  for (auto& input : named) {
    std::error_code error;
    if (std::filesystem::is_regular_file(input.second, error)) {
      inputs.push_back(std::move(input));
    }
  }
  return inputs;
}

// Every output against the rule for outputs and against every input, before anything is read.
void check_targets(const ReportOptions& options,
                   const std::vector<std::pair<std::string, std::string>>& inputs) {
  report::OutputTargets targets;
  for (const auto& [role, path] : inputs) {
    targets.add_input(role, path);
  }
  if (options.html_file) {
    targets.add_file("the page", *options.html_file);
  }
  if (options.plot_folder || options.csv_folder) {
    targets.add_folder(options.plot_folder ? "the figures folder" : "the tables folder",
                       options.plot_folder ? *options.plot_folder : *options.csv_folder,
                       report::any_of_names(report_folder_files()));
  }
  targets.check();
}

void report(const ReportOptions& options, const PlotTools& plot_tools, std::ostream& out) {
  const std::optional<std::string>& output_folder =
      options.plot_folder ? options.plot_folder : options.csv_folder;
  const auto inputs = report_inputs(options);
  check_targets(options, inputs);
  std::vector<std::string> input_paths;
  for (const auto& input : inputs) {
    input_paths.push_back(input.second);
  }
  std::optional<HtmlPage> page;
  if (options.html_file) {
    page.emplace(*options.html_file, options.record_file, options.plotly_src, input_paths);
  }
  if (options.record_file && options.history_folder) {
    check_record_of_history(*options.record_file, *options.history_folder);
  }
  std::optional<report::StagedFiles> outputs;
  std::optional<std::string> table_folder;
  if (output_folder) {
    table_folder = outputs
                       .emplace(options.plot_folder ? "the figures folder" : "the tables folder",
                                *output_folder, input_paths)
                       .staging();
  }
  // A results file and a history given together must be of one run.
  std::optional<ReportedCounts> reported_counts;
  if (options.results_path && options.history_folder) {
    reported_counts.emplace(*options.results_path);
  }
  if (options.results_path) {
    report_results(*options.results_path, table_folder, page ? &*page : nullptr,
                   reported_counts ? &*reported_counts : nullptr, out);
  }
  if (options.history_folder) {
    if (options.results_path) {
      out << '\n';
    }
    std::optional<std::filesystem::path> history_tables;
    if (table_folder) {
      history_tables = *table_folder;
    }
    report_history(*options.history_folder, history_tables, options.min_size, out,
                   reported_counts ? &*reported_counts : nullptr);
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
    outputs->commit_all();
  }
}

// A file the report could not put in place, worded as parasim words it.
std::string output_failure_text(const report::OutputFailure& failure) {
  using Operation = report::OutputFailure::Operation;
  const std::string file = "\"" + failure.path() + "\"";
  std::string what;
  switch (failure.operation()) {
    case Operation::make_folder:
      what = "cannot make the folder " + file;
      break;
    case Operation::use_folder:
      what = "cannot write files in the folder " + file;
      break;
    case Operation::put_in_place:
      what = "cannot put " + file + " in place";
      break;
    case Operation::close:
      what = "cannot close " + file;
      break;
    default:
      what = "cannot write to " + file;
      break;
  }
  return failure.error() != 0 ? what + ": " + std::strerror(failure.error()) : what;
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
  } catch (const RecordRefused& error) {
    out.flush();
    err << "parasim-report: " << error.what() << '\n';
    return exit_usage_or_io;
  } catch (const ReportIoError& error) {
    out.flush();
    err << "parasim-report: " << error.what() << '\n';
    return exit_usage_or_io;
  } catch (const report::TargetRefused& refused) {
    out.flush();
    err << "parasim-report: cannot use \"" << refused.path() << "\" as " << refused.role() << ": "
        << refused.what() << '\n';
    return exit_usage_or_io;
  } catch (const report::OutputFailure& failure) {
    out.flush();
    err << "parasim-report: " << output_failure_text(failure) << '\n';
    return exit_usage_or_io;
  } catch (const std::bad_alloc&) {
    err << "parasim-report: out of memory\n";
    return exit_usage_or_io;
  }
}

}  // namespace parasim::report_tool
