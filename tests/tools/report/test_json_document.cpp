#include "json_document.hpp"

#include <gtest/gtest.h>

#include <string>

namespace parasim::report_tool {
namespace {

// Each value is found at the line it starts on: members and items, a number that ends its
// line (read only once the line end is), a text that starts after blank lines.
TEST(JsonDocument, GivesEachValueTheLineItStartsOn) {
  const JsonDocument document(
      "\n"
      "{\"program\": \"parasim\",\n"
      "  \"answers\": {\"genome_size\": 100,\n"
      "    \"survival_sd\": 0.5\n"
      "  },\n"
      "  \"list\": [1,\n"
      "    true, [\n"
      "      null]],\n"
      "  \"last\": -12\n"
      "}\n");
  const Json& root = document.root();
  ASSERT_TRUE(root.is_object());
  EXPECT_EQ(root.begin().key(), "program") << "members in the order written";
  EXPECT_EQ(root["answers"]["survival_sd"].get<double>(), 0.5);
  const struct {
    const char* where;
    std::uint64_t line;
  } cases[] = {{"", 2},
               {"/program", 2},
               {"/answers", 3},
               {"/answers/genome_size", 3},
               {"/answers/survival_sd", 4},
               {"/list/1", 7},
               {"/list/2/0", 8},
               {"/last", 9},
               {"/answers/absent", 3},
               {"/list/7", 6},
               {"/program/0", 2}};
  for (const auto& c : cases) {
    EXPECT_EQ(document.line_of(Json::json_pointer(c.where)), c.line) << c.where;
  }
}

// What is not one value is refused at the line of the fault: the parser's faults at the line
// of the byte it stopped at, and a key given twice or nesting too deep at their own.
TEST(JsonDocument, RefusesWhatIsNotOneValueAtTheLineOfTheFault) {
  const struct {
    std::string text;
    std::uint64_t line;
    std::string words;
  } cases[] = {
      {"", 1, "unexpected end of input"},
      {"{\"a\": 1,\n\n \"a\": 2}", 3, "the key \"a\" is given twice"},
      {"{\"a\": {\"b\": 1},\n \"b\": {\"b\": 2}}", 0, ""},
      {"{\"a\": 1}\n\n{}", 3, "unexpected '{'"},
      {"{\"a\"\n 1}", 2, "expected ':'"},
      {"[1, 2\n", 2, "unexpected end of input"},
      {"[\"one\",\n\"two\n\"]", 2, "control character U+000A"},
      {"{\"a\":\n 1e999}", 2, "number overflow"},
      {"\"" + std::string(5000, 'x'), 1, "..."},
      {std::string(32, '[') + std::string(32, ']'), 0, ""},
      {"\n" + std::string(33, '[') + std::string(33, ']'), 2, "values nest more than 32 deep"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 40));
    try {
      const JsonDocument document(c.text);
      EXPECT_EQ(c.line, 0u) << "read";
    } catch (const MalformedJson& error) {
      EXPECT_EQ(error.line(), c.line);
      const std::string what = error.what();
      EXPECT_NE(c.words, "");
      EXPECT_NE(what.find(c.words), std::string::npos) << what;
      EXPECT_EQ(what.find("json.exception"), std::string::npos) << what;
      EXPECT_LT(what.size(), 300u) << "the words quote a part of the text, not all of it";
    }
  }
}

}  // namespace
}  // namespace parasim::report_tool
