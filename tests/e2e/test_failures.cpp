// Runs that fail from outside: a results file that cannot be opened or grows past
// the file size limit, memory that runs out, signals, input too long to hold and
// unusable standard streams. Each goes through the real binary, which must report
// the failure truthfully, end with the right status and keep what it wrote.

#include <fcntl.h>
#include <grp.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <tuple>
#include <vector>

#include "e2e/run_parasim.hpp"

namespace parasim::testing {
namespace {

const std::string& header = results_file_header;

constexpr int set_up_failed = 125;  // the child could not arrange its surroundings
constexpr int exec_failed = 127;

struct Child {
  int exit_status = -1;  // the exit code, or 128 + the signal that ended the run
  int signal = 0;        // that signal, 0 if the run exited
  bool timed_out = false;
  std::string out;
  std::string err;
  long peak_kib = 0;  // the child's own peak resident set
  double seconds = 0;
};

struct ChildPlan {
  std::vector<std::string> arguments = {"--seed", "3"};
  std::function<void()> set_up = nullptr;              // in the child, before it enters dir
  std::function<void(pid_t)> while_running = nullptr;  // in the parent, every few milliseconds
  double time_limit = 60;
  std::size_t filler_count = 0;  // if not 0: the input, then this many filler bytes, piped
  char filler = 'x';
};

// Appends what the pipe holds now to text; false once the writer has closed it.
bool drain(int pipe_end, std::string& text) {
  char buffer[4096];
  for (;;) {
    const ssize_t got = ::read(pipe_end, buffer, sizeof buffer);
    if (got > 0) {
      text.append(buffer, static_cast<std::size_t>(got));
    } else {
      return got < 0 && (errno == EAGAIN || errno == EINTR);
    }
  }
}

// Runs the binary in dir with input on its standard input, and kills it once the
// time limit has passed. Its output goes through pipes, which no file size limit
// touches.
Child run_child(const std::filesystem::path& dir, const std::string& input, ChildPlan plan) {
  int in = -1;
  int feed = -1;  // the parent's end of a piped input
  if (plan.filler_count > 0) {
    int ends[2];
    if (::pipe(ends) == 0) {
      in = ends[0];
      feed = ends[1];
    }
    std::signal(SIGPIPE, SIG_IGN);  // the program may stop reading before the end
  } else {
    write_file(dir / "stdin.txt", input);
    in = ::open((dir / "stdin.txt").c_str(), O_RDONLY);
  }
  int out[2];
  int err[2];
  if (in < 0 || ::pipe(out) != 0 || ::pipe(err) != 0) {
    ADD_FAILURE() << "cannot set up the child's streams";
    return {};
  }
  const std::string binary = parasim_binary();
  plan.arguments.insert(plan.arguments.begin(), binary);
  std::vector<char*> argv;
  for (std::string& a : plan.arguments)
    argv.push_back(a.data());
  argv.push_back(nullptr);

  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::dup2(in, 0) < 0 || ::dup2(out[1], 1) < 0 || ::dup2(err[1], 2) < 0) {
      ::_exit(set_up_failed);
    }
    for (const int fd : {in, feed, out[0], out[1], err[0], err[1]})
      ::close(fd);
    for (const int s : {SIGPIPE, SIGINT, SIGTERM, SIGXFSZ})
      std::signal(s, SIG_DFL);
    if (plan.set_up)
      plan.set_up();
    if (::chdir(dir.c_str()) != 0)
      ::_exit(set_up_failed);
    ::execv(binary.c_str(), argv.data());
    ::_exit(exec_failed);
  }
  for (const int fd : {in, out[1], err[1]})
    ::close(fd);
  // The writer stops when all is sent or the program closes its end (EPIPE).
  std::thread writer([&input, &plan, feed] {
    if (feed < 0)
      return;
    bool open = ::write(feed, input.data(), input.size()) >= 0;
    const std::string block(std::min<std::size_t>(plan.filler_count, 1 << 16), plan.filler);
    for (std::size_t left = plan.filler_count; open && left > 0;) {
      const ssize_t sent = ::write(feed, block.data(), std::min(left, block.size()));
      open = sent > 0;
      left -= open ? static_cast<std::size_t>(sent) : 0;
    }
    ::close(feed);
  });
  ::fcntl(out[0], F_SETFL, O_NONBLOCK);
  ::fcntl(err[0], F_SETFL, O_NONBLOCK);
  Child child;
  int status = 0;
  rusage usage{};
  while (::wait4(pid, &status, WNOHANG, &usage) == 0) {
    drain(out[0], child.out);
    drain(err[0], child.err);
    if (std::chrono::steady_clock::now() - start > std::chrono::duration<double>(plan.time_limit)) {
      child.timed_out = true;
      ::kill(pid, SIGKILL);
      ::wait4(pid, &status, 0, &usage);
      break;
    }
    if (plan.while_running)
      plan.while_running(pid);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  while (drain(out[0], child.out) || drain(err[0], child.err)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));  // a grandchild may hold them
  }
  writer.join();
  ::close(out[0]);
  ::close(err[0]);
  child.peak_kib = usage.ru_maxrss;
  child.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  child.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  child.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + child.signal;
  return child;
}

