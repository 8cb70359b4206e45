// What parasim-report writes (--csv DIR, --plot DIR, --html FILE) against hostile targets and
// against its own inputs, and what an interrupted report leaves.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "folder_test.hpp"
#include "hostile/hostile_targets.hpp"
#include "plot_runner.hpp"
#include "report/placed_file.hpp"
#include "report_command.hpp"
#include "report_folder_files.hpp"

namespace parasim::report_tool {
namespace {

namespace fs = std::filesystem;

const fs::path data = PARASIM_REPORT_TEST_DATA;
const fs::path results = data / "five_species_output.dat";
const fs::path history = data / "five_species_history";
const fs::path record = data / "five_species_record.json";
const PlotTools tools{debian_python, PARASIM_PYTHON_PACKAGES};

int run(const std::vector<std::string>& arguments, std::string* err = nullptr,
        const PlotTools& with = tools) {
  std::ostringstream out;
  std::ostringstream errors;
  const int status = run_report_command(arguments, with, out, errors);
  if (err != nullptr) {
    *err = errors.str();
  }
  return status;
}

// Every file below a folder with its bytes (links as where they point).
std::map<std::string, std::string> contents(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    files[fs::relative(entry.path(), folder).string()] = testing::state_of(entry.path());
  }
  return files;
}

using ReportTargets = FolderTest;

// The shared table of hostile targets as each output of the report; a folder output takes the
// targets the table accepts (a folder, a missing folder in a missing folder).
TEST_F(ReportTargets, EveryHostileTargetOfEveryOutputIsRefused) {
  const auto targets = testing::make_hostile_targets(folder_ / "targets");
  const struct {
    std::string option;
    bool folder;
    std::string made;  // a file a folder output makes in it
  } outputs[] = {
      {"--csv", true, "points.csv"}, {"--plot", true, "phenotypes.svg"}, {"--html", false, ""}};
  for (const auto& output : outputs) {
    for (const testing::HostileTarget& target : targets) {
      SCOPED_TRACE(output.option + " " + target.kind);
      const std::optional<std::string>& reason = output.folder ? target.as_folder : target.as_file;
      if (!reason) {
        if (output.folder) {
          const bool absent = testing::state_of(target.path) == "absent";
          std::string err;
          EXPECT_EQ(run({output.option, target.path.string(), results.string()}, &err), exit_done)
              << err;
          EXPECT_TRUE(fs::is_regular_file(target.path / output.made));
          if (absent) {  // made with its missing parent: gone again for the next
            fs::remove_all(target.path.parent_path());
          }
        }
        continue;
      }
      const auto before = contents(folder_);
      std::string err;
      EXPECT_EQ(run({output.option, target.path.string(), results.string()}, &err),
                exit_usage_or_io);
      EXPECT_NE(err.find(*reason), std::string::npos) << err;
      EXPECT_EQ(contents(folder_), before);
    }
  }
}

// A table, figure or page over one of the report's own inputs would lose it: refused before
// anything is read, also through a linked folder, with every file as it was.
TEST_F(ReportTargets, NoOutputReplacesAnInput) {
  fs::copy(history, folder_ / "h");
  fs::create_directory(folder_ / "t");
  fs::copy_file(results, folder_ / "t" / "points.csv");
  fs::copy_file(record, folder_ / "t" / "species_by_generation.csv");
  fs::copy_file(results, folder_ / "h" / "generations.csv");
  fs::create_directory_symlink("h", folder_ / "linked");
  const std::string h = (folder_ / "h").string();
  const std::string t = (folder_ / "t").string();
  const struct {
    std::vector<std::string> arguments;
    std::string refused;
  } cases[] = {
      {{"--history", h, "--csv", h, h + "/generations.csv"}, "same file as the results file"},
      {{"--history", h, "--plot", (folder_ / "linked").string(), h + "/generations.csv"},
       "same file as the results file"},
      {{"--csv", t, t + "/points.csv"}, "same file as the results file"},
      {{"--plot", t, t + "/points.csv"}, "same file as the results file"},
      {{"--html", (folder_ / "page.html").string(), "--record", t + "/species_by_generation.csv",
        "--csv", t, results.string()},
       "same file as the run record"},
      {{"--csv", (folder_ / "linked").string(), h + "/generations.csv"},
       "same file as the results file"},
  };
  const auto before = contents(folder_);
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.arguments));
    std::string err;
    EXPECT_EQ(run(c.arguments, &err), exit_usage_or_io);
    EXPECT_NE(err.find(c.refused), std::string::npos) << err;
    EXPECT_EQ(contents(folder_), before);
  }
  // The history is still one parasim-report reads.
  EXPECT_EQ(run({"--history", h}), exit_done);
}

