// The live temporary files and staging folders of this process, and what a console program does
// with them on SIGINT or SIGTERM. The handler uses only async-signal-safe calls on memory set
// aside beforehand: no allocation, no locks.
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstring>

#include "report/placed_file.hpp"
#include "report/placement_rules.hpp"

namespace parasim::report {

namespace {

enum SlotState : int { slot_free, slot_claimed, slot_file, slot_folder };

struct Slot {
  std::atomic<int> state{slot_free};
  char path[PATH_MAX];
};

// More than any program of parasim has live at once (a checkpoint, a history file, a genomes
// set, the report's tables and page).
constexpr int slot_count = 64;
Slot slots[slot_count];
std::atomic<pid_t> child_to_kill{0};

// The records getdents64 fills in.
struct DirectoryRecord {
  std::uint64_t inode;
  std::int64_t offset;
  unsigned short length;
  unsigned char type;
  char name[1];
};

alignas(8) char listing[8192];

bool is_dot_or_dot_dot(const char* name) {
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Removes what a staging folder holds (files, and folders that are empty), then the folder.
void remove_folder(const char* path) {
  const int folder = ::open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    for (bool removed = true; removed;) {
      removed = false;
      ::lseek(folder, 0, SEEK_SET);
      long got = 0;
      while ((got = ::syscall(SYS_getdents64, folder, listing, sizeof listing)) > 0) {
        for (long at = 0; at < got;) {
          const auto* record = reinterpret_cast<const DirectoryRecord*>(listing + at);
          if (!is_dot_or_dot_dot(record->name) &&
              (::unlinkat(folder, record->name, 0) == 0 ||
               ::unlinkat(folder, record->name, AT_REMOVEDIR) == 0)) {
            removed = true;
          }
          at += record->length;
        }
      }
    }
    ::close(folder);
  }
  ::rmdir(path);
}

void clean_up_and_die(int signal_number) {
  const pid_t child = child_to_kill.load();
  if (child > 0) {
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
  }
  for (Slot& slot : slots) {
    const int state = slot.state.load(std::memory_order_acquire);
    if (state == slot_file) {
      ::unlink(slot.path);
    } else if (state == slot_folder) {
      remove_folder(slot.path);
    }
  }
  struct sigaction default_action {};
  default_action.sa_handler = SIG_DFL;
  ::sigemptyset(&default_action.sa_mask);
  ::sigaction(signal_number, &default_action, nullptr);
  sigset_t this_signal;
  ::sigemptyset(&this_signal);
  ::sigaddset(&this_signal, signal_number);
  ::raise(signal_number);
  ::sigprocmask(SIG_UNBLOCK, &this_signal, nullptr);
}

}  // namespace

namespace placement {

int track(const std::string& path, bool is_folder) {
  if (path.size() >= PATH_MAX) {
    return -1;
  }
  for (int i = 0; i < slot_count; ++i) {
    int expected = slot_free;
    if (slots[i].state.compare_exchange_strong(expected, slot_claimed)) {
      std::memcpy(slots[i].path, path.c_str(), path.size() + 1);
      slots[i].state.store(is_folder ? slot_folder : slot_file, std::memory_order_release);
      return i;
    }
  }
  return -1;
}

void untrack(int slot) {
  if (slot >= 0) {
    slots[slot].state.store(slot_free, std::memory_order_release);
  }
}

}  // namespace placement

void clean_up_on_signals() {
  for (const int signal_number : {SIGINT, SIGTERM}) {
    struct sigaction current {};
    ::sigaction(signal_number, nullptr, &current);
    if (current.sa_handler == SIG_IGN) {
      continue;  // started in the background, or by a caller that wants it to go on
    }
    struct sigaction action {};
    action.sa_handler = clean_up_and_die;
    // One clean-up at a time: the other signal waits, and the process dies before it comes.
    ::sigemptyset(&action.sa_mask);
    ::sigaddset(&action.sa_mask, SIGINT);
    ::sigaddset(&action.sa_mask, SIGTERM);
    ::sigaction(signal_number, &action, nullptr);
  }
}

ChildToKill::ChildToKill(pid_t child) {
  child_to_kill.store(child);
}

ChildToKill::~ChildToKill() {
  child_to_kill.store(0);
}

}  // namespace parasim::report
