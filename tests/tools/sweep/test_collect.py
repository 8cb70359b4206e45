"""Collecting: the per-generation table of every completed run, merged with the run's id,
seed and parameters in front; one row per run in runs.csv, checked against the run's record
and its history; runs that are not done left out."""

import csv
import json
import os
import stat
import subprocess
import unittest

import sweep_support as support
from parasim_sweep.parameters import NAMES


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
        # The tables of the done runs are written, and the status says not all is well.
        self.assertEqual(done.returncode, 1, done.stderr)
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

    def expected_run_row(self, folder, row, min_size=10):
        """A row of runs.csv worked out from the run's record and raw history."""
        run = os.path.join(folder, "runs", f"{int(row['run_id']):04d}")
        with open(os.path.join(run, "record.json")) as stream:
            record = json.load(stream)
        species = read_csv(os.path.join(run, "history", "species.csv"))[1:]
        abundance = read_csv(os.path.join(run, "history", "abundance.csv"))[1:]
        last = max(int(line[0]) for line in abundance)
        daughters = [line[9] for line in species if line[9]]
        extant = {line[0] for line in species if line[6] == "true"}
        genetics = {"mean_divergence_between_extant": "", "species_spanning_groups": ""}
        if os.path.exists(os.path.join(run, "history", "divergence.csv")):
            divergence = read_csv(os.path.join(run, "history", "divergence.csv"))[1:]
            sampled = max(int(line[0]) for line in divergence)
            between = [float(line[4]) for line in divergence if int(line[0]) == sampled
                       and line[1] != line[2] and {line[1], line[2]} <= extant]
            groups = read_csv(os.path.join(run, "history", "groups.csv"))[1:]
            genetics = {
                "mean_divergence_between_extant":
                    str(sum(between) / len(between)) if between else "",
                "species_spanning_groups": str(sum(
                    int(line[0]) == sampled and line[1] in extant and int(line[4]) > 1
                    for line in groups)),
            }
        at_end = {}
        for line in abundance:
            if int(line[0]) == last:
                at_end[line[1]] = at_end.get(line[1], 0) + int(line[5])
        return {
            "final_population": str(record["final_population"]),
            "last_generation_population": str(sum(at_end.values())),
            "species_at_end": str(sum(line[6] == "true" for line in species)),
            "species_at_end_min_size": str(sum(n >= min_size for n in at_end.values())),
            "min_size": str(min_size),
            "speciation_events": str(len(species) - 1),
            "extinctions": str(sum(line[6] == "false" for line in species)),
            "first_split_generation": species[1][3] if len(species) > 1 else "",
            "hosts_occupied_at_end": str(len({line[3] for line in abundance
                                              if int(line[0]) == last})),
            "host_shift_share": (str(daughters.count("true") / len(daughters)) if daughters
                                 else ""),
            **genetics,
        }

    def test_one_row_per_run_from_its_record_and_history(self):
        # The runs write the history's genetics tables every 10 generations: the divergence
        # and mating groups of the last sampled generation, 60, come into runs.csv.
        folder = self.planned(dict(support.TINY, generations=60, carrying_capacity=60),
                              genetics_every=10)
        self.sweep_ok("run", folder)
        done = self.sweep_ok("collect", folder)
        self.assertIn(f"One row per run in {os.path.join(folder, 'runs.csv')}", done.stdout)
        with open(os.path.join(folder, "runs.csv"), newline="") as stream:
            runs = list(csv.DictReader(stream))
        manifest = support.read_manifest(folder)
        self.assertEqual([r["run_id"] for r in runs], [r["run_id"] for r in manifest])
        for row, planned in zip(runs, manifest):
            for name in ("replicate", "seed", *NAMES):
                self.assertEqual(row[name], planned[name], name)
            expected = self.expected_run_row(folder, row)
            self.assertEqual({k: row[k] for k in expected}, expected, f"run {row['run_id']}")
        self.assertTrue(any(int(r["speciation_events"]) > 0 for r in runs), "some run splits")
        self.assertTrue(any(r["mean_divergence_between_extant"] for r in runs))
        self.assertTrue(os.path.exists(os.path.join(folder, "runs", "0001", "history",
                                                    "groups.csv")))

        # Another minimum size makes the tables again.
        self.sweep_ok("collect", folder, "--min-size", "3")
        with open(os.path.join(folder, "runs.csv"), newline="") as stream:
            runs = list(csv.DictReader(stream))
        for row in runs:
            expected = self.expected_run_row(folder, row, min_size=3)
            self.assertEqual(row["species_at_end_min_size"], expected["species_at_end_min_size"])
            self.assertEqual(row["min_size"], "3")

    def test_runs_of_a_parasim_without_history_have_empty_history_columns(self):
        older = self.write("older-parasim", (
            "#!/bin/sh\n"
            f"if [ \"$1\" = --help ]; then '{support.parasim()}' --help | grep -v -- '--history'; "
            "exit 0; fi\n"
            f"exec '{support.parasim()}' \"$@\"\n"))
        os.chmod(older, os.stat(older).st_mode | stat.S_IXUSR)
        folder = self.planned()
        done = self.sweep_ok("run", folder, "--task", "1", "--parasim", older)
        self.assertIn("keeps no species history", done.stderr)
        self.assertFalse(os.path.exists(os.path.join(folder, "runs", "0001", "history")))
        self.assertEqual(self.sweep("collect", folder).returncode, 1)  # runs 2 ... not done
        with open(os.path.join(folder, "runs.csv"), newline="") as stream:
            (row,) = list(csv.DictReader(stream))
        self.assertNotEqual(row["final_population"], "")
        self.assertEqual({row[name] for name in ("last_generation_population", "species_at_end",
                                                 "speciation_events",
                                                 "first_split_generation", "host_shift_share",
                                                 "mean_divergence_between_extant",
                                                 "species_spanning_groups")}, {""})

    def test_default_output_and_tables_made_once(self):
        folder = self.planned()
        self.sweep_ok("run", folder)
        self.sweep_ok("collect", folder)
        # Runs without genetics_every: no genetics tables, their columns empty.
        self.assertFalse(os.path.exists(os.path.join(folder, "runs", "0001", "history",
                                                     "divergence.csv")))
        with open(os.path.join(folder, "runs.csv"), newline="") as stream:
            for row in csv.DictReader(stream):
                self.assertEqual(row["mean_divergence_between_extant"], "")
                self.assertEqual(row["species_spanning_groups"], "")
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
