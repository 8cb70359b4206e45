#pragma once

#include <cstdint>
#include <filesystem>
#include <unordered_map>

#include "csv_file.hpp"
#include "record_fields.hpp"
#include "results_reader.hpp"

namespace parasim::report_tool {

// host_points.csv: the parasites of each generation grouped by species, phenotype and host,
//   generation,label,phenotype,host,count
// ordered by generation, label, phenotype, host; a results file knows its species by label only.
// The groups of points.csv split by host, which the web page names on each point.
//
// Stands in front of the consumer that checks the records (the aggregator): every record goes
// there first, so a record that breaks the format stops the reading before it is counted here.
// Written where the page's tables are staged, so it never stands half-written for the page.
class HostPointTable : public RecordConsumer {
 public:
  HostPointTable(const std::filesystem::path& path, RecordConsumer& next);

  void take(const ResultsRecord& record, std::uint64_t line) override;
  void end_of_records() override;

 private:
  struct Key {
    std::int64_t species_id;
    TenThousandths phenotype;
    std::int64_t host_id;
    bool operator==(const Key&) const = default;
  };
  struct KeyHash {
    std::size_t operator()(const Key& key) const;
  };

  void write_generation();

  RecordConsumer& next_;
  CsvFile table_;
  std::int64_t generation_ = 0;
  std::unordered_map<Key, std::uint64_t, KeyHash> counts_;
};

}  // namespace parasim::report_tool