// The names the folder is checked by before anything is read are those of the tables and
// figures the report makes from a results file and a history, every one of them.
TEST_F(ReportTargets, TheFolderIsCheckedByTheNamesOfTheFilesMadeInIt) {
  const fs::path out = folder_ / "figures";
  ASSERT_EQ(run({"--plot", out.string(), "--history", history.string(), results.string()}),
            exit_done);
  const std::vector<std::string> known = report_folder_files();
  std::set<std::string> made;
  for (const auto& entry : fs::directory_iterator(out)) {
    made.insert(entry.path().filename().string());
  }
  EXPECT_EQ(made, std::set<std::string>(known.begin(), known.end()));
  EXPECT_EQ(made.size(), known.size()) << "a name listed twice";
}

// The process id the script left in its folder's "ready" file, once it is there.
pid_t script_ready(const fs::path& folder) {
  for (int tries = 0; tries < 600; ++tries) {
    std::error_code error;
    for (auto entry = fs::recursive_directory_iterator(folder, error);
         !error && entry != fs::recursive_directory_iterator(); entry.increment(error)) {
      const std::string pid = read_file(entry->path());
      if (entry->path().filename() == "ready" && !pid.empty()) {
        return std::stoi(pid);
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return 0;
}

// Whether a process is gone (or a zombie waiting for whoever adopted it).
bool gone(pid_t pid) {
  for (int tries = 0; tries < 600; ++tries) {
    const std::string stat = read_file("/proc/" + std::to_string(pid) + "/stat");
    if (stat.empty() || stat.find(") Z ") != std::string::npos) {
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

// A report stopped while its figure script runs, by SIGTERM, SIGINT or SIGKILL: the script dies
// with it; on SIGTERM and SIGINT the report removes its staging folder and dies by the signal;
// a staging folder left by a killed report is removed by the next report into the folder.
TEST_F(ReportTargets, AStoppedReportTakesItsScriptWithIt) {
  // A figure module that tells where it runs and then takes its time.
  const fs::path packages = folder_ / "packages";
  fs::create_directories(packages / "parasim_report");
  write_file(packages / "parasim_report" / "__init__.py", "");
  write_file(packages / "parasim_report" / "figures.py",
             "import os, sys, time\n"
             "open(os.path.join(sys.argv[1], 'ready'), 'w').write(str(os.getpid()))\n"
             "time.sleep(120)\n");
  const fs::path out = folder_ / "figures";
  fs::create_directory(out);
  write_file(out / "kept.txt", "a file of the user's");
  for (const int signal_number : {SIGTERM, SIGINT, SIGKILL}) {
    SCOPED_TRACE(signal_number);
    const pid_t report = ::fork();
    if (report == 0) {
      report::clean_up_on_signals();
      std::ostringstream ignored;
      ::_exit(run_report_command({"--plot", out.string(), results.string()},
                                 {debian_python, packages}, ignored, ignored));
    }
    const pid_t child = script_ready(out);
    ASSERT_NE(child, 0) << "the script never started";
    ASSERT_EQ(::kill(report, signal_number), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(report, &status, 0), report);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal_number) << status;
    EXPECT_TRUE(gone(child)) << "the script outlived the report";
    std::set<std::string> left;
    for (const auto& entry : fs::directory_iterator(out)) {
      left.insert(entry.path().filename().string());
    }
    if (signal_number == SIGKILL) {
      EXPECT_EQ(left.size(), 2u) << "the staging folder of a killed report stays";
      ASSERT_EQ(run({"--csv", out.string(), results.string()}), exit_done);
      for (const auto& entry : fs::directory_iterator(out)) {
        EXPECT_FALSE(entry.path().filename().string().starts_with("."))
            << entry.path() << " outlived the report that made it";
      }
    } else {
      EXPECT_EQ(left, std::set<std::string>{"kept.txt"});
    }
  }
  EXPECT_EQ(read_file(out / "kept.txt"), "a file of the user's");
}

}  // namespace
}  // namespace parasim::report_tool
