#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "generation_tally.hpp"
#include "results_reader.hpp"

namespace parasim::report_tool {

// Gathers the records of each generation into a GenerationTally and hands it to the observers.
// It keeps one generation at a time, plus the phenotype of every host seen, so its memory does not
// grow with the length of the file.
//
// It also checks the order the run writes: generations in increasing order, each in one block,
// and within it the parasites grouped by host in increasing host order; and a host keeps its
// phenotype for the whole run. A record that breaks this throws MalformedResults.
class GenerationAggregator : public RecordConsumer {
 public:
  explicit GenerationAggregator(std::vector<GenerationObserver*> observers);

  void take(const ResultsRecord& record, std::uint64_t line) override;
  void end_of_records() override;

 private:
  struct SpeciesState {
    SpeciesTally tally;
    std::int64_t last_host = 0;  // hosts come in blocks, so a new host here is a newly occupied one
  };
  struct PointKey {
    TenThousandths phenotype;
    std::int64_t species_id;
    bool operator==(const PointKey&) const = default;
  };
  struct PointKeyHash {
    std::size_t operator()(const PointKey& key) const;
  };
  struct HostPhenotypeSeen {
    TenThousandths host_phenotype;
    std::uint64_t line;
  };

  void start_generation(const ResultsRecord& record, std::uint64_t line);
  void start_host(const ResultsRecord& record, std::uint64_t line);
  SpeciesState& species_state(std::int64_t species_id);
  void finish_generation();

  std::vector<GenerationObserver*> observers_;
  GenerationTally tally_;
  bool has_generation_ = false;
  std::unordered_map<std::int64_t, SpeciesState> species_;
  std::int64_t cached_species_id_ = 0;
  SpeciesState* cached_species_ = nullptr;
  std::unordered_map<PointKey, std::uint64_t, PointKeyHash> points_;
  std::unordered_map<std::int64_t, HostPhenotypeSeen> host_phenotypes_;
};

}  // namespace parasim::report_tool
