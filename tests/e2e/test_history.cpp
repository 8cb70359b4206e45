#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "e2e/csv_rows.hpp"
#include "e2e/run_parasim.hpp"

namespace parasim::testing {
namespace {

using Tally = std::map<std::tuple<int, int, int>, int>;  // (generation, label, host) -> count

// The parasites of every reported generation by label and host, from the results file.
Tally reported_counts(const std::string& results) {
  Tally counts;
  std::istringstream lines(results);
  std::string line;
  for (int header = 0; header < 6; ++header) {
    std::getline(lines, line);
  }
  while (std::getline(lines, line)) {
    const int generation = std::stoi(line.substr(1, 8));
    const int host = static_cast<int>(std::stod(line.substr(26, 15)));
    const int label = std::stoi(line.substr(58, 8));
    ++counts[{generation, label, host}];
  }
  return counts;
}

// The host holding most parasites of each species in each generation, the lower on a tie.
std::map<std::pair<int, int>, int> main_hosts(
    const std::vector<std::vector<std::string>>& abundance) {
  std::map<std::pair<int, int>, std::pair<int, int>> most;  // (generation, species) -> count, host
  for (const auto& row : abundance) {
    const std::pair<int, int> key{std::stoi(row[0]), std::stoi(row[1])};
    const int count = std::stoi(row[5]);
    const int host = std::stoi(row[3]);
    const auto found = most.find(key);
    if (found == most.end() || count > found->second.first ||
        (count == found->second.first && host < found->second.second)) {
      most[key] = {count, host};
    }
  }
  std::map<std::pair<int, int>, int> hosts;
  for (const auto& [key, count_host] : most) {
    hosts[key] = count_host.second;
  }
  return hosts;
}

// Each species arose on the host holding most of its parasites at its birth, by abundance.csv,
// and its parent's host is the same for the parent then; the shift says whether they differ.
void expect_hosts_at_birth_of(const std::vector<std::vector<std::string>>& species,
                              const std::vector<std::vector<std::string>>& abundance) {
  const auto hosts = main_hosts(abundance);
  int shifts = 0;
  for (const auto& row : species) {
    ASSERT_EQ(row.size(), 10u);
    const int born = std::stoi(row[3]);
    EXPECT_EQ(row[7], std::to_string(hosts.at({born, std::stoi(row[0])}))) << "species " << row[0];
    if (row[2].empty()) {
      EXPECT_EQ(row[8], "");
      EXPECT_EQ(row[9], "");
      continue;
    }
    EXPECT_EQ(row[8], std::to_string(hosts.at({born, std::stoi(row[2])}))) << "species " << row[0];
    EXPECT_EQ(row[9], row[7] != row[8] ? "true" : "false") << "species " << row[0];
    shifts += row[9] == "true";
  }
  EXPECT_GT(shifts, 0) << "the run should have species arising on another host";
}

TEST(History, LeavesTheRunAloneAndAgreesWithEveryReport) {
  const auto dir = fresh_directory("history");
  // Loose mate recognition and dispersal: species split and spread over the hosts.
  const std::string input = answers(60, 0.1, 0.01, 2, 0.1, 5, 0.75, 200, 0.5, 120);
  const RunResult plain = run_parasim(dir, input, "--seed 31");
  const std::string results = read_file(dir / "Output.dat");
  const RunResult with_history = run_parasim(dir, input, "--seed 31 --history hist");
  ASSERT_EQ(with_history.exit_status, 0) << with_history.err;
  EXPECT_EQ(with_history.out, plain.out);
  EXPECT_EQ(read_file(dir / "Output.dat"), results);

  const auto species = csv_rows(read_file(dir / "hist/species.csv"));
  const auto abundance = csv_rows(read_file(dir / "hist/abundance.csv"));
  ASSERT_GT(species.size(), 2u) << "the run should split";
  EXPECT_EQ(species[0],
            (std::vector<std::string>{"1", "1", "", "1", "3", "120", "true", "1", "", ""}));

  Tally history;
  int last_generation = 0;
  for (const auto& row : abundance) {
    ASSERT_EQ(row.size(), 8u);
    const int generation = std::stoi(row[0]);
    EXPECT_GE(generation, last_generation) << "rows in generation order";
    last_generation = generation;
    if (generation == 1 || generation % 10 == 0) {
      history[{generation, std::stoi(row[2]), std::stoi(row[3])}] += std::stoi(row[5]);
    }
  }
  EXPECT_EQ(last_generation, 120) << "every generation is covered";
  EXPECT_EQ(history, reported_counts(results));
  expect_hosts_at_birth_of(species, abundance);
}

TEST(History, AFolderThatCannotBeMadeIsRefusedBeforeTheResultsFile) {
  const auto dir = fresh_directory("history-refused");
  write_file(dir / "Output.dat", "earlier results\n");
  write_file(dir / "taken", "a file where the folder should go");
  const std::string input = answers(20, 0.1, 0.01, 2, 0.1, 3, 1.0, 30, 1.0, 5);
  for (const std::string folder : {"taken", "taken/hist"}) {
    const RunResult run = run_parasim(dir, input, "--seed 1 --history " + folder);
    EXPECT_EQ(run.exit_status, 2) << folder;
    EXPECT_NE(run.err.find(folder), std::string::npos) << run.err;
    EXPECT_EQ(read_file(dir / "Output.dat"), "earlier results\n") << folder;
  }
}

// The ten answers' digest as run.json documents it: FNV-1a over each answer in its own type
// (32-bit integer or double), in the order asked.
std::string answers_digest(const std::vector<std::int32_t>& integers,
                           const std::vector<double>& reals, const std::string& types) {
  std::uint64_t digest = 14695981039346656037ull;
  const auto add = [&digest](const void* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
      digest = (digest ^ static_cast<const unsigned char*>(data)[i]) * 1099511628211ull;
    }
  };
  std::size_t next_integer = 0;
  std::size_t next_real = 0;
  for (const char type : types) {
    if (type == 'i') {
      add(&integers[next_integer++], sizeof(std::int32_t));
    } else {
      add(&reals[next_real++], sizeof(double));
    }
  }
  char text[24];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(digest));
  return text;
}

