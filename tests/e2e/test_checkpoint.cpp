#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <random>
#include <string>
#include <thread>

#include "e2e/csv_rows.hpp"
#include "e2e/run_parasim.hpp"
#include "sanitizer_build.hpp"

namespace parasim::testing {
namespace {

// Starts parasim in dir with stdin.txt as its input and the given arguments; returns
// its process id.
pid_t start_parasim(const std::filesystem::path& dir, const std::vector<std::string>& arguments) {
  const pid_t child = fork();
  if (child == 0) {
    if (chdir(dir.c_str()) != 0) {
      _exit(127);
    }
    const int input = open("stdin.txt", O_RDONLY);
    const int output = open("/dev/null", O_WRONLY);
    dup2(input, 0);
    dup2(output, 1);
    dup2(output, 2);
    std::vector<std::string> owned = {parasim_binary()};
    owned.insert(owned.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& a : owned) {
      argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  return child;
}

int wait_for(pid_t child) {
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

const std::string input = answers(60, 0.1, 0.01, 2, 0.1, 5, 0.75, 200, 0.5, 100);
// The runs whose checkpoint of generation 50 is resumed to check what a resume refuses: in a
// sanitizer build they end ten generations after it.
const std::string cadence_input =
    sanitizer_build ? answers(60, 0.1, 0.01, 2, 0.1, 5, 0.75, 200, 0.5, 60) : input;

// Runs that are killed at random moments, again and again, and resumed each time
// from their last checkpoint end with the very files of a run never interrupted: the
// results file and the species history with its genetics tables. A sanitizer build, where
// a run takes twenty times as long, kills and resumes two of them.
TEST(Checkpoint, KilledAndResumedRunsEndWithTheSameResults) {
  const auto dir = fresh_directory("resume");
  write_file(dir / "stdin.txt", input);
  ASSERT_EQ(run_parasim(dir, input, "--seed 77 --history hist --genetics-every 5").exit_status, 0);
  const std::string uninterrupted = read_file(dir / "Output.dat");
  const char* history_files[] = {"species.csv", "abundance.csv", "divergence.csv", "groups.csv"};
  std::map<std::string, std::string> history;
  for (const char* name : history_files) {
    history[name] = read_file(dir / "hist" / name);
  }

  std::mt19937 delays(2026);
  int resumed = 0;
  const int trials = sanitizer_build ? 2 : 6;
  for (int trial = 0; trial < trials; ++trial) {
    std::filesystem::remove(dir / "Output.dat");
    std::filesystem::remove(dir / "run.ckpt");
    std::filesystem::remove_all(dir / "hist");
    const std::vector<std::string> fresh = {
        "--seed", "77",        "--checkpoint", "run.ckpt",         "--checkpoint-every",
        "7",      "--history", "hist",         "--genetics-every", "5"};
    const std::vector<std::string> resume = {
        "--resume", "run.ckpt",  "--checkpoint", "run.ckpt",         "--checkpoint-every",
        "7",        "--history", "hist",         "--genetics-every", "5"};
    int status = -1;
    for (int attempt = 0; attempt < 40 && status != 0; ++attempt) {
      const bool from_checkpoint = std::filesystem::exists(dir / "run.ckpt");
      const pid_t child = start_parasim(dir, from_checkpoint ? resume : fresh);
      resumed += from_checkpoint;
      // The last attempts run to the end, so that every trial finishes.
      if (attempt < 4) {
        std::this_thread::sleep_for(std::chrono::milliseconds(delays() % 250));
        kill(child, SIGKILL);
      }
      status = wait_for(child);
      ASSERT_TRUE(status == 0 || status == 128 + SIGKILL) << "status " << status;
    }
    ASSERT_EQ(status, 0);
    EXPECT_EQ(read_file(dir / "Output.dat"), uninterrupted) << "trial " << trial;
    for (const char* name : history_files) {
      EXPECT_EQ(read_file(dir / "hist" / name), history[name]) << name << ", trial " << trial;
    }
  }
  EXPECT_GT(resumed, 0);
}

TEST(Checkpoint, DamagedOrForeignCheckpointsAreRefused) {
  const auto dir = fresh_directory("refuse");
  ASSERT_EQ(
      run_parasim(dir, input, "--seed 5 --checkpoint run.ckpt --checkpoint-every 20").exit_status,
      0);
  const std::string good = read_file(dir / "run.ckpt");
  const std::string results = read_file(dir / "Output.dat");

  struct Case {
    std::string checkpoint;
    std::string answers;
    std::string arguments;
    std::string message;
  };
  std::string flipped = good;
  flipped[flipped.size() / 2] ^= 0x10;
  const std::vector<Case> cases = {
      {good.substr(0, good.size() - 9), input, "", "truncated"},
      {flipped, input, "", "corrupt"},
      {"not a checkpoint at all", input, "", "not a parasim checkpoint"},
      {good, answers(60, 0.1, 0.01, 2, 0.1, 5, 0.75, 200, 0.5, 101), "", "other answers"},
      {good, input, "--seed 6", "seed 5"},
  };
  for (const Case& c : cases) {
    write_file(dir / "bad.ckpt", c.checkpoint);
    write_file(dir / "Output.dat", results);
    const RunResult run = run_parasim(dir, c.answers, "--resume bad.ckpt " + c.arguments);
    EXPECT_EQ(run.exit_status, 2) << c.message;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_EQ(read_file(dir / "Output.dat"), results) << c.message;  // nothing lost
  }
  // The results file must be the one the checkpoint was taken with: another run's file,
  // even one as long, is refused and left as it is.
  std::string other_run = results;
  other_run[other_run.size() / 3] = other_run[other_run.size() / 3] == '1' ? '2' : '1';
  write_file(dir / "Output.dat", other_run);
  RunResult refused = run_parasim(dir, input, "--resume run.ckpt");
  EXPECT_EQ(refused.exit_status, 2);
  EXPECT_NE(refused.err.find("not the file the checkpoint was taken with"), std::string::npos)
      << refused.err;
  EXPECT_EQ(read_file(dir / "Output.dat"), other_run);
  // A history asked of a checkpoint taken without one would lack its first generations.
  write_file(dir / "Output.dat", results);
  refused = run_parasim(dir, input, "--resume run.ckpt --history hist");
  EXPECT_EQ(refused.exit_status, 2);
  EXPECT_NE(refused.err.find("without --history"), std::string::npos) << refused.err;
  EXPECT_EQ(read_file(dir / "Output.dat"), results);
  // The results file must still hold everything the checkpoint counted on.
  write_file(dir / "Output.dat", results.substr(0, 100));
  const RunResult run = run_parasim(dir, input, "--resume run.ckpt");
  EXPECT_EQ(run.exit_status, 2);
  EXPECT_NE(run.err.find("shorter"), std::string::npos) << run.err;
  std::filesystem::remove(dir / "missing.ckpt");
  EXPECT_EQ(run_parasim(dir, input, "--resume missing.ckpt").exit_status, 2);
}

// The rows of species.csv as a run resumed from a checkpoint of an earlier format writes them:
// those of the species born before it without their hosts at birth, which it did not keep.
std::string without_early_hosts(const std::string& species, int checkpoint_generation) {
  std::string out = species.substr(0, species.find('\n') + 1);
  for (std::vector<std::string> row : csv_rows(species)) {
    if (std::stoi(row[3]) < checkpoint_generation) {
      row[7] = row[8] = row[9] = "";
    }
    for (std::size_t i = 0; i < row.size(); ++i) {
      out += (i == 0 ? "" : ",") + row[i];
    }
    out += '\n';
  }
  return out;
}

// Checkpoints written by earlier versions (formats 2 and 3, tests/data/README.md) still resume:
// the files of their run, cut back to where they were taken, end as an uninterrupted run of the
// same answers and seed ends them, but for the hosts at birth of the species born before, which
// those checkpoints did not keep. They record no genetics, so none can go on.
TEST(Checkpoint, StoredCheckpointsOfEarlierFormatsResume) {
  const auto dir = fresh_directory("stored");
  const std::string stored_input = answers(60, 0.1, 0.01, 2, 0.1, 5, 0.75, 200, 0.5, 60);
  ASSERT_EQ(run_parasim(dir, stored_input, "--seed 77 --history h").exit_status, 0);
  const std::string results = read_file(dir / "Output.dat");
  const std::string species = read_file(dir / "h/species.csv");
  const std::string abundance = read_file(dir / "h/abundance.csv");
  const struct {
    const char* file;
    int generation;  // the generation that runs next
    const char* genomes;
    const char* last_genomes;
  } stored[] = {
      {"checkpoint_format2.ckpt", 31, "--genomes g --genomes-every 7", "g/genomes-000056.vcf.gz"},
      {"checkpoint_format3.ckpt", 51, "--genomes g --genomes-every 20", "g/genomes-000060.vcf.gz"}};
  for (const auto& old : stored) {
    SCOPED_TRACE(old.file);
    // What a run killed after the checkpoint leaves: more than it had written then.
    write_file(dir / "Output.dat", results + " 70 ");
    write_file(dir / "h/abundance.csv", abundance + "70,1,");
    std::filesystem::remove(dir / "h/species.csv");
    std::filesystem::remove_all(dir / "g");
    std::filesystem::copy_file(std::filesystem::path(PARASIM_TESTS_DIR) / "data" / old.file,
                               dir / "old.ckpt", std::filesystem::copy_options::overwrite_existing);
    const RunResult refused =
        run_parasim(dir, stored_input, "--resume old.ckpt --history h --genetics-every 5");
    EXPECT_EQ(refused.exit_status, 2);
    EXPECT_NE(refused.err.find("without --genetics-every"), std::string::npos) << refused.err;
    const RunResult resumed =
        run_parasim(dir, stored_input, std::string("--resume old.ckpt --history h ") + old.genomes);
    ASSERT_EQ(resumed.exit_status, 0) << resumed.err;
    EXPECT_EQ(read_file(dir / "Output.dat"), results);
    EXPECT_EQ(read_file(dir / "h/species.csv"), without_early_hosts(species, old.generation));
    EXPECT_EQ(read_file(dir / "h/abundance.csv"), abundance);
    EXPECT_TRUE(std::filesystem::exists(dir / old.last_genomes));
  }
  EXPECT_NE(without_early_hosts(species, 51), species) << "species born before generation 51";
}

// Genomes written every G generations go on every G generations: a resume that asks for
// another cadence would leave one folder with two, and is refused with nothing changed. A
// resume without genomes, or genomes after a run that wrote none, mixes nothing.
TEST(Checkpoint, AResumeKeepsTheGenomesCadence) {
  const auto dir = fresh_directory("cadence");
  struct Case {
    std::string first_run;
    std::string resume;
    int exit_status;
  };
  const std::vector<Case> cases = {
      {"--genomes g --genomes-every 20", "--genomes g --genomes-every 10", 2},
      {"--genomes g --genomes-every 20", "--genomes g", 2},
      {"--genomes g --genomes-every 20", "--genomes other --genomes-every 5", 2},
      {"--genomes g --genomes-every 20", "--genomes g --genomes-every 20", 0},
      {"--genomes g --genomes-every 20", "", 0},
      {"", "--genomes g --genomes-every 5", 0},
  };
  std::string first_run = "not run yet";
  std::string results;
  for (const Case& c : cases) {
    if (c.first_run != first_run) {
      first_run = c.first_run;
      ASSERT_EQ(run_parasim(dir, cadence_input,
                            "--seed 9 --checkpoint run.ckpt --checkpoint-every 50 " + first_run)
                    .exit_status,
                0);
      results = read_file(dir / "Output.dat");
    }
    write_file(dir / "Output.dat", results);
    const RunResult resumed = run_parasim(dir, cadence_input, "--resume run.ckpt " + c.resume);
    EXPECT_EQ(resumed.exit_status, c.exit_status) << c.first_run << " | " << c.resume;
    if (c.exit_status == 2) {
      EXPECT_NE(resumed.err.find("wrote genomes every 20 generations"), std::string::npos)
          << resumed.err;
      EXPECT_NE(resumed.err.find("--genomes-every 20"), std::string::npos) << resumed.err;
      EXPECT_EQ(read_file(dir / "Output.dat"), results);
      EXPECT_FALSE(std::filesystem::exists(dir / "other"));
    }
  }
}

// The genetics tables go on at their cadence, and only where they were kept from the start: a
// resume that asks for another cadence, asks for them after a run without them, or finds
// tables of another run is refused with nothing changed. A resume without them leaves them.
TEST(Checkpoint, AResumeKeepsTheGeneticsTablesWhole) {
  const auto dir = fresh_directory("genetics-cadence");
  struct Case {
    std::string first_run;
    std::string resume;
    std::string refusal;  // empty when the resume goes through
  };
  const std::vector<Case> cases = {
      {"--genetics-every 20", "--genetics-every 10", "kept the genetics every 20 generations"},
      {"--genetics-every 20", "--genetics-every 20", ""},
      {"--genetics-every 20", "", ""},
      {"", "--genetics-every 20", "without --genetics-every"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.first_run + " | " + c.resume);
    std::filesystem::remove_all(dir / "h");
    ASSERT_EQ(run_parasim(
                  dir, cadence_input,
                  "--seed 9 --checkpoint run.ckpt --checkpoint-every 50 --history h " + c.first_run)
                  .exit_status,
              0);
    const std::string results = read_file(dir / "Output.dat");
    const RunResult resumed =
        run_parasim(dir, cadence_input, "--resume run.ckpt --history h " + c.resume);
    EXPECT_EQ(resumed.exit_status, c.refusal.empty() ? 0 : 2);
    EXPECT_NE(resumed.err.find(c.refusal), std::string::npos) << resumed.err;
    EXPECT_EQ(read_file(dir / "Output.dat"), results);
  }
  // Tables that are not the ones the checkpoint was taken with.
  ASSERT_EQ(run_parasim(dir, cadence_input,
                        "--seed 9 --checkpoint run.ckpt --checkpoint-every 50 --history h "
                        "--genetics-every 20")
                .exit_status,
            0);
  std::string groups = read_file(dir / "h/groups.csv");
  groups[groups.find('\n') + 1] = '7';  // the generation of the first row
  write_file(dir / "h/groups.csv", groups);
  const RunResult refused =
      run_parasim(dir, cadence_input, "--resume run.ckpt --history h --genetics-every 20");
  EXPECT_EQ(refused.exit_status, 2);
  EXPECT_NE(refused.err.find("groups.csv\" is not the file the checkpoint was taken with"),
            std::string::npos)
      << refused.err;
}

}  // namespace
}  // namespace parasim::testing
