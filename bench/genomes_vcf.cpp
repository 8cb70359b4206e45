// Times the writing of one generation's genomes as a bgzipped, indexed VCF: a population of
// PARASITES parasites with genomes of LOCI loci (default 50,000 and 1,000) spread over ten
// hosts and twenty species labels, written REPEATS times (default 3) to FOLDER. Two kinds of
// population: "random" (every locus 0 or 1 with even odds: the least compressible) and
// "related" (one founder genome, each locus then flipped with probability 0.02: closer to a
// run's population). Prints, per kind, the fastest and slowest wall time and the size of the
// VCF.
//
//   genomes_vcf FOLDER [PARASITES [LOCI [REPEATS]]]
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "model/population.hpp"
#include "random/generator.hpp"
#include "report/genomes_vcf.hpp"
#include "species/species_history.hpp"

namespace {

using parasim::model::Population;

Population make_population(std::size_t parasites, std::int32_t loci, double flip) {
  parasim::random::Generator generator({0x12345678u, 0x9abcdef0u, 0x0fedcba9u, 0x87654321u});
  Population population(loci);
  population.resize(parasites);
  std::vector<bool> founder(static_cast<std::size_t>(loci));
  for (std::size_t l = 0; l < founder.size(); ++l) {
    founder[l] = generator.uniform_deviate() < 0.5;
  }
  for (std::size_t row = 0; row < parasites; ++row) {
    std::uint64_t* genome = population.genome(row);
    std::fill(genome, genome + population.words_per_genome(), 0);
    std::int64_t ones = 0;
    for (std::int32_t l = 0; l < loci; ++l) {
      const bool value =
          founder[static_cast<std::size_t>(l)] != (generator.uniform_deviate() < flip);
      if (value) {
        genome[l / 64] |= std::uint64_t{1} << (l % 64);
        ++ones;
      }
    }
    population.phenotype(row) = parasim::model::phenotype_of(ones);
    population.host_id(row) = static_cast<std::int32_t>(row * 10 / parasites) + 1;
    population.species_id(row) = static_cast<std::int32_t>(row % 20) + 1;
  }
  return population;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: genomes_vcf FOLDER [PARASITES [LOCI [REPEATS]]]\n");
    return 2;
  }
  const std::string folder = argv[1];
  const std::size_t parasites = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 50000;
  const auto loci = static_cast<std::int32_t>(argc > 3 ? std::atoi(argv[3]) : 1000);
  const int repeats = argc > 4 ? std::atoi(argv[4]) : 3;
  ::mkdir(folder.c_str(), 0777);

  const struct {
    const char* name;
    double flip;
  } kinds[] = {{"random", 0.5}, {"related", 0.02}};
  std::printf("%-8s %10s %6s %9s %9s %9s\n", "kind", "parasites", "loci", "fastest_s", "slowest_s",
              "vcf_MB");
  for (const auto& kind : kinds) {
    const Population population = make_population(parasites, loci, kind.flip);
    std::vector<std::int32_t> labels(population.species_ids().begin(),
                                     population.species_ids().end());
    parasim::species::SpeciesHistory history;
    history.record_labelling(1, {}, labels, population.host_ids());
    const std::string path = folder + "/genomes-" + kind.name + ".vcf.gz";
    double fastest = 1e300;
    double slowest = 0.0;
    for (int i = 0; i < repeats; ++i) {
      const auto start = std::chrono::steady_clock::now();
      parasim::genomes::write_genomes_vcf(path, 1, population, history);
      const double seconds =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      fastest = std::min(fastest, seconds);
      slowest = std::max(slowest, seconds);
    }
    struct stat status {};
    ::stat(path.c_str(), &status);
    std::printf("%-8s %10zu %6d %9.2f %9.2f %9.1f\n", kind.name, parasites, loci, fastest, slowest,
                static_cast<double>(status.st_size) / 1e6);
  }
  return 0;
}
