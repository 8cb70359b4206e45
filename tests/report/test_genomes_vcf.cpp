#include "report/genomes_vcf.hpp"

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <htslib/tbx.h>
#include <htslib/vcf.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "e2e/run_parasim.hpp"
#include "model/generation_driver.hpp"
#include "model/simulation.hpp"
#include "model/small_world.hpp"
#include "report/appended_file.hpp"

namespace parasim::genomes {
namespace {

namespace fs = std::filesystem;

// A population labelled after a few generations of a small world, as the writer sees it.
struct LabelledWorld {
  model::Simulation simulation;
  explicit LabelledWorld(std::int32_t genome_size, int generations)
      : simulation(model::testing::small_world(genome_size, 0.02, 100), 77) {
    model::GenerationDriver driver(simulation, nullptr, {});
    for (int g = 1; g < generations; ++g) {
      driver.run_generation();
    }
    driver.label();
  }
};

struct VcfReader {
  htsFile* file;
  bcf_hdr_t* header;
  explicit VcfReader(const std::string& path)
      : file(bcf_open(path.c_str(), "r")), header(bcf_hdr_read(file)) {}
  ~VcfReader() {
    bcf_hdr_destroy(header);
    bcf_close(file);
  }
};

// Reads the VCF back with htslib and checks every genotype, sample name and locus against the
// population it was written from.
void expect_vcf_equals(const std::string& path, const model::Population& population,
                       const species::SpeciesHistory& history) {
  VcfReader vcf(path);
  ASSERT_NE(vcf.header, nullptr);
  ASSERT_EQ(bcf_hdr_nsamples(vcf.header), static_cast<int>(population.size()));
  for (std::size_t row = 0; row < population.size(); ++row) {
    const std::int32_t label = population.species_id(row);
    EXPECT_EQ(vcf.header->samples[row],
              "r" + std::to_string(row) + "_s" + std::to_string(history.species_of_label(label)) +
                  "_l" + std::to_string(label) + "_h" + std::to_string(population.host_id(row)));
  }
  bcf1_t* record = bcf_init();
  int32_t* genotypes = nullptr;
  int capacity = 0;
  std::int32_t locus = 0;
  while (bcf_read(vcf.file, vcf.header, record) == 0) {
    bcf_unpack(record, BCF_UN_ALL);
    EXPECT_EQ(record->pos, locus);
    ASSERT_EQ(record->n_allele, 2);
    EXPECT_STREQ(record->d.allele[0], "A");
    EXPECT_STREQ(record->d.allele[1], "T");
    ASSERT_EQ(bcf_get_genotypes(vcf.header, record, &genotypes, &capacity),
              static_cast<int>(population.size()));
    for (std::size_t row = 0; row < population.size(); ++row) {
      ASSERT_EQ(bcf_gt_allele(genotypes[row]), population.locus(row, locus) ? 1 : 0)
          << "locus " << locus << ", row " << row;
    }
    ++locus;
  }
  EXPECT_EQ(locus, population.genome_size());
  std::free(genotypes);
  bcf_destroy(record);
}

TEST(GenomesVcf, ReadBackByHtslibEqualsTheGenomesAcrossGenomeSizes) {
  const fs::path dir = testing::fresh_directory("genomes-vcf");
  // Around the 64-locus words the genomes are packed in.
  for (const std::int32_t genome_size : {0, 1, 63, 64, 65, 130}) {
    const LabelledWorld world(genome_size, 12);
    const model::Population& population = world.simulation.population();
    ASSERT_GT(population.size(), 3u);
    std::string name = "g";
    name += std::to_string(genome_size);
    name += ".vcf.gz";
    const std::string path = (dir / name).string();
    write_genomes_vcf(path, 12, population, world.simulation.history());
    SCOPED_TRACE(genome_size);
    expect_vcf_equals(path, population, world.simulation.history());

    const std::string table = testing::read_file(samples_path_for(path));
    EXPECT_EQ(table.substr(0, table.find('\n')), "sample\trow\tspecies\tlabel\thost\tphenotype");
    EXPECT_EQ(std::count(table.begin(), table.end(), '\n'),
              static_cast<std::ptrdiff_t>(population.size()) + 1);
  }
}

TEST(GenomesVcf, IndexAnswersRegionQueries) {
  const fs::path dir = testing::fresh_directory("genomes-index");
  const LabelledWorld world(100, 5);
  const std::string path = (dir / "g.vcf.gz").string();
  write_genomes_vcf(path, 5, world.simulation.population(), world.simulation.history());
  ASSERT_TRUE(fs::exists(path + ".tbi"));
  htsFile* file = hts_open(path.c_str(), "r");
  tbx_t* index = tbx_index_load2(path.c_str(), (path + ".tbi").c_str());
  ASSERT_NE(index, nullptr);
  hts_itr_t* lines = tbx_itr_querys(index, "genome:40-44");
  kstring_t text = {0, 0, nullptr};
  std::vector<std::string> positions;
  while (tbx_itr_next(file, index, lines, &text) >= 0) {
    const std::string line(text.s, text.l);
    const std::size_t tab = line.find('\t');
    positions.push_back(line.substr(tab + 1, line.find('\t', tab + 1) - tab - 1));
  }
  EXPECT_EQ(positions, (std::vector<std::string>{"40", "41", "42", "43", "44"}));
  std::free(text.s);
  hts_itr_destroy(lines);
  tbx_destroy(index);
  hts_close(file);
}

TEST(GenomesVcf, FailureLeavesNoFileUnderAFinalName) {
  const fs::path dir = testing::fresh_directory("genomes-failure");
  const LabelledWorld world(30, 3);
  const model::Population& population = world.simulation.population();
  fs::create_directory(dir / "folder.vcf.gz");
  fs::create_directory(dir / "index.vcf.gz.tbi");
  // Every one of the three files is checked before anything is written.
  const struct {
    std::string path;
    std::string reason;
  } cases[] = {
      {(dir / "missing" / "g.vcf.gz").string(), "No such file or directory"},
      {(dir / "folder.vcf.gz").string(), "it is a folder"},
      {(dir / "index.vcf.gz").string(), "it is a folder"},
  };
  for (const auto& c : cases) {
    try {
      write_genomes_vcf(c.path, 3, population, world.simulation.history());
      ADD_FAILURE() << c.path << " was written";
    } catch (const report::TargetRefused& refused) {
      EXPECT_NE(std::string(refused.what()).find(c.reason), std::string::npos) << refused.what();
    }
  }
  std::vector<std::string> left;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    left.push_back(entry.path().filename().string());
  }
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"folder.vcf.gz", "index.vcf.gz.tbi"}));
}

