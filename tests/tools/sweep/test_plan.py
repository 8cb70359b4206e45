"""Plans: every combination times the replicates, seeds from the documented formula, the
folder laid out, and a folder that holds something else left alone."""

import csv
import hashlib
import json
import os
import unittest
from unittest import mock

import sweep_support as support
from parasim_sweep import plan as planning
from parasim_sweep.parameters import NAMES
from parasim_sweep.sweep_file import definition_from_document


def documented_seed(master_seed, run_id, suffix=""):
    """The formula of docs/many-runs.md, written out again independently of the tool."""
    digest = hashlib.sha256(f"{master_seed}:{run_id}{suffix}".encode()).hexdigest()
    return int(digest[:16], 16) & 0x7FFFFFFF


class Seeds(unittest.TestCase):
    def test_seeds_follow_the_documented_formula(self):
        for master_seed in (0, 1, 20240611, 2**63 - 1):
            seeds = planning.sweep_seeds(master_seed, 50)
            self.assertEqual(seeds, [documented_seed(master_seed, i) for i in range(1, 51)])

    def test_seeds_are_distinct_in_range_and_repeatable(self):
        seeds = planning.sweep_seeds(99, 5000)
        self.assertEqual(len(set(seeds)), 5000)
        self.assertTrue(all(0 <= s <= 2147483647 for s in seeds))
        self.assertEqual(seeds, planning.sweep_seeds(99, 5000))
        self.assertEqual(seeds[:100], planning.sweep_seeds(99, 100))  # a prefix keeps its seeds
        self.assertNotEqual(seeds[:100], planning.sweep_seeds(100, 100))

    def test_a_taken_seed_is_drawn_again_with_a_suffix(self):
        real = planning.run_seed

        def colliding(master_seed, run_id, attempt=0):
            # runs 2 and 3 first come out with run 1's seed
            if attempt == 0 and run_id in (2, 3):
                return real(master_seed, 1)
            return real(master_seed, run_id, attempt)

        with mock.patch.object(planning, "run_seed", side_effect=colliding):
            seeds = planning.sweep_seeds(5, 4)
        self.assertEqual(seeds, [documented_seed(5, 1), documented_seed(5, 2, ":1"),
                                 documented_seed(5, 3, ":1"), documented_seed(5, 4)])


class Expansion(unittest.TestCase):
    def test_every_combination_times_the_replicates_in_order(self):
        document = {name: (v[0] if isinstance(v, list) else v)
                    for name, v in support.TINY.items()}
        document.update(genome_size=[10, 20], mutation_rate=[0.1, 0.2, 0.3], replicates=2,
                        master_seed=3)
        plan = planning.Plan("/nowhere", definition_from_document(document))
        runs = plan.runs
        self.assertEqual(len(runs), 12)
        self.assertEqual([r.run_id for r in runs], list(range(1, 13)))
        self.assertEqual([r.replicate for r in runs], [1, 2] * 6)
        # the first parameter changes slowest, the replicates of a combination are neighbours
        self.assertEqual([(r.values["genome_size"], r.values["mutation_rate"]) for r in runs],
                         [(g, m) for g in (10, 20) for m in (0.1, 0.2, 0.3) for _ in (1, 2)])
        combinations = {tuple(r.values[n] for n in NAMES) for r in runs}
        self.assertEqual(len(combinations), 6)
        self.assertEqual([r.seed for r in runs], planning.sweep_seeds(3, 12))
        # A single run, as a Slurm task asks for it, is the same run without the others.
        lone = planning.Plan("/nowhere", plan.definition)
        self.assertEqual([lone.run(i) for i in range(1, 13)], runs)


class SeedLists(support.SweepCase):
    def test_each_combination_runs_once_per_listed_seed(self):
        document = {name: (v[0] if isinstance(v, list) else v)
                    for name, v in support.TINY.items()}
        document.update(genome_size=[10, 20], seeds=[9, 2, 5])
        plan = planning.Plan("/nowhere", definition_from_document(document))
        self.assertEqual([(r.values["genome_size"], r.replicate, r.seed) for r in plan.runs],
                         [(g, i + 1, seed) for g in (10, 20) for i, seed in enumerate((9, 2, 5))])
        lone = planning.Plan("/nowhere", plan.definition)
        self.assertEqual([lone.run(i) for i in range(1, 7)], plan.runs)

    def test_planned_run_and_collected_with_the_listed_seeds(self):
        folder = self.planned(seeds=[1, 2, 3])
        self.assertEqual([int(row["seed"]) for row in support.read_manifest(folder)],
                         [1, 2, 3] * 2)
        self.sweep_ok("run", folder, "--jobs", "2")
        self.sweep_ok("collect", folder)
        with open(os.path.join(folder, "runs.csv"), newline="") as stream:
            rows = list(csv.DictReader(stream))
        self.assertEqual([(row["replicate"], row["seed"]) for row in rows],
                         [(str(i), str(i)) for i in (1, 2, 3)] * 2)
        # a run of the sweep is the run made by hand with its seed
        self.assert_same_as_direct(folder)
        # planned again: the same list changes nothing, another list or form is refused
        self.sweep_ok("plan", self.path("sweep.toml"), folder)
        for other, words in ((support.sweep_text(support.TINY, seeds=[1, 2, 4]),
                              "seeds is [1, 2, 3] there and [1, 2, 4] here"),
                             (support.sweep_text(support.TINY, replicates=3),
                              "master_seed is not given there and 7 here")):
            done = self.sweep("plan", self.write("other.toml", other), folder)
            self.assertEqual(done.returncode, 2)
            self.assertIn(words, done.stderr)


