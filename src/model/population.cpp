#include "model/population.hpp"

#include <algorithm>

namespace parasim::model {

Population::Population(std::int32_t genome_size)
    : genome_size_(genome_size),
      words_per_genome_(species::words_for_loci(static_cast<std::size_t>(genome_size))) {}

void Population::reserve(std::size_t rows) {
  if (rows <= species_id_.size()) {
    return;
  }
  // Room for a whole row is made in every column before the row count changes, so the
  // columns never disagree about the number of rows they hold.
  genomes_.resize(rows * words_per_genome_);
  species_id_.resize(rows);
  phenotype_.resize(rows);
  host_id_.resize(rows);
}

void Population::resize(std::size_t rows) {
  reserve(rows);
  size_ = rows;
}

void Population::copy_row(std::size_t to, const Population& source, std::size_t from) {
  std::copy_n(source.genome(from), words_per_genome_, genome(to));
  species_id_[to] = source.species_id_[from];
  phenotype_[to] = source.phenotype_[from];
  host_id_[to] = source.host_id_[from];
}

}  // namespace parasim::model
