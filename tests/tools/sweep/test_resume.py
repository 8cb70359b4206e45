"""A sweep killed in the middle: started again, it skips what is done, runs again (or resumes
from its checkpoint) what was in flight, and never counts a half-written run as done."""

import json
import os
import signal
import subprocess
import time
import unittest

import sweep_support as support
from parasim_sweep.run_state import is_locked


class KilledSweeps(support.SweepCase):
    def start(self, folder, *options):
        log = open(self.path("sweep-stderr.txt"), "w")
        self.addCleanup(log.close)
        process = subprocess.Popen([support.sweep_tool(), "run", folder, *options],
                                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                   stderr=log, start_new_session=True)
        self.addCleanup(self.end_group, process)
        return process

    def end_group(self, process):
        if process.poll() is None:
            os.killpg(process.pid, signal.SIGKILL)
            process.wait()

    def wait_for(self, process, condition, what, limit=60):
        deadline = time.monotonic() + limit
        while not condition():
            if process.poll() is not None:
                self.fail(f"the sweep ended (status {process.returncode}) before {what}")
            if time.monotonic() > deadline:
                self.fail(f"no {what} within {limit} s")
            time.sleep(0.01)

    def run_path(self, folder, name, *parts):
        return os.path.join(folder, "runs", name, *parts)

    def in_flight(self, folder):
        return [n for n in support.run_folders(folder)
                if os.path.exists(self.run_path(folder, n, "Output.dat"))
                and not os.path.exists(self.run_path(folder, n, "done"))]

    def freeze_and_kill(self, process):
        """Stops the whole group first, so that what is on disk at the kill can be looked at,
        then kills it as a lost node or a kill -9 would."""
        os.killpg(process.pid, signal.SIGSTOP)
        time.sleep(0.05)
        caught = self.in_flight(self.folder)
        os.killpg(process.pid, signal.SIGKILL)
        process.wait()
        return caught

    def test_killed_group_restarts_in_flight_runs_from_scratch(self):
        self.folder = folder = self.planned(support.SLOW, replicates=3)
        process = self.start(folder, "--jobs", "1")
        self.wait_for(process, lambda: os.path.exists(self.run_path(folder, "0001", "done"))
                      and self.in_flight(folder), "a run done and the next one in flight")
        caught = self.freeze_and_kill(process)
        self.assertTrue(caught)
        status = self.sweep_ok("status", folder).stdout
        done_markers = [n for n in support.run_folders(folder)
                        if os.path.exists(self.run_path(folder, n, "done"))]
        self.assertIn(f"done     {len(done_markers)}", status)
        self.assertLess(len(done_markers), 3)
        rows = {r["run_id"]: r["status"] for r in support.read_manifest(folder)}
        for name in caught:
            self.assertEqual(rows[str(int(name))], "pending", f"half-written run {name}")
        partial = {n: os.path.getsize(self.run_path(folder, n, "Output.dat")) for n in caught}

        done = self.sweep_ok("run", folder, "--jobs", "2")
        self.assertIn("3/3 runs done", done.stderr)
        self.assert_same_as_direct(folder)
        for name, size in partial.items():
            self.assertGreaterEqual(os.path.getsize(self.run_path(folder, name, "Output.dat")), size)
            with open(self.run_path(folder, name, "done")) as stream:
                self.assertFalse(json.load(stream)["resumed"])

    def test_killed_group_resumes_from_checkpoints(self):
        self.folder = folder = self.planned(support.SLOW, replicates=2, checkpoint_every=20)
        process = self.start(folder, "--jobs", "1")
        self.wait_for(process, lambda: os.path.exists(self.run_path(folder, "0001", "checkpoint.bin")),
                      "a checkpoint of the first run")
        caught = self.freeze_and_kill(process)
        self.assertIn("0001", caught)
        self.assertTrue(os.path.exists(self.run_path(folder, "0001", "checkpoint.bin")))

        self.sweep_ok("run", folder, "--jobs", "1")
        with open(self.run_path(folder, "0001", "done")) as stream:
            self.assertTrue(json.load(stream)["resumed"])
        self.assertFalse(os.path.exists(self.run_path(folder, "0001", "checkpoint.bin")))
        self.assert_same_as_direct(folder)

    def test_a_damaged_checkpoint_means_a_fresh_start(self):
        folder = self.planned(support.TINY, replicates=1, checkpoint_every=5)
        run = self.run_path(folder, "0001")
        with open(os.path.join(run, "checkpoint.bin"), "wb") as stream:
            stream.write(b"not a checkpoint")
        with open(os.path.join(run, "Output.dat"), "wb") as stream:
            stream.write(b"left by an attempt\r\n")
        self.sweep_ok("run", folder)
        with open(os.path.join(run, "done")) as stream:
            self.assertFalse(json.load(stream)["resumed"])
        self.assert_same_as_direct(folder)

    def test_terminated_sweep_stops_its_runs_and_leaves_them_pending(self):
        self.folder = folder = self.planned(support.SLOW, replicates=2)
        for options in (["--task", "2"], ["--jobs", "2"]):
            process = self.start(folder, *options)
            # a lock is held only by a live run (the previous attempt's files are still there)
            self.wait_for(process, lambda: any(is_locked(self.run_path(folder, name))
                                               for name in support.run_folders(folder)),
                          "a run in flight")
            process.send_signal(signal.SIGTERM)
            self.assertEqual(process.wait(timeout=30), 128 + signal.SIGTERM, options)
            with open(self.path("sweep-stderr.txt")) as stream:
                self.assertIn("stopped by SIGTERM", stream.read())
            for name in support.run_folders(folder):
                self.assertFalse(os.path.exists(self.run_path(folder, name, "failed")))
                self.assertFalse(os.path.exists(self.run_path(folder, name, "done")))
            status = self.sweep_ok("status", folder).stdout
            self.assertIn("failed   0", status)
            self.assertIn("running  0", status)
        self.sweep_ok("run", folder)
        self.assert_same_as_direct(folder)

if __name__ == "__main__":
    unittest.main()
