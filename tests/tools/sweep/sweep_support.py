"""Shared helpers of the parasim-sweep tests: the programs under test, sweep files, runs of
the tool and direct runs of parasim to compare against."""

import csv
import os
import shutil
import subprocess
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_ROOT = os.path.normpath(os.path.join(HERE, "..", "..", ".."))


def _program(variable):
    path = os.environ.get(variable)
    if not path or not os.access(path, os.X_OK):
        raise RuntimeError(f"{variable} must name the built program (ctest sets it); got {path!r}")
    return path


def sweep_tool():
    return _program("PARASIM_SWEEP")


def parasim():
    return _program("PARASIM_BINARY")


def report():
    return _program("PARASIM_REPORT_BINARY")


# Runs of a few milliseconds each.
TINY = {
    "genome_size": 30, "max_differentiation": 0.1, "mutation_rate": 0.005, "max_offspring": 2,
    "dispersal_prob": [0.02, 0.1], "host_count": 3, "host_distance": 1.0,
    "carrying_capacity": 40, "survival_sd": 0.5, "generations": 20,
}

# Runs long enough to be caught in flight: about 0.3 s each in a release build (measured on
# a 2-core machine; shorter runs could end between a lock seen and the signal sent).
SLOW = dict(TINY, genome_size=100, carrying_capacity=300, host_count=5, generations=200,
            dispersal_prob=0.05)


def toml_value(value):
    if isinstance(value, list):
        return "[" + ", ".join(toml_value(v) for v in value) + "]"
    if isinstance(value, float):
        return repr(value)
    return str(value)


def sweep_text(parameters, replicates=2, master_seed=7, seeds=None, **settings):
    """A sweep file: its seeds derived from master_seed, or the list `seeds` when given."""
    lines = ([f"seeds = {toml_value(seeds)}"] if seeds is not None
             else [f"master_seed = {master_seed}", f"replicates = {replicates}"])
    lines += [f"{key} = {toml_value(value)}" for key, value in settings.items()]
    lines += [f"{key} = {toml_value(value)}" for key, value in parameters.items()]
    return "\n".join(lines) + "\n"


def read_manifest(folder):
    with open(os.path.join(folder, "manifest.csv"), newline="") as stream:
        return list(csv.DictReader(stream))


def run_folders(folder):
    return sorted(os.listdir(os.path.join(folder, "runs")))


def read_bytes(path):
    with open(path, "rb") as stream:
        return stream.read()


class SweepCase(unittest.TestCase):
    """A test with its own temporary folder and the tool at hand."""

    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="parasim-sweep-test-")
        self.addCleanup(shutil.rmtree, self.tmp, ignore_errors=True)

    def path(self, *parts):
        return os.path.join(self.tmp, *parts)

    def write(self, name, text):
        path = self.path(name)
        with open(path, "w", encoding="utf-8") as stream:
            stream.write(text)
        return path

    def sweep(self, *arguments, env=None, without=(), timeout=120, **options):
        environment = dict(os.environ, **(env or {}))
        for name in without:
            environment.pop(name, None)
        return subprocess.run([sweep_tool(), *arguments], capture_output=True, text=True,
                              env=environment, timeout=timeout, stdin=subprocess.DEVNULL,
                              **options)

    def sweep_ok(self, *arguments, **options):
        done = self.sweep(*arguments, **options)
        self.assertEqual(done.returncode, 0,
                         f"parasim-sweep {' '.join(arguments)} failed:\n{done.stderr}")
        return done

    def planned(self, parameters=TINY, name="sweep", **sweep_options):
        sweep_file = self.write(f"{name}.toml", sweep_text(parameters, **sweep_options))
        folder = self.path(name)
        self.sweep_ok("plan", sweep_file, folder)
        return folder

    def direct_run(self, answers_path, seed, name):
        """Output.dat and record of 'parasim --seed S --record record.json < answers' in a
        folder of its own."""
        folder = self.path("direct", name)
        os.makedirs(folder)
        with open(answers_path, "rb") as answers:
            done = subprocess.run([parasim(), "--seed", str(seed), "--record", "record.json"],
                                  cwd=folder, stdin=answers, capture_output=True, timeout=120)
        self.assertEqual(done.returncode, 0, done.stderr)
        return folder

    def assert_same_as_direct(self, sweep_folder, rows=None):
        """Every done run's Output.dat is the bytes parasim makes with the run's seed."""
        rows = rows or read_manifest(sweep_folder)
        for row, name in zip(rows, run_folders(sweep_folder)):
            run = os.path.join(sweep_folder, "runs", name)
            direct = self.direct_run(os.path.join(run, "answers.txt"), row["seed"],
                                     f"{os.path.basename(sweep_folder)}-{name}")
            self.assertEqual(read_bytes(os.path.join(run, "Output.dat")),
                             read_bytes(os.path.join(direct, "Output.dat")),
                             f"run {name} differs from a direct run with seed {row['seed']}")
