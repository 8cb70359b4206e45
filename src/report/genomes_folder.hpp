#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace parasim::genomes {

// Where the genomes of a generation go: folder/genomes-GGGGGG.vcf.gz (six digits at least).
std::string genomes_file_path(const std::string& folder, std::int32_t generation);

// Whether a file in the genomes folder is one a run makes there: genomes-G.vcf.gz, its index
// genomes-G.vcf.gz.tbi or its sample table genomes-G.samples.tsv, for any generation G.
bool is_genomes_file_name(std::string_view name);

}  // namespace parasim::genomes
