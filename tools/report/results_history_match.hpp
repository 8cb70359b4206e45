#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "abundance_reader.hpp"
#include "generation_tally.hpp"
#include "species_table.hpp"

namespace parasim::report_tool {

// The parasites of each reported generation of a results file by label and by host, kept to be
// checked against the history of the same run. Memory grows with the reports times the labels
// and hosts of each, a small share of the file's records.
class ReportedCounts : public GenerationObserver {
 public:
  struct Report {
    std::int64_t generation = 0;
    std::uint64_t first_line = 0;
    std::vector<std::pair<std::int64_t, std::uint64_t>> labels;  // ascending label
    std::vector<std::pair<std::int64_t, std::uint64_t>> hosts;   // ascending host
  };

  explicit ReportedCounts(std::string results_name) : results_name_(std::move(results_name)) {}

  void generation_done(const GenerationTally& tally) override;
  void results_done() override {}

  const std::vector<Report>& reports() const { return reports_; }
  const std::string& results_name() const { return results_name_; }

 private:
  std::string results_name_;
  std::vector<Report> reports_;
};

// Checks, as abundance.csv is read, that a results file and a history are of one run: the
// results file reports exactly the reported generations (1 and every tenth) that the history
// reaches, each with the history's parasites by label and by host. One skew is allowed: a run
// stopped after the history of its last generation and before that generation's report leaves
// a history with one reported generation more, its last. Throws MalformedHistory at the
// history's row, or MalformedResults at the results file's line, of the first disagreement;
// both messages name the other file.
class ResultsHistoryMatch : public AbundanceObserver {
 public:
  ResultsHistoryMatch(const ReportedCounts& results, const SpeciesTable& species,
                      std::string abundance_name);

  void generation_done(const AbundanceGeneration& generation) override;
  void abundance_done() override;

 private:
  [[noreturn]] void fail_at_row(std::uint64_t line, const std::string& problem) const;
  void compare(const AbundanceGeneration& generation, const ReportedCounts::Report& report) const;

  const ReportedCounts& results_;
  const SpeciesTable& species_;
  std::string abundance_name_;
  std::size_t next_report_ = 0;
};

}  // namespace parasim::report_tool
