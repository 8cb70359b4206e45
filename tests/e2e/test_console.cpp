#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/run_parasim.hpp"

namespace parasim::testing {
namespace {

const std::string rule = " ---------------------------------------------\r\n";

const std::string banner = rule +
                           "  Welcome! This executable is part of the manuscript:\r\n"
                           "  Quillmarsh\r\n"
                           "  by Ashgrove,\r\n"
                           " Fenwright\r\n" +
                           rule +
                           " Please, enter with the following parameters (see table 1 of the "
                           "manuscript)\r\n";

const std::vector<std::string> prompts = {
    " Genome size\r\n",
    " Maximum genetic differentiation for mate recognition (a number between 0 and 1)\r\n",
    " Mutation rate\r\n",
    " Maximum number of offspring per parent\r\n",
    " Dispersal probability\r\n",
    " Total number of hosts in the resource space\r\n",
    " Distance between hosts (in standard deviation units)\r\n",
    "  Carrying capacity\r\n",
    "  Standard deviation of the survival probability function \r\n",
    " Time of this simulation (in generation units):\r\n",
};

const std::string running = " -----------\r\n The model is running ...\r\n";
const std::string closing = rule +
                            " This simulation ran successfully\r\n"
                            " See your results at the generated file \"Output.dat\"\r\n" +
                            rule;

std::string prompts_up_to(std::size_t count) {
  std::string text = banner;
  for (std::size_t i = 0; i < count; ++i) {
    text += prompts[i];
  }
  return text;
}

TEST(Console, CompleteRunShowsTheWholeTranscript) {
  const auto dir = fresh_directory("transcript");
  for (const int generations : {0, 3}) {
    const RunResult run =
        run_parasim(dir, answers(20, 0.2, 0.01, 2, 0.1, 3, 1.0, 30, 1.0, generations), "--seed 7");
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.out, prompts_up_to(10) + running + closing);
    EXPECT_EQ(run.err, "");
  }
}

// Each of the ten reads fails in each way; the prompts up to the failing one are
// shown, the report names that parameter, and nothing is written to Output.dat.
TEST(Console, EveryFailedReadEndsTheRunBeforeTheResultsFile) {
  const auto dir = fresh_directory("reads");
  const std::vector<std::string> good = {"10", "0.2", "0.01", "2",   "0.1",
                                         "3",  "1.0", "30",   "1.0", "5"};
  const std::vector<bool> integer = {true, false, false, true,  false,
                                     true, false, true,  false, true};
  for (std::size_t failing = 0; failing < good.size(); ++failing) {
    struct Case {
      std::string item;
      std::string message;
    };
    std::vector<Case> cases = {{"", "End of file"}};
    if (integer[failing]) {
      cases.push_back({"12.5", "Bad integer for item 1 in list input"});
      cases.push_back({"2147483648", "Integer overflow while reading item 1"});
      cases.push_back({"-2147483648", "Integer overflow while reading item 1"});
    } else {
      cases.push_back({"2e", "Bad real number in item 1 of list input"});
      cases.push_back({"abc", "Bad real number in item 1 of list input"});
    }
    for (const Case& c : cases) {
      write_file(dir / "Output.dat", "old results\n");
      std::string input;
      for (std::size_t i = 0; i < failing; ++i) {
        input += good[i] + "\r\n";
      }
      if (!c.item.empty()) {
        input += c.item + "\n" + "7\n";
      }
      const RunResult run = run_parasim(dir, input, "--seed 1");
      SCOPED_TRACE("read " + std::to_string(failing + 1) + " item '" + c.item + "'");
      EXPECT_EQ(run.exit_status, 2);
      EXPECT_EQ(run.out, prompts_up_to(failing + 1));
      ASSERT_GE(run.err.size(), c.message.size() + 1);
      EXPECT_EQ(run.err.substr(run.err.size() - c.message.size() - 1), c.message + "\n");
      const std::string first_line = run.err.substr(0, run.err.find('\n'));
      EXPECT_NE(first_line.find("parameter " + std::to_string(failing + 1) + " of 10"),
                std::string::npos)
          << first_line;
      EXPECT_EQ(read_file(dir / "Output.dat"), "old results\n");
    }
  }
}

TEST(Console, ReadsFollowTheListInputRules) {
  const auto dir = fresh_directory("rules");
  // Blanks, empty lines, a second value on a line that is discarded, a comma, the
  // D exponent and the sign-only exponent.
  const std::string input = "\n\n  20  \n0.2 9\n1d-3\n+2,7\n 1.0-1\n3\n1.0\n30\n1.0\n0\n";
  const RunResult run = run_parasim(dir, input, "--seed 7");
  EXPECT_EQ(run.exit_status, 0) << run.err;
  EXPECT_EQ(run.out, prompts_up_to(10) + running + closing);
}

TEST(Console, RefusesAWorldThatCannotExistBeforeTheResultsFile) {
  const auto dir = fresh_directory("refusal");
  for (const std::string& bad :
       {std::string("hosts"), std::string("genome"), std::string("capacity")}) {
    write_file(dir / "Output.dat", "old results\n");
    const RunResult run =
        run_parasim(dir,
                    answers(bad == "genome" ? -1 : 10, 0.2, 0.01, 2, 0.1, bad == "hosts" ? 0 : 3,
                            1.0, bad == "capacity" ? 0 : 30, 1.0, 5),
                    "--seed 1");
    EXPECT_EQ(run.exit_status, 2) << bad;
    EXPECT_EQ(run.out, prompts_up_to(10)) << bad;
    EXPECT_NE(run.err.find("must be"), std::string::npos) << run.err;
    EXPECT_EQ(read_file(dir / "Output.dat"), "old results\n");
  }
}

TEST(CommandLine, HelpVersionAndUsageErrors) {
  const auto dir = fresh_directory("options");
  RunResult run = run_parasim(dir, "", "--help");
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_NE(run.out.find("--seed TICKS"), std::string::npos);
  run = run_parasim(dir, "", "--version");
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.out.substr(0, run.out.find('\n') + 1), "parasim 1.0.0\n");
  for (const char* bad :
       {"--seed", "--seed -1", "--seed 2147483648", "--seed 12x", "--frobnicate", "extra"}) {
    run = run_parasim(dir, answers(10, 0.2, 0.01, 2, 0.1, 3, 1.0, 30, 1.0, 5), bad);
    EXPECT_EQ(run.exit_status, 2) << bad;
    EXPECT_EQ(run.out, "") << bad;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << bad;
    EXPECT_FALSE(std::filesystem::exists(dir / "Output.dat")) << bad;
  }
}

}  // namespace
}  // namespace parasim::testing