class PlanFolders(support.SweepCase):
    def test_layout_manifest_and_answers(self):
        folder = self.planned(replicates=3)
        self.assertEqual(sorted(os.listdir(folder)),
                         ["manifest.csv", "plan.json", "runs", "sweep.toml"])
        self.assertEqual(support.run_folders(folder), [f"{i:04d}" for i in range(1, 7)])
        rows = support.read_manifest(folder)
        self.assertEqual(list(rows[0]), ["run_id", "replicate", *NAMES, "seed", "status"])
        self.assertEqual([int(r["run_id"]) for r in rows], list(range(1, 7)))
        self.assertEqual([int(r["seed"]) for r in rows],
                         [documented_seed(7, i) for i in range(1, 7)])
        self.assertEqual({r["status"] for r in rows}, {"pending"})
        self.assertEqual([r["dispersal_prob"] for r in rows], ["0.02"] * 3 + ["0.1"] * 3)
        for row, name in zip(rows, support.run_folders(folder)):
            with open(os.path.join(folder, "runs", name, "answers.txt")) as stream:
                self.assertEqual(stream.read().splitlines(), [row[n] for n in NAMES])
        with open(os.path.join(folder, "sweep.toml")) as stream:
            self.assertIn("replicates = 3", stream.read())

    def test_same_plan_again_changes_nothing(self):
        folder = self.planned()
        marker = os.path.join(folder, "runs", "0001", "keep")
        open(marker, "w").close()
        done = self.sweep_ok("plan", self.path("sweep.toml"), folder)
        self.assertIn("already holds this plan", done.stdout)
        self.assertTrue(os.path.exists(marker))

    def test_a_different_plan_is_refused_and_nothing_is_lost(self):
        folder = self.planned()
        before = support.read_bytes(os.path.join(folder, "plan.json"))
        other = self.write("other.toml", support.sweep_text(support.TINY, replicates=3))
        done = self.sweep("plan", other, folder)
        self.assertEqual(done.returncode, 2)
        self.assertIn("different plan", done.stderr)
        self.assertIn("replicates is 2 there and 3 here", done.stderr)
        self.assertEqual(before, support.read_bytes(os.path.join(folder, "plan.json")))
        self.assertEqual(len(support.run_folders(folder)), 4)

    def test_folders_that_hold_something_else_are_refused(self):
        sweep_file = self.write("s.toml", support.sweep_text(support.TINY))
        os.makedirs(self.path("busy"))
        self.write(os.path.join("busy", "notes.txt"), "mine")
        done = self.sweep("plan", sweep_file, self.path("busy"))
        self.assertEqual(done.returncode, 2)
        self.assertIn("not an empty folder", done.stderr)
        self.assertEqual(os.listdir(self.path("busy")), ["notes.txt"])
        self.write("afile", "x")
        self.assertEqual(self.sweep("plan", sweep_file, self.path("afile")).returncode, 2)
        os.makedirs(self.path("empty"))
        self.sweep_ok("plan", sweep_file, self.path("empty"))
        self.assertEqual(len(support.run_folders(self.path("empty"))), 4)

    def test_commands_on_a_folder_without_a_plan(self):
        os.makedirs(self.path("nothing"))
        for command in (["run"], ["status"], ["commands"], ["collect"]):
            done = self.sweep(command[0], self.path("nothing"))
            self.assertEqual(done.returncode, 2, command)
            self.assertIn("holds no sweep plan", done.stderr)
        folder = self.planned()
        with open(os.path.join(folder, "plan.json"), "w") as stream:
            stream.write("{ not json")
        done = self.sweep("status", folder)
        self.assertEqual(done.returncode, 2)
        self.assertIn("plan.json cannot be read", done.stderr)
        with open(os.path.join(folder, "plan.json"), "w") as stream:
            json.dump({"format": 1, "definition": {"replicates": 2}}, stream)
        done = self.sweep("status", folder)
        self.assertEqual(done.returncode, 2)
        self.assertIn("damaged", done.stderr)


if __name__ == "__main__":
    unittest.main()
