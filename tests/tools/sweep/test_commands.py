"""One command per run not done, for GNU parallel (or any runner of shell lines)."""

import os
import shlex
import shutil
import subprocess
import unittest

import sweep_support as support


class Commands(support.SweepCase):
    def test_one_command_per_run_not_done(self):
        folder = self.planned()
        self.sweep_ok("run", folder, "--task", "2")
        # parasim found beside the tool in the build tree is not named in the commands
        lines = self.sweep_ok("commands", folder, without=["PARASIM_BINARY"]).stdout.splitlines()
        self.assertEqual(len(lines), 3)
        for line, task in zip(lines, ("1", "3", "4")):
            words = shlex.split(line)
            self.assertEqual(words[0], support.sweep_tool() if os.path.isabs(support.sweep_tool())
                             else os.path.abspath(support.sweep_tool()))
            self.assertEqual(words[1:], ["run", os.path.abspath(folder), "--task", task])

    def test_a_named_parasim_is_passed_on(self):
        folder = self.planned(name="with space")
        for named in ({"arguments": ["--parasim", support.parasim()], "without": ["PARASIM_BINARY"]},
                      {"arguments": [], "env": {"PARASIM_BINARY": support.parasim()}}):
            lines = self.sweep_ok("commands", folder, *named.pop("arguments"),
                                  **named).stdout.splitlines()
            words = shlex.split(lines[0])
            self.assertEqual(words[2], os.path.abspath(folder))
            self.assertEqual(words[-2:], ["--parasim", os.path.abspath(support.parasim())])

    def test_commands_run_by_the_shell_make_the_sweep(self):
        folder = self.planned()
        for line in self.sweep_ok("commands", folder).stdout.splitlines():
            done = subprocess.run(line, shell=True, capture_output=True, text=True, timeout=60)
            self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(self.sweep_ok("commands", folder).stdout, "")
        self.assert_same_as_direct(folder)


@unittest.skipUnless(shutil.which("parallel"),
                     "GNU parallel is not installed (Debian package 'parallel')")
class GnuParallel(support.SweepCase):
    def test_commands_through_gnu_parallel(self):
        folder = self.planned()
        listing = self.sweep_ok("commands", folder).stdout
        done = subprocess.run(["parallel", "--will-cite", "-j", "2", "--halt", "never"],
                              input=listing, capture_output=True, text=True, timeout=120)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(done.stderr.count(" done (seed "), 4, done.stderr)
        self.assertIn("done     4", self.sweep_ok("status", folder).stdout)
        self.assert_same_as_direct(folder)


if __name__ == "__main__":
    unittest.main()
