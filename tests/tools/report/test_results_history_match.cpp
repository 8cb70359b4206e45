#include "results_history_match.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/run_parasim.hpp"
#include "folder_test.hpp"
#include "plot_runner.hpp"
#include "report_command.hpp"

namespace parasim::report_tool {
namespace {

namespace fs = std::filesystem;

// The example answers of 100 generations (four species, the first split at 86).
const std::string example_answers = "100\n0.1\n0.005\n2\n0.05\n5\n1.0\n200\n0.5\n100\n";

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    lines.push_back(line);
  }
  return lines;
}

std::string joined(const std::vector<std::string>& lines, std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) {
    text += lines[i] + "\n";
  }
  return text;
}

// The index in lines of the first record of a generation of a results file.
std::size_t first_record_of(const std::vector<std::string>& lines, std::int64_t generation) {
  for (std::size_t i = 6; i < lines.size(); ++i) {
    if (std::stoll(lines[i].substr(1, 8)) == generation) {
      return i;
    }
  }
  ADD_FAILURE() << "no record of generation " << generation;
  return 0;
}

// The index in lines of the first row of a generation of abundance.csv.
std::size_t first_row_of(const std::vector<std::string>& lines, std::int64_t generation) {
  for (std::size_t i = 1; i < lines.size(); ++i) {
    if (lines[i].rfind(std::to_string(generation) + ",", 0) == 0) {
      return i;
    }
  }
  ADD_FAILURE() << "no row of generation " << generation;
  return 0;
}

// Where field i (from 0) of a row of comma-separated fields starts, and the field.
std::size_t field_start(const std::string& row, int i) {
  std::size_t start = 0;
  for (int comma = 0; comma < i; ++comma) {
    start = row.find(',', start) + 1;
  }
  return start;
}

std::string field(const std::string& row, int i) {
  const std::size_t start = field_start(row, i);
  return row.substr(start, row.find(',', start) - start);
}

// Runs of the real program, made once: seed 42 over 100 generations with its history, the same
// answers at seed 7, and the first 75 generations of the seed-42 run with their history.
class ResultsWithHistory : public FolderTest {
 protected:
  // Made by the first test that runs, so that a failed run fails that test (a failure in
  // SetUpTestSuite would only skip the tests).
  void SetUp() override {
    FolderTest::SetUp();
    if (!runs_.empty()) {
      return;
    }
    const fs::path runs = runs_folder();
    fs::remove_all(runs);
    const std::string seventy_five = example_answers.substr(0, example_answers.size() - 4) + "75\n";
    const struct {
      const char* folder;
      const char* arguments;
      std::string answers;
    } made[] = {{"seed42", "--seed 42 --history history", example_answers},
                {"seed7", "--seed 7", example_answers},
                {"seed42_75", "--seed 42 --history history", seventy_five}};
    for (const auto& run : made) {
      fs::create_directories(runs / run.folder);
      const parasim::testing::RunResult result =
          parasim::testing::run_parasim(runs / run.folder, run.answers, run.arguments);
      ASSERT_EQ(result.exit_status, 0) << result.err;
    }
    runs_ = runs;
  }
  static void TearDownTestSuite() { fs::remove_all(runs_folder()); }

  // One folder per process: CTest runs the tests of this suite side by side.
  static fs::path runs_folder() {
    return fs::temp_directory_path() / ("parasim-report-tool-runs-" + std::to_string(::getpid()));
  }

  // parasim-report of a results file and a history; the message on standard error.
  static int report(const fs::path& results, const fs::path& history, std::string* err) {
    std::ostringstream out;
    std::ostringstream errors;
    const int status = run_report_command({results.string(), "--history", history.string()},
                                          {debian_python, PARASIM_PYTHON_PACKAGES}, out, errors);
    *err = errors.str();
    return status;
  }

  static fs::path runs_;
};

fs::path ResultsWithHistory::runs_;

TEST_F(ResultsWithHistory, ResultsAndHistoryOfOneRunAreTakenAlsoWhenStoppedBeforeTheLastReport) {
  std::string err;
  EXPECT_EQ(report(runs_ / "seed42/Output.dat", runs_ / "seed42/history", &err), exit_done) << err;
  // Stopped after the history of generation 100, before its report.
  const std::vector<std::string> lines = lines_of(read_file(runs_ / "seed42/Output.dat"));
  write_file(folder_ / "Output.dat", joined(lines, first_record_of(lines, 100)));
  EXPECT_EQ(report(folder_ / "Output.dat", runs_ / "seed42/history", &err), exit_done) << err;
}

