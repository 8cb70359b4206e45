"""Running a plan on this machine: the same bytes as direct parasim runs, failures marked and
kept, single runs by task number, counts by state."""

import json
import os
import stat
import unittest

import sweep_support as support


class LocalRuns(support.SweepCase):
    def test_outputs_are_those_of_direct_runs(self):
        folder = self.planned(replicates=2)
        done = self.sweep_ok("run", folder, "--jobs", "2")
        self.assertIn("4/4 runs done, 0 failed", done.stderr)
        self.assertIn("ETA", done.stderr)
        rows = support.read_manifest(folder)
        self.assertEqual({r["status"] for r in rows}, {"done"})
        self.assert_same_as_direct(folder, rows)
        for row, name in zip(rows, support.run_folders(folder)):
            run = os.path.join(folder, "runs", name)
            with open(os.path.join(run, "record.json")) as stream:
                record = json.load(stream)
            self.assertEqual(record["tick_count"], int(row["seed"]))
            self.assertEqual(record["parameters"]["dispersal_prob"], float(row["dispersal_prob"]))
            with open(os.path.join(run, "done")) as stream:
                marker = json.load(stream)
            self.assertEqual(marker["output_bytes"], os.path.getsize(os.path.join(run, "Output.dat")))
        # replicates of one combination are different runs
        self.assertNotEqual(support.read_bytes(os.path.join(folder, "runs", "0001", "Output.dat")),
                            support.read_bytes(os.path.join(folder, "runs", "0002", "Output.dat")))

    def test_a_second_run_of_a_finished_sweep_does_nothing(self):
        folder = self.planned()
        self.sweep_ok("run", folder)
        path = os.path.join(folder, "runs", "0003", "Output.dat")
        before = os.stat(path).st_mtime_ns
        done = self.sweep_ok("run", folder)
        self.assertIn("all 4 runs are done", done.stderr)
        self.assertEqual(before, os.stat(path).st_mtime_ns)

    def test_a_run_whose_output_is_damaged_is_not_done(self):
        folder = self.planned()
        self.sweep_ok("run", folder)
        path = os.path.join(folder, "runs", "0002", "Output.dat")
        complete = support.read_bytes(path)
        with open(path, "r+b") as stream:
            stream.truncate(len(complete) // 2)
        status = self.sweep_ok("status", folder).stdout
        self.assertIn("done     3", status)
        self.assertIn("pending  1", status)
        self.sweep_ok("run", folder)
        self.assertEqual(complete, support.read_bytes(path))


class FailedRuns(support.SweepCase):
    def failing_parasim(self, seed):
        """A parasim that refuses one seed, as a run that fails would."""
        path = self.write("failing-parasim", (
            "#!/bin/sh\n"
            f"case \" $* \" in *\" --seed {seed} \"*) echo 'this run is made to fail' >&2; exit 2;; esac\n"
            f"exec '{support.parasim()}' \"$@\"\n"))
        os.chmod(path, os.stat(path).st_mode | stat.S_IXUSR)
        return path

    def test_failures_are_marked_kept_and_tried_again(self):
        folder = self.planned()
        rows = support.read_manifest(folder)
        fake = self.failing_parasim(rows[2]["seed"])
        done = self.sweep("run", folder, "--parasim", fake, "--jobs", "2")
        self.assertEqual(done.returncode, 1)
        self.assertIn("3/4 runs done, 1 failed", done.stderr)
        self.assertIn("run 0003 failed: parasim ended with exit status 2", done.stderr)
        run = os.path.join(folder, "runs", "0003")
        with open(os.path.join(run, "stderr.txt")) as stream:
            self.assertIn("made to fail", stream.read())
        with open(os.path.join(run, "failed")) as stream:
            marker = json.load(stream)
        self.assertEqual(marker["exit_status"], 2)
        self.assertIn("made to fail", marker["stderr_tail"])
        self.assertFalse(os.path.exists(os.path.join(run, "done")))
        self.assertEqual([r["status"] for r in support.read_manifest(folder)],
                         ["done", "done", "failed", "done"])
        status = self.sweep_ok("status", folder).stdout
        self.assertIn("failed   1", status)
        self.assertIn("failed run 0003: parasim ended with exit status 2", status)
        self.assertEqual(self.sweep_ok("status", folder, "--array").stdout.strip(), "3")
        # with a working parasim the failed run is run again; the others are left alone
        done = self.sweep_ok("run", folder)
        self.assertIn("4/4 runs done, 0 failed", done.stderr)
        self.assertFalse(os.path.exists(os.path.join(run, "failed")))
        self.assert_same_as_direct(folder)

    def test_changed_answers_fail_the_run_and_are_kept(self):
        folder = self.planned()
        answers = os.path.join(folder, "runs", "0002", "answers.txt")
        with open(answers, "a") as stream:
            stream.write("99\n")
        done = self.sweep("run", folder, "--jobs", "1")
        self.assertEqual(done.returncode, 1)
        self.assertIn("not the answers the plan gives this run", done.stderr)
        with open(answers) as stream:
            self.assertTrue(stream.read().endswith("99\n"))
        self.assertFalse(os.path.exists(os.path.join(folder, "runs", "0002", "Output.dat")))

    def test_an_obstructed_folder_fails_only_its_run(self):
        outside = self.write("outside.txt", "kept\n")

        def answers_link(run):
            os.remove(os.path.join(run, "answers.txt"))
            os.symlink(outside, os.path.join(run, "answers.txt"))
            os.remove(outside)  # dangling: the answers would be written through it

        cases = [
            ("a folder for Output.dat",
             lambda run: os.makedirs(os.path.join(run, "Output.dat", "inside")), ""),
            ("a dangling link for answers.txt", answers_link, "it is a symbolic link"),
        ]
        for number, (what, obstruct, reason) in enumerate(cases):
            with self.subTest(what):
                self.write("outside.txt", "kept\n")
                folder = self.planned(name=f"obstructed-{number}")
                obstruct(os.path.join(folder, "runs", "0001"))
                done = self.sweep("run", folder)
                self.assertEqual(done.returncode, 1)
                self.assertIn("run 0001 failed", done.stderr)
                self.assertIn(reason, done.stderr)
                self.assertNotIn("Traceback", done.stderr)
                self.assertIn("3/4 runs done, 1 failed", done.stderr)
                self.assertEqual(os.path.exists(outside), number == 0)

    def test_missing_program(self):
        folder = self.planned()
        done = self.sweep("run", folder, "--parasim", self.path("nowhere"))
        self.assertEqual(done.returncode, 2)
        self.assertIn("not an executable file", done.stderr)
        done = self.sweep("collect", folder, env={"PARASIM_REPORT_BINARY": self.path("nowhere")})
        self.assertEqual(done.returncode, 2)
        self.assertIn("PARASIM_REPORT_BINARY", done.stderr)


class SingleTasks(support.SweepCase):
    def test_task_runs_exactly_that_run(self):
        folder = self.planned()
        done = self.sweep_ok("run", folder, "--task", "3")
        self.assertIn("run 0003 done", done.stderr)
        names = support.run_folders(folder)
        have_results = [os.path.exists(os.path.join(folder, "runs", n, "Output.dat")) for n in names]
        self.assertEqual(have_results, [False, False, True, False])
        self.assertIn("already done", self.sweep_ok("run", folder, "--task", "3").stderr)
        self.assertEqual(self.sweep_ok("status", folder, "--array").stdout.strip(), "1-2,4")
        status = self.sweep_ok("status", folder).stdout
        self.assertIn("done     1", status)
        self.assertIn("pending  3", status)
        rows = support.read_manifest(folder)
        direct = self.direct_run(os.path.join(folder, "runs", "0003", "answers.txt"),
                                 rows[2]["seed"], "task3")
        self.assertEqual(support.read_bytes(os.path.join(direct, "Output.dat")),
                         support.read_bytes(os.path.join(folder, "runs", "0003", "Output.dat")))

    def test_task_numbers_outside_the_plan(self):
        folder = self.planned()
        for task in ("0", "5", "x"):
            done = self.sweep("run", folder, "--task", task)
            self.assertEqual(done.returncode, 2, task)
        self.assertIn("there is no run 5", self.sweep("run", folder, "--task", "5").stderr)

    def test_a_run_held_by_another_process_is_left_to_it(self):
        folder = self.planned()
        from parasim_sweep.run_state import RunLock
        held = RunLock.try_take(os.path.join(folder, "runs", "0002"))
        self.addCleanup(held.release)
        done = self.sweep("run", folder, "--task", "2")
        self.assertEqual(done.returncode, 1)
        self.assertIn("being run by another process", done.stderr)
        self.assertIn("running  1", self.sweep_ok("status", folder).stdout)
        done = self.sweep_ok("run", folder)
        self.assertIn("left to it: 0002", done.stderr)
        self.assertFalse(os.path.exists(os.path.join(folder, "runs", "0002", "Output.dat")))


if __name__ == "__main__":
    unittest.main()
