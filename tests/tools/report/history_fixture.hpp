#pragma once

// The hand-made history of tests/tools/report/data/five_species_history, and helpers that read
// history tables from text.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "record_collector.hpp"
#include "report_errors.hpp"
#include "species_table.hpp"

namespace parasim::report_tool::testing {

// Five species over generations 1 to 12 on hosts 1, 2, 3 (phenotypes 5, 5.5, 4.5): species 2
// splits from 1 at 3, species 3 from 1 at 5 and dies after 7, species 4 takes label 3 again
// from species 2 at 8, species 5 splits from 1 at 9.
inline const std::filesystem::path five_species_history =
    std::filesystem::path(PARASIM_REPORT_TEST_DATA) / "five_species_history";

inline std::string file_text(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline SpeciesTable species_from_text(const std::string& text) {
  return read_species_table(text_source(text, 7), "species.csv");
}

// Runs read, expecting it to throw MalformedHistory at `line` with a message holding `words`.
template <typename Read>
void expect_malformed(Read read, std::uint64_t line, const std::string& words) {
  try {
    read();
    ADD_FAILURE() << "no fault found; expected line " << line << ": " << words;
  } catch (const MalformedHistory& error) {
    EXPECT_EQ(error.line(), line) << error.what();
    EXPECT_NE(std::string(error.what()).find(words), std::string::npos) << error.what();
  }
}

}  // namespace parasim::report_tool::testing
