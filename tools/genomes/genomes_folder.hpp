#pragma once

#include <cstdint>
#include <string>

namespace parasim::genomes {

// The folder that receives a run's genomes, made when missing (its parent must exist) and
// checked to take new files. Called before the run's results file is opened, so that a folder
// that cannot serve refuses the run with nothing changed. Throws report::OutputFailure.
void prepare_genomes_folder(const std::string& folder);

// Where the genomes of a generation go: folder/genomes-GGGGGG.vcf.gz (six digits at least).
std::string genomes_file_path(const std::string& folder, std::int32_t generation);

}  // namespace parasim::genomes
