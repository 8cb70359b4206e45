#include "report/placed_file.hpp"

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "e2e/run_parasim.hpp"
#include "hostile/hostile_targets.hpp"

namespace parasim::report {
namespace {

namespace fs = std::filesystem;
using testing::read_file;
using testing::write_file;

std::set<std::string> names_in(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

// The umask in force, read without changing it for longer than two calls.
mode_t current_umask() {
  const mode_t mask = ::umask(022);
  ::umask(mask);
  return mask;
}

TEST(PlacedFile, ReplacesTheTargetWholeAndLeavesNothingElse) {
  const fs::path dir = testing::fresh_directory("placed-file");
  const fs::path target = dir / "out.txt";
  place_file("the output", target.string(), "first");
  write_file(dir / "other", "kept");
  place_file("the output", target.string(), "second, longer");
  EXPECT_EQ(read_file(target), "second, longer");
  EXPECT_EQ(names_in(dir), (std::set<std::string>{"out.txt", "other"}));
  struct stat status {};
  ASSERT_EQ(::stat(target.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0666 & ~current_umask()) << "not the 0600 of a private file";

  // A file that is never committed leaves nothing; its temporary name was beside the target.
  {
    PlacedFile abandoned("the output", target.string());
    abandoned.write("never seen");
    EXPECT_EQ(fs::path(abandoned.temporary()).parent_path(), dir);
    EXPECT_TRUE(fs::exists(abandoned.temporary()));
  }
  EXPECT_EQ(read_file(target), "second, longer");
  EXPECT_EQ(names_in(dir), (std::set<std::string>{"out.txt", "other"}));
}

TEST(PlacedFile, RefusesEveryHostileTargetAndLeavesItAsItWas) {
  const fs::path dir = testing::fresh_directory("placed-hostile");
  for (const testing::HostileTarget& target : testing::make_hostile_targets(dir)) {
    SCOPED_TRACE(target.kind);
    const std::string before = testing::state_of(target.path);
    if (!target.as_file) {
      continue;
    }
    try {
      place_file("the output", target.path.string(), "bytes");
      ADD_FAILURE() << "written";
    } catch (const TargetRefused& refused) {
      EXPECT_NE(std::string(refused.what()).find(*target.as_file), std::string::npos)
          << refused.what();
      EXPECT_EQ(refused.role(), "the output");
      EXPECT_EQ(refused.path(), target.path.string());
    }
    EXPECT_EQ(testing::state_of(target.path), before);
    EXPECT_EQ(read_file(dir / "elsewhere" / "kept"), "a file of the user's");
  }
  for (const std::string& name : names_in(dir)) {
    EXPECT_EQ(name.find(".parasim-"), std::string::npos) << name << " left behind";
  }
  const struct {
    std::string path;
    std::string reason;
  } names[] = {{"", "an empty name"},
               {(dir / "a").string() + std::string(1, '\0') + "b", "NUL byte"},
               {(dir / "folder").string() + "/", "names a folder"}};
  for (const auto& name : names) {
    try {
      place_file("the output", name.path, "bytes");
      ADD_FAILURE() << name.reason << ": written";
    } catch (const TargetRefused& refused) {
      EXPECT_NE(std::string(refused.what()).find(name.reason), std::string::npos) << refused.what();
    }
  }
  EXPECT_FALSE(fs::exists(dir / "a"));
}

// A write that fails for want of room (a file size limit stands in for a full disk) is an
// OutputFailure naming the target, and leaves neither the temporary file nor a changed target.
TEST(PlacedFile, AFailedWriteLeavesNoTemporaryFile) {
  const fs::path dir = testing::fresh_directory("placed-full");
  write_file(dir / "out", "the earlier file");
  const pid_t child = ::fork();
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{4096, 4096};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    try {
      place_file("the output", (dir / "out").string(), std::string(100000, 'x'));
    } catch (const OutputFailure& failure) {
      const bool named = failure.path() == (dir / "out").string();
      ::_exit(failure.operation() == OutputFailure::Operation::write && named &&
                      failure.error() == EFBIG
                  ? 0
                  : 2);
    }
    ::_exit(1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: written; 2: another failure";
  EXPECT_EQ(read_file(dir / "out"), "the earlier file");
  EXPECT_EQ(names_in(dir), std::set<std::string>{"out"});
}

TEST(StagedFiles, ASetAppearsWholeAndRefusesToReplaceAnInputOrALink) {
  const fs::path dir = testing::fresh_directory("staged-set");
  const fs::path folder = dir / "set";
  {
    StagedFiles set("the set", folder.string());
    EXPECT_TRUE(fs::is_directory(folder)) << "made when missing";
    write_file(set.staged("a.csv"), "a");
    write_file(set.staged("b.csv"), "b");
    set.commit_all();
  }
  EXPECT_EQ(names_in(folder), (std::set<std::string>{"a.csv", "b.csv"}));

  write_file(dir / "input", "read by the call");
  fs::create_symlink(dir / "input", folder / "c.csv");
  const struct {
    std::vector<std::string> inputs;
    std::string reason;
  } refusals[] = {
      {{(folder / "b.csv").string()}, "which is read to make it"},
      {{}, "symbolic link"},
  };
  for (const auto& refusal : refusals) {
    StagedFiles set("the set", folder.string(), refusal.inputs);
    write_file(set.staged("a.csv"), "new a");
    write_file(set.staged("b.csv"), "new b");
    if (refusal.inputs.empty()) {
      write_file(set.staged("c.csv"), "new c");
    }
    try {
      set.commit_all();
      ADD_FAILURE() << refusal.reason << ": committed";
    } catch (const TargetRefused& refused) {
      EXPECT_NE(std::string(refused.what()).find(refusal.reason), std::string::npos)
          << refused.what();
    }
    EXPECT_EQ(read_file(folder / "a.csv"), "a") << "nothing moved before the refusal";
  }
  EXPECT_EQ(names_in(folder), (std::set<std::string>{"a.csv", "b.csv", "c.csv"}));
  EXPECT_EQ(read_file(dir / "input"), "read by the call");

  // Named files go in the order given; what is left in the staging folder goes with it.
  StagedFiles page("the page's folder", folder.string());
  write_file(page.staged("table.csv"), "for the page only");
  write_file(page.staged("page.html"), "the page");
  page.commit({"page.html"});
  EXPECT_EQ(read_file(folder / "page.html"), "the page");
  EXPECT_FALSE(fs::exists(folder / "table.csv"));
}

// A process that is gone: a child that has exited and been reaped.
pid_t gone_process() {
  const pid_t child = ::fork();
  if (child == 0) {
    ::_exit(0);
  }
  ::waitpid(child, nullptr, 0);
  return child;
}

TEST(StagedFiles, LeftoversOfProcessesThatAreGoneAreRemoved) {
  const fs::path dir = testing::fresh_directory("staged-leftovers");
  const std::string gone = std::to_string(gone_process());
  const std::string alive = std::to_string(::getppid());
  const std::vector<std::string> removed = {".staging.parasim-" + gone + "-aB3dE9",
                                            ".out.csv.parasim-" + gone + "-zzzzzz"};
  const std::vector<std::string> kept = {".staging.parasim-" + alive + "-aB3dE9",
                                         ".staging.parasim-" + gone + "-short",
                                         "staging.parasim-" + gone + "-aB3dE9", "user.csv"};
  fs::create_directory(dir / removed[0]);
  write_file(dir / removed[0] / "points.csv", "half a table");
  write_file(dir / removed[1], "half a file");
  for (const std::string& name : kept) {
    write_file(dir / name, "not a leftover of a gone process");
  }
  { StagedFiles set("the set", dir.string()); }
  EXPECT_EQ(names_in(dir), std::set<std::string>(kept.begin(), kept.end()));
}

// A console program killed by SIGTERM while it writes: the child it runs is killed, every
// temporary file and staging folder is gone, and it dies by the signal.
TEST(SignalCleanup, RemovesLiveFilesKillsTheChildAndDiesByTheSignal) {
  const fs::path dir = testing::fresh_directory("signal-cleanup");
  write_file(dir / "out", "the earlier file");
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t program = ::fork();
  if (program == 0) {
    ::close(ready[0]);
    clean_up_on_signals();
    PlacedFile file("the output", (dir / "out").string());
    file.write("half");
    StagedFiles set("the set", (dir / "tables").string());
    write_file(set.staged("points.csv"), "half a table");
    const pid_t script = ::fork();
    if (script == 0) {
      ::pause();
      ::_exit(0);
    }
    const ChildToKill kill_on_interrupt(script);
    [[maybe_unused]] const ssize_t told = ::write(ready[1], &script, sizeof script);
    for (;;) {
      ::pause();
    }
  }
  ::close(ready[1]);
  pid_t script = 0;
  ASSERT_EQ(::read(ready[0], &script, sizeof script), static_cast<ssize_t>(sizeof script));
  ::close(ready[0]);
  ASSERT_EQ(::kill(program, SIGTERM), 0);
  int status = 0;
  ASSERT_EQ(::waitpid(program, &status, 0), program);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
  EXPECT_EQ(::kill(script, 0), -1) << "the child was killed and reaped";
  EXPECT_EQ(read_file(dir / "out"), "the earlier file");
  EXPECT_EQ(names_in(dir), (std::set<std::string>{"out", "tables"}));
  EXPECT_TRUE(names_in(dir / "tables").empty());
}

}  // namespace
}  // namespace parasim::report
