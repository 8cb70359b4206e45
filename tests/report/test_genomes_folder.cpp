#include "report/genomes_folder.hpp"

#include <gtest/gtest.h>

namespace parasim::genomes {
namespace {

TEST(GenomesFolder, FileNamesCarryTheGeneration) {
  EXPECT_EQ(genomes_file_path("g", 1), "g/genomes-000001.vcf.gz");
  EXPECT_EQ(genomes_file_path("g/", 250), "g/genomes-000250.vcf.gz");
  EXPECT_EQ(genomes_file_path("", 1234567), "genomes-1234567.vcf.gz");
}

// The names other outputs are checked against: every file a run may make in the folder, and
// nothing else a user may keep there.
TEST(GenomesFolder, TheFilesARunMakesAreKnownByName) {
  for (const char* name : {"genomes-000001.vcf.gz", "genomes-000100.vcf.gz.tbi",
                           "genomes-000100.samples.tsv", "genomes-1234567.vcf.gz"}) {
    EXPECT_TRUE(is_genomes_file_name(name)) << name;
  }
  for (const char* name : {"genomes-.vcf.gz", "genomes-0001.vcf", "genomes-0001.vcf.gz.tmp",
                           "my-genomes-000001.vcf.gz", "genomes-00x1.vcf.gz", "notes.txt"}) {
    EXPECT_FALSE(is_genomes_file_name(name)) << name;
  }
}

}  // namespace
}  // namespace parasim::genomes
