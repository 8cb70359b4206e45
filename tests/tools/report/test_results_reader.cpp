#include "results_reader.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "record_collector.hpp"
#include "report_errors.hpp"
#include "results_text.hpp"

namespace parasim::report_tool {
namespace {

using testing::record_line;
using testing::RecordCollector;
using testing::results_text;
using testing::text_source;

const std::vector<testing::RecordValues> three_records{
    {1, 5.0, 1, 5.0, 1}, {10, 5.1, 2, 6.0, 2}, {10, 0.0, 3, -1.25, 12345678}};

std::string failure_of(const std::string& text, std::uint64_t* line) {
  RecordCollector collector;
  try {
    read_results(text_source(text), collector);
  } catch (const MalformedResults& error) {
    *line = error.line();
    return error.what();
  }
  ADD_FAILURE() << "the text was accepted";
  return {};
}

TEST(ResultsReader, ReadsEveryRecordWithItsValuesAndLineNumber) {
  for (const std::string line_end : {"\r\n", "\n"}) {
    RecordCollector collector;
    EXPECT_EQ(read_results(text_source(results_text(three_records, line_end)), collector), 3u);
    ASSERT_EQ(collector.records.size(), 3u);
    EXPECT_TRUE(collector.ended);
    EXPECT_EQ(collector.lines, (std::vector<std::uint64_t>{7, 8, 9}));
    const ResultsRecord& last = collector.records[2];
    EXPECT_EQ(last.generation, 10);
    EXPECT_EQ(last.phenotype, 0);
    EXPECT_EQ(last.host_id, 3);
    EXPECT_EQ(last.host_phenotype, -12500);
    EXPECT_EQ(last.species_id, 12345678);
    EXPECT_EQ(collector.records[1].phenotype, 51000);
  }
}

TEST(ResultsReader, AcceptsAHeaderWithoutRecordsAndMixedLineEnds) {
  RecordCollector header_only;
  EXPECT_EQ(read_results(text_source(results_text(std::vector<std::string>{})), header_only), 0u);
  EXPECT_TRUE(header_only.ended);

  std::string mixed = results_text(std::vector<std::string>{}, "\n");
  mixed += record_line(three_records[0]) + "\r\n" + record_line(three_records[1]) + "\n";
  RecordCollector collector;
  EXPECT_EQ(read_results(text_source(mixed), collector), 2u);
}

// A run stopped while writing leaves a last line without its line end: whole, it still counts.
TEST(ResultsReader, AcceptsAFileCutAfterACompleteRecord) {
  const std::string whole = results_text(three_records);
  for (const std::size_t cut : {std::size_t{2}, std::size_t{1}}) {
    RecordCollector collector;
    EXPECT_EQ(read_results(text_source(whole.substr(0, whole.size() - cut)), collector), 3u);
  }
  std::uint64_t line = 0;
  const std::string message = failure_of(whole.substr(0, whole.size() - 10), &line);
  EXPECT_EQ(line, 9u);
  EXPECT_NE(message.find("this line has 58"), std::string::npos) << message;
  EXPECT_NE(message.find("file ends inside this line"), std::string::npos) << message;
}

// Lines that straddle the buffer or arrive one byte at a time read the same as whole ones.
TEST(ResultsReader, ResultsDoNotDependOnBufferOrPieceSize) {
  std::vector<testing::RecordValues> many;
  for (std::int64_t i = 0; i < 40; ++i) {
    many.push_back({1 + i / 10 * 10, 0.1 * static_cast<double>(i), 1 + i % 4, 2.0, 1 + i % 3});
  }
  std::sort(many.begin(), many.end(), [](const auto& a, const auto& b) {
    return std::pair(a.generation, a.host_id) < std::pair(b.generation, b.host_id);
  });
  const std::string text = results_text(many);
  RecordCollector reference;
  read_results(text_source(text), reference);
  for (const std::size_t buffer : {256u, 257u, 300u, 4096u}) {
    for (const std::size_t piece : {1u, 67u, 68u, 1000u}) {
      RecordCollector collector;
      read_results(text_source(text, piece), collector, buffer);
      ASSERT_EQ(collector.records.size(), reference.records.size());
      for (std::size_t i = 0; i < reference.records.size(); ++i) {
        EXPECT_EQ(collector.records[i].phenotype, reference.records[i].phenotype);
        EXPECT_EQ(collector.lines[i], reference.lines[i]);
      }
    }
  }
}

TEST(ResultsReader, RejectsAMissingOrAlteredHeaderAtItsLine) {
  std::uint64_t line = 0;
  EXPECT_NE(failure_of("", &line).find("ends inside its six-line header"), std::string::npos);
  EXPECT_EQ(line, 1u);

  std::string no_trailing_blank = results_text(three_records);
  no_trailing_blank.erase(no_trailing_blank.find("phenotype \r\n") + 9, 1);
  EXPECT_NE(failure_of(no_trailing_blank, &line).find("header line 3 must read"),
            std::string::npos);
  EXPECT_EQ(line, 3u);

  // Records without their header.
  const std::string records_only = record_line(three_records[0]) + "\r\n";
  failure_of(records_only, &line);
  EXPECT_EQ(line, 1u);

  const std::string header = results_text(std::vector<std::string>{});
  const std::string four_lines = header.substr(0, header.find(" --Fourth"));
  EXPECT_NE(failure_of(four_lines, &line).find("ends inside its six-line header"),
            std::string::npos);
  EXPECT_EQ(line, 5u);
}

struct BadRecord {
  std::string line;
  std::string expected_words;
};

TEST(ResultsReader, NamesTheLineAndTheFaultOfABadRecord) {
  const std::string good = record_line(three_records[0]);
  auto with = [&good](std::size_t first_column, const std::string& text) {
    std::string line = good;
    line.replace(first_column - 1, text.size(), text);
    return line;
  };
  const std::vector<BadRecord> bad_records{
      {with(2, "********"), "generation field (columns 2-9) holds asterisks"},
      {with(11, "***************"), "parasite phenotype field (columns 11-25) holds asterisks"},
      {with(59, "********"), "species field (columns 59-66) holds asterisks"},
      {with(27, "               "), "host id field (columns 27-41) is blank"},
      {with(43, "        5.00000"), "host phenotype field (columns 43-57) is not a number"},
      {with(59, "     1.0"), "species field (columns 59-66) is not a whole number"},
      {with(10, "x"), "column 10, before the parasite phenotype field"},
      {with(27, "         2.5000"), "host id 2.5000 is not a whole number"},
      {with(27, "         0.0000"), "host id must be at least 1"},
      {with(2, "       0"), "generation must be at least 1"},
      {with(59, "      -3"), "species must be at least 1"},
      {good + " ", "this line has 67"},
      {"", "this line has 0"},
      {with(2, std::string(1, '\0')), "\"?"},
      // Longer than the reader's buffer: refused as one line, not read as several.
      {std::string(10'000'000, ' '), "the line does not end within 4194304 bytes"},
  };
  for (const BadRecord& bad : bad_records) {
    const std::string text = results_text(std::vector<std::string>{good, good, bad.line, good});
    std::uint64_t line = 0;
    const std::string message = failure_of(text, &line);
    EXPECT_EQ(line, 9u) << bad.expected_words;
    EXPECT_NE(message.find(bad.expected_words), std::string::npos) << message;
  }
}

// Damaged files of every kind are either read or refused at a line of the file, never anything
// else; the sanitizer build checks that no damage makes the reader step outside its buffer.
TEST(ResultsReader, EveryDamagedFileIsReadOrRefusedAtOneOfItsLines) {
  const std::string whole = results_text(three_records);
  const std::string bytes = " 0123456789.-*\r\n\tx";
  std::mt19937 random(7);
  for (int trial = 0; trial < 3000; ++trial) {
    std::string text = whole;
    for (int change = 1 + trial % 4; change > 0; --change) {
      const std::size_t at = random() % text.size();
      switch (random() % 4) {
        case 0:
          text[at] = bytes[random() % bytes.size()];
          break;
        case 1:
          text.erase(at, 1);
          break;
        case 2:
          text.insert(at, 1, bytes[random() % bytes.size()]);
          break;
        default:
          text.resize(at);
      }
      if (text.empty()) {
        break;
      }
    }
    // A last line without its line end still counts as a line.
    const auto line_count = static_cast<std::uint64_t>(std::count(text.begin(), text.end(), '\n') +
                                                       (text.empty() || text.back() != '\n'));
    RecordCollector collector;
    try {
      read_results(text_source(text, 1 + random() % 100), collector, 256);
      EXPECT_TRUE(collector.ended);
    } catch (const MalformedResults& error) {
      EXPECT_GE(error.line(), 1u);
      EXPECT_LE(error.line(), line_count + 1) << error.what();
      EXPECT_FALSE(collector.ended);
    }
  }
}

}  // namespace
}  // namespace parasim::report_tool
