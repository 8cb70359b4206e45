// Input that no user means to give: junk, NUL bytes, numbers with a million
// digits, values at the edges of a double, and answers that make no sense for the
// model. Each case goes through the real binary; none may crash it.

#include <sys/wait.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "e2e/run_parasim.hpp"

namespace parasim::testing {
namespace {

const std::string closing_lines =
    " ---------------------------------------------\r\n"
    " This simulation ran successfully\r\n"
    " See your results at the generated file \"Output.dat\"\r\n"
    " ---------------------------------------------\r\n";

const std::set<std::string> read_messages = {"End of file", "Bad integer for item 1 in list input",
                                             "Integer overflow while reading item 1",
                                             "Bad real number in item 1 of list input"};

const std::string& header = results_file_header;

// The records of Output.dat after its header, each exactly 66 characters.
struct Record {
  int generation;
  double phenotype;
  double host;
  double host_phenotype;
  int species;
};

std::vector<Record> records_of(const std::string& file) {
  EXPECT_EQ(file.substr(0, header.size()), header);
  std::vector<Record> records;
  for (std::size_t at = header.size(); at < file.size(); at += 68) {
    const std::string line = file.substr(at, 68);
    if (line.size() < 68 || line.substr(66) != "\r\n") {
      ADD_FAILURE() << "not a record: " << line;
      break;
    }
    records.push_back({std::stoi(line.substr(1, 8)), std::stod(line.substr(10, 15)),
                       std::stod(line.substr(26, 15)), std::stod(line.substr(42, 15)),
                       std::stoi(line.substr(58, 8))});
  }
  return records;
}

// Every run here is stopped after 30 seconds: a run that hangs ends with status 124.
RunResult run_limited(const std::filesystem::path& dir, const std::string& input,
                      const std::string& arguments = "") {
  return run_parasim(dir, input, arguments, 30);
}

std::string line_of(const std::string& err, bool last) {
  if (err.empty() || err.back() != '\n')
    return "(no complete line) " + err;
  const std::string text = err.substr(0, err.size() - 1);
  return last ? text.substr(text.rfind('\n') + 1) : text.substr(0, text.find('\n'));
}

// A read failure at parameter `parameter`: status 2, that message last, the
// parameter named first, no closing lines, no results file.
void expect_read_failure(const std::filesystem::path& dir, const RunResult& run, int parameter,
                         const std::string& message) {
  EXPECT_EQ(run.exit_status, 2) << run.err;
  EXPECT_EQ(line_of(run.err, true), message);
  EXPECT_NE(line_of(run.err, false).find("parameter " + std::to_string(parameter) + " of 10"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(run.out.find("successfully"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir / "Output.dat"));
}

// The value that a completed run recorded for one parameter, as the record writes it.
std::string recorded(const std::filesystem::path& dir, const std::string& name) {
  const std::string json = read_file(dir / "run.json");
  const std::size_t at = json.find("\"" + name + "\": ");
  if (at == std::string::npos)
    return "(not recorded)";
  const std::size_t from = at + name.size() + 4;
  return json.substr(from, json.find_first_of(",\n", from) - from);
}

// The exact decimal expansion of 2^-n: 5^n / 10^n.
std::string exact_power_of_half(int n) {
  std::vector<int> digits = {1};  // little-endian decimal digits of 5^n
  for (int i = 0; i < n; ++i) {
    int carry = 0;
    for (int& d : digits) {
      const int v = d * 5 + carry;
      d = v % 10;
      carry = v / 10;
    }
    if (carry > 0)
      digits.push_back(carry);
  }
  std::string text = "0." + std::string(static_cast<std::size_t>(n) - digits.size(), '0');
  for (auto d = digits.rbegin(); d != digits.rend(); ++d)
    text += static_cast<char>('0' + *d);
  return text;
}

TEST(HostileInput, InputThatEndsEarlyCreatesNoResultsFile) {
  const auto dir = fresh_directory("hostile-early");
  for (const auto& [input, failing_read] :
       std::vector<std::pair<std::string, int>>{{"", 1},
                                                {"\n\n \t \r\n\n", 1},
                                                {"20\n0.2\n0.01\n2\n0.1\n", 6},
                                                {"20\n0.2", 3},  // the last item ends at the end
                                                {"20\r0.2\r0.01\r2\r0.1\r3\r1\r30\r1\r5\r", 2}}) {
    SCOPED_TRACE(input);
    const RunResult run = run_limited(dir, input);
    expect_read_failure(dir, run, failing_read, "End of file");
    // The prompts up to the failing read are shown, none after it.
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 7 + failing_read);
  }
}

TEST(HostileInput, BinaryJunkEndsInAReportOrARunNeverACrash) {
  const auto dir = fresh_directory("hostile-junk");
  std::string numberish = "0123456789+-.eEdD ,/\t\r\n*xX";
  numberish += '\0';
  numberish += '\xff';
  const std::vector<std::string> good = {"20", "0.2", "0.01", "0",   "0.1",
                                         "3",  "1.0", "30",   "1.0", "3"};
  std::mt19937 bits(20240611);
  std::set<int> statuses;
  for (int variant = 0; variant < 100; ++variant) {
    std::string input;
    if (variant < 40) {  // bytes of every value
      for (std::size_t n = 1 + bits() % 2000; n > 0; --n)
        input += static_cast<char>(bits());
    } else {  // one answer of a dialogue that is otherwise fine replaced by junk
      const std::size_t replaced = static_cast<std::size_t>(variant) % good.size();
      for (std::size_t i = 0; i < good.size(); ++i) {
        if (i != replaced) {
          input += good[i] + "\n";
          continue;
        }
        for (std::size_t n = 1 + bits() % 12; n > 0; --n) {
          input += numberish[bits() % numberish.size()];
        }
        input += "\n";
      }
    }
    std::filesystem::remove(dir / "Output.dat");
    const RunResult run = run_limited(dir, input);
    SCOPED_TRACE("variant " + std::to_string(variant));
    statuses.insert(run.exit_status);
    if (run.exit_status == 0) {
      EXPECT_EQ(run.err, "");
      EXPECT_TRUE(run.out.ends_with(closing_lines)) << run.out;
      continue;
    }
    ASSERT_EQ(run.exit_status, 2) << run.err;
    const std::string last = line_of(run.err, true);
    EXPECT_TRUE(read_messages.count(last) == 1 || last.find(" must be ") != std::string::npos)
        << last;
    EXPECT_EQ(run.err.rfind("parasim: ", 0), 0u) << run.err;
    EXPECT_EQ(run.out.find("successfully"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir / "Output.dat"));
  }
  // The variants reach both ends: reports and completed runs.
  EXPECT_EQ(statuses, (std::set<int>{0, 2}));
}

TEST(HostileInput, NulBytesBreakAnItemButNotTheDiscardedRestOfALine) {
  const auto dir = fresh_directory("hostile-nul");
  const auto nul = [](std::string text) {  // '@' stands for a NUL byte
    std::replace(text.begin(), text.end(), '@', '\0');
    return text;
  };
  const std::string rest = "0.2\n0.01\n0\n0.1\n3\n1.0\n30\n1.0\n1\n";
  expect_read_failure(dir, run_limited(dir, nul("@")), 1, "Bad integer for item 1 in list input");
  expect_read_failure(dir, run_limited(dir, nul("2@0\n") + rest), 1,
                      "Bad integer for item 1 in list input");
  expect_read_failure(dir, run_limited(dir, nul("20\n0.@2\n")), 2,
                      "Bad real number in item 1 of list input");
  // After the item the rest of the line is dropped, NUL bytes and all.
  const RunResult run = run_limited(dir, nul("20 @@junk@\n") + rest, "--record run.json");
  EXPECT_EQ(run.exit_status, 0) << run.err;
  EXPECT_EQ(recorded(dir, "genome_size"), "20");
  EXPECT_EQ(recorded(dir, "max_differentiation"), "0.20000000000000001");
}

TEST(HostileInput, MillionDigitNumbers) {
  const auto dir = fresh_directory("hostile-digits");
  const std::string million_zeros(1'000'000, '0');
  const std::string rest = "0.01\n0\n0.1\n3\n1.0\n30\n1.0\n0\n";
  expect_read_failure(dir, run_limited(dir, "1" + million_zeros + "\n"), 1,
                      "Integer overflow while reading item 1");
  expect_read_failure(dir, run_limited(dir, "-9" + million_zeros + "\n"), 1,
                      "Integer overflow while reading item 1");
  // A million-digit integer part is far too large for a double.
  expect_read_failure(dir, run_limited(dir, "20\n1" + million_zeros + ".5\n"), 2,
                      "Bad real number in item 1 of list input");
  expect_read_failure(dir, run_limited(dir, "20\n1" + million_zeros + "e-999690\n"), 2,
                      "Bad real number in item 1 of list input");

  struct Case {
    std::string genome_size;
    std::string max_differentiation;
    std::string expected_genome_size;
    std::string expected_differentiation;
  };
  for (const Case& c :
       std::vector<Case>{{million_zeros + "20", "0." + million_zeros + "1", "20", "0"},
                         {"+" + million_zeros + "7", "1" + million_zeros + "e-1000000", "7", "1"},
                         {"-" + million_zeros, "0.25" + million_zeros + "1", "0", "0.25"},
                         {"20", million_zeros + "3.5" + million_zeros, "20", "3.5"}}) {
    const RunResult run = run_limited(
        dir, c.genome_size + "\n" + c.max_differentiation + "\n" + rest, "--record run.json");
    SCOPED_TRACE(c.expected_genome_size + " " + c.expected_differentiation);
    EXPECT_EQ(run.exit_status, 0) << run.err;
    EXPECT_EQ(recorded(dir, "genome_size"), c.expected_genome_size);
    EXPECT_EQ(recorded(dir, "max_differentiation"), c.expected_differentiation);
  }
}

// Reals at the edges of a double, and the forms the reader accepts or refuses.
TEST(HostileInput, RealsAtTheEdgesOfADouble) {
  const auto dir = fresh_directory("hostile-reals");
  const std::string half_subnormal = exact_power_of_half(1075);  // halfway between 0 and 2^-1074
  std::string one_and_half_ulp = exact_power_of_half(53);        // 1 + 2^-53: halfway above 1
  one_and_half_ulp[0] = '1';
  for (const auto& [item, expected] : std::vector<std::pair<std::string, std::string>>{
           {"+1.5", "1.5"},
           {"+.5", "0.5"},
           {"5.", "5"},
           {"-1.5-3", "-0.0015"},
           {"+2D+2", "200"},
           {"1.7976931348623157e308", "1.7976931348623157e+308"},
           {"4e-320", "3.999955468730732e-320"},
           {"2.2250738585072011e-308", "2.2250738585072009e-308"},
           {"4.9406564584124654e-324", "4.9406564584124654e-324"},
           {"1e-400", "0"},
           {"-1e-400", "-0"},
           {"9007199254740993", "9007199254740992"},  // ties go to the even neighbour
           {"9007199254740995", "9007199254740996"},
           {one_and_half_ulp, "1"},
           {one_and_half_ulp + std::string(2000, '0') + "1", "1.0000000000000002"},
           {half_subnormal, "0"},
           {half_subnormal + std::string(2000, '0') + "1", "4.9406564584124654e-324"},
       }) {
    const RunResult run = run_limited(dir, "10\n0.2\n" + item + "\n0\n0.1\n3\n1.0\n30\n1.0\n0\n",
                                      "--record run.json");
    SCOPED_TRACE(item.substr(0, 40));
    EXPECT_EQ(run.exit_status, 0) << run.err;
    EXPECT_EQ(recorded(dir, "mutation_rate"), expected);
  }
  const std::vector<std::string> bad_reals = {
      "1e400", "-1e400", "1.8e308", "Inf",  "-inf", "NaN", "infinity", "+",     "-",  ".",
      "+.",    "-.e5",   "2*9",     "0x10", "1e",   "1e+", "1..2",     "1e5.5", ",5", "/"};
  for (const std::string& item : bad_reals) {
    SCOPED_TRACE(item);
    std::filesystem::remove(dir / "Output.dat");
    expect_read_failure(dir, run_limited(dir, "10\n0.2\n" + item + "\n"), 3,
                        "Bad real number in item 1 of list input");
  }
  for (const char* item : {"+", "-", "+-1", "2*9", "1e3", "0x10", "+ 5", ",5"}) {
    SCOPED_TRACE(item);
    std::filesystem::remove(dir / "Output.dat");
    expect_read_failure(dir, run_limited(dir, std::string(item) + "\n"), 1,
                        "Bad integer for item 1 in list input");
  }
}

// Answers that make no sense still give a run that ends quickly and well, or a
// refusal that leaves no results file.
TEST(HostileInput, NonsenseAnswersNeverBreakARun) {
  const auto dir = fresh_directory("hostile-nonsense");
  for (const auto& [genome, hosts, capacity] : std::vector<std::tuple<int, int, int>>{
           {-1, 3, 30}, {-2147483647, 3, 30}, {20, -5, 30}, {20, -2147483647, 30}, {20, 3, -1}}) {
    std::filesystem::remove(dir / "Output.dat");
    const RunResult run =
        run_limited(dir, answers(genome, 0.2, 0.01, 2, 0.1, hosts, 1.0, capacity, 1.0, 5));
    EXPECT_EQ(run.exit_status, 2);
    EXPECT_NE(line_of(run.err, true).find(" must be "), std::string::npos) << run.err;
    EXPECT_EQ(run.out.find("running"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir / "Output.dat"));
  }

  using Records = std::vector<Record>;
  struct Case {
    std::string name;
    std::string input;
    std::function<void(const Records&)> check;
    std::string arguments = "";  // a seed, for cases whose outcome is a matter of chance
  };
  const auto only_generation_one = [](const Records& r) {
    EXPECT_EQ(r.size(), 3u);
    EXPECT_EQ(r.back().generation, 1);
  };
  const auto reaches = [](const Records& r, int generation) {
    ASSERT_FALSE(r.empty());
    EXPECT_EQ(r.back().generation, generation);
  };
  const auto count_at = [](const Records& r, int generation, double host = 0.0) {
    return std::count_if(r.begin(), r.end(), [&](const Record& x) {
      return x.generation == generation && (host == 0.0 || x.host == host);
    });
  };
  // Hosts x capacity beyond 2^31, exactly 2^32 and beyond 2^32.
  const auto large_world = [&](int hosts) {
    return [&, hosts](const Records& r) {
      reaches(r, 10);
      for (const Record& x : r)
        EXPECT_TRUE(x.host >= 1 && x.host <= hosts) << x.host;
    };
  };
  const std::vector<Case> cases = {
      {"survival sd 0", answers(20, 0.2, 0.01, 2, 0.1, 3, 1.0, 30, 0.0, 1000000),
       only_generation_one},
      {"no offspring, endless", answers(20, 0.2, 0.01, 0, 0.1, 3, 1.0, 30, 1.0, 2147483647),
       only_generation_one},
      {"no mate is close enough", answers(20, -2.0, 0.01, 2, 0.1, 3, 1.0, 30, 1.0, 20),
       only_generation_one},
      {"never mutates", answers(20, 0.2, -1.0, 2, 0.1, 3, 1.0, 30, 1.0, 20),
       [&](const Records& r) {
         reaches(r, 20);
         for (const Record& x : r)
           EXPECT_EQ(x.phenotype, r.front().phenotype);
       }},
      // Every locus flips in every child: generation g is g - 1 flips from the founders.
      {"always mutates", answers(20, 0.2, 5.0, 2, 0.1, 3, 1.0, 30, 100.0, 20),
       [&](const Records& r) {
         reaches(r, 20);
         for (const Record& x : r) {
           EXPECT_DOUBLE_EQ(x.phenotype,
                            x.generation == 1 ? r.front().phenotype : 2.0 - r.front().phenotype);
         }
       }},
      {"never disperses", answers(20, 0.2, 0.01, 2, -3.0, 3, 1.0, 30, 1.0, 20),
       [&](const Records& r) {
         reaches(r, 20);
         for (const Record& x : r)
           EXPECT_EQ(x.host, 1.0);
       }},
      {"always disperses", answers(20, 0.2, 0.01, 2, 7.0, 3, 0.0, 30, 1.0, 20),
       [&](const Records& r) {
         reaches(r, 20);
         std::set<double> hosts;
         for (const Record& x : r)
           hosts.insert(x.host);
         EXPECT_EQ(hosts, (std::set<double>{1.0, 2.0, 3.0}));
       }},
      {"every parasite is a mate", answers(20, 3.5, 0.05, 2, 0.1, 3, 1.0, 30, 1.0, 20),
       [&](const Records& r) {
         reaches(r, 20);
         for (const Record& x : r)
           EXPECT_EQ(x.species, 1);
       }},
      {"offspring beyond counting", answers(20, 0.2, 0.01, 2147483647, 0.1, 3, 1.0, 30, 1.0, 20),
       [&](const Records& r) {
         reaches(r, 20);
         EXPECT_LE(
             std::count_if(r.begin(), r.end(), [](const Record& x) { return x.generation == 20; }),
             90);
       }},
      // A threshold of 0: only identical genomes mate, and a parent always can with itself.
      {"only identical genomes mate", answers(20, -0.075, 0.01, 2, 0.1, 3, 1.0, 30, 1.0, 20),
       [&](const Records& r) { reaches(r, 20); }},
      {"no loci", answers(0, 0.2, 0.01, 2, 0.1, 3, 1.0, 30, 1.0, 20),
       [&](const Records& r) {
         reaches(r, 20);
         for (const Record& x : r) {
           EXPECT_EQ(x.phenotype, 0.0);
           EXPECT_EQ(x.species, 1);
           EXPECT_EQ(x.host_phenotype, x.host == 1.0 ? 0.0 : x.host == 2.0 ? 1.0 : -1.0);
         }
       }},
      {"hosts in one place", answers(20, 0.2, 0.01, 2, 0.1, 3, 0.0, 30, 1.0, 20),
       [&](const Records& r) {
         reaches(r, 20);
         for (const Record& x : r)
           EXPECT_EQ(x.host_phenotype, r.front().phenotype);
         EXPECT_GT(count_at(r, 20) - count_at(r, 20, 1.0), 0);
       }},
      // The three founders on a host that makes one child a generation.
      {"capacity below the founders", answers(20, 0.2, 0.01, 2, 0.1, 1, 1.0, 1, 1.0, 20),
       [&](const Records& r) {
         reaches(r, 20);
         EXPECT_EQ(count_at(r, 1), 3);
         EXPECT_EQ(count_at(r, 10), 1);
         EXPECT_EQ(count_at(r, 20), 1);
       },
       "--seed 5"},
      // Two hosts making 10 children each; dispersal crowds more than 10 onto one of them.
      {"more residents than children", answers(20, 0.2, 0.01, 2, 0.5, 2, 0.0, 10, 1.0, 20),
       [&](const Records& r) {
         reaches(r, 20);
         for (const int generation : {10, 20})
           EXPECT_LE(count_at(r, generation), 20);
         EXPECT_GT(std::max(count_at(r, 20, 1.0), count_at(r, 20, 2.0)), 10);
       },
       "--seed 5"},
      {"46341 x 46341", answers(20, 0.2, 0.01, 2, 0.5, 46341, 0.0, 46341, 1.0, 10),
       large_world(46341)},
      {"65536 x 65536", answers(20, 0.2, 0.01, 2, 0.5, 65536, 0.0, 65536, 1.0, 10),
       large_world(65536)},
      {"100000 x 100000", answers(20, 0.2, 0.01, 2, 0.5, 100000, 0.0, 100000, 1.0, 10),
       large_world(100000)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const RunResult run = run_limited(dir, c.input, c.arguments);
    EXPECT_EQ(run.exit_status, 0) << run.err;
    EXPECT_NE(run.out.find("This simulation ran successfully"), std::string::npos);
    c.check(records_of(read_file(dir / "Output.dat")));
  }
}

}  // namespace
}  // namespace parasim::testing
