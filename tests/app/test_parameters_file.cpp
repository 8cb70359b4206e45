#include "app/parameters_file.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "app/dialogue.hpp"
#include "textio/console_reader.hpp"

namespace parasim::app {
namespace {

model::Parameters read_as_the_dialogue(const std::string& answers) {
  std::istringstream input(answers);
  textio::ConsoleReader reader(input);
  return read_parameters(reader);
}

// The value texts of the ten answers, in the order asked.
using ValueTexts = std::vector<std::string>;

// A file naming the values in reverse order, laid out as people write them: comments, tabs,
// CR LF line ends, blank lines, no line end after the last.
std::string file_of(const ValueTexts& values) {
  std::string text = "# answers by name\r\n\r\n";
  for (std::size_t i = values.size(); i-- > 0;) {
    text += std::string(i % 2 == 0 ? "\t" : "") + std::string(model::parameter_fields[i].name) +
            (i % 3 == 0 ? "=" : " = ") + values[i] + (i % 2 == 0 ? "  # why\r\n" : "\n");
  }
  text.pop_back();
  return text;
}

TEST(ParametersFile, GivesWhatTheDialogueReadsFromTheSameTexts) {
  const std::vector<ValueTexts> cases = {
      {"100", "0.1", "0.005", "2", "0.05", "5", "1.0", "200", "0.5", "100"},
      // The reader's own forms: D exponents, signs, a bare point, the sign-only exponent.
      {"+20", ".2", "1d-3", "-2", "5.", "3", "1.5-1", "30", "1E+0", "0"},
      {"2147483647", "-0", "-0.0", "0", "1e-320", "1", "1.7976931348623157e308", "1", "2.5D-3",
       "-2147483647"},
  };
  for (const ValueTexts& values : cases) {
    std::string dialogue;
    for (const std::string& value : values)
      dialogue += value + "\n";
    const model::Parameters expected = read_as_the_dialogue(dialogue);
    EXPECT_EQ(parameters_from_text(file_of(values), "p.txt"), expected) << file_of(values);
  }
}

TEST(ParametersFile, PrintsTheShortestTextOfEachAnswer) {
  model::Parameters parameters =
      read_as_the_dialogue("2147483647\n0.1\n1e-20\n-2147483647\n-0\n1\n100\n7\n5e-324\n0\n");
  EXPECT_EQ(parameters_file_text(parameters),
            "genome_size = 2147483647\n"
            "max_differentiation = 0.1\n"
            "mutation_rate = 1e-20\n"
            "max_offspring = -2147483647\n"
            "dispersal_prob = -0\n"
            "host_count = 1\n"
            "host_distance = 100\n"
            "carrying_capacity = 7\n"
            "survival_sd = 5e-324\n"
            "generations = 0\n");
}

// The printer (the standard library's shortest text) and the reader (the dialogue's own
// correctly rounded conversion) must meet on every finite double, subnormals included.
TEST(ParametersFile, PrintedAnswersReadBackToTheSameBits) {
  std::mt19937_64 bits(20240611);
  std::uniform_int_distribution<std::int32_t> whole(-std::numeric_limits<std::int32_t>::max(),
                                                    std::numeric_limits<std::int32_t>::max());
  for (int round = 0; round < 20000; ++round) {
    model::Parameters parameters;
    for (const model::ParameterField& field : model::parameter_fields) {
      if (field.type == model::AnswerType::integer) {
        parameters.*field.integer = whole(bits);
        continue;
      }
      double value = std::numeric_limits<double>::quiet_NaN();
      while (!std::isfinite(value)) {
        // Every third value has few significant bits, as typed answers do.
        const std::uint64_t pattern = bits();
        value = std::bit_cast<double>(round % 3 == 0 ? pattern & ~std::uint64_t{0xffffffffff}
                                                     : pattern);
      }
      parameters.*field.real = value;
    }
    const std::string text = parameters_file_text(parameters);
    ASSERT_EQ(parameters_from_text(text, "p.txt"), parameters) << text;
  }
}

}  // namespace
}  // namespace parasim::app
