#include "genomes_folder.hpp"

#include <gtest/gtest.h>

#include <filesystem>

#include "e2e/run_parasim.hpp"
#include "report/appended_file.hpp"

namespace parasim::genomes {
namespace {

namespace fs = std::filesystem;
using Operation = report::OutputFailure::Operation;

TEST(GenomesFolder, FileNamesCarryTheGeneration) {
  EXPECT_EQ(genomes_file_path("g", 1), "g/genomes-000001.vcf.gz");
  EXPECT_EQ(genomes_file_path("g/", 250), "g/genomes-000250.vcf.gz");
  EXPECT_EQ(genomes_file_path("", 1234567), "genomes-1234567.vcf.gz");
}

TEST(GenomesFolder, MadeWhenMissingRefusedWhenItCannotServe) {
  const fs::path dir = testing::fresh_directory("genomes-folder");
  prepare_genomes_folder((dir / "new").string());
  EXPECT_TRUE(fs::is_directory(dir / "new"));
  prepare_genomes_folder((dir / "new").string());  // an existing folder serves again

  testing::write_file(dir / "file", "x");
  const struct {
    fs::path folder;
    int error;
  } refused[] = {{dir / "missing" / "g", ENOENT}, {dir / "file", ENOTDIR}, {dir / "file" / "g", ENOTDIR}};
  for (const auto& c : refused) {
    try {
      prepare_genomes_folder(c.folder.string());
      ADD_FAILURE() << c.folder << " was accepted";
    } catch (const report::OutputFailure& failure) {
      EXPECT_EQ(failure.operation(), Operation::make_folder);
      EXPECT_EQ(failure.error(), c.error) << c.folder;
      EXPECT_EQ(failure.path(), c.folder.string());
    }
  }
}

}  // namespace
}  // namespace parasim::genomes