// Whether the program was built with AddressSanitizer: its file holds the sanitizer's entry
// point. Read in blocks: a forked child starts with this process's memory, so a copy of the
// whole binary held here would count in the child's peak.
bool sanitized_binary() {
  constexpr std::string_view mark = "__asan_init";
  std::ifstream file(parasim_binary(), std::ios::binary);
  std::string window;
  char block[1 << 16];
  while (file.read(block, sizeof block) || file.gcount() > 0) {
    window.append(block, static_cast<std::size_t>(file.gcount()));
    if (window.find(mark) != std::string::npos) {
      return true;
    }
    window.erase(0, window.size() - std::min(window.size(), mark.size() - 1));
  }
  return false;
}

std::string last_line(const std::string& err) {
  if (err.empty() || err.back() != '\n')
    return "(no complete line) " + err;
  const std::string text = err.substr(0, err.size() - 1);
  return text.substr(text.rfind('\n') + 1);
}

// A run that failed after the dialogue: the running lines shown, no closing lines.
void expect_failed_run(const Child& run, int status, const std::string& message) {
  EXPECT_FALSE(run.timed_out);
  EXPECT_EQ(run.exit_status, status) << run.err;
  EXPECT_EQ(last_line(run.err), message);
  EXPECT_EQ(run.err.rfind("parasim: ", 0), 0u) << run.err;
  EXPECT_NE(run.out.find(" The model is running ...\r\n"), std::string::npos);
  EXPECT_EQ(run.out.find("successfully"), std::string::npos);
}

// Where the report of `generation` begins in a results file.
std::size_t report_offset(const std::string& file, int generation) {
  const std::string start =
      "\r\n" + std::string(generation < 10 ? 8 : 7, ' ') + std::to_string(generation) + " ";
  const std::size_t at = file.find(start);
  return at == std::string::npos ? at : at + 2;
}

// A population that lives: three hosts, room for 100 on each.
const std::string living = answers(20, 0.2, 0.01, 2, 0.2, 3, 1.0, 100, 1.0, 30);

TEST(Failures, RunAsAnUnprivilegedUserWithoutWriteRights) {
  // Permission bits do not stop root, so the run drops to the user nobody.
  const auto become_nobody = [] {
    if (::geteuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)) {
      ::_exit(set_up_failed);
    }
  };
  const auto dir = fresh_directory("failures-permissions");
  std::filesystem::permissions(dir, std::filesystem::perms(0555));
  Child run = run_child(dir, living, {.set_up = become_nobody});
  std::filesystem::permissions(dir, std::filesystem::perms(0777));
  if (run.exit_status == set_up_failed || run.exit_status == exec_failed) {
    GTEST_SKIP() << "cannot run the binary as an unprivileged user here";
  }
  expect_failed_run(run, 2, "Permission denied");
  EXPECT_FALSE(std::filesystem::exists(dir / "Output.dat"));

  // An existing read-only results file is neither emptied nor replaced.
  write_file(dir / "Output.dat", "old results\n");
  std::filesystem::permissions(dir / "Output.dat", std::filesystem::perms(0444));
  run = run_child(dir, living, {.set_up = become_nobody});
  expect_failed_run(run, 2, "Permission denied");
  EXPECT_EQ(read_file(dir / "Output.dat"), "old results\n");
}

