#pragma once

#include <cstdint>
#include <string>

#include "model/generation_driver.hpp"

namespace parasim::app {

// Writes the genomes of all parasites, with their species and hosts, as a VCF in a folder at
// generation 1 and every `every`-th generation, right after the labelling (the moment the
// results file reports): folder/genomes-GGGGGG.vcf.gz with its index and sample table.
class GenomesObserver : public model::GenerationObserver {
 public:
  GenomesObserver(std::string folder, std::int32_t every)
      : folder_(std::move(folder)), every_(every) {}

  void after_labelling(const model::Simulation& simulation) override;

 private:
  std::string folder_;
  std::int32_t every_;
};

}  // namespace parasim::app
