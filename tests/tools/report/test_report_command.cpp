#include "report_command.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "folder_test.hpp"
#include "plot_runner.hpp"
#include "results_text.hpp"

namespace parasim::report_tool {
namespace {

namespace fs = std::filesystem;

// The fixture: hosts 1, 2 and 3 at phenotypes 5, 6 and 4; species 2 splits off by generation 10,
// species 3 by generation 20; species 1 is gone at 30 and 3 at 40, where label 1 is given again.
const fs::path fixture = fs::path(PARASIM_REPORT_TEST_DATA) / "four_species_spans.dat";

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

Outcome run(const std::vector<std::string>& arguments,
            const PlotTools& tools = {debian_python, PARASIM_PYTHON_PACKAGES}) {
  std::ostringstream out;
  std::ostringstream err;
  const int status = run_report_command(arguments, tools, out, err);
  return {status, out.str(), err.str()};
}

using ReportCommand = FolderTest;

const char* const fixture_summary_tail =
    "\n"
    "generation  population   species\n"
    "         1           3         1\n"
    "        10           6         2\n"
    "        20           7         3\n"
    "        30           4         2\n"
    "        40           2         2\n"
    "\n"
    "5 generations reported, from 1 to 40; 22 parasite records.\n"
    "\n"
    "New species (the first report that shows each label):\n"
    "  species 1 at generation 1\n"
    "  species 2 at generation 10\n"
    "  species 3 at generation 20\n"
    "  species 1 at generation 40 (the label of a species that had died out, given again)\n"
    "\n"
    "Species died out before generation 40 (the last report that shows each):\n"
    "  species 1, last seen at generation 20\n"
    "  species 3, last seen at generation 30\n";

TEST_F(ReportCommand, SummarisesTheFixture) {
  const Outcome outcome = run({fixture.string()});
  EXPECT_EQ(outcome.status, exit_done) << outcome.err;
  EXPECT_EQ(outcome.out, fixture.string() + "\n" + fixture_summary_tail);
  EXPECT_EQ(outcome.err, "");
}

// The same results with LF line ends, and cut after the last record's CR, read the same.
TEST_F(ReportCommand, SummaryDoesNotDependOnLineEnds) {
  std::string text = read_file(fixture);
  const fs::path cut = folder_ / "cut.dat";
  write_file(cut, text.substr(0, text.size() - 1));
  for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) {
    text.erase(at, 1);
  }
  const fs::path lf = folder_ / "lf.dat";
  write_file(lf, text);
  for (const fs::path& path : {lf, cut}) {
    const Outcome outcome = run({path.string()});
    EXPECT_EQ(outcome.status, exit_done) << outcome.err;
    EXPECT_EQ(outcome.out, path.string() + "\n" + fixture_summary_tail);
  }
}

TEST_F(ReportCommand, WritesTheTidyTablesOfTheFixture) {
  const fs::path tables = folder_ / "new";
  const Outcome outcome = run({"--csv", tables.string(), fixture.string()});
  ASSERT_EQ(outcome.status, exit_done) << outcome.err;
  EXPECT_EQ(read_file(tables / "generations.csv"),
            "generation,population,species,phenotype_mean,phenotype_sd\n"
            "1,3,1,5.000000,0.000000\n"
            "10,6,2,5.466667,0.474927\n"
            "20,7,3,4.914286,0.811398\n"
            "30,4,2,5.475000,0.852570\n"
            "40,2,2,5.500000,0.500000\n");
  EXPECT_EQ(read_file(tables / "species_by_generation.csv"),
            "generation,label,count,phenotype_mean,phenotype_sd,hosts_occupied\n"
            "1,1,3,5.000000,0.000000,1\n"
            "10,1,4,5.200000,0.353553,2\n"
            "10,2,2,6.000000,0.000000,1\n"
            "20,1,3,4.700000,0.424264,2\n"
            "20,2,2,6.050000,0.050000,1\n"
            "20,3,2,4.100000,0.100000,1\n"
            "30,2,3,5.966667,0.047140,1\n"
            "30,3,1,4.000000,0.000000,1\n"
            "40,1,1,5.000000,0.000000,1\n"
            "40,2,1,6.000000,0.000000,1\n");
  EXPECT_EQ(read_file(tables / "hosts.csv"),
            "generation,host,load,host_phenotype,species_present,labels\n"
            "1,1,3,5.0000,1,1\n"
            "10,1,3,5.0000,1,1\n"
            "10,2,3,6.0000,2,1;2\n"
            "20,1,2,5.0000,1,1\n"
            "20,2,2,6.0000,1,2\n"
            "20,3,3,4.0000,2,1;3\n"
            "30,2,3,6.0000,1,2\n"
            "30,3,1,4.0000,1,3\n"
            "40,1,1,5.0000,1,1\n"
            "40,2,1,6.0000,1,2\n");
  EXPECT_EQ(read_file(tables / "points.csv"),
            "generation,label,phenotype,count\n"
            "1,1,5.0000,3\n"
            "10,1,4.9000,1\n10,1,5.0000,1\n10,1,5.1000,1\n10,1,5.8000,1\n10,2,6.0000,2\n"
            "20,1,4.1000,1\n20,1,5.0000,2\n20,2,6.0000,1\n20,2,6.1000,1\n"
            "20,3,4.0000,1\n20,3,4.2000,1\n"
            "30,2,5.9000,1\n30,2,6.0000,2\n30,3,4.0000,1\n"
            "40,1,5.0000,1\n40,2,6.0000,1\n");
}

// A fault found half-way costs nothing: the tables of the last good report stay as they were.
TEST_F(ReportCommand, MalformedResultsNameFileAndLineAndKeepEarlierTables) {
  ASSERT_EQ(run({"--csv", folder_.string(), fixture.string()}).status, exit_done);
  const std::string tables_before = read_file(folder_ / "species_by_generation.csv");

  std::string text = read_file(fixture);
  const std::size_t line_20 = [&text] {
    std::size_t at = 0;
    for (int line = 1; line < 20; ++line) {
      at = text.find('\n', at) + 1;
    }
    return at;
  }();
  text.replace(line_20 + 58, 8, "********");
  const fs::path damaged = folder_ / "Output.dat";
  write_file(damaged, text);

  const Outcome outcome = run({damaged.string(), "--csv", folder_.string()});
  EXPECT_EQ(outcome.status, exit_malformed_results);
  EXPECT_EQ(outcome.err.rfind(damaged.string() + ":20: the species field (columns 59-66) holds "
                                                 "asterisks",
                              0),
            0u)
      << outcome.err;
  EXPECT_EQ(read_file(folder_ / "species_by_generation.csv"), tables_before);
  for (const auto& entry : fs::directory_iterator(folder_)) {
    EXPECT_EQ(entry.path().extension(), entry.path().stem() == "Output" ? ".dat" : ".csv")
        << entry.path();
  }
}

TEST_F(ReportCommand, UnreadableInputAndUnwritableTablesAreIoErrors) {
  Outcome outcome = run({(folder_ / "absent.dat").string()});
  EXPECT_EQ(outcome.status, exit_usage_or_io);
  EXPECT_NE(outcome.err.find("cannot open"), std::string::npos) << outcome.err;

  outcome = run({folder_.string()});
  EXPECT_EQ(outcome.status, exit_usage_or_io);
  EXPECT_NE(outcome.err.find("cannot read"), std::string::npos) << outcome.err;

  const fs::path plain_file = folder_ / "not-a-folder";
  write_file(plain_file, "x");
  outcome = run({"--csv", plain_file.string(), fixture.string()});
  EXPECT_EQ(outcome.status, exit_usage_or_io);
  EXPECT_NE(outcome.err.find("cannot use \"" + plain_file.string() + "\" as the tables folder"),
            std::string::npos)
      << outcome.err;
}

// A folder of packages whose parasim_report holds the one module `name`, of the given text.
fs::path stand_in_packages(const fs::path& folder, const std::string& name,
                           const std::string& text) {
  const fs::path package = folder / "packages" / "parasim_report";
  fs::create_directories(package);
  write_file(package / "__init__.py", "");
  write_file(package / (name + ".py"), text);
  return folder / "packages";
}

TEST_F(ReportCommand, FailedFiguresAreIoErrors) {
  Outcome outcome =
      run({"--plot", folder_.string(), fixture.string()}, {debian_python, folder_ / "absent"});
  EXPECT_EQ(outcome.status, exit_usage_or_io);
  EXPECT_NE(outcome.err.find("cannot find the figure module"), std::string::npos) << outcome.err;

  outcome = run({"--plot", folder_.string(), fixture.string()},
                {folder_ / "no-python", PARASIM_PYTHON_PACKAGES});
  EXPECT_EQ(outcome.status, exit_usage_or_io);
  EXPECT_NE(outcome.err.find("cannot run"), std::string::npos) << outcome.err;

  const fs::path failing = stand_in_packages(folder_, "figures", "import sys\nsys.exit(3)\n");
  outcome = run({"--plot", folder_.string(), fixture.string()}, {debian_python, failing});
  EXPECT_EQ(outcome.status, exit_usage_or_io);
  EXPECT_NE(outcome.err.find("failed (exit status 3)"), std::string::npos) << outcome.err;
}

// The files of a folder and their bytes.
std::map<std::string, std::string> folder_files(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    files[entry.path().filename().string()] = read_file(entry.path());
  }
  return files;
}

