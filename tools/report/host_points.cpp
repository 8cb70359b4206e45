#include "host_points.hpp"

#include <algorithm>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "report_folder_files.hpp"

namespace parasim::report_tool {

std::size_t HostPointTable::KeyHash::operator()(const Key& key) const {
  const auto species = static_cast<std::uint64_t>(key.species_id);
  const auto phenotype = static_cast<std::uint64_t>(key.phenotype);
  const auto host = static_cast<std::uint64_t>(key.host_id);
  return std::hash<std::uint64_t>{}(
      (species * 0x9e3779b97f4a7c15ULL ^ phenotype) * 0xc2b2ae3d27d4eb4fULL ^ host);
}

HostPointTable::HostPointTable(const std::filesystem::path& path, RecordConsumer& next)
    : next_(next), table_(path, host_points_table.header) {}

void HostPointTable::take(const ResultsRecord& record, std::uint64_t line) {
  next_.take(record, line);
  if (record.generation != generation_) {
    write_generation();
    generation_ = record.generation;
  }
  ++counts_[Key{record.species_id, record.phenotype, record.host_id}];
}

void HostPointTable::end_of_records() {
  next_.end_of_records();
  write_generation();
  table_.close();
}

void HostPointTable::write_generation() {
  std::vector<std::pair<Key, std::uint64_t>> groups(counts_.begin(), counts_.end());
  std::sort(groups.begin(), groups.end(), [](const auto& a, const auto& b) {
    return std::tie(a.first.species_id, a.first.phenotype, a.first.host_id) <
           std::tie(b.first.species_id, b.first.phenotype, b.first.host_id);
  });
  const std::string generation = std::to_string(generation_) + ',';
  for (const auto& [key, count] : groups) {
    std::string& row = table_.row();
    row += generation;
    row += std::to_string(key.species_id);
    row += ',';
    append_real(row, key.phenotype);
    row += ',';
    row += std::to_string(key.host_id);
    row += ',';
    row += std::to_string(count);
    table_.end_row();
  }
  counts_.clear();
}

}  // namespace parasim::report_tool
