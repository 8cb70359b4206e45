#pragma once

#include <string>
#include <vector>

#include "model/population.hpp"

namespace parasim::model::testing {

// A parasite for tests: its loci as a string of '0' and '1', its species and host.
struct Parasite {
  std::string loci;
  std::int32_t species_id = 1;
  std::int32_t host_id = 1;
};

inline Population make_population(const std::vector<Parasite>& parasites,
                                  std::int32_t genome_size) {
  Population population(genome_size);
  population.resize(parasites.size());
  for (std::size_t row = 0; row < parasites.size(); ++row) {
    std::uint64_t* genome = population.genome(row);
    std::fill_n(genome, population.words_per_genome(), std::uint64_t{0});
    std::int64_t ones = 0;
    for (std::size_t l = 0; l < parasites[row].loci.size(); ++l) {
      if (parasites[row].loci[l] == '1') {
        genome[l / 64] |= std::uint64_t{1} << (l % 64);
        ++ones;
      }
    }
    population.species_id(row) = parasites[row].species_id;
    population.phenotype(row) = phenotype_of(ones);
    population.host_id(row) = parasites[row].host_id;
  }
  return population;
}

inline std::string loci_of(const Population& population, std::size_t row) {
  std::string loci;
  for (std::int32_t l = 0; l < population.genome_size(); ++l) {
    loci += population.locus(row, l) ? '1' : '0';
  }
  return loci;
}

}  // namespace parasim::model::testing