// A report's tables, figures and trees appear as one set or not at all.
TEST_F(ReportCommand, OutputsAppearAsOneSetOrNotAtAll) {
  const fs::path out = folder_ / "out";
  ASSERT_EQ(run({"--csv", out.string(), fixture.string()}).status, exit_done);
  const auto earlier = folder_files(out);
  const fs::path failing = stand_in_packages(
      folder_, "figures", "import sys\nopen(sys.argv[1] + '/phenotypes.svg', 'w')\nsys.exit(3)\n");
  EXPECT_EQ(run({"--plot", out.string(), fixture.string()}, {debian_python, failing}).status,
            exit_usage_or_io);
  EXPECT_EQ(folder_files(out), earlier) << "a failed report leaves the earlier set alone";

  // Two reports of different runs into one folder at once: the folder ends with the whole set
  // of one of them.
  const fs::path other_results = folder_ / "other.dat";
  write_file(other_results, testing::results_text(std::vector<testing::RecordValues>{
                                {1, 4.0, 2, 6.0, 7}, {10, 4.1, 2, 6.0, 7}}));
  const fs::path alone = folder_ / "alone";
  ASSERT_EQ(run({"--csv", alone.string(), other_results.string()}).status, exit_done);
  const auto other_set = folder_files(alone);
  for (int round = 0; round < 20; ++round) {
    std::thread first([&] { run({"--csv", out.string(), fixture.string()}); });
    std::thread second([&] { run({"--csv", out.string(), other_results.string()}); });
    first.join();
    second.join();
    const auto now = folder_files(out);
    ASSERT_TRUE(now == earlier || now == other_set) << "round " << round << ": a mix of two sets";
  }
}

