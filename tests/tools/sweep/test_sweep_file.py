"""Reading sweep files: values and lists in their parasim types, and a clear refusal of every
kind of mistake, before any folder is made."""

import os
import subprocess
import unittest

import sweep_support as support
from parasim_sweep.errors import SweepError
from parasim_sweep.parameters import NAMES, PARAMETERS, answers_file_text
from parasim_sweep.sweep_file import definition_from_document


def document(**changes):
    base = {name: (v[0] if isinstance(v, list) else v) for name, v in support.TINY.items()}
    base["master_seed"] = 1
    base.update(changes)
    return {k: v for k, v in base.items() if v is not None}


class AcceptedFiles(unittest.TestCase):
    def test_values_take_their_parasim_types(self):
        definition = definition_from_document(document(host_distance=2, genome_size=[10, 20]))
        self.assertEqual(definition.values["host_distance"], (2.0,))
        self.assertIsInstance(definition.values["host_distance"][0], float)
        self.assertEqual(definition.values["genome_size"], (10, 20))
        self.assertEqual(definition.replicates, 1)  # the default
        self.assertEqual(definition.checkpoint_every, 0)
        self.assertEqual(definition.genetics_every, 0)
        # Plans without genetics_every keep the JSON they had.
        self.assertNotIn("genetics_every", definition.as_json())

    def test_counts_multiply_lists_and_replicates(self):
        definition = definition_from_document(document(
            genome_size=[10, 20, 30], mutation_rate=[0.001, 0.01], replicates=4))
        self.assertEqual(definition.point_count(), 6)
        self.assertEqual(definition.run_count(), 24)

    def test_answers_read_back_as_the_same_numbers(self):
        values = {name: definition_from_document(document()).values[name][0] for name in NAMES}
        values["mutation_rate"] = 1e-05
        values["dispersal_prob"] = 0.1 + 0.2  # not a short decimal
        lines = answers_file_text(values).splitlines()
        self.assertEqual(len(lines), 10)
        for name, line in zip(NAMES, lines):
            self.assertEqual(type(values[name])(line), values[name], name)

    def test_a_list_of_seeds_makes_one_replicate_per_seed(self):
        definition = definition_from_document(document(master_seed=None, seeds=[3, 1, 0],
                                                       genome_size=[10, 20]))
        self.assertEqual((definition.seeds, definition.replicates, definition.master_seed),
                         ((3, 1, 0), 3, None))
        self.assertEqual(definition.run_count(), 6)
        self.assertEqual(definition.as_json()["seeds"], [3, 1, 0])
        self.assertNotIn("master_seed", definition.as_json())

    def test_the_shipped_example_is_a_valid_sweep(self):
        from parasim_sweep.sweep_file import read_sweep_file
        definition, _ = read_sweep_file(os.path.join(support.SOURCE_ROOT, "examples", "sweep",
                                                  "example.toml"))
        self.assertGreater(definition.run_count(), 1)


class SameAnswersAsParasim(unittest.TestCase):
    def test_names_types_and_order_match_the_program(self):
        listing = subprocess.run([support.parasim(), "--list-parameters"], capture_output=True,
                                 text=True, check=True).stdout
        program = [line.split("\t")[:2] for line in listing.splitlines()]
        self.assertEqual(program, [[name, "integer" if whole else "real"]
                                   for name, whole in PARAMETERS])


