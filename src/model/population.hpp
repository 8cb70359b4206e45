#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "species/packed_genomes.hpp"

namespace parasim::model {

// Parasite records, one row per parasite, stored column by column: the genome as
// bits (see species::PackedGenomes), the species label, the phenotype (loci set to
// 1, divided by 10) and the host (1 ... host_count).
//
// Rows are kept in buffers that only grow, so a run allocates when its population
// reaches a new size and not in every generation.
class Population {
 public:
  Population() = default;
  explicit Population(std::int32_t genome_size);

  std::size_t size() const { return size_; }
  std::int32_t genome_size() const { return genome_size_; }
  std::size_t words_per_genome() const { return words_per_genome_; }

  // Makes room for rows [0, rows) and sets the row count to rows. Existing rows keep
  // their content; new rows are undefined until written. Throws std::bad_alloc (or
  // std::length_error) when memory runs out; the caller names the array.
  void resize(std::size_t rows);
  // Makes room for rows without changing the row count.
  void reserve(std::size_t rows);

  std::uint64_t* genome(std::size_t row) { return genomes_.data() + row * words_per_genome_; }
  const std::uint64_t* genome(std::size_t row) const {
    return genomes_.data() + row * words_per_genome_;
  }
  bool locus(std::size_t row, std::int32_t locus) const {
    const auto l = static_cast<std::size_t>(locus);
    return (genome(row)[l / 64] >> (l % 64)) & 1u;
  }

  std::int32_t& species_id(std::size_t row) { return species_id_[row]; }
  std::int32_t species_id(std::size_t row) const { return species_id_[row]; }
  double& phenotype(std::size_t row) { return phenotype_[row]; }
  double phenotype(std::size_t row) const { return phenotype_[row]; }
  std::int32_t& host_id(std::size_t row) { return host_id_[row]; }
  std::int32_t host_id(std::size_t row) const { return host_id_[row]; }

  // Copies a whole record from row `from` of source into row `to` of this population.
  void copy_row(std::size_t to, const Population& source, std::size_t from);

  species::PackedGenomes packed_genomes() const {
    return {genomes_.data(), words_per_genome_, size_};
  }
  std::span<std::int32_t> species_ids() { return {species_id_.data(), size_}; }
  std::span<const std::int32_t> species_ids() const { return {species_id_.data(), size_}; }
  std::span<const std::int32_t> host_ids() const { return {host_id_.data(), size_}; }

 private:
  std::int32_t genome_size_ = 0;
  std::size_t words_per_genome_ = 0;
  std::size_t size_ = 0;
  std::vector<std::uint64_t> genomes_;
  std::vector<std::int32_t> species_id_;
  std::vector<double> phenotype_;
  std::vector<std::int32_t> host_id_;
};

// The phenotype of a genome with `ones` loci set to 1: the double nearest to ones / 10.
inline double phenotype_of(std::int64_t ones) { return static_cast<double>(ones) / 10.0; }

}  // namespace parasim::model