const fs::path history = fs::path(PARASIM_REPORT_TEST_DATA) / "five_species_history";

std::string first_lines(const std::string& text, int count) {
  std::size_t end = 0;
  for (int line = 0; line < count && end != std::string::npos; ++line) {
    end = text.find('\n', end) + 1;
  }
  return text.substr(0, end);
}

const char* const history_summary_tail =
    ": generations 1 to 12\n"
    "\n"
    "  species in all                      5\n"
    "  speciation events                   4\n"
    "  extinctions                         1\n"
    "  first split                         generation 3 (species 2, label 2, from species 1)\n"
    "  mean lifetime of extinct species    3.0 generations (1 species)\n"
    "  species alive at the end            4 (2 with at least 10 parasites)\n"
    "  parasites in the last generation    41 on 3 hosts, at the start of generation 12\n"
    "  tree of the extant species          4 tips; Colless index 0 (normalised 0.0000); "
    "gamma -0.1960\n";
// Then how its species arose (species 2 and 3 on another host than their mother's, 4 and 5 on
// hers), and that the genetics need --genetics-every.
const char* const speciation_tail =
    "  daughters on the mother's host      2\n"
    "  daughters by a host shift           2 (0.5000 of the 4 daughters whose hosts are known)\n"
    "\n"
    "Genetic divergence, FST and mating groups need a run with --genetics-every G (this history "
    "has no divergence.csv or groups.csv).\n";

