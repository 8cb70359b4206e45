#include "report_command.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <optional>

#include "command_line.hpp"
#include "csv_tables.hpp"
#include "generation_aggregator.hpp"
#include "plot_runner.hpp"
#include "report_errors.hpp"
#include "results_reader.hpp"
#include "summary_writer.hpp"

namespace parasim::report_tool {
namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using OpenFile = std::unique_ptr<std::FILE, FileCloser>;

OpenFile open_results(const std::string& path) {
  OpenFile file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    throw ReportIoError("cannot open " + path + ": " + std::strerror(errno));
  }
  return file;
}

void report(const ReportOptions& options, const PlotTools& plot_tools, std::ostream& out) {
  OpenFile file = open_results(options.results_path);
  const ByteSource source = [&](char* dest, std::size_t size) {
    const std::size_t got = std::fread(dest, 1, size, file.get());
    if (got == 0 && std::ferror(file.get())) {
      throw ReportIoError("cannot read " + options.results_path + ": " + std::strerror(errno));
    }
    return got;
  };

  const std::optional<std::string>& table_folder =
      options.plot_folder ? options.plot_folder : options.csv_folder;
  SummaryWriter summary(out, options.results_path);
  std::optional<CsvTables> tables;
  std::vector<GenerationObserver*> observers{&summary};
  if (table_folder) {
    observers.push_back(&tables.emplace(*table_folder));
  }
  GenerationAggregator aggregator(observers);
  read_results(source, aggregator);

  if (options.plot_folder) {
    out.flush();
    run_plot_script(plot_tools.python, plot_tools.script, *options.plot_folder);
  }
}

}  // namespace

int run_report_command(const std::vector<std::string>& arguments, const PlotTools& plot_tools,
                       std::ostream& out, std::ostream& err) {
  std::string results_path;
  try {
    const ReportOptions options = parse_command_line(arguments);
    results_path = options.results_path;
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
