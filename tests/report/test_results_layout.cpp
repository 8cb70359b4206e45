#include "report/results_layout.hpp"

#include <gtest/gtest.h>

#include <string>

#include "textio/text_line.hpp"

namespace parasim::report {
namespace {

// The one place where the header is spelled out byte for byte: every other test takes it
// from the layout, so a change here is a change to every results file.
TEST(ResultsLayout, HeaderBytesAsEveryRunWritesThem) {
  std::string header;
  for (const std::string_view line : header_texts) {
    header += textio::text_line(line);
  }
  EXPECT_EQ(header,
            " This file is organized as following:\r\n"
            " --First column: generation time\r\n"
            " --Second column: parasite phenotype \r\n"
            " --Third column: host id\r\n"
            " --Fourth column: host phenotype\r\n"
            " --Fifth column: parasite species\r\n");
}

}  // namespace
}  // namespace parasim::report
