#include "results_history_match.hpp"

#include <algorithm>
#include <tuple>

#include "report_errors.hpp"

namespace parasim::report_tool {
namespace {

constexpr std::int64_t report_interval = 10;

bool is_reported(std::int64_t generation) {
  return generation == 1 || generation % report_interval == 0;
}

std::string parasites(std::uint64_t count) {
  return std::to_string(count) + (count == 1 ? " parasite" : " parasites");
}

// The parasites of a label or a host in one generation of the history, and the first row that
// holds them.
struct HistoryCount {
  std::int64_t key = 0;
  std::uint64_t count = 0;
  std::uint64_t line = 0;
};

// Adds up entries of equal key, sorted by key first.
std::vector<HistoryCount> summed_by_key(std::vector<HistoryCount> entries) {
  std::sort(entries.begin(), entries.end(), [](const HistoryCount& a, const HistoryCount& b) {
    return std::tie(a.key, a.line) < std::tie(b.key, b.line);
  });
  std::vector<HistoryCount> sums;
  for (const HistoryCount& entry : entries) {
    if (!sums.empty() && sums.back().key == entry.key) {
      // abundance.csv's counts add up to at most INT64_MAX, so no sum overflows.
      sums.back().count += entry.count;
    } else {
      sums.push_back(entry);
    }
  }
  return sums;
}

}  // namespace

void ReportedCounts::generation_done(const GenerationTally& tally) {
  Report report;
  report.generation = tally.generation;
  report.first_line = tally.first_line;
  report.labels.reserve(tally.species.size());
  for (const SpeciesTally& species : tally.species) {
    report.labels.emplace_back(species.species_id, species.phenotypes.count());
  }
  report.hosts.reserve(tally.hosts.size());
  for (const HostTally& host : tally.hosts) {
    report.hosts.emplace_back(host.host_id, host.load);
  }
  reports_.push_back(std::move(report));
}

ResultsHistoryMatch::ResultsHistoryMatch(const ReportedCounts& results, const SpeciesTable& species,
                                         std::string abundance_name)
    : results_(results), species_(species), abundance_name_(std::move(abundance_name)) {}

void ResultsHistoryMatch::fail_at_row(std::uint64_t line, const std::string& problem) const {
  throw MalformedHistory(abundance_name_, line,
                         problem + ": the history and the results file are not of one run");
}

void ResultsHistoryMatch::generation_done(const AbundanceGeneration& generation) {
  if (!is_reported(generation.generation)) {
    return;
  }
  const std::vector<ReportedCounts::Report>& reports = results_.reports();
  const std::uint64_t first_row = generation.rows.front().line;
  if (next_report_ < reports.size() && reports[next_report_].generation < generation.generation) {
    const ReportedCounts::Report& report = reports[next_report_];
    throw MalformedResults(report.first_line,
                           "generation " + std::to_string(report.generation) +
                               " is not a reported generation of the history in " +
                               abundance_name_ + " (1 and every tenth from " +
                               std::to_string(species_.at(1).born) + " to " +
                               std::to_string(species_.last_generation()) +
                               "): the results file and the history are not of one run");
  }
  if (next_report_ == reports.size() || reports[next_report_].generation > generation.generation) {
    if (next_report_ == reports.size() && generation.generation == species_.last_generation()) {
      return;  // the run stopped between the history of its last generation and its report
    }
    fail_at_row(first_row, "generation " + std::to_string(generation.generation) +
                               " has parasites here, but " + results_.results_name() +
                               " has no report of it");
  }
  compare(generation, reports[next_report_]);
  ++next_report_;
}

void ResultsHistoryMatch::compare(const AbundanceGeneration& generation,
                                  const ReportedCounts::Report& report) const {
  std::vector<HistoryCount> by_label;
  std::vector<HistoryCount> by_host;
  for (const AbundanceRow& row : generation.rows) {
    const auto count = static_cast<std::uint64_t>(row.count);
    by_label.push_back({species_.at(row.species).label, count, row.line});
    by_host.push_back({row.host, count, row.line});
  }
  const std::string where = results_.results_name() + " (its report of generation " +
                            std::to_string(report.generation) + " from line " +
                            std::to_string(report.first_line) + ")";
  const auto check = [&](const std::vector<HistoryCount>& history,
                         const std::vector<std::pair<std::int64_t, std::uint64_t>>& results,
                         const std::string& what) {
    auto in_history = history.begin();
    auto in_results = results.begin();
    while (in_history != history.end() || in_results != results.end()) {
      const bool history_first =
          in_results == results.end() ||
          (in_history != history.end() && in_history->key < in_results->first);
      const bool results_first =
          in_history == history.end() ||
          (in_results != results.end() && in_results->first < in_history->key);
      const std::int64_t key = history_first ? in_history->key : in_results->first;
      const std::uint64_t here = results_first ? 0 : in_history->count;
      const std::uint64_t there = history_first ? 0 : in_results->second;
      // Every count is at least 1, so a key on one side alone always differs.
      if (here != there) {
        fail_at_row(results_first ? generation.rows.front().line : in_history->line,
                    "generation " + std::to_string(generation.generation) + " has " +
                        parasites(here) + " of " + what + " " + std::to_string(key) +
                        " here, but " + std::to_string(there) + " in " + where);
      }
      ++in_history;
      ++in_results;
    }
  };
  check(summed_by_key(std::move(by_label)), report.labels, "label");
  check(summed_by_key(std::move(by_host)), report.hosts, "host");
}

void ResultsHistoryMatch::abundance_done() {
  const std::vector<ReportedCounts::Report>& reports = results_.reports();
  if (next_report_ == reports.size()) {
    return;
  }
  const ReportedCounts::Report& report = reports[next_report_];
  const std::string history_end =
      species_.empty() ? "the history in " + abundance_name_ + " holds no generation"
                       : "the history in " + abundance_name_ + " ends at generation " +
                             std::to_string(species_.last_generation());
  throw MalformedResults(report.first_line,
                         "generation " + std::to_string(report.generation) +
                             " is reported here, but " + history_end +
                             ": the results file and the history are not of one run");
}

}  // namespace parasim::report_tool