TEST_F(ReportCommand, SummarisesAHistoryWithOrWithoutTheResultsFile) {
  Outcome outcome = run({"--history", history.string()});
  EXPECT_EQ(outcome.status, exit_done) << outcome.err;
  EXPECT_EQ(outcome.out,
            "Species history in " + history.string() + history_summary_tail + speciation_tail);

  // The results file of the run that wrote the history: its summary, then the history's.
  const fs::path results = fs::path(PARASIM_REPORT_TEST_DATA) / "five_species_output.dat";
  outcome = run({results.string(), "--history", history.string()});
  EXPECT_EQ(outcome.status, exit_done) << outcome.err;
  EXPECT_EQ(outcome.out.rfind(results.string() + "\n\ngeneration  population   species\n", 0), 0u)
      << outcome.out;
  // Its last report is of generation 10, the history goes on to 12: the two counts of the end
  // side by side, and why they can differ.
  const std::string history_part =
      "\nSpecies history in " + history.string() + history_summary_tail +
      "  species at the end, two counts      4 labels in " + results.string() +
      " (generation 10), 4 extant species in the history (generation 12)\n"
      "                                      they differ as their generations do: the results "
      "file reports every tenth generation, the history every one\n" +
      speciation_tail;
  EXPECT_EQ(outcome.out.substr(outcome.out.size() - history_part.size()), history_part);

  // A results file of another run is refused (here the one whose reports diverge from the
  // history's at generation 10), after the summary of the results file.
  outcome = run({fixture.string(), "--history", history.string()});
  EXPECT_EQ(outcome.status, exit_malformed_results);
  EXPECT_EQ(outcome.err.rfind((history / "abundance.csv").string() +
                                  ":25: generation 10 has 1 "
                                  "parasite of label 1 here, but 4 in " +
                                  fixture.string(),
                              0),
            0u)
      << outcome.err;

  outcome = run({"--history", history.string(), "--min-size", "3"});
  EXPECT_NE(outcome.out.find("4 (3 with at least 3 parasites)"), std::string::npos) << outcome.out;
}

TEST_F(ReportCommand, WritesTheHistoryTables) {
  const Outcome outcome = run({"--history", history.string(), "--csv", folder_.string()});
  ASSERT_EQ(outcome.status, exit_done) << outcome.err;
  EXPECT_EQ(read_file(folder_ / "tree.nwk"),
            "(((sp1_L1:3,sp5_L4:3):4,sp3_L3:2):2,(sp2_L2:4,sp4_L3:4):5):2;\n");
  EXPECT_EQ(read_file(folder_ / "tree-extant.nwk"),
            "((sp1_L1:3,sp5_L4:3):6,(sp2_L2:4,sp4_L3:4):5):2;\n");
  EXPECT_EQ(read_file(folder_ / "species_history.csv"),
            "species,label,parent,born,last_seen,extant,size_at_birth,daughters,lifetime,"
            "peak_count,parasite_generations,final_count,tip_order\n"
            "1,1,,1,12,true,3,3,12,12,90,1,1\n"
            "2,2,1,3,12,true,11,1,10,13,71,3,4\n"
            "3,3,1,5,7,false,11,0,3,11,18,1,3\n"
            "4,3,2,8,12,true,11,0,5,14,63,14,5\n"
            "5,4,1,9,12,true,11,0,4,23,74,23,2\n");
  EXPECT_EQ(first_lines(read_file(folder_ / "species_sizes.csv"), 10),
            "generation,species,count,hosts_occupied\n1,1,3,1\n2,1,6,1\n3,1,8,1\n3,2,11,1\n"
            "4,1,10,1\n4,2,12,1\n5,1,12,2\n5,2,12,1\n5,3,11,1\n");
  const std::string host_use = read_file(folder_ / "host_use.csv");
  EXPECT_EQ(host_use.substr(host_use.find("12,")),
            "12,1,5,1,1\n12,2,5.5,2,2\n12,3,4.5,2,1\n12,2,5.5,4,14\n12,1,5,5,20\n12,2,5.5,5,3\n");
  // gamma is -sqrt(24) / 25, to the last digits the arithmetic leaves.
  EXPECT_EQ(
      read_file(folder_ / "history_summary.csv")
          .rfind("first_generation,last_generation,species_total,speciation_events,extinctions,"
                 "first_split_generation,mean_extinct_lifetime,species_at_end,min_size,"
                 "species_at_end_min_size,population_at_end,hosts_occupied_at_end,extant_tree_tips,"
                 "colless_index,colless_normalised,gamma,daughters_on_parent_host,host_shifts,"
                 "host_shift_share,divergence_generation,mean_divergence_between_extant,"
                 "sister_pairs,mean_sister_divergence,groups_generation,species_spanning_groups\n"
                 "1,12,5,4,1,3,3,4,10,2,41,3,4,0,0,-0.195959179422654"),
      0u);
  EXPECT_EQ(read_file(folder_ / "history_summary.csv")
                .substr(read_file(folder_ / "history_summary.csv").find("-0.19595917942265")),
            "-0.19595917942265426,2,2,0.5,,,,,,\n")
      << "the host shifts; the genetics left empty without the genetics tables";
  // Species 2 on host 2 with 2 and on host 3 with 1, a tie of none; species 4 all on host 2.
  EXPECT_EQ(read_file(folder_ / "species_at_end.csv"),
            "species,label,parent,born,birth_host,host_shift,hosts,parasites,groups\n"
            "1,1,,1,1,,1:1,1,\n2,2,1,3,2,true,2:2;3:1,3,\n4,3,2,8,2,false,2:14,14,\n"
            "5,4,1,9,1,false,1:20;2:3,23,\n");
  EXPECT_EQ(first_lines(read_file(folder_ / "lineages.csv"), 5),
            "generation,species_alive,speciation_events,extinctions,extant_lineages\n1,1,0,0,1\n"
            "2,1,0,0,1\n3,2,1,0,2\n4,2,1,0,2\n");
}

