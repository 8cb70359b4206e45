"""Running the runs of a plan: each in its own folder, as 'parasim --seed S --record
record.json --history history < answers.txt' would run there, then marked done or failed."""

import dataclasses
import json
import os
import queue
import signal
import subprocess
import threading
import time

from parasim_report.columns import HISTORY_FILES
from parasim_report.exit_statuses import PARASIM_BAD_INPUT, PARASIM_DONE
from parasim_report.placement import PlacementError, check_outputs, write_file

from . import run_state as rs


@dataclasses.dataclass
class Outcome:
    run: object
    result: str  # done, failed, busy (another process holds it), interrupted, already-done
    detail: str = ""
    seconds: float = 0.0


def _stderr_tail(folder, lines=20):
    try:
        with open(os.path.join(folder, rs.STDERR), encoding="utf-8", errors="replace") as stream:
            return "".join(stream.readlines()[-lines:])
    except OSError:
        return ""


def _exit_text(returncode):
    if returncode < 0:
        try:
            name = signal.Signals(-returncode).name
        except ValueError:
            name = f"signal {-returncode}"
        return f"killed by {name}"
    return f"exit status {returncode}"


class Executor:
    """Runs single runs of one plan; safe to use from several threads at once."""

    def __init__(self, plan, programs):
        self.plan = plan
        self.programs = programs
        self.stopping = threading.Event()
        self._children = set()
        # Reentrant: the signal handler stops children from the thread that may be starting one.
        self._children_lock = threading.RLock()
        self.checkpoint_every = plan.definition.checkpoint_every
        self.notes = []  # what the user should know about this parasim before the runs
        if self.checkpoint_every and not programs.supports_checkpoints():
            self.checkpoint_every = 0
            self.notes.append("this parasim writes no checkpoints: an interrupted run starts "
                              "again from its first generation")
        self.history = programs.supports_history()
        if not self.history:
            self.notes.append("this parasim keeps no species history: collect leaves the "
                              "history's columns of runs.csv empty")

    def stop(self, signum=signal.SIGTERM):
        """Ends the runs in progress; they stay pending (not failed) for the next attempt."""
        self.stopping.set()
        with self._children_lock:
            for child in list(self._children):
                try:
                    child.send_signal(signum)
                except OSError:
                    pass

    def _command(self, run, resume):
        command = [self.programs.parasim(), "--seed", str(run.seed), "--record", rs.RECORD]
        if self.history:
            command += ["--history", rs.HISTORY]
            if self.plan.definition.genetics_every:
                command += ["--genetics-every", str(self.plan.definition.genetics_every)]
        if self.checkpoint_every:
            command += ["--checkpoint", rs.CHECKPOINT,
                        "--checkpoint-every", str(self.checkpoint_every)]
            if resume:
                command += ["--resume", rs.CHECKPOINT]
        return command

    def _parasim(self, run, folder, lock, resume):
        # The logs are written as parasim runs, in place: only into regular files.
        check_outputs([os.path.join(folder, rs.STDOUT), os.path.join(folder, rs.STDERR)])
        with open(os.path.join(folder, rs.ANSWERS), "rb") as answers, \
                open(os.path.join(folder, rs.STDOUT), "wb") as out, \
                open(os.path.join(folder, rs.STDERR), "wb") as err:
            with self._children_lock:
                if self.stopping.is_set():
                    return None
                child = subprocess.Popen(self._command(run, resume), cwd=folder, stdin=answers,
                                         stdout=out, stderr=err, pass_fds=(lock.descriptor,))
                self._children.add(child)
            if self.stopping.is_set():
                # stop() came while this child was being started, and did not see it
                child.send_signal(signal.SIGTERM)
            try:
                return child.wait()
            finally:
                with self._children_lock:
                    self._children.discard(child)

    def _check_answers(self, run, folder):
        path = os.path.join(folder, rs.ANSWERS)
        expected = run.answers()
        try:
            with open(path, encoding="ascii", errors="replace") as stream:
                found = stream.read()
        except FileNotFoundError:
            try:
                write_file(path, expected)
            except PlacementError as error:
                return str(error)
            return None
        if found != expected:
            return (f"{path} is not the answers the plan gives this run; it was left as it is "
                    "(put back the planned answers, or remove the file to have them written again)")
        return None

    def _finish(self, run, folder, seconds, resumed):
        """Checks what a run that exited 0 left, then marks it done."""
        record_path = os.path.join(folder, rs.RECORD)
        try:
            with open(record_path, encoding="utf-8") as stream:
                record = json.load(stream)
        except (OSError, ValueError) as error:
            return f"parasim exited 0 but its record cannot be read: {error}"
        if not isinstance(record, dict) or record.get("exit_status") != PARASIM_DONE:
            return "parasim exited 0 but its record does not say the run went through"
        results = os.path.join(folder, rs.RESULTS)
        try:
            rs.sync_file(results)
            rs.sync_file(record_path)
            size = os.path.getsize(results)
        except OSError as error:
            return f"parasim exited 0 but {rs.RESULTS} is missing or unreadable: {error}"
        if self.history:
            try:
                for name in HISTORY_FILES:
                    rs.sync_file(os.path.join(folder, rs.HISTORY, name))
            except OSError as error:
                return f"parasim exited 0 but its history is missing or unreadable: {error}"
        rs.write_marker(folder, rs.DONE, {
            "run_id": run.run_id, "seed": run.seed,
            "answers_sha256": rs.answers_digest(run.answers()),
            "exit_status": PARASIM_DONE, "output_bytes": size,
            "wall_seconds": round(seconds, 3), "resumed": resumed,
            "generations_run": record.get("generations_run"),
            "died_out": record.get("died_out"),
        })
        try:
            os.remove(os.path.join(folder, rs.CHECKPOINT))
        except FileNotFoundError:
            pass
        return None

    def _fail(self, run, folder, reason, returncode=None):
        content = {"run_id": run.run_id, "seed": run.seed, "reason": reason,
                   "stderr_tail": _stderr_tail(folder)}
        if returncode is not None:
            content["exit_status" if returncode >= 0 else "signal"] = abs(returncode)
        rs.write_marker(folder, rs.FAILED, content)
        return Outcome(run, "failed", reason)

    def execute(self, run):
        folder = self.plan.run_folder(run)
        try:
            # A removed run folder is made again: its answers follow from the plan.
            os.makedirs(folder, exist_ok=True)
            lock = rs.RunLock.try_take(folder)
        except OSError as error:
            return Outcome(run, "failed", f"cannot use {folder}: {error.strerror}")
        if lock is None:
            return Outcome(run, "busy", "another process is running it")
        try:
            return self._execute_locked(run, folder, lock)
        except (OSError, PlacementError) as error:
            # The folder itself is in the way (full disk, a file made read-only, a folder or a
            # link where a file should be): the run fails with that, and the others go on.
            reason = (str(error) if isinstance(error, PlacementError) else
                      f"{error.filename + ': ' if error.filename else ''}{error.strerror}")
            try:
                return self._fail(run, folder, reason)
            except (OSError, PlacementError):
                return Outcome(run, "failed", reason)
        finally:
            lock.release()

    def _execute_locked(self, run, folder, lock):
        if rs.is_done(folder, run):
            return Outcome(run, "already-done")
        problem = self._check_answers(run, folder)
        if problem:
            return self._fail(run, folder, problem)
        resume = bool(self.checkpoint_every) and all(
            os.path.exists(os.path.join(folder, name)) for name in (rs.CHECKPOINT, rs.RESULTS))
        if not resume:
            rs.clear_attempt(folder)
        else:
            for name in (rs.FAILED, rs.DONE):
                if os.path.exists(os.path.join(folder, name)):
                    os.remove(os.path.join(folder, name))
        started = time.monotonic()
        returncode = self._parasim(run, folder, lock, resume)
        if resume and returncode == PARASIM_BAD_INPUT and not self.stopping.is_set():
            # A checkpoint parasim refuses (damaged, or from other answers) is no reason to
            # fail the run: it is run again from the start.
            rs.clear_attempt(folder)
            resume = False
            returncode = self._parasim(run, folder, lock, resume)
        seconds = time.monotonic() - started
        if returncode is None or (returncode != PARASIM_DONE and self.stopping.is_set()):
            return Outcome(run, "interrupted")
        if returncode != PARASIM_DONE:
            return self._fail(run, folder, f"parasim ended with {_exit_text(returncode)}",
                              returncode)
        problem = self._finish(run, folder, seconds, resume)
        if problem:
            return self._fail(run, folder, problem, PARASIM_DONE)
        return Outcome(run, "done", seconds=seconds)


def run_all(executor, runs, jobs, on_outcome):
    """Runs the given runs on jobs workers; on_outcome is called as each one ends. Returns the
    outcomes in run order. The calling thread stays free for signals while it waits."""
    work = queue.Queue()
    for run in runs:
        work.put(run)
    outcomes = {}
    outcomes_lock = threading.Lock()

    def worker():
        while not executor.stopping.is_set():
            try:
                run = work.get_nowait()
            except queue.Empty:
                return
            outcome = executor.execute(run)
            with outcomes_lock:
                outcomes[run.run_id] = outcome
            on_outcome(outcome)

    workers = [threading.Thread(target=worker, daemon=True) for _ in range(max(1, jobs))]
    for thread in workers:
        thread.start()
    for thread in workers:
        while thread.is_alive():
            thread.join(timeout=0.2)
    return [outcomes[run.run_id] for run in runs if run.run_id in outcomes]