// A full disk (a file size limit stands in for it) is one failure naming the VCF, with nothing
// from htslib on the console and nothing left in the folder.
TEST(GenomesVcf, AFullDiskIsOneFailureAndLeavesNothing) {
  const fs::path dir = testing::fresh_directory("genomes-full");
  const LabelledWorld world(1000, 3);
  const std::string path = (dir / "g.vcf.gz").string();
  ::testing::internal::CaptureStderr();
  const pid_t child = ::fork();
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{2048, 2048};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    try {
      write_genomes_vcf(path, 3, world.simulation.population(), world.simulation.history());
    } catch (const report::OutputFailure& failure) {
      ::_exit(failure.path().starts_with(path) ? 0 : 2);
    }
    ::_exit(1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  const std::string console = ::testing::internal::GetCapturedStderr();
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: written; 2: another failure";
  EXPECT_EQ(console, "");
  EXPECT_TRUE(fs::is_empty(dir));
}

TEST(GenomesVcf, NamesOfSamplesAndTables) {
  EXPECT_EQ(sample_name(0, 1, 1, 1), "r0_s1_l1_h1");
  EXPECT_EQ(sample_name(49999, 2147483647, 2147483647, 12), "r49999_s2147483647_l2147483647_h12");
  const std::pair<std::string, std::string> tables[] = {
      {"g/genomes-000010.vcf.gz", "g/genomes-000010.samples.tsv"},
      {"x.vcf", "x.samples.tsv"},
      {"x.bcf", "x.bcf.samples.tsv"},
      {".vcf.gz", ".vcf.gz.samples.tsv"},
  };
  for (const auto& [vcf, table] : tables) {
    EXPECT_EQ(samples_path_for(vcf), table);
  }
}

}  // namespace
}  // namespace parasim::genomes
