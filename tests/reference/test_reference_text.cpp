// The reference's record layout and its integer conversions on fields checked by hand.
#include <gtest/gtest.h>

#include "reference/reference_text.hpp"

namespace parasim::reference {
namespace {

TEST(ReferenceText, RealFieldRoundsFromTheExactValue) {
  EXPECT_EQ(real_field(0.5, 15), "         0.5000");
  EXPECT_EQ(real_field(-0.00001, 15), "        -0.0000");
  EXPECT_EQ(real_field(-0.0, 15), "        -0.0000");
  EXPECT_EQ(real_field(0.03125, 15), "         0.0312");
  EXPECT_EQ(real_field(0.09375, 15), "         0.0938");
  EXPECT_EQ(real_field(2.00005, 15), "         2.0000");
  EXPECT_EQ(real_field(0.12345, 15), "         0.1235");
  EXPECT_EQ(real_field(999.99996, 15), "      1000.0000");
  EXPECT_EQ(real_field(9999999999.9999, 15), "9999999999.9999");
  EXPECT_EQ(real_field(12345678901.0, 15), "***************");
  EXPECT_EQ(real_field(-1234567890.0, 15), "***************");
}

TEST(ReferenceText, IntegerFieldAndLine) {
  EXPECT_EQ(integer_field(0, 8), "       0");
  EXPECT_EQ(integer_field(-5, 8), "      -5");
  EXPECT_EQ(integer_field(123456789, 8), "********");
  EXPECT_EQ(text_line(" Carrying capacity"), "  Carrying capacity\r\n");
}

TEST(ReferenceText, FounderRecordLayout) {
  const std::string record = report_record(1, 5.0, 1.0, 5.0, 1);
  EXPECT_EQ(record, "        1          5.0000          1.0000          5.0000        1\r\n");
  EXPECT_EQ(record.size(), 68u);
}

TEST(ReferenceText, NearestIntegerAndTruncation) {
  EXPECT_EQ(nint(2.5), 3);
  EXPECT_EQ(nint(-2.5), -3);
  EXPECT_EQ(nint(-0.5), -1);
  EXPECT_EQ(nint(0.49999999999999994), 0);
  EXPECT_EQ(nint(3.0), 3);
  EXPECT_EQ(int_of(2.9L), 2);
  EXPECT_EQ(int_of(-2.9L), -2);
  EXPECT_EQ(int_of(-0.7L), 0);
}

}  // namespace
}  // namespace parasim::reference