// Each pair disagrees; the message gives the file and line of the first disagreement (in the
// history or in the results file) and names the other file.
TEST_F(ResultsWithHistory, ResultsAndHistoryOfDifferentRunsAreRefused) {
  const fs::path results = runs_ / "seed42/Output.dat";
  const fs::path history = runs_ / "seed42/history";
  const fs::path abundance = history / "abundance.csv";
  const std::vector<std::string> records = lines_of(read_file(results));
  const std::vector<std::string> rows = lines_of(read_file(abundance));
  const auto line_number = [](std::size_t index) { return ":" + std::to_string(index + 1) + ": "; };

  // The last report cut short, as a stop while writing it leaves it.
  const fs::path cut_inside = folder_ / "cut_inside.dat";
  write_file(cut_inside, joined(records, first_record_of(records, 100) + 5));
  // Reports stop at generation 70 while the history goes on to 100.
  const fs::path short_results = folder_ / "short.dat";
  write_file(short_results, joined(records, first_record_of(records, 80)));
  // A parasite of generation 50 given label 9.
  std::vector<std::string> relabelled = records;
  relabelled[first_record_of(records, 50)].replace(58, 8, "       9");
  const fs::path relabelled_results = folder_ / "relabelled.dat";
  write_file(relabelled_results, joined(relabelled, relabelled.size()));
  // The last parasite of a host at generation 60 moved to the next host: labels still agree.
  std::vector<std::string> moved = records;
  std::size_t boundary = first_record_of(records, 60);
  while (moved[boundary].substr(26, 31) == moved[boundary + 1].substr(26, 31)) {
    ++boundary;
  }
  moved[boundary].replace(26, 31, moved[boundary + 1].substr(26, 31));
  const fs::path moved_results = folder_ / "moved.dat";
  write_file(moved_results, joined(moved, moved.size()));
  const std::string moved_from = std::to_string(std::stoll(records[boundary].substr(26, 10)));
  std::size_t moved_row = first_row_of(rows, 60);
  while (field(rows[moved_row], 3) != moved_from) {
    ++moved_row;
  }
  // One more parasite in the history at generation 90.
  const fs::path counted = folder_ / "counted";
  fs::create_directories(counted);
  fs::copy_file(history / "species.csv", counted / "species.csv");
  std::vector<std::string> recounted = rows;
  std::string& row_90 = recounted[first_row_of(rows, 90)];
  const std::string count = field(row_90, 5);
  row_90.replace(field_start(row_90, 5), count.size(), std::to_string(std::stoll(count) + 1));
  write_file(counted / "abundance.csv", joined(recounted, recounted.size()));

  const struct {
    const char* what;
    fs::path results;
    fs::path history;
    std::string where;  // the start of the message
    std::string words;
  } cases[] = {
      {"another seed", runs_ / "seed7/Output.dat", history,
       abundance.string() + line_number(first_row_of(rows, 10)), "generation 10 has "},
      {"a history of fewer generations", results, runs_ / "seed42_75/history",
       results.string() + line_number(first_record_of(records, 80)),
       "generation 80 is reported here, but the history in " +
           (runs_ / "seed42_75/history/abundance.csv").string() + " ends at generation 75"},
      {"a results file of fewer generations", short_results, history,
       abundance.string() + line_number(first_row_of(rows, 80)),
       "generation 80 has parasites here, but " + short_results.string() + " has no report of it"},
      {"the last report cut short", cut_inside, history,
       abundance.string() + line_number(first_row_of(rows, 100)), "generation 100 has "},
      {"a label changed", relabelled_results, history,
       abundance.string() + line_number(first_row_of(rows, 50)), "parasites of label 1 here, but "},
      {"a parasite on another host", moved_results, history,
       abundance.string() + line_number(moved_row), "parasites of host " + moved_from + " here"},
      {"a count changed", results, counted,
       (counted / "abundance.csv").string() + line_number(first_row_of(rows, 90)),
       "generation 90 has "},
  };
  for (const auto& refused : cases) {
    SCOPED_TRACE(refused.what);
    std::string err;
    EXPECT_EQ(report(refused.results, refused.history, &err), exit_malformed_results);
    EXPECT_EQ(err.rfind(refused.where, 0), 0u) << err;
    EXPECT_NE(err.find(refused.words), std::string::npos) << err;
    EXPECT_NE(err.find("not of one run"), std::string::npos) << err;
  }
}

}  // namespace
}  // namespace parasim::report_tool