class RefusedFiles(unittest.TestCase):
    def refused(self, expected_words, **changes):
        with self.assertRaises(SweepError) as caught:
            definition_from_document(document(**changes))
        for word in expected_words:
            self.assertIn(word, caught.exception.message)
        return caught.exception.message

    def test_wrong_kinds_of_value(self):
        self.refused(["genome_size", "whole numbers", "2.5"], genome_size=2.5)
        self.refused(["genome_size", "value 2", "whole numbers"], genome_size=[10, 1.5])
        self.refused(["mutation_rate", "numbers", "string"], mutation_rate="0.1")
        self.refused(["host_count", "boolean"], host_count=True)
        self.refused(["survival_sd", "finite"], survival_sd=float("inf"))
        self.refused(["survival_sd", "finite"], survival_sd=float("nan"))
        self.refused(["lists of lists"], survival_sd=[[0.5]])

    def test_lists_that_make_no_sweep(self):
        self.refused(["dispersal_prob", "empty"], dispersal_prob=[])
        self.refused(["genome_size", "listed twice"], genome_size=[10, 20, 10])

    def test_values_parasim_cannot_read_or_run(self):
        self.refused(["generations", "2147483648"], generations=2**31)
        self.refused(["generations", "outside"], generations=-2**31)
        self.refused(["host_count", "at least 1"], host_count=0)
        self.refused(["carrying_capacity", "at least 1"], carrying_capacity=[5, -1])
        self.refused(["genome_size", "at least 0"], genome_size=-3)
        # what parasim runs is accepted: zero generations, a threshold above 1
        definition_from_document(document(generations=0, max_differentiation=1.5))

    def test_keys_missing_or_unknown(self):
        self.refused(["mutation_rate", "host_count", "all ten"], mutation_rate=None,
                     host_count=None)
        self.refused(["genome_sizes", "did you mean genome_size"], genome_sizes=5)
        message = self.refused(["parameters", "top of the file"], parameters={"a": 1})
        self.assertIn("unknown key", message)

    def test_settings(self):
        self.refused(["replicates", "at least 1"], replicates=0)
        self.refused(["replicates", "whole number"], replicates=2.0)
        self.refused(["master_seed", "at least 0"], master_seed=-1)
        self.refused(["checkpoint_every", "at least 0"], checkpoint_every=-5)
        self.refused(["genetics_every", "at least 0"], genetics_every=-1)
        self.refused(["genetics_every", "at most 2147483647"], genetics_every=2**31)

    def test_seed_lists(self):
        cases = [  # (changes to a file that gives master_seed = 1, words of the refusal)
            ({"seeds": [1, 2]}, ["seeds and master_seed", "either"]),
            ({"master_seed": None, "replicates": 2, "seeds": [1]}, ["seeds and replicates"]),
            ({"master_seed": None, "seeds": [4, 5, 4]}, ["value 3", "4 is listed twice",
                                                        "value 1"]),
            ({"master_seed": None, "seeds": []}, ["seeds", "empty"]),
            ({"master_seed": None, "seeds": 5}, ["seeds", "list", "whole number 5"]),
            ({"master_seed": None, "seeds": [1, 2.0]}, ["value 2", "real number"]),
            ({"master_seed": None, "seeds": [1, "2"]}, ["value 2", "string"]),
            ({"master_seed": None, "seeds": [-1]}, ["-1", "0 ... 2147483647"]),
            ({"master_seed": None, "seeds": [2**31]}, ["2147483648", "outside"]),
            ({"master_seed": None}, ["no seeds", "seeds = [1, 2, 3]", "master_seed = 1"]),
        ]
        for changes, words in cases:
            with self.subTest(changes=changes):
                self.refused(words, **changes)
        definition_from_document(document(master_seed=None, seeds=[0, 2**31 - 1]))

    def test_sweeps_too_large_to_be_meant(self):
        self.refused(["runs", "refused"], genome_size=list(range(1000)), replicates=1001)


class RefusedOnTheCommandLine(support.SweepCase):
    """What the user sees: a message naming the file and the problem, status 2, no folder."""

    def assert_refused(self, text, *words):
        sweep_file = self.write("bad.toml", text)
        done = self.sweep("plan", sweep_file, self.path("out"))
        self.assertEqual(done.returncode, 2, done.stderr)
        self.assertIn("bad.toml", done.stderr)
        for word in words:
            self.assertIn(word, done.stderr)
        self.assertNotIn("Traceback", done.stderr)
        self.assertFalse(os.path.exists(self.path("out")))

    def test_bad_files(self):
        good = support.sweep_text(support.TINY)
        self.assert_refused(good.replace("genome_size = 30", "genome_size = [30, "),
                            "not valid TOML", "line")
        self.assert_refused(good.replace("genome_size = 30", "genome_size = 30.5"),
                            "genome_size", "whole numbers")
        self.assert_refused(good.replace("master_seed = 7\n", ""), "master_seed")
        self.assert_refused(good + "carrying_capacity = 3\n", "not valid TOML")

    def test_unreadable_file(self):
        done = self.sweep("plan", self.path("missing.toml"), self.path("out"))
        self.assertEqual(done.returncode, 2)
        self.assertIn("cannot read the sweep file", done.stderr)
        with open(self.path("binary.toml"), "wb") as stream:
            stream.write(b"\xff\xfe genome")
        done = self.sweep("plan", self.path("binary.toml"), self.path("out"))
        self.assertEqual(done.returncode, 2)
        self.assertIn("not UTF-8", done.stderr)


if __name__ == "__main__":
    unittest.main()
