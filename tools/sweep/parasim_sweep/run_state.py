"""The state of one run, kept in its folder: the markers that say it is done or failed, and
the lock held while a process runs it.

A run is done only when its 'done' marker is there, names the size of the Output.dat beside
it, and says the run ran what the plan gives it now (its seed and a digest of its answers): a
plan.json edited after the runs finished does not count their results as its own. The
marker is written under a temporary name and renamed into place after parasim has exited 0
and its files are on disk. Everything else in the folder (a partial Output.dat, a
record, a checkpoint) is work in progress that the next attempt clears or resumes."""

import errno
import fcntl
import hashlib
import json
import os
import shutil
import socket
import time

from parasim_report.placement import TEMPORARY_SUFFIX, write_file

DONE = "done"
FAILED = "failed"
LOCK = ".lock"
ANSWERS = "answers.txt"
RESULTS = "Output.dat"
RECORD = "record.json"
CHECKPOINT = "checkpoint.bin"
STDOUT = "stdout.txt"
STDERR = "stderr.txt"
TABLES = "tables"
HISTORY = "history"  # the species history, parasim --history (HISTORY_FILES in it)

# What one attempt leaves; cleared before a fresh attempt.
ATTEMPT_FILES = (RESULTS, RECORD, CHECKPOINT, STDOUT, STDERR, FAILED)

# How long a worker waits for a lock that someone holds only for a moment (a status probe)
# before taking the run as busy elsewhere.
LOCK_PATIENCE_SECONDS = 0.5


# A marker is a few hundred bytes; anything much larger is not one.
MARKER_BYTES = 2**20


def read_marker(folder, name):
    """The JSON content of a marker, or None when it is missing or not a whole marker."""
    try:
        with open(os.path.join(folder, name), "rb") as stream:
            raw = stream.read(MARKER_BYTES + 1)
        data = json.loads(raw.decode("utf-8")) if len(raw) <= MARKER_BYTES else None
    except (OSError, ValueError, RecursionError):
        return None
    return data if isinstance(data, dict) else None


def answers_digest(answers):
    """What a done marker keeps of the answers a run was given."""
    return hashlib.sha256(answers.encode("ascii")).hexdigest()


def _ran_this_run(folder, marker, run):
    if marker.get("seed") != run.seed:
        return False
    digest = marker.get("answers_sha256")
    if digest is not None:
        return digest == answers_digest(run.answers())
    # A marker of an earlier parasim-sweep keeps no digest: the answers beside it tell.
    try:
        with open(os.path.join(folder, ANSWERS), encoding="ascii") as stream:
            return stream.read() == run.answers()
    except (OSError, ValueError):
        return False


def is_done(folder, run):
    """Whether the run in folder is done, with the seed and answers the plan gives run."""
    marker = read_marker(folder, DONE)
    if marker is None or not _ran_this_run(folder, marker, run):
        return False
    try:
        return os.path.getsize(os.path.join(folder, RESULTS)) == marker.get("output_bytes")
    except OSError:
        return False


def write_marker(folder, name, content):
    """Writes a marker atomically: a reader sees it whole or not at all."""
    content = dict(content, host=socket.gethostname(),
                   time=time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime()))
    write_file(os.path.join(folder, name), json.dumps(content, indent=2) + "\n")


def sync_file(path):
    with open(path, "rb") as stream:
        os.fsync(stream.fileno())


def clear_attempt(folder):
    """Removes what an earlier attempt left, so that a fresh one starts as parasim would in
    a folder holding only the answers."""
    for name in ATTEMPT_FILES + (DONE,):
        try:
            os.remove(os.path.join(folder, name))
        except FileNotFoundError:
            pass
    for name in (TABLES, HISTORY):
        shutil.rmtree(os.path.join(folder, name), ignore_errors=True)
    for name in os.listdir(folder):
        # Temporaries a killed process left (older sweeps named theirs NAME.tmp-PID).
        if name.startswith(".") and name.endswith(TEMPORARY_SUFFIX) or ".tmp-" in name:
            path = os.path.join(folder, name)
            if os.path.isdir(path):
                shutil.rmtree(path, ignore_errors=True)
            else:
                os.remove(path)


class RunLock:
    """An exclusive lock on a run folder. The lock belongs to the open file, so it is given to
    parasim too: a parasim left running by a killed sweep still holds its run."""

    def __init__(self, descriptor):
        self.descriptor = descriptor

    @classmethod
    def try_take(cls, folder, patience=LOCK_PATIENCE_SECONDS):
        descriptor = os.open(os.path.join(folder, LOCK), os.O_RDWR | os.O_CREAT, 0o644)
        deadline = time.monotonic() + patience
        while True:
            try:
                fcntl.flock(descriptor, fcntl.LOCK_EX | fcntl.LOCK_NB)
                return cls(descriptor)
            except OSError as error:
                if error.errno not in (errno.EAGAIN, errno.EACCES, errno.EWOULDBLOCK):
                    os.close(descriptor)
                    raise
            if time.monotonic() >= deadline:
                os.close(descriptor)
                return None
            time.sleep(0.05)

    def release(self):
        if self.descriptor is not None:
            os.close(self.descriptor)
            self.descriptor = None


def is_locked(folder):
    """Whether some process holds the run (asks without waiting and lets go at once)."""
    path = os.path.join(folder, LOCK)
    if not os.path.exists(path):
        return False
    lock = RunLock.try_take(folder, patience=0)
    if lock is None:
        return True
    lock.release()
    return False


def run_status(folder, run):
    """done, running, failed or pending."""
    if is_done(folder, run):
        return "done"
    if is_locked(folder):
        return "running"
    if read_marker(folder, FAILED) is not None:
        return "failed"
    return "pending"


def plan_statuses(plan):
    return {run.run_id: run_status(plan.run_folder(run), run) for run in plan.runs}
