#include "html_page.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "folder_test.hpp"
#include "plot_runner.hpp"
#include "report_command.hpp"

namespace parasim::report_tool {
namespace {

namespace fs = std::filesystem;

const fs::path data = PARASIM_REPORT_TEST_DATA;
const fs::path results = data / "five_species_output.dat";
const fs::path history = data / "five_species_history";
const PlotTools tools{debian_python, PARASIM_PYTHON_PACKAGES};

class HtmlPageCommand : public FolderTest {
 protected:
  // Runs parasim-report; every refusal leaves the folder as it was: an earlier page kept, no
  // working folder, no partial page.
  void expect_refused(const std::vector<std::string>& arguments, int status,
                      const std::string& message, const PlotTools& with = tools) {
    const fs::path page = folder_ / "report.html";
    write_file(page, "the earlier page");
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(run_report_command(arguments, with, out, err), status) << err.str();
    EXPECT_NE(err.str().find(message), std::string::npos) << err.str();
    EXPECT_EQ(read_file(page), "the earlier page");
    for (const auto& entry : fs::directory_iterator(folder_)) {
      const std::string name = entry.path().filename().string();
      EXPECT_TRUE(name == "report.html" || name == "kept") << name;
    }
  }
};

TEST_F(HtmlPageCommand, RefusesWhatItCannotWriteOrReadBeforeReading) {
  const std::string page = (folder_ / "report.html").string();
  fs::create_directories(folder_ / "kept");
  // The history with the mark of another run than the record's.
  const fs::path marked = folder_ / "kept" / "history";
  fs::create_directories(marked);
  for (const char* name : {"species.csv", "abundance.csv"}) {
    fs::copy_file(history / name, marked / name);
  }
  std::string mark = read_file(data / "five_species_run.json");
  write_file(marked / "run.json", mark.replace(mark.find("4242"), 4, "7"));
  const struct {
    std::vector<std::string> arguments;
    std::string message;
  } cases[] = {
      {{"--html", (folder_ / "absent" / "report.html").string(), results.string()},
       "its folder \"" + (folder_ / "absent").string() + "\" cannot be used"},
      {{"--html", (folder_ / "kept").string(), results.string()}, "it is a folder"},
      {{"--html", (folder_ / "kept").string() + "/", results.string()}, "names a folder"},
      {{"--html", page, "--record", (folder_ / "absent.json").string(), results.string()},
       "cannot read the run record " + (folder_ / "absent.json").string()},
      {{"--html", page, "--record", (folder_ / "kept").string(), results.string()},
       "cannot read the run record"},
      {{"--html", page, (folder_ / "absent.dat").string()}, "cannot open"},
      // A page over an input would lose it.
      {{"--html", page, page}, "it is the same file as the results file"},
      {{"--html", page, "--record", page, results.string()}, "same file as the run record"},
      {{"--html", (history / "species.csv").string(), "--history", history.string()},
       "same file as the history's species.csv"},
      {{"--html", (marked / "run.json").string(), "--history", marked.string()},
       "same file as the history's run.json"},
      {{"--html", page, "--record", (data / "five_species_record.json").string(), "--history",
        marked.string(), results.string()},
       "the run record " + (data / "five_species_record.json").string() +
           " is of another run than the history " + (marked / "run.json").string() +
           ": its seed (tick_count) is 4242, the history's 7"},
  };
  for (const auto& refused : cases) {
    expect_refused(refused.arguments, exit_usage_or_io, refused.message);
  }
}

TEST_F(HtmlPageCommand, DamagedInputIsNamedWithItsLineAndLeavesNoPage) {
  std::string text = read_file(results);
  text.replace(text.find("       10          5.4000"), 8, "      1x");
  // The inputs sit in a folder of their own, which the refusal leaves as it was.
  const fs::path inputs = folder_ / "kept";
  fs::create_directories(inputs);
  const fs::path damaged_results = inputs / "Output.dat";
  write_file(damaged_results, text);
  expect_refused({"--html", (folder_ / "report.html").string(), damaged_results.string()},
                 exit_malformed_results, damaged_results.string() + ":32: ");

  const fs::path damaged_history = inputs / "history";
  fs::create_directories(damaged_history);
  fs::copy_file(history / "species.csv", damaged_history / "species.csv");
  std::string abundance = read_file(history / "abundance.csv");
  abundance.replace(abundance.find("\n9,1,1,1,5,12,"), 14, "\n9,1,1,1,5,x,");
  write_file(damaged_history / "abundance.csv", abundance);
  expect_refused({"--html", (folder_ / "report.html").string(), "--history",
                  damaged_history.string(), results.string()},
                 exit_malformed_results,
                 (damaged_history / "abundance.csv").string() + ":21: count \"x\"");
}

TEST_F(HtmlPageCommand, AMissingPageModuleIsAnIoError) {
  expect_refused({"--html", (folder_ / "report.html").string(), results.string()}, exit_usage_or_io,
                 "cannot find the page module", {debian_python, folder_ / "kept"});
}

TEST_F(HtmlPageCommand, TheRecordGoesWithThePage) {
  std::ostringstream out;
  std::ostringstream err;
  EXPECT_EQ(run_report_command({"--record", "run.json", results.string()}, tools, out, err),
            exit_usage_or_io);
  EXPECT_NE(err.str().find("--record gives the page its run record: it goes with --html"),
            std::string::npos)
      << err.str();
}

}  // namespace
}  // namespace parasim::report_tool
