#include "app/genomes_observer.hpp"

#include "report/genomes_folder.hpp"
#include "report/genomes_vcf.hpp"

namespace parasim::app {

void GenomesObserver::after_labelling(const model::Simulation& simulation) {
  const std::int32_t generation = simulation.generation();
  if (generation != 1 && generation % every_ != 0) {
    return;
  }
  genomes::write_genomes_vcf(genomes::genomes_file_path(folder_, generation), generation,
                             simulation.population(), simulation.history());
}

}  // namespace parasim::app
