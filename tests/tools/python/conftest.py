"""Shared scenarios and helpers of the Python module's tests: runs of the console program with the
same answers and seed, to compare the module against."""

import os
import pathlib
import subprocess

import pytest

import parasim

# The example answers (examples/default.txt) for 100 generations: several species split off.
EXAMPLE = dict(genome_size=100, max_differentiation=0.1, mutation_rate=0.005, max_offspring=2,
               dispersal_prob=0.05, host_count=5, host_distance=1.0, carrying_capacity=200,
               survival_sd=0.5, generations=100)

# name: (changes to the example answers, seed)
SCENARIOS = {
    "example": (dict(), 7),
    "dies_out": (dict(max_offspring=1, generations=50), 7),
    "no_loci": (dict(genome_size=0, generations=25, carrying_capacity=40), 3),
    "no_generations": (dict(generations=0), 11),
    "small_world": (dict(genome_size=20, max_differentiation=0.1, mutation_rate=0.01,
                         dispersal_prob=0.1, host_count=3, carrying_capacity=30,
                         survival_sd=1.0, generations=25), 5),
}


def scenario(name):
    changes, seed = SCENARIOS[name]
    return parasim.Parameters(**{**EXAMPLE, **changes}), seed


def answers_text(parameters):
    """The ten answers as a user types them: repr of a float reads back to the same double."""
    return "".join("%r\n" % value for value in parameters.as_dict().values())


class Console:
    """The console program, run in a folder of its own."""

    def __init__(self, binary):
        self.binary = binary

    def run(self, folder, parameters, *arguments, seed=None, stdin=None):
        folder = pathlib.Path(folder)
        folder.mkdir(parents=True, exist_ok=True)
        command = [self.binary] + (["--seed", str(seed)] if seed is not None else [])
        command += [str(a) for a in arguments]
        text = stdin if stdin is not None else answers_text(parameters)
        return subprocess.run(command, input=text.encode(), cwd=folder, capture_output=True,
                              timeout=300)


@pytest.fixture(scope="session")
def console():
    binary = os.environ.get("PARASIM_BINARY")
    if not binary:
        pytest.skip("PARASIM_BINARY names no parasim program")
    return Console(binary)


@pytest.fixture(scope="session")
def report_binary():
    binary = os.environ.get("PARASIM_REPORT_BINARY")
    if not binary:
        pytest.skip("PARASIM_REPORT_BINARY names no parasim-report program")
    return binary
