"""The edge cases docs/model.md tells, each run through the console program: what it refuses,
when a run stops at once, and what odd answers do to a run that goes on."""

import os
import subprocess
import typing

import pytest

EXAMPLE = dict(genome_size=100, max_differentiation=0.1, mutation_rate=0.005, max_offspring=2,
               dispersal_prob=0.05, host_count=5, host_distance=1.0, carrying_capacity=200,
               survival_sd=0.5, generations=30)


class Record(typing.NamedTuple):
    generation: int
    phenotype: float
    host: int
    host_phenotype: float
    species: int


def run_console(folder, changes, seed):
    answers = {**EXAMPLE, **changes}
    binary = os.environ.get("PARASIM_BINARY")
    if not binary:
        pytest.skip("PARASIM_BINARY names no parasim program")
    return subprocess.run([binary, "--seed", str(seed)], cwd=folder, capture_output=True,
                          text=True, timeout=300,
                          input="".join("%r\n" % value for value in answers.values()))


def records(folder):
    lines = (folder / "Output.dat").read_text().splitlines()[6:]
    return [Record(int(g), float(p), round(float(h)), float(hp), int(s))
            for g, p, h, hp, s in (line.split() for line in lines)]


def at(rows, generation):
    return [r for r in rows if r.generation == generation]


def one_species(rows):
    return {r.species for r in rows} == {1}


def several_species_and_hosts(rows):
    last = at(rows, rows[-1].generation)
    return len({r.species for r in last}) > 1 and len({r.host for r in last}) > 1


def all_on_host_1(rows):
    return {r.host for r in rows} == {1} and len(at(rows, 30)) > 3


def founders_unchanged(rows):
    """No locus ever flips: every parasite has the founders' phenotype and label."""
    return {(r.phenotype, r.species) for r in rows} == {(5.0, 1)} and len(at(rows, 30)) > 3


def no_loci(rows):
    return ({(r.phenotype, r.species) for r in rows} == {(0.0, 1)}
            and {r.host_phenotype for r in rows if r.host == 1} == {0.0} and len(at(rows, 30)) > 3)


def every_host_at_the_founders(rows):
    return {r.host_phenotype for r in rows} == {5.0} and len({r.host for r in rows}) > 1


def one_parasite_after_the_founders(rows):
    """One host making at most one child a generation from its three founders."""
    return all(len(at(rows, g)) == 1 for g in (10, 20))


def crowded_by_dispersal(rows):
    """Three hosts making at most 4 children each: never more than 12 parasites after the
    founders, while dispersal crowds more than 4 onto one host."""
    later = [r for r in rows if r.generation > 1]
    per_generation = {g: len(at(later, g)) for g in {r.generation for r in later}}
    per_host = {(r.generation, r.host): 0 for r in later}
    for r in later:
        per_host[(r.generation, r.host)] += 1
    return max(per_generation.values()) <= 12 and max(per_host.values()) > 4


class Case(typing.NamedTuple):
    changes: dict
    refused: str = ""  # the reason of a refusal (status 2)
    reported: tuple = (1, 10, 20, 30)  # the generations in Output.dat
    check: typing.Callable = None  # what holds of its records
    seed: int = 5


CASES = {
    "no host": Case(dict(host_count=0), refused="The number of hosts must be at least 1, not 0"),
    "negative genome size": Case(dict(genome_size=-1),
                                 refused="The genome size must be 0 or more, not -1"),
    "no carrying capacity": Case(dict(carrying_capacity=0),
                                 refused="The carrying capacity must be at least 1, not 0"),
    "no generation": Case(dict(generations=0), reported=()),
    "negative generations": Case(dict(generations=-3), reported=()),
    "no offspring": Case(dict(max_offspring=0), reported=(1,)),
    "negative offspring": Case(dict(max_offspring=-2), reported=(1,)),
    "threshold below 0: no mate at all": Case(dict(max_differentiation=-0.1), reported=(1,)),
    "survival_sd 0: every child dies": Case(dict(survival_sd=0.0), reported=(1,)),
    "threshold 0: identical genomes mate": Case(dict(max_differentiation=-0.015)),
    "threshold above the genome size": Case(dict(max_differentiation=1.5, generations=100),
                                            reported=(1, *range(10, 101, 10)), check=one_species,
                                            seed=42),
    "the same run with threshold 11": Case(dict(generations=100), reported=(1, *range(10, 101, 10)),
                                           check=several_species_and_hosts, seed=42),
    "no distance between hosts": Case(dict(host_distance=0.0), check=every_host_at_the_founders),
    "negative dispersal": Case(dict(dispersal_prob=-0.5), check=all_on_host_1),
    "negative mutation rate": Case(dict(mutation_rate=-1.0), check=founders_unchanged),
    "no loci": Case(dict(genome_size=0, carrying_capacity=40), check=no_loci),
    "capacity below the founders": Case(dict(carrying_capacity=1, host_count=1),
                                        reported=(1, 10, 20), check=one_parasite_after_the_founders),
    "more residents than children": Case(
        dict(carrying_capacity=4, host_count=3, dispersal_prob=0.5, survival_sd=1.0,
             generations=100), reported=(1, 10, 20, 30, 40, 50), check=crowded_by_dispersal),
}


@pytest.mark.parametrize("case", CASES.values(), ids=CASES.keys())
def test_edge_case(tmp_path, case):
    (tmp_path / "Output.dat").write_text("the results of an earlier run\n")
    result = run_console(tmp_path, case.changes, case.seed)
    if case.refused:
        assert result.returncode == 2
        assert result.stderr.splitlines()[-1] == case.refused
        assert (tmp_path / "Output.dat").read_text() == "the results of an earlier run\n"
        return
    assert result.returncode == 0, result.stderr
    assert "This simulation ran successfully" in result.stdout
    rows = records(tmp_path)
    assert tuple(sorted({r.generation for r in rows})) == case.reported
    if case.reported[:1] == (1,):
        assert len(at(rows, 1)) == 3
    if case.check is not None:
        assert case.check(rows), case.check.__doc__ or case.check.__name__


def test_a_negative_spacing_puts_host_2_below_host_1(tmp_path):
    """host_distance x survival_sd < 0 lays the even hosts out below host 1; the survival
    function is the same for survival_sd and -survival_sd, so the two runs are one."""
    files = []
    for name, changes in [("distance", dict(host_distance=-1.0)), ("sd", dict(survival_sd=-0.5))]:
        folder = tmp_path / name
        folder.mkdir()
        assert run_console(folder, changes, 5).returncode == 0
        files.append((folder / "Output.dat").read_bytes())
        host_phenotypes = {r.host: r.host_phenotype for r in records(folder)}
        assert host_phenotypes[1] == 5.0 and host_phenotypes[2] == 4.5
    assert files[0] == files[1]
