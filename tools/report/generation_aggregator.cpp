#include "generation_aggregator.hpp"

#include <algorithm>
#include <string>
#include <utility>

#include "report_errors.hpp"

namespace parasim::report_tool {
namespace {

std::string real_text(TenThousandths value) {
  std::string text;
  append_real(text, value);
  return text;
}

}  // namespace

std::size_t GenerationAggregator::PointKeyHash::operator()(const PointKey& key) const {
  const auto phenotype = static_cast<std::uint64_t>(key.phenotype);
  const auto species = static_cast<std::uint64_t>(key.species_id);
  return std::hash<std::uint64_t>{}(phenotype * 0x9e3779b97f4a7c15ULL ^ species);
}

GenerationAggregator::GenerationAggregator(std::vector<GenerationObserver*> observers)
    : observers_(std::move(observers)) {}

void GenerationAggregator::take(const ResultsRecord& record, std::uint64_t line) {
  if (!has_generation_ || record.generation != tally_.generation) {
    start_generation(record, line);
  }
  if (tally_.hosts.empty() || record.host_id != tally_.hosts.back().host_id) {
    start_host(record, line);
  }
  HostTally& host = tally_.hosts.back();
  if (record.host_phenotype != host.host_phenotype) {
    throw MalformedResults(line, "host " + std::to_string(record.host_id) + " has phenotype " +
                                     real_text(record.host_phenotype) + " here but " +
                                     real_text(host.host_phenotype) +
                                     " on the lines before; a host keeps its phenotype");
  }
  ++host.load;
  tally_.phenotypes.add(record.phenotype);

  SpeciesState& species = species_state(record.species_id);
  species.tally.phenotypes.add(record.phenotype);
  if (species.last_host != record.host_id) {
    species.last_host = record.host_id;
    ++species.tally.hosts_occupied;
    host.species_present.push_back(record.species_id);
  }
  ++points_[PointKey{record.phenotype, record.species_id}];
}

void GenerationAggregator::end_of_records() {
  if (has_generation_) {
    finish_generation();
  }
  for (GenerationObserver* observer : observers_) {
    observer->results_done();
  }
}

void GenerationAggregator::start_generation(const ResultsRecord& record, std::uint64_t line) {
  if (has_generation_) {
    if (record.generation < tally_.generation) {
      throw MalformedResults(line, "generation " + std::to_string(record.generation) +
                                       " comes after generation " +
                                       std::to_string(tally_.generation) +
                                       "; generations must come in increasing order");
    }
    finish_generation();
  }
  has_generation_ = true;
  tally_.generation = record.generation;
  tally_.first_line = line;
}

void GenerationAggregator::start_host(const ResultsRecord& record, std::uint64_t line) {
  if (!tally_.hosts.empty() && record.host_id < tally_.hosts.back().host_id) {
    throw MalformedResults(line, "host " + std::to_string(record.host_id) + " comes after host " +
                                     std::to_string(tally_.hosts.back().host_id) +
                                     " in generation " + std::to_string(tally_.generation) +
                                     "; a generation lists its parasites host by host, "
                                     "in increasing host order");
  }
  const auto [seen, first_time] =
      host_phenotypes_.try_emplace(record.host_id, HostPhenotypeSeen{record.host_phenotype, line});
  if (!first_time && seen->second.host_phenotype != record.host_phenotype) {
    throw MalformedResults(line, "host " + std::to_string(record.host_id) + " has phenotype " +
                                     real_text(record.host_phenotype) + " here but " +
                                     real_text(seen->second.host_phenotype) + " on line " +
                                     std::to_string(seen->second.line) +
                                     "; a host keeps its phenotype for the whole run");
  }
  HostTally host;
  host.host_id = record.host_id;
  host.host_phenotype = record.host_phenotype;
  tally_.hosts.push_back(std::move(host));
}

GenerationAggregator::SpeciesState& GenerationAggregator::species_state(std::int64_t species_id) {
  // Neighbouring records mostly share a species; skip the hash lookup for them.
  if (cached_species_ == nullptr || cached_species_id_ != species_id) {
    SpeciesState& state = species_[species_id];
    state.tally.species_id = species_id;
    cached_species_id_ = species_id;
    cached_species_ = &state;
  }
  return *cached_species_;
}

void GenerationAggregator::finish_generation() {
  for (HostTally& host : tally_.hosts) {
    std::sort(host.species_present.begin(), host.species_present.end());
  }
  for (const auto& [id, state] : species_) {
    tally_.species.push_back(state.tally);
  }
  std::sort(
      tally_.species.begin(), tally_.species.end(),
      [](const SpeciesTally& a, const SpeciesTally& b) { return a.species_id < b.species_id; });
  for (const auto& [key, count] : points_) {
    tally_.points.push_back(PhenotypePoint{key.phenotype, key.species_id, count});
  }
  std::sort(tally_.points.begin(), tally_.points.end(),
            [](const PhenotypePoint& a, const PhenotypePoint& b) {
              return std::pair(a.species_id, a.phenotype) < std::pair(b.species_id, b.phenotype);
            });

  for (GenerationObserver* observer : observers_) {
    observer->generation_done(tally_);
  }

  tally_ = GenerationTally{};
  species_.clear();
  cached_species_ = nullptr;
  points_.clear();
}

}  // namespace parasim::report_tool
