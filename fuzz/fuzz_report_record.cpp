// libFuzzer target: the report record and the I/F fields on arbitrary values.
//
// Input, zero-padded to 50 bytes: the record's generation (4 bytes), phenotype,
// host_id and host_phenotype (8 bytes each, any bit pattern: NaN, infinities and
// subnormals included), species_id (4 bytes); then one more double and an int64
// with a width byte and a decimals byte for a free Fw.d and Iw field.
//
// Checked, besides "no crash": the record is 68 bytes ending in CR LF, with the
// blanks of (1X,I8,3(1x,f15.4),1X,I8) in their columns and no trailing blank;
// each F15.4 field is 15 characters and each I8 field 8, equal to a reference
// built from the C library's exact printf (sign and asterisks added by hand);
// the free fields are exactly `width` characters and match the same reference.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "textio/fixed_fields.hpp"
#include "textio/report_record.hpp"

namespace {

using namespace parasim::textio;

[[noreturn]] void fail(const char* what, const std::string& got, const std::string& expected) {
  std::fprintf(stderr, "property violated: %s\n  got      [%s]\n  expected [%s]\n", what, got.c_str(),
               expected.c_str());
  std::abort();
}

// The references are written into fixed buffers: a field is at most 63
// characters here, and a double's %f text at most 309 digits, the point and 31 decimals.
constexpr std::size_t kTextSize = 400;

struct Text {
  char data[kTextSize];
  std::size_t size = 0;
  std::string_view view() const { return {data, size}; }
};

void fit(Text& out, const char* text, std::size_t length, int width) {
  const auto w = static_cast<std::size_t>(width < 0 ? 0 : width);
  if (length > w) {
    std::memset(out.data, '*', w);
  } else {
    std::memset(out.data, ' ', w - length);
    std::memcpy(out.data + (w - length), text, length);
  }
  out.size = w;
}

Text reference_integer(std::int64_t value, int width) {
  char text[32];
  const int length = std::snprintf(text, sizeof text, "%lld", static_cast<long long>(value));
  Text out;
  fit(out, text, static_cast<std::size_t>(length), width);
  return out;
}

Text reference_real(double value, int width, int decimals) {
  Text out;
  if (std::isnan(value)) {
    fit(out, "NaN", 3, width);
  } else if (std::isinf(value)) {
    fit(out, value < 0 ? "-Infinity" : "Infinity", value < 0 ? 9 : 8, width);
  } else {
    char text[kTextSize];
    text[0] = '-';
    const int length = std::snprintf(text + 1, sizeof text - 1, "%#.*f", decimals, std::fabs(value));
    if (std::signbit(value)) {
      fit(out, text, static_cast<std::size_t>(length) + 1, width);
    } else {
      fit(out, text + 1, static_cast<std::size_t>(length), width);
    }
  }
  return out;
}

template <typename T>
T take(const std::uint8_t* bytes, std::size_t& offset) {
  T value;
  std::memcpy(&value, bytes + offset, sizeof value);
  offset += sizeof value;
  return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::uint8_t bytes[50] = {};
  std::memcpy(bytes, data, size < sizeof bytes ? size : sizeof bytes);
  std::size_t offset = 0;
  ReportRecord record;
  record.generation = take<std::int32_t>(bytes, offset);
  record.phenotype = take<double>(bytes, offset);
  record.host_id = take<double>(bytes, offset);
  record.host_phenotype = take<double>(bytes, offset);
  record.species_id = take<std::int32_t>(bytes, offset);
  const double free_real = take<double>(bytes, offset);
  const std::int64_t free_integer = take<std::int64_t>(bytes, offset);
  const int width = bytes[offset] % 64;
  const int decimals = bytes[offset + 1] % 32;

  std::string line = "prefix";
  append_report_record(line, record);
  if (line.compare(0, 6, "prefix") != 0) fail("record overwrote what was before it", line, "prefix...");
  line.erase(0, 6);
  if (line.size() != 68) fail("record is not 68 bytes", line, "");
  if (line.compare(66, 2, "\r\n") != 0) fail("record does not end with CR LF", line, "");
  if (line[65] == ' ') fail("record has a trailing blank", line, "");
  for (int column : {1, 10, 26, 42, 58}) {
    if (line[static_cast<std::size_t>(column - 1)] != ' ') fail("blank column holds text", line, "");
  }
  std::string expected = " ";
  expected += reference_integer(record.generation, 8).view();
  expected += " ";
  expected += reference_real(record.phenotype, 15, 4).view();
  expected += " ";
  expected += reference_real(record.host_id, 15, 4).view();
  expected += " ";
  expected += reference_real(record.host_phenotype, 15, 4).view();
  expected += " ";
  expected += reference_integer(record.species_id, 8).view();
  expected += "\r\n";
  if (line != expected) fail("record differs from the reference", line, expected);

  std::string field;
  append_real_field(field, record.phenotype, 15, 4);
  if (field.size() != 15) fail("F15.4 is not 15 characters", field, "");
  field.clear();
  append_integer_field(field, record.generation, 8);
  if (field.size() != 8) fail("I8 is not 8 characters", field, "");

  field.clear();
  append_real_field(field, free_real, width, decimals);
  const std::string expected_real(reference_real(free_real, width, decimals).view());
  if (field != expected_real) fail("free Fw.d differs from the reference", field, expected_real);
  field.clear();
  append_integer_field(field, free_integer, width);
  const std::string expected_integer(reference_integer(free_integer, width).view());
  if (field != expected_integer) fail("free Iw differs from the reference", field, expected_integer);
  return 0;
}
