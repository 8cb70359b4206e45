// Outputs that would replace something they should not: devices, links, folders, one
// another, or the results of a finished run. Every such run is refused before anything is
// asked or written, and leaves everything as it was.
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "e2e/run_parasim.hpp"
#include "hostile/hostile_targets.hpp"

namespace parasim::testing {
namespace {

const std::string input = answers(30, 0.1, 0.01, 2, 0.1, 3, 1.0, 40, 1.0, 12);
const std::string finished_results = "the results of a finished run\n";

struct Refusal {
  std::string arguments;
  std::string expected;  // a part of the error report
};

TEST(OutputTargets, RefusedBeforeAnythingIsAskedOrWritten) {
  const auto dir = fresh_directory("targets");
  std::filesystem::create_directory(dir / "adir");
  std::filesystem::create_symlink("elsewhere.json", dir / "link.json");
  write_file(dir / "c.bin", "a file of the user's");
  const bool have_device = ::mknod((dir / "mynull").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;

  std::vector<Refusal> refusals = {
      {"--checkpoint adir --checkpoint-every 5", "is not a regular file"},
      {"--checkpoint /nonexistent/cp", "its folder \"/nonexistent\" cannot be used"},
      {"--record link.json", "symbolic link"},
      {"--record Output.dat", "same file as the results file"},
      {"--checkpoint Output.dat", "same file as the results file"},
      {"--checkpoint c.bin --record c.bin", "it is the same file as the run record"},
      {"--checkpoint ./sub/../cp --record cp", "it is the same file as the run record"},
      {"--history . --record species.csv", "it is the same file as the run record"},
      // The files the history and genomes folders will hold, named by another output.
      {"--history h --record h/run.json", "same file as the run record"},
      {"--history h --genetics-every 5 --checkpoint h/groups.csv", "same file as the checkpoint"},
      {"--history h --record h/divergence.csv", "same file as the run record"},
      {"--genomes g --record g/genomes-000001.vcf.gz", "same file as the run record"},
      {"--genomes g --checkpoint g/genomes-000100.samples.tsv", "same file as the checkpoint"},
      {"--genomes sub --checkpoint linked/genomes-000010.vcf.gz.tbi",
       "same file as the checkpoint"},
      {"--history c.bin", "not a folder"},
      {"--resume /dev/zero", "not a regular file"},
      {"--resume missing.ckpt", "No such file"},
      {"--record ''", "an empty name"},
  };
  if (have_device) {
    refusals.push_back({"--checkpoint mynull --checkpoint-every 5", "not a regular file"});
  }
  for (const char* folder : {"sub", "h", "g"}) {
    std::filesystem::create_directory(dir / folder);
  }
  std::filesystem::create_directory_symlink("sub", dir / "linked");
  for (const Refusal& refusal : refusals) {
    SCOPED_TRACE(refusal.arguments);
    write_file(dir / "Output.dat", finished_results);
    const RunResult run = run_parasim(dir, input, "--seed 2 " + refusal.arguments);
    EXPECT_EQ(run.exit_status, 2);
    EXPECT_NE(run.err.find(refusal.expected), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "") << "nothing is asked";
    EXPECT_EQ(read_file(dir / "Output.dat"), finished_results);
  }
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.json"));
  EXPECT_FALSE(std::filesystem::exists(dir / "elsewhere.json"));
  EXPECT_EQ(read_file(dir / "c.bin"), "a file of the user's");
  EXPECT_FALSE(std::filesystem::exists(dir / "adir.tmp"));
  if (have_device) {
    struct stat status {};
    ASSERT_EQ(::stat((dir / "mynull").c_str(), &status), 0);
    EXPECT_TRUE(S_ISCHR(status.st_mode)) << "the device is still a device";
  }
}

// The shared table of hostile targets as each file and folder output of parasim; a folder
// output takes the targets the table accepts (a folder, a missing folder in a missing folder).
TEST(OutputTargets, EveryHostileTargetOfEveryOutputIsRefused) {
  const auto dir = fresh_directory("targets-hostile");
  const auto targets = make_hostile_targets(dir / "targets");
  const struct {
    std::string option;
    bool folder;
    std::string made;  // a file a folder output makes in it
  } outputs[] = {{"--record", false, ""},
                 {"--checkpoint-every 5 --checkpoint", false, ""},
                 {"--history", true, "abundance.csv"},
                 {"--genomes", true, "genomes-000001.vcf.gz"}};
  for (const auto& output : outputs) {
    for (const HostileTarget& target : targets) {
      SCOPED_TRACE(output.option + " " + target.kind);
      const std::optional<std::string>& reason = output.folder ? target.as_folder : target.as_file;
      const std::string before = state_of(target.path);
      const std::string arguments = "--seed 2 " + output.option + " '" + target.path.string() + "'";
      if (!reason) {
        if (output.folder) {
          const RunResult run = run_parasim(dir, input, arguments);
          EXPECT_EQ(run.exit_status, 0) << run.err;
          EXPECT_TRUE(std::filesystem::is_regular_file(target.path / output.made));
          if (before == "absent") {  // made with its missing parent: gone again for the next
            std::filesystem::remove_all(target.path.parent_path());
          }
        }
        continue;
      }
      write_file(dir / "Output.dat", finished_results);
      const RunResult run = run_parasim(dir, input, arguments);
      EXPECT_EQ(run.exit_status, 2);
      EXPECT_NE(run.err.find(*reason), std::string::npos) << run.err;
      EXPECT_EQ(run.out, "") << "nothing is asked";
      EXPECT_EQ(state_of(target.path), before);
      EXPECT_EQ(read_file(dir / "Output.dat"), finished_results);
    }
  }
  EXPECT_EQ(read_file(dir / "targets" / "elsewhere" / "kept"), "a file of the user's");
}

TEST(OutputTargets, ACheckpointThatCannotBeWrittenLeavesNoTemporaryFile) {
  const auto dir = fresh_directory("targets-checkpoint");
  write_file(dir / "stdin.txt", answers(1000, 0.1, 0.001, 2, 0.1, 3, 1.0, 100, 1.0, 30));
  // Room for the start of the results file, not for a checkpoint of genomes of 1,000 loci.
  const std::string command = "cd '" + dir.string() + "' && ulimit -f 4 && '" + parasim_binary() +
                              "' --seed 1 --checkpoint cp --checkpoint-every 5 < stdin.txt "
                              "> stdout.txt 2> stderr.txt";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 2);
  EXPECT_NE(read_file(dir / "stderr.txt").find("cannot write to \"cp\""), std::string::npos);
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    EXPECT_EQ(entry.path().filename().string().find("cp"), std::string::npos)
        << entry.path() << " left behind";
  }
}

// Permissions count only for a user they bind: run as the unprivileged user nobody.
TEST(OutputTargets, AFolderTheUserCannotWriteIsRefused) {
  if (::geteuid() != 0 || std::system("command -v setpriv > /dev/null") != 0) {
    GTEST_SKIP() << "needs root and setpriv to run as the user nobody";
  }
  const auto dir = fresh_directory("targets-nobody");
  std::filesystem::create_directory(dir / "locked");
  std::filesystem::permissions(dir, std::filesystem::perms::all);
  std::filesystem::permissions(dir / "locked", std::filesystem::perms(0555));
  write_file(dir / "Output.dat", finished_results);
  std::filesystem::permissions(dir / "Output.dat", std::filesystem::perms(0666));
  write_file(dir / "stdin.txt", input);
  for (const std::string option : {"--checkpoint locked/cp", "--history locked/hist"}) {
    const std::string command =
        "cd '" + dir.string() + "' && setpriv --reuid=65534 --regid=65534 --clear-groups '" +
        parasim_binary() + "' --seed 1 " + option + " < stdin.txt > stdout.txt 2> stderr.txt";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 2) << option;
    EXPECT_NE(read_file(dir / "stderr.txt").find("Permission denied"), std::string::npos)
        << read_file(dir / "stderr.txt");
    EXPECT_EQ(read_file(dir / "Output.dat"), finished_results) << option;
  }
}

}  // namespace
}  // namespace parasim::testing