TEST(Failures, ReadOnlyFileSystemStopsEvenRoot) {
  const auto dir = fresh_directory("failures-read-only");
  write_file(dir / "Output.dat", "old results\n");
  // The directory is mounted read-only in a mount namespace of the child's own.
  const std::string path = dir.string();
  const auto read_only = [&path] {
    if (::unshare(CLONE_NEWNS) != 0 ||
        ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount(path.c_str(), path.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
        ::mount(nullptr, path.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0) {
      ::_exit(set_up_failed);
    }
  };
  const Child run = run_child(dir, living, {.set_up = read_only});
  if (run.exit_status == set_up_failed) {
    GTEST_SKIP() << "no mount namespace or bind mount allowed for this user";
  }
  expect_failed_run(run, 2, "Read-only file system");
  EXPECT_EQ(read_file(dir / "Output.dat"), "old results\n");
}

TEST(Failures, FileSizeLimitMidRunKeepsEverythingWrittenBefore) {
  const auto dir = fresh_directory("failures-file-size");
  ASSERT_EQ(run_parasim(dir, living, "--seed 3").exit_status, 0);
  const std::string whole = read_file(dir / "Output.dat");
  const std::size_t tenth = report_offset(whole, 10);
  const std::size_t twentieth = report_offset(whole, 20);
  ASSERT_NE(twentieth, std::string::npos);
  ASSERT_LT(twentieth + 68, whole.size());
  // Nothing at all, inside the header, right after it, inside a record, and at the
  // very start of a report.
  for (const std::size_t limit :
       {std::size_t{0}, std::size_t{100}, header.size(), tenth + 150, twentieth}) {
    SCOPED_TRACE("limit " + std::to_string(limit));
    const auto small_files = [limit] {
      const rlimit size{limit, limit};
      if (::setrlimit(RLIMIT_FSIZE, &size) != 0)
        ::_exit(set_up_failed);
    };
    const Child run = run_child(dir, living, {.set_up = small_files});
    expect_failed_run(run, 2, "File too large");
    EXPECT_EQ(read_file(dir / "Output.dat"), whole.substr(0, limit));
  }
}

TEST(Failures, ExhaustedMemoryIsReportedAndKeepsTheReports) {
  if (sanitized_binary()) {
    GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit allows";
  }
  const auto dir = fresh_directory("failures-memory");
  const auto small_memory = [] {
    const rlimit space{256 << 20, 256 << 20};
    if (::setrlimit(RLIMIT_AS, &space) != 0)
      ::_exit(set_up_failed);
  };
  const std::string memory_message =
      "Operating system error: Cannot allocate memory\nMemory allocation failed";
  // Two million loci: the founders fit, the pool for their 10000 children does
  // not, and it is made after the report of generation 1.
  Child run = run_child(dir, answers(2000000, 0.1, 0.01, 10000, 0.1, 3, 1.0, 10000, 1.0, 5),
                        {.set_up = small_memory});
  expect_failed_run(run, 1, "Memory allocation failed");
  EXPECT_NE(run.err.find(memory_message), std::string::npos) << run.err;
  // The three founders of generation 1, and nothing after them.
  const std::string file = read_file(dir / "Output.dat");
  EXPECT_EQ(file.size(), header.size() + 3 * 68);
  for (std::size_t at = header.size(); at < file.size(); at += 68) {
    EXPECT_EQ(file.substr(at, 10), "        1 ");
  }

  // A host table that cannot be made ends the run before the results file is opened.
  write_file(dir / "Output.dat", "old results\n");
  run = run_child(dir, answers(20, 0.1, 0.01, 2, 0.1, 2147483647, 1.0, 30, 1.0, 5),
                  {.set_up = small_memory});
  expect_failed_run(run, 1, "Memory allocation failed");
  EXPECT_NE(run.err.find(memory_message), std::string::npos) << run.err;
  EXPECT_EQ(read_file(dir / "Output.dat"), "old results\n");
}

TEST(Failures, SignalledRunKeepsEveryReportWrittenBefore) {
  const auto dir = fresh_directory("failures-signal");
  const auto reference_dir = fresh_directory("failures-signal-reference");
  for (const int signal : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(strsignal(signal));
    std::filesystem::remove(dir / "Output.dat");
    bool sent = false;
    const auto stop_after_twentieth = [&](pid_t pid) {
      if (!sent && read_file(dir / "Output.dat").find("\r\n       20 ") != std::string::npos) {
        ::kill(pid, signal);
        sent = true;
      }
    };
    const Child run = run_child(dir, answers(20, 0.2, 0.01, 2, 0.2, 3, 1.0, 100, 1.0, 100000000),
                                {.while_running = stop_after_twentieth, .time_limit = 30});
    ASSERT_TRUE(sent);
    EXPECT_FALSE(run.timed_out);
    EXPECT_TRUE(run.signal == signal || run.exit_status == 128 + signal) << run.exit_status;
    EXPECT_EQ(run.out.find("successfully"), std::string::npos);

    // The same run left alone, up to the report after the last one in the file.
    const std::string kept = read_file(dir / "Output.dat");
    const std::size_t last_line_end = kept.rfind("\r\n");
    const std::size_t last_line_start = kept.rfind("\r\n", last_line_end - 1) + 2;
    const int last_generation = std::stoi(kept.substr(last_line_start, 9));
    const RunResult reference = run_parasim(
        reference_dir, answers(20, 0.2, 0.01, 2, 0.2, 3, 1.0, 100, 1.0, last_generation + 10),
        "--seed 3");
    ASSERT_EQ(reference.exit_status, 0);
    const std::string whole = read_file(reference_dir / "Output.dat");
    EXPECT_EQ(kept, whole.substr(0, kept.size()));
    EXPECT_GT(kept.size(), report_offset(whole, 20));
  }
}

TEST(Failures, HundredMegabyteLineStreamsThroughInLittleMemory) {
  const auto dir = fresh_directory("failures-long-line");
  const bool sanitized = sanitized_binary();
  // The first answer, then 100 MB on its line and no line end: the rest of the
  // line is dropped and the second read meets the end of the input. Then a
  // genome size of 100 million digits, which overflows.
  for (const auto& [head, filler, parameter, message] :
       std::vector<std::tuple<std::string, char, int, std::string>>{
           {"20 ", 'x', 2, "End of file"}, {"", '7', 1, "Integer overflow while reading item 1"}}) {
    SCOPED_TRACE(message);
    const Child run = run_child(dir, head, {.filler_count = 100'000'000, .filler = filler});
    EXPECT_FALSE(run.timed_out);
    EXPECT_EQ(run.exit_status, 2);
    EXPECT_EQ(last_line(run.err), message);
    EXPECT_NE(run.err.find("parameter " + std::to_string(parameter) + " of 10"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir / "Output.dat"));
    EXPECT_LT(run.seconds, sanitized ? 40 : 5);
    EXPECT_LT(run.peak_kib, sanitized ? 64 * 1024 : 16 * 1024);
  }
}

// Standard input closed or open on something unreadable: a failed read of the
// first answer, reported as the end of the input or with the system's text.
TEST(Failures, UnreadableStandardInputIsAFailedReadNotACrash) {
  const auto dir = fresh_directory("failures-stdin");
  for (const auto& [name, set_up, system_text] :
       std::vector<std::tuple<std::string, std::function<void()>, std::string>>{
           {"closed", [] { ::close(0); }, "Bad file descriptor"},
           {"a directory", [] { ::dup2(::open("/", O_RDONLY | O_DIRECTORY), 0); },
            "Is a directory"},
           {"write-only", [] { ::dup2(::open("/dev/null", O_WRONLY), 0); },
            "Bad file descriptor"}}) {
    SCOPED_TRACE("standard input " + name);
    const Child run = run_child(dir, "", {.set_up = set_up});
    EXPECT_EQ(run.signal, 0);
    EXPECT_EQ(run.exit_status, 2) << run.err;
    const std::string message = last_line(run.err);
    EXPECT_TRUE(message == "End of file" || message == system_text) << run.err;
    EXPECT_NE(run.err.find("parameter 1 of 10"), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "Output.dat"));
  }
}

// With standard output or standard error closed, the results file must not take
// over its descriptor and receive the console lines or the progress line.
void expect_results_alone_with_closed(int descriptor) {
  const auto dir = fresh_directory("failures-closed-" + std::to_string(descriptor));
  ASSERT_EQ(run_parasim(dir, living, "--seed 3").exit_status, 0);
  const std::string whole = read_file(dir / "Output.dat");
  std::filesystem::remove(dir / "Output.dat");
  const Child run = run_child(dir, living,
                              {.arguments = {"--seed", "3", "--progress"},
                               .set_up = [descriptor] { ::close(descriptor); }});
  EXPECT_EQ(run.signal, 0);
  EXPECT_EQ(read_file(dir / "Output.dat"), whole);
}

TEST(Failures, ClosedStandardOutputLeavesTheResultsFileAlone) {
  expect_results_alone_with_closed(1);
}

TEST(Failures, ClosedStandardErrorLeavesTheResultsFileAlone) {
  expect_results_alone_with_closed(2);
}

}  // namespace
}  // namespace parasim::testing
