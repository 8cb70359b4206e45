#pragma once

#include <cstdint>
#include <string>

#include "model/population.hpp"
#include "report/placed_file.hpp"
#include "species/species_history.hpp"

namespace parasim::genomes {

// Writes the genome of every parasite as a bgzipped VCF with its tabix index (path + ".tbi")
// and a table of its samples beside it (samples_path_for(path)), as the population stands
// right after the labelling of `generation`:
// - one contig, "genome", with one record per locus (position = locus number, 1 ... genome
//   size), REF "A" for locus value 0 and ALT "T" for 1 (not "0" and "1", which PLINK reads as
//   missing), also where every parasite carries the same value;
// - one haploid sample per parasite, in population order, named
//   r<row>_s<species>_l<label>_h<host>: its row (counted from 0), its species (the number of the
//   species history), its species label (the species column of the results file) and its host;
// - the sample table: sample, row, species, label, host, phenotype; tab-separated, with a
//   header line.
// The three files are checked as targets first (report::OutputTargets: absent or regular
// files), written in a staging folder beside them and put in place together, the VCF last, so
// that no partial file ever stands under a final name and whoever sees the VCF finds its index
// and sample table. Throws report::TargetRefused, or report::OutputFailure naming the final
// file.
void write_genomes_vcf(const std::string& path, std::int32_t generation,
                       const model::Population& population, const species::SpeciesHistory& history);

// The three files write_genomes_vcf makes for path, as targets of a call.
void add_genomes_targets(report::OutputTargets& targets, const std::string& path);

// The sample table beside a VCF: its name with ".vcf.gz" (or ".vcf") replaced by
// ".samples.tsv", or with ".samples.tsv" appended when it has neither ending.
std::string samples_path_for(const std::string& vcf_path);

// The sample name of a parasite: r<row>_s<species>_l<label>_h<host>.
std::string sample_name(std::size_t row, std::int32_t species, std::int32_t label,
                        std::int32_t host);

}  // namespace parasim::genomes