// A damaged history is refused like a damaged results file, and the tables of an earlier good
// report stay; a history that is not there is an input error.
TEST_F(ReportCommand, MalformedHistoryNamesFileAndLine) {
  const fs::path tables = folder_ / "tables";
  ASSERT_EQ(run({"--history", history.string(), "--csv", tables.string()}).status, exit_done);
  const std::string tree_before = read_file(tables / "tree.nwk");
  const fs::path damaged = folder_ / "damaged";
  fs::create_directories(damaged);
  fs::copy_file(history / "species.csv", damaged / "species.csv");
  std::string abundance = read_file(history / "abundance.csv");
  abundance.replace(abundance.find("\n9,1,1,1,5,12,"), 14, "\n9,1,1,1,5,x,");
  write_file(damaged / "abundance.csv", abundance);

  Outcome outcome = run({"--history", damaged.string(), "--csv", tables.string()});
  EXPECT_EQ(outcome.status, exit_malformed_results);
  EXPECT_EQ(outcome.err,
            (damaged / "abundance.csv").string() + ":21: count \"x\" is not a whole number\n");
  EXPECT_EQ(read_file(tables / "tree.nwk"), tree_before);
  for (const auto& entry : fs::directory_iterator(tables)) {
    EXPECT_EQ(entry.path().string().find(".partial"), std::string::npos) << entry.path();
  }

  fs::remove(damaged / "species.csv");
  outcome = run({"--history", damaged.string()});
  EXPECT_EQ(outcome.status, exit_usage_or_io);
  EXPECT_EQ(outcome.err, "parasim-report: cannot open " + (damaged / "species.csv").string() +
                             ": No such file or directory\n");
}

TEST_F(ReportCommand, UsageErrorsShowTheUsage) {
  const std::vector<std::vector<std::string>> wrong{
      {},
      {"--frobnicate", fixture.string()},
      {fixture.string(), fixture.string()},
      {fixture.string(), "--csv"},
      {"--csv", "a", "--plot", "b", fixture.string()},
      {"--min-size", "5", fixture.string()},
      {"--history", history.string(), "--min-size", "0"},
      {"--history", history.string(), "--min-size", "ten"},
      {"--history"},
  };
  for (const std::vector<std::string>& arguments : wrong) {
    const Outcome outcome = run(arguments);
    EXPECT_EQ(outcome.status, exit_usage_or_io);
    EXPECT_NE(outcome.err.find("Usage: parasim-report"), std::string::npos);
    EXPECT_EQ(outcome.out, "");
  }
  const Outcome help = run({"--help"});
  EXPECT_EQ(help.status, exit_done);
  EXPECT_EQ(help.out.rfind("Usage: parasim-report", 0), 0u);
  EXPECT_NE(help.out.find("Exit status"), std::string::npos);
}

}  // namespace
}  // namespace parasim::report_tool
