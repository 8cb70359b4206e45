#include "record_fields.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace parasim::report_tool {
namespace {

TEST(IntegerField, ReadsRightAlignedNumbersWithTheirSign) {
  EXPECT_EQ(parse_integer_field("       1").value, 1);
  EXPECT_EQ(parse_integer_field("      -5").value, -5);
  EXPECT_EQ(parse_integer_field("99999999").value, 99999999);
  EXPECT_EQ(parse_integer_field("-9999999").value, -9999999);
  EXPECT_EQ(parse_integer_field("       0").status, FieldStatus::ok);
}

TEST(IntegerField, TellsBlankOverflowedAndMalformedApart) {
  EXPECT_EQ(parse_integer_field("        ").status, FieldStatus::blank);
  EXPECT_EQ(parse_integer_field("********").status, FieldStatus::overflowed);
  for (const char* bad : {"  1 2   ", "      1 ", "    +12 ", "       -", "    1.0 ", "   -*** ",
                          "      0x", "-     12"}) {
    EXPECT_EQ(parse_integer_field(bad).status, FieldStatus::malformed) << '"' << bad << '"';
  }
}

TEST(RealField, ReadsFourDecimalsAsTenThousandths) {
  EXPECT_EQ(parse_real_field("         5.0000").value, 50000);
  EXPECT_EQ(parse_real_field("         0.5000").value, 5000);
  EXPECT_EQ(parse_real_field("        -2.1234").value, -21234);
  EXPECT_EQ(parse_real_field("9999999999.9999").value, 99999999999999);
  EXPECT_EQ(parse_real_field("-999999999.9999").value, -9999999999999);
  const FieldValue negative_zero = parse_real_field("        -0.0000");
  EXPECT_EQ(negative_zero.status, FieldStatus::ok);
  EXPECT_EQ(negative_zero.value, 0);
}

TEST(RealField, TellsBlankOverflowedAndMalformedApart) {
  EXPECT_EQ(parse_real_field("               ").status, FieldStatus::blank);
  EXPECT_EQ(parse_real_field("***************").status, FieldStatus::overflowed);
  for (const char* bad :
       {"          5.000", "         5.00000", "           5.00", "         5,0000",
        "          .5000", "        5.0000 ", "         5.0e00", "       - 5.0000",
        "         5.-000", "         5.00 0", "              5", "         -.0000"}) {
    EXPECT_EQ(parse_real_field(bad).status, FieldStatus::malformed) << '"' << bad << '"';
  }
}

// The text the tool writes for a value reads back as the same value, over the whole range the
// field holds, and agrees with printf's four decimals.
TEST(RealText, RoundTripsThroughTheFieldAcrossMagnitudes) {
  for (TenThousandths magnitude = 1; magnitude < 100000000000000; magnitude = magnitude * 7 + 3) {
    for (const TenThousandths value : {magnitude, -magnitude}) {
      std::string text;
      append_real(text, value);
      if (text.size() > 15) {
        continue;
      }
      const std::string field = std::string(15 - text.size(), ' ') + text;
      EXPECT_EQ(parse_real_field(field).value, value) << field;
      char printed[64];
      std::snprintf(printed, sizeof printed, "%.4f", static_cast<double>(value) / 10000.0);
      if (magnitude < 1000000000000) {  // where a double still holds every ten-thousandth
        EXPECT_EQ(text, printed);
      }
    }
  }
  std::string zero;
  append_real(zero, 0);
  EXPECT_EQ(zero, "0.0000");
}

}  // namespace
}  // namespace parasim::report_tool
