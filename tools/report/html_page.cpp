#include "html_page.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <ostream>
#include <streambuf>
#include <system_error>
#include <utility>

#include "history_report.hpp"
#include "plot_runner.hpp"
#include "report_errors.hpp"

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
                   const std::vector<std::filesystem::path>& inputs)
    : page_(std::move(page)), record_(std::move(record)) {
  const std::filesystem::path folder = folder_of(page_);
  if (!page_.has_filename()) {
    throw ReportIoError("cannot write the page " + page_.string() + ": name a file, not a folder");
  }
  if (!std::filesystem::is_directory(folder)) {
    throw ReportIoError("cannot write the page " + page_.string() + ": the folder " +
                        folder.string() + " does not exist");
  }
  if (std::filesystem::is_directory(page_)) {
    throw ReportIoError("cannot write the page " + page_.string() + ": it is a folder");
  }
  std::vector<std::filesystem::path> read = inputs;
  if (record_) {
    read.push_back(*record_);
  }
  for (const std::filesystem::path& input : read) {
    std::error_code error;
    if (std::filesystem::equivalent(page_, input, error)) {
      throw ReportIoError("cannot write the page " + page_.string() + ": it is " + input.string() +
                          ", which the report reads");
    }
  }
  if (record_) {
    std::ifstream readable(*record_);
    if (!std::filesystem::is_regular_file(*record_) || !readable) {
      throw ReportIoError("cannot read the run record " + record_->string());
    }
  }
  // Hidden beside the page; mkdtemp makes a name no other process has.
  std::string hidden_name = ".";
  hidden_name += page_.filename().string();
  hidden_name += ".tables-XXXXXX";
  std::string pattern = (folder / hidden_name).string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw ReportIoError("cannot make a folder for the page's tables in " + folder.string() + ": " +
                        std::strerror(errno));
  }
  work_folder_ = pattern;
}

HtmlPage::~HtmlPage() {
  points_.reset();
  tables_.reset();
  std::error_code ignored;
  std::filesystem::remove_all(work_folder_, ignored);
}

void HtmlPage::observe_results(std::vector<GenerationObserver*>& observers) {
  observers.push_back(&tables_.emplace(work_folder_));
}

RecordConsumer& HtmlPage::results_consumer(RecordConsumer& aggregator) {
  return points_.emplace(work_folder_ / "host_points.csv", aggregator);
}

void HtmlPage::add_history(const std::filesystem::path& folder, std::int64_t min_size) {
  DiscardingBuffer discarded;
  std::ostream no_summary(&discarded);
  report_history(folder, work_folder_, min_size, no_summary);
}

void HtmlPage::write(const PlotTools& tools, const std::optional<std::string>& results_name,
                     const std::optional<std::string>& history_name) {
  std::vector<std::string> arguments{work_folder_.string(), "--out", page_.string()};
  if (results_name) {
    arguments.insert(arguments.end(), {"--results", *results_name});
  }
  if (history_name) {
    arguments.insert(arguments.end(), {"--history", *history_name});
  }
  if (record_) {
    arguments.insert(arguments.end(), {"--record", record_->string()});
  }
  run_report_module(tools, "page", arguments, "page");
}

}  // namespace parasim::report_tool
