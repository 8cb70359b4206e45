#include "html_page.hpp"

#include <fstream>
#include <ostream>
#include <streambuf>
#include <utility>

#include "history_report.hpp"
#include "plot_runner.hpp"
#include "report_errors.hpp"
#include "report_folder_files.hpp"

namespace parasim::report_tool {
namespace {

std::filesystem::path folder_of(const std::filesystem::path& file) {
  return file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
}

// Takes whatever is written and keeps nothing, and stays good, unlike a stream without a buffer.
class DiscardingBuffer : public std::streambuf {
 protected:
  int_type overflow(int_type c) override { return traits_type::not_eof(c); }
  std::streamsize xsputn(const char*, std::streamsize count) override { return count; }
};

}  // namespace

HtmlPage::HtmlPage(std::filesystem::path page, std::optional<std::filesystem::path> record,
                   std::optional<std::string> plotly_src, std::vector<std::string> inputs)
    : page_(std::move(page)), record_(std::move(record)), plotly_src_(std::move(plotly_src)) {
  if (record_) {
    std::ifstream readable(*record_);
    if (!std::filesystem::is_regular_file(*record_) || !readable) {
      throw ReportIoError("cannot read the run record " + record_->string());
    }
  }
  // The tables and the page are made in a staging folder beside the page, from which the page
  // alone is put in place.
  staging_.emplace("the page's folder", folder_of(page_).string(), std::move(inputs));
  work_folder_ = staging_->staging();
}

HtmlPage::~HtmlPage() {
  points_.reset();
  tables_.reset();
}

void HtmlPage::observe_results(std::vector<GenerationObserver*>& observers) {
  observers.push_back(&tables_.emplace(work_folder_));
}

RecordConsumer& HtmlPage::results_consumer(RecordConsumer& aggregator) {
  return points_.emplace(work_folder_ / host_points_table.file, aggregator);
}

void HtmlPage::add_history(const std::filesystem::path& folder, std::int64_t min_size) {
  DiscardingBuffer discarded;
  std::ostream no_summary(&discarded);
  report_history(folder, work_folder_, min_size, no_summary);
}

void HtmlPage::write(const PlotTools& tools, const std::optional<std::string>& results_name,
                     const std::optional<std::string>& history_name) {
  const std::string name = page_.filename().string();
  std::vector<std::string> arguments{work_folder_.string(), "--out", staging_->staged(name)};
  if (results_name) {
    arguments.insert(arguments.end(), {"--results", *results_name});
  }
  if (history_name) {
    arguments.insert(arguments.end(), {"--history", *history_name});
  }
  if (record_) {
    arguments.insert(arguments.end(), {"--record", record_->string()});
  }
  if (plotly_src_) {
    arguments.insert(arguments.end(), {"--plotly-src", *plotly_src_});
  }
  run_report_module(tools, "page", arguments, "page");
  staging_->commit({name});
}

}  // namespace parasim::report_tool
