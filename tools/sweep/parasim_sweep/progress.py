"""The progress of a sweep on standard error: runs done of all, failures, elapsed time, ETA.

On a terminal it is one line redrawn in place; elsewhere (a log file, a batch job) one line is
written per finished run, so the log reads as a history."""

import threading
import time

BAR_WIDTH = 24


def clock_text(seconds):
    seconds = max(0, int(round(seconds)))
    return f"{seconds // 3600}:{seconds // 60 % 60:02d}:{seconds % 60:02d}"


class Progress:
    def __init__(self, stream, total, already_done, interactive=None, clock=time.monotonic):
        self.stream = stream
        self.total = total
        self.done = already_done
        self.failed = 0
        self.finished_here = 0  # runs this sweep finished, done or failed: the ETA's basis
        self.clock = clock
        self.start = clock()
        self.interactive = stream.isatty() if interactive is None else interactive
        self.lock = threading.Lock()

    def line(self):
        elapsed = self.clock() - self.start
        left = self.total - self.done - self.failed
        if left <= 0:
            eta = "0:00:00"
        elif self.finished_here:
            eta = clock_text(elapsed / self.finished_here * left)
        else:
            eta = "--:--:--"
        filled = BAR_WIDTH * self.done // self.total if self.total else BAR_WIDTH
        bar = "#" * filled + "-" * (BAR_WIDTH - filled)
        return (f"[{bar}] {self.done}/{self.total} runs done, {self.failed} failed, "
                f"elapsed {clock_text(elapsed)}, ETA {eta}")

    def show(self, note=None):
        with self.lock:
            if self.interactive:
                self.stream.write("\r" + self.line() + "\x1b[K")
            else:
                self.stream.write(self.line() + (f"  ({note})" if note else "") + "\n")
            self.stream.flush()

    def run_finished(self, succeeded, note=None):
        with self.lock:
            self.finished_here += 1
            if succeeded:
                self.done += 1
            else:
                self.failed += 1
        self.show(note)

    def close(self):
        if self.interactive:
            with self.lock:
                self.stream.write("\n")
                self.stream.flush()
