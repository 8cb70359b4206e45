#include "textio/report_record.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace parasim::textio {
namespace {

std::string record_line(const ReportRecord& record) {
  std::string out;
  append_report_record(out, record);
  return out;
}

TEST(ReportRecord, FoundersOfGenerationOne) {
  const std::string line = record_line({1, 5.0, 1.0, 5.0, 1});
  const std::string i8_1 = std::string(7, ' ') + "1";
  const std::string f_5 = std::string(9, ' ') + "5.0000";
  const std::string f_1 = std::string(9, ' ') + "1.0000";
  EXPECT_EQ(line, " " + i8_1 + " " + f_5 + " " + f_1 + " " + f_5 + " " + i8_1 + "\r\n");
  ASSERT_EQ(line.size(), 68u);
  EXPECT_EQ(line.substr(1, 8), "       1");        // columns 2-9
  EXPECT_EQ(line.substr(10, 15), "         5.0000");  // columns 11-25
  EXPECT_EQ(line.substr(26, 15), "         1.0000");  // columns 27-41
  EXPECT_EQ(line.substr(42, 15), "         5.0000");  // columns 43-57
  EXPECT_EQ(line.substr(58, 8), "       1");        // columns 59-66
}

TEST(ReportRecord, IsSixtySixCharactersWithoutTrailingBlanks) {
  const ReportRecord records[] = {
      {1, 0.0, 1.0, 0.0, 1},
      {2147483647, -1e300, std::nan(""), -std::numeric_limits<double>::infinity(), -2147483647 - 1},
      {-5, -0.0, 123456.78915, -2.5, 99999999},
      {100, 12.3, 3.0, -0.00001, -9999999},
  };
  for (const ReportRecord& record : records) {
    const std::string line = record_line(record);
    ASSERT_EQ(line.size(), static_cast<std::size_t>(report_line_length));
    EXPECT_EQ(line.substr(66), "\r\n");
    EXPECT_NE(line[65], ' ');
    for (int column : {1, 10, 26, 42, 58}) EXPECT_EQ(line[column - 1], ' ') << column;
  }
}

TEST(ReportRecord, NegativeHostPhenotypeKeepsItsSignInTheField) {
  const std::string line = record_line({10, 0.3, 2.0, -1.5, 3});
  EXPECT_EQ(line.substr(42, 15), "        -1.5000");
}

TEST(ReportRecord, TooWideValuesBecomeAsterisks) {
  const std::string line = record_line({123456789, 12345678901.0, -1234567890.0, 1.0, -10000000});
  EXPECT_EQ(line, " ******** *************** *************** " + std::string(9, ' ') + "1.0000 ********\r\n");
}

TEST(ReportRecord, AppendsRecordAfterRecord) {
  std::string out;
  for (int i = 0; i < 1000; ++i) append_report_record(out, {i, i * 0.1, 1.0, 0.5, i % 7 + 1});
  ASSERT_EQ(out.size(), 1000u * 68u);
  for (std::size_t i = 0; i < 1000; ++i) EXPECT_EQ(out.substr(i * 68 + 66, 2), "\r\n");
  EXPECT_EQ(out.substr(999 * 68, 68), "      999 " + std::string(8, ' ') + "99.9000 " + std::string(9, ' ') +
                                          "1.0000 " + std::string(9, ' ') + "0.5000        6\r\n");
}

TEST(ReportRecord, FormatWritesExactlyTheLineBytes) {
  char buffer[80];
  std::memset(buffer, '#', sizeof buffer);
  format_report_record(buffer, {30, 0.1, 4.0, 0.2, 2});
  EXPECT_EQ(std::string(buffer, 68), "       30 " + std::string(9, ' ') + "0.1000 " + std::string(9, ' ') +
                                         "4.0000 " + std::string(9, ' ') + "0.2000        2\r\n");
  EXPECT_EQ(buffer[68], '#');
}

}  // namespace
}  // namespace parasim::textio
