#include "json_text.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace parasim::report_tool {
namespace {

using Kind = JsonValue::Kind;

TEST(JsonText, ReadsARunRecordsKindsOfValue) {
  const JsonValue root = parse_json(
      "{\n"
      "  \"program\": \"parasim\",\n"
      "  \"parameters\": {\"genome_size\": 100, \"mutation_rate\": 0.0050000000000000001},\n"
      "  \"derived\": null, \"died_out\": false, \"ok\": true,\n"
      "  \"list\": [1, -2.5e3, [], {}],\n"
      "  \"text\": \"a\\\"b\\\\c\\/d\\n\\u00e9\\ud83d\\ude00\"\n"
      "}\n");
  ASSERT_EQ(root.kind, Kind::object);
  EXPECT_EQ(root.members.size(), 7u);
  EXPECT_EQ(root.member("program")->text, "parasim");
  const JsonValue& parameters = *root.member("parameters");
  EXPECT_EQ(parameters.line, 3u);
  EXPECT_EQ(parameters.member("genome_size")->whole_number(), 100);
  EXPECT_EQ(parameters.member("mutation_rate")->number(), 0.005);
  EXPECT_EQ(parameters.member("mutation_rate")->whole_number(), std::nullopt);
  EXPECT_EQ(root.member("derived")->kind, Kind::null);
  EXPECT_FALSE(root.member("died_out")->boolean);
  EXPECT_TRUE(root.member("ok")->boolean);
  const JsonValue& list = *root.member("list");
  ASSERT_EQ(list.items.size(), 4u);
  EXPECT_EQ(list.items[1].number(), -2500.0);
  EXPECT_EQ(list.items[2].kind, Kind::array);
  EXPECT_EQ(list.items[3].kind, Kind::object);
  EXPECT_EQ(root.member("text")->text, "a\"b\\c/d\n\xc3\xa9\xf0\x9f\x98\x80");
  EXPECT_EQ(root.member("absent"), nullptr);
  EXPECT_EQ(root.member("text")->number(), std::nullopt);
  EXPECT_EQ(parse_json("1e999").number(), std::nullopt) << "too large for a double";
}

TEST(JsonText, RefusesWhatIsNotOneValueAtTheLineOfTheFault) {
  const struct {
    std::string text;
    std::uint64_t line;
    std::string words;
  } cases[] = {
      {"", 1, "the text ends where a value is due"},
      {"{\"a\": 1,\n\"a\": 2}", 2, "the key \"a\" is given twice"},
      {"{\"a\": 1}\n\n{}", 3, "more after the end of the value: \"{\""},
      {"{\"a\" 1}", 1, "expected \":\", found \"1\""},
      {"{\"a\": 1,}", 1, "a key of an object is due"},
      {"{a: 1}", 1, "a key of an object is due"},
      {"[1, 2", 1, "expected \"]\", found the end of the text"},
      {"[1 2]", 1, "expected \"]\", found \"2\""},
      {"\"open", 1, "the text ends inside a string"},
      {"\"tab\there\"", 1, "control character byte 0x09"},
      {"\"\\x\"", 1, "\\x is no escape"},
      {"\"\\u12g4\"", 1, "four hexadecimal digits"},
      {"\"\\ud800\"", 1, "half of a surrogate pair"},
      {"\"\\udc00\\ud800\"", 1, "half of a surrogate pair"},
      {"\n\n012", 3, "without a leading 0"},
      {"-", 1, "whole part is one or more digits"},
      {".5", 1, "no value starts with \".\""},
      {"1.", 1, "decimal point is followed by digits"},
      {"1e+", 1, "exponent is followed by digits"},
      {"tru", 1, "no value starts with \"t\""},
      {"nulls", 1, "more after the end of the value: \"s\""},
      {std::string(33, '[') + std::string(33, ']'), 1, "nest more than 32 deep"},
      {std::string(1, '\0'), 1, "no value starts with byte 0x00"},
  };
  for (const auto& refused : cases) {
    try {
      parse_json(refused.text);
      ADD_FAILURE() << "accepted: " << refused.text;
    } catch (const MalformedJson& error) {
      EXPECT_EQ(error.line(), refused.line) << refused.text;
      EXPECT_NE(std::string(error.what()).find(refused.words), std::string::npos)
          << refused.text << ": " << error.what();
    }
  }
  EXPECT_EQ(parse_json(std::string(32, '[') + std::string(32, ']')).kind, Kind::array);
}

}  // namespace
}  // namespace parasim::report_tool