// The history carries the mark of its run; a resumed run goes on only with its own history.
TEST(History, CarriesTheMarkOfItsRunAndAResumedRunChecksIt) {
  const auto dir = fresh_directory("history-mark");
  const std::string input = answers(20, 0.1, 0.01, 2, 0.1, 3, 1.0, 30, 1.0, 5);
  ASSERT_EQ(run_parasim(dir, input, "--seed 9 --history other").exit_status, 0);
  ASSERT_EQ(run_parasim(dir, input,
                        "--seed 8 --history h --record rec.json --checkpoint cp "
                        "--checkpoint-every 2")
                .exit_status,
            0);
  const std::string mark = read_file(dir / "h" / "run.json");
  const std::string record = read_file(dir / "rec.json");
  const auto object_after = [](const std::string& text, const std::string& key) {
    const std::size_t at = text.find("\"" + key + "\": {");
    return at == std::string::npos
               ? std::string()
               : text.substr(at + key.size() + 4, text.find('}', at) - at - key.size() - 3);
  };
  EXPECT_EQ(object_after(mark, "answers"), object_after(record, "parameters"));
  EXPECT_NE(object_after(mark, "answers"), "");
  EXPECT_NE(mark.find("\"program\": \"parasim\""), std::string::npos) << mark;
  EXPECT_NE(mark.find("\"seed\": 8,"), std::string::npos) << mark;
  const std::string digest =
      answers_digest({20, 2, 3, 30, 5}, {0.1, 0.01, 0.1, 1.0, 1.0}, "irriririri");
  EXPECT_NE(mark.find("\"answers_digest\": \"" + digest + "\""), std::string::npos) << mark;
  EXPECT_NE(read_file(dir / "other" / "run.json"), mark) << "another seed, another mark";

  const std::string results = read_file(dir / "Output.dat");
  const std::string abundance = read_file(dir / "h" / "abundance.csv");
  EXPECT_EQ(run_parasim(dir, input, "--resume cp --history h").exit_status, 0);
  EXPECT_EQ(read_file(dir / "Output.dat"), results);
  EXPECT_EQ(read_file(dir / "h" / "abundance.csv"), abundance);

  // Another run's mark, or none: refused, and every file left as it was.
  const struct {
    std::string mark;
    std::string message;
  } foreign[] = {
      {read_file(dir / "other" / "run.json"), "run.json\" is not the file the checkpoint"},
      {"", "cannot reopen"},
  };
  for (const auto& c : foreign) {
    if (c.mark.empty()) {
      std::filesystem::remove(dir / "h" / "run.json");
    } else {
      write_file(dir / "h" / "run.json", c.mark);
    }
    const RunResult run = run_parasim(dir, input, "--resume cp --history h");
    EXPECT_EQ(run.exit_status, 2);
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_EQ(read_file(dir / "Output.dat"), results);
    EXPECT_EQ(read_file(dir / "h" / "abundance.csv"), abundance);
  }
}

}  // namespace
}  // namespace parasim::testing
