"""The genetics of a simulation as it stands (sim.divergence(), sim.groups()): the rows the console
program writes to its history's divergence.csv and groups.csv, and the values that all pairs of
genomes give when counted with numpy."""

import numpy
import pytest

import parasim
from conftest import scenario
from parasim_report import columns
from parasim_report.tables import read_table


def rows_of(table, generation=None):
    """The rows of a dict of columns as tuples, NaN and None both read as None."""
    def plain(value):
        value = value.item() if hasattr(value, "item") else value
        return None if value is None or (isinstance(value, float) and numpy.isnan(value)) else value
    keep = range(len(next(iter(table.values()))))
    if generation is not None:
        keep = [i for i in keep if table["generation"][i] == generation]
    return [tuple(plain(values[i]) for values in table.values()) for i in keep]


def test_the_same_rows_as_the_console_programs_genetics_tables(console, tmp_path):
    parameters, seed = scenario("example")
    result = console.run(tmp_path, parameters, "--history", "h", "--genetics-every", "10",
                         seed=seed)
    assert result.returncode == 0, result.stderr
    written = {name: read_table(tmp_path / "h", table) for name, table in
               (("divergence", columns.HISTORY_DIVERGENCE), ("groups", columns.HISTORY_GROUPS))}
    sim = parasim.Simulation(parameters, seed=seed)
    for generation in [1] + list(range(10, 101, 10)):
        sim.run(generation - sim.generation)
        assert sim.generation == generation
        for name, table in (("divergence", sim.divergence(frame=False)),
                            ("groups", sim.groups(frame=False))):
            assert list(table) == list(written[name])
            assert rows_of(table) == rows_of(written[name], generation), (name, generation)
    assert len(sim.groups(frame=False)["species"]) > 1


def species_numbers(sim):
    """Each parasite's species in the history, from its label."""
    table = sim.history(frame=False).species
    extant = table["extant"]
    number_of = dict(zip(table["label"][extant], table["species"][extant]))
    return numpy.array([number_of[label] for label in sim.population().species])


def all_distances(genomes):
    ones = genomes.astype(numpy.int32)
    return ones @ (1 - ones).T + (1 - ones) @ ones.T


def components(linked):
    """The connected component of every parasite, by repeated reach from the lowest outside."""
    component = numpy.full(len(linked), -1)
    for start in range(len(linked)):
        if component[start] >= 0:
            continue
        reached = numpy.zeros(len(linked), bool)
        reached[start] = True
        while True:
            grown = reached | linked[reached].any(axis=0)
            if (grown == reached).all():
                break
            reached = grown
        component[reached] = start
    return component


@pytest.mark.parametrize("name, generations", [("example", 99), ("small_world", 20)])
def test_the_values_all_pairs_of_genomes_give(name, generations):
    parameters, seed = scenario(name)
    sim = parasim.Simulation(parameters, seed=seed)
    sim.run(generations)
    distances = all_distances(sim.population().genomes)
    species = species_numbers(sim)
    present = numpy.unique(species)
    expected = []
    for i, a in enumerate(present):
        for b in present[i:]:
            block = distances[numpy.ix_(species == a, species == b)]
            pairs = block[numpy.triu_indices(len(block), 1)] if a == b else block.ravel()
            values = (pairs.mean(), pairs.min(), pairs.max()) if len(pairs) else (None,) * 3
            expected.append((sim.generation, a, b, len(pairs)) + values)
    found = rows_of(sim.divergence(frame=False))
    assert [row[:4] for row in found] == [row[:4] for row in expected]
    assert [row[4:] for row in found] == pytest.approx([row[4:] for row in expected], rel=1e-12)

    component = components(distances <= parameters.mate_threshold)
    expected = []
    for s in present:
        mine, counts = numpy.unique(component[species == s], return_counts=True)
        shared = sum(bool((species[component == c] != s).any()) for c in mine)
        expected.append((s, counts.sum(), len(mine), counts.max(), shared))
    found = [row[1:2] + row[3:] for row in rows_of(sim.groups(frame=False))]
    assert found == expected
