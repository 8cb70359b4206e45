#include "report/genomes_vcf.hpp"

#include <htslib/hts.h>
#include <htslib/vcf.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include "report/appended_file.hpp"

namespace parasim::genomes {

namespace {

using report::OutputFailure;
using Operation = OutputFailure::Operation;

// Loci are turned into genotype columns 64 at a time, one genome word per parasite, so that
// each genome is read once per word rather than once per locus.
constexpr std::int32_t loci_per_block = 64;

struct HtsFileCloser {
  void operator()(htsFile* file) const { hts_close(file); }
};
struct HeaderFree {
  void operator()(bcf_hdr_t* header) const { bcf_hdr_destroy(header); }
};
struct RecordFree {
  void operator()(bcf1_t* record) const { bcf_destroy(record); }
};

// htslib does not always leave an error number; a failure must still say something true.
int error_number() {
  return errno != 0 ? errno : EIO;
}

void write_samples(const std::string& temporary, const std::string& final_path,
                   const model::Population& population, const species::SpeciesHistory& history) {
  std::string text = "sample\trow\tspecies\tlabel\thost\tphenotype\n";
  char phenotype[32];
  for (std::size_t row = 0; row < population.size(); ++row) {
    const std::int32_t label = population.species_id(row);
    const std::int32_t species = history.species_of_label(label);
    const std::int32_t host = population.host_id(row);
    // The shortest text that reads back to the same double.
    *std::to_chars(phenotype, phenotype + sizeof phenotype - 1, population.phenotype(row)).ptr =
        '\0';
    text += sample_name(row, species, label, host) + '\t' + std::to_string(row) + '\t' +
            std::to_string(species) + '\t' + std::to_string(label) + '\t' + std::to_string(host) +
            '\t' + phenotype + '\n';
  }
  try {
    report::AppendedFile file(temporary);
    file.append(text);
    file.close();
  } catch (const OutputFailure& failure) {
    throw OutputFailure(failure.operation(), final_path, failure.error());
  }
}

std::unique_ptr<bcf_hdr_t, HeaderFree> make_header(std::int32_t generation,
                                                   const model::Population& population,
                                                   const species::SpeciesHistory& history,
                                                   const std::string& path) {
  std::unique_ptr<bcf_hdr_t, HeaderFree> header(bcf_hdr_init("w"));
  if (!header) {
    throw OutputFailure(Operation::create, path, error_number());
  }
  const std::string lines[] = {
      "##source=parasim",
      "##parasim_generation=" + std::to_string(generation),
      "##contig=<ID=genome,length=" + std::to_string(population.genome_size()) + ">",
      "##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Locus value: 0 (REF, A) or 1 (ALT, "
      "T)\">",
  };
  for (const std::string& line : lines) {
    if (bcf_hdr_append(header.get(), line.c_str()) != 0) {
      throw OutputFailure(Operation::write, path, error_number());
    }
  }
  for (std::size_t row = 0; row < population.size(); ++row) {
    const std::int32_t label = population.species_id(row);
    const std::string name =
        sample_name(row, history.species_of_label(label), label, population.host_id(row));
    if (bcf_hdr_add_sample(header.get(), name.c_str()) != 0) {
      throw OutputFailure(Operation::write, path, error_number());
    }
  }
  if (bcf_hdr_sync(header.get()) != 0) {
    throw OutputFailure(Operation::write, path, error_number());
  }
  return header;
}

}  // namespace

void add_genomes_targets(report::OutputTargets& targets, const std::string& path) {
  targets.add_file("the genomes file", path);
  targets.add_file("the genomes file's index", path + ".tbi");
  targets.add_file("the genomes file's sample table", samples_path_for(path));
}

std::string samples_path_for(const std::string& vcf_path) {
  for (const std::string ending : {".vcf.gz", ".vcf"}) {
    if (vcf_path.size() > ending.size() &&
        vcf_path.compare(vcf_path.size() - ending.size(), ending.size(), ending) == 0) {
      return vcf_path.substr(0, vcf_path.size() - ending.size()) + ".samples.tsv";
    }
  }
  return vcf_path + ".samples.tsv";
}

std::string sample_name(std::size_t row, std::int32_t species, std::int32_t label,
                        std::int32_t host) {
  char name[80];
  std::snprintf(name, sizeof name, "r%zu_s%d_l%d_h%d", row, static_cast<int>(species),
                static_cast<int>(label), static_cast<int>(host));
  return name;
}

void write_genomes_vcf(const std::string& path, std::int32_t generation,
                       const model::Population& population,
                       const species::SpeciesHistory& history) {
  // A full disk is reported once, by the failure this throws, not by htslib on the console.
  hts_set_log_level(HTS_LOG_OFF);
  const std::filesystem::path vcf_path(path);
  const std::string index_name = vcf_path.filename().string() + ".tbi";
  const std::string samples_name =
      std::filesystem::path(samples_path_for(path)).filename().string();
  report::OutputTargets targets;
  add_genomes_targets(targets, path);
  targets.check();
  const std::string folder = vcf_path.has_parent_path() ? vcf_path.parent_path().string() : ".";
  report::StagedFiles staged("the genomes file's folder", folder);
  write_samples(staged.staged(samples_name), samples_path_for(path), population, history);

  errno = 0;
  // Compression level 1: on 50,000 genomes of 1,000 loci it writes in a fifth of the time of
  // the default level, for files about a quarter larger.
  std::unique_ptr<htsFile, HtsFileCloser> file(
      hts_open(staged.staged(vcf_path.filename().string()).c_str(), "wz1"));
  if (!file) {
    throw OutputFailure(Operation::create, path, error_number());
  }
  const auto header = make_header(generation, population, history, path);
  if (bcf_hdr_write(file.get(), header.get()) != 0) {
    throw OutputFailure(Operation::write, path, error_number());
  }
  const std::string index_path = staged.staged(index_name);
  if (bcf_idx_init(file.get(), header.get(), 0, index_path.c_str()) != 0) {
    throw OutputFailure(Operation::create, path + ".tbi", error_number());
  }

  const std::size_t n = population.size();
  const std::int32_t loci = population.genome_size();
  std::unique_ptr<bcf1_t, RecordFree> record(bcf_init());
  std::vector<std::uint8_t> block(static_cast<std::size_t>(loci_per_block) * n);
  std::vector<std::int32_t> genotypes(n);
  for (std::int32_t first = 0; first < loci; first += loci_per_block) {
    const std::int32_t count = std::min(loci_per_block, loci - first);
    const std::size_t word = static_cast<std::size_t>(first / loci_per_block);
    for (std::size_t row = 0; row < n; ++row) {
      const std::uint64_t bits = population.genome(row)[word];
      for (std::int32_t bit = 0; bit < count; ++bit) {
        block[static_cast<std::size_t>(bit) * n + row] =
            static_cast<std::uint8_t>((bits >> bit) & 1u);
      }
    }
    for (std::int32_t bit = 0; bit < count; ++bit) {
      const std::uint8_t* values = block.data() + static_cast<std::size_t>(bit) * n;
      for (std::size_t row = 0; row < n; ++row) {
        genotypes[row] = bcf_gt_unphased(values[row]);
      }
      bcf_clear(record.get());
      record->rid = 0;
      record->pos = first + bit;  // 0-based: locus first + bit + 1
      if (bcf_update_alleles_str(header.get(), record.get(), "A,T") != 0 ||
          bcf_update_genotypes(header.get(), record.get(), genotypes.data(), static_cast<int>(n)) !=
              0 ||
          bcf_write(file.get(), header.get(), record.get()) != 0) {
        throw OutputFailure(Operation::write, path, error_number());
      }
    }
  }
  if (bcf_idx_save(file.get()) != 0) {
    throw OutputFailure(Operation::write, path + ".tbi", error_number());
  }
  if (hts_close(file.release()) != 0) {
    throw OutputFailure(Operation::close, path, error_number());
  }
  // The sample table and the index first, the VCF last: whoever sees the VCF finds the others.
  staged.commit({samples_name, index_name, vcf_path.filename().string()});
}

}  // namespace parasim::genomes
