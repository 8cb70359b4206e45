#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "csv_tables.hpp"
#include "generation_tally.hpp"
#include "host_points.hpp"
#include "plot_runner.hpp"
#include "results_reader.hpp"

namespace parasim::report_tool {

// The web page of a run (--html). parasim-report writes the tables the page shows into a working
// folder beside the page; the page module (parasim_report.page) builds the page from them, with
// the run record, and puts it under its name only once it is whole. The working folder goes when
// the page is done or given up.
class HtmlPage {
 public:
  // Checks, before any input is read, that the page can be written where it is named, that it
  // names none of the inputs (the record and the files given in `inputs`), which it would
  // replace, and that the record is a file that can be read; makes the working folder. Throws
  // ReportIoError.
  HtmlPage(std::filesystem::path page, std::optional<std::filesystem::path> record,
           const std::vector<std::filesystem::path>& inputs);
  ~HtmlPage();
  HtmlPage(const HtmlPage&) = delete;
  HtmlPage& operator=(const HtmlPage&) = delete;

  // The page's tables of a results file: its observers join those of the aggregator, and the
  // records reach the aggregator through results_consumer(aggregator).
  void observe_results(std::vector<GenerationObserver*>& observers);
  RecordConsumer& results_consumer(RecordConsumer& aggregator);

  // The page's tables of a history, read for them alone (nothing is written to the summary).
  void add_history(const std::filesystem::path& folder, std::int64_t min_size);

  // Builds the page. The names are those of the results file and the history as the page
  // shows them, when they were read.
  void write(const PlotTools& tools, const std::optional<std::string>& results_name,
             const std::optional<std::string>& history_name);

 private:
  std::filesystem::path page_;
  std::optional<std::filesystem::path> record_;
  std::filesystem::path work_folder_;
  std::optional<CsvTables> tables_;
  std::optional<HostPointTable> points_;
};

}  // namespace parasim::report_tool
