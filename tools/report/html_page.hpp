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
#include "report/placed_file.hpp"
#include "results_reader.hpp"

namespace parasim::report_tool {

// The web page of a run (--html). parasim-report writes the tables the page shows into a staging
// folder beside the page (report::StagedFiles); the page module (parasim_report.page) builds the
// page there from them, with the run record, and the page alone is put in place once it is
// whole. The staging folder goes when the page is done or given up.
class HtmlPage {
 public:
  // Checks that the page names a file and that the record can be read, and makes the staging
  // folder; the page, which the caller has checked as a target (report::OutputTargets), is
  // never put over one of `inputs`. Throws ReportIoError, report::TargetRefused or
  // report::OutputFailure.
  // plotly_src: the page links plotly.js from there instead of holding it inside.
  HtmlPage(std::filesystem::path page, std::optional<std::filesystem::path> record,
           std::optional<std::string> plotly_src, std::vector<std::string> inputs);
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
  std::optional<std::string> plotly_src_;
  std::optional<report::StagedFiles> staging_;
  std::filesystem::path work_folder_;
  std::optional<CsvTables> tables_;
  std::optional<HostPointTable> points_;
};

}  // namespace parasim::report_tool
