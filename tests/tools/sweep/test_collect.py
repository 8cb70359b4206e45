"""Collecting: the per-generation table of every completed run, merged with the run's id,
seed and parameters in front, and runs that are not done left out."""

import csv
import os
import subprocess
import unittest

import sweep_support as support
from sweeplib.parameters import NAMES


def read_csv(path):
    with open(path, newline="") as stream:
        return list(csv.reader(stream))


class Collect(support.SweepCase):
    def report_table(self, run_folder, name):
        """generations.csv as parasim-report makes it for one results file."""
        out = self.path("reports", name)
        done = subprocess.run([support.report(), "--csv", out,
                               os.path.join(run_folder, "Output.dat")],
                              capture_output=True, text=True, timeout=60)
        self.assertEqual(done.returncode, 0, done.stderr)
        return read_csv(os.path.join(out, "generations.csv"))

    def test_merged_table_of_completed_runs(self):
        folder = self.planned()
        for task in ("1", "2", "4"):
            self.sweep_ok("run", folder, "--task", task)
        output = self.path("all.csv")
        done = self.sweep("collect", folder, "--output", output)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertIn("1 runs are not done and were left out", done.stderr)
        table = read_csv(output)
        manifest = support.read_manifest(folder)
        per_run = {}
        for row in manifest:
            if row["run_id"] == "3":
                continue
            name = f"{int(row['run_id']):04d}"
            per_run[row["run_id"]] = (row, self.report_table(os.path.join(folder, "runs", name), name))
        generation_header = next(iter(per_run.values()))[1][0]
        self.assertEqual(generation_header[0], "generation")
        self.assertEqual(table[0], ["run_id", "seed", *NAMES, *generation_header])
        expected = []
        for run_id, (row, generations) in per_run.items():
            front = [run_id, row["seed"], *(row[n] for n in NAMES)]
            expected += [front + line for line in generations[1:]]
        self.assertEqual(table[1:], expected)
        self.assertEqual(sorted({line[0] for line in table[1:]}), ["1", "2", "4"])

    def test_default_output_and_tables_made_once(self):
        folder = self.planned()
        self.sweep_ok("run", folder)
        self.sweep_ok("collect", folder)
        first = support.read_bytes(os.path.join(folder, "collected.csv"))
        tables = os.path.join(folder, "runs", "0001", "tables", "generations.csv")
        stamp = os.stat(tables).st_mtime_ns
        self.sweep_ok("collect", folder)
        self.assertEqual(first, support.read_bytes(os.path.join(folder, "collected.csv")))
        self.assertEqual(stamp, os.stat(tables).st_mtime_ns)

    def test_nothing_to_collect_and_unwritable_output(self):
        folder = self.planned()
        done = self.sweep("collect", folder)
        self.assertEqual(done.returncode, 1)
        self.assertIn("nothing to collect", done.stderr)
        self.assertFalse(os.path.exists(os.path.join(folder, "collected.csv")))
        self.sweep_ok("run", folder, "--task", "1")
        done = self.sweep("collect", folder, "--output", self.path("no", "such", "dir.csv"))
        self.assertEqual(done.returncode, 2)
        self.assertIn("does not exist", done.stderr)

    def test_a_results_file_the_report_refuses_is_named(self):
        folder = self.planned()
        self.sweep_ok("run", folder, "--task", "1")
        self.sweep_ok("run", folder, "--task", "2")
        # a results file damaged inside, at the same length: done by its marker, refused by
        # the report
        path = os.path.join(folder, "runs", "0002", "Output.dat")
        data = bytearray(support.read_bytes(path))
        data[-30:-20] = b"xxxxxxxxxx"
        with open(path, "wb") as stream:
            stream.write(data)
        done = self.sweep("collect", folder)
        self.assertEqual(done.returncode, 1)
        self.assertIn("run 0002 left out: parasim-report failed", done.stderr)
        self.assertEqual({line[0] for line in read_csv(os.path.join(folder, "collected.csv"))[1:]},
                         {"1"})


if __name__ == "__main__":
    unittest.main()
