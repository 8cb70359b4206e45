"""A run driven from Python against the console program with the same answers and seed."""

import os

import numpy
import pytest

import parasim
from conftest import SCENARIOS, scenario


@pytest.mark.parametrize("name", sorted(SCENARIOS))
def test_results_file_equals_the_console_programs(console, tmp_path, name):
    parameters, seed = scenario(name)
    assert console.run(tmp_path / "console", parameters, seed=seed).returncode == 0
    expected = (tmp_path / "console" / "Output.dat").read_bytes()

    streamed = parasim.Simulation(parameters, seed=seed, results_path=tmp_path / "streamed.dat")
    assert streamed.results_path == str(tmp_path / "streamed.dat")
    streamed.run()
    assert (tmp_path / "streamed.dat").read_bytes() == expected

    replayed = parasim.Simulation(parameters, seed=seed)
    replayed.run()
    replayed.write_results(tmp_path / "replayed.dat")
    assert (tmp_path / "replayed.dat").read_bytes() == expected
    assert not [name for name in os.listdir(tmp_path) if ".parasim-" in name]


def test_arrays_agree_with_the_results_file_at_reported_generations(tmp_path):
    parameters, seed = scenario("example")
    sim = parasim.Simulation(parameters, seed=seed, results_path=tmp_path / "Output.dat")
    seen = {}

    def look(s):
        if s.generation in (1, 10, 50, 100):
            seen[s.generation] = (s.population(), s.hosts())

    look(sim)
    sim.run(callback=look)
    results = parasim.read_results(tmp_path / "Output.dat", frame=False)
    assert sorted(seen) == [1, 10, 50, 100]
    for generation, (population, hosts) in seen.items():
        rows = results["generation"] == generation
        numpy.testing.assert_array_equal(results["host"][rows], population.host)
        numpy.testing.assert_array_equal(results["species"][rows], population.species)
        numpy.testing.assert_allclose(results["phenotype"][rows], population.phenotype, atol=5e-5)
        numpy.testing.assert_allclose(results["host_phenotype"][rows],
                                      hosts.phenotype[population.host - 1], atol=5e-5)
        numpy.testing.assert_array_equal(population.genomes.sum(axis=1) / 10, population.phenotype)
        numpy.testing.assert_array_equal(numpy.bincount(population.host, minlength=6)[1:],
                                         hosts.load)


def test_stepping_counts_and_ends():
    parameters, seed = scenario("dies_out")
    sim = parasim.Simulation(parameters, seed=seed)
    assert (sim.generation, sim.finished, sim.population_size, sim.species_count) == (1, False, 3, 1)
    sim.step()
    assert sim.generation == 2
    calls = []
    assert sim.run(5, callback=lambda s: calls.append(s.generation)) == 5
    assert calls == [3, 4, 5, 6, 7] and sim.generation == 7
    assert sim.run(0) == 0
    ran = sim.run()
    assert sim.finished and sim.population_size == 0 and sim.generation == 7 + ran
    assert sim.generation <= parameters.generations
    assert sim.run() == 0
    with pytest.raises(RuntimeError, match="finished"):
        sim.step()
    assert sim.population().genomes.shape == (0, parameters.genome_size)


def test_history_equals_the_console_programs_history(console, tmp_path):
    pandas = pytest.importorskip("pandas")
    parameters, seed = scenario("example")
    assert console.run(tmp_path, parameters, "--history", "h", seed=seed).returncode == 0
    sim = parasim.Simulation(parameters, seed=seed)
    sim.run()
    history = sim.history(frame=True)
    assert len(history.species) > 1
    for table, name in ((history.species, "species.csv"), (history.abundance, "abundance.csv")):
        expected = pandas.read_csv(tmp_path / "h" / name, keep_default_na=False,
                                   float_precision="round_trip")
        if name == "species.csv":
            # Python gives 0 for no parent and no host, and no shift where a host is not known.
            for column in ("parent", "birth_host", "parent_host"):
                expected[column] = expected[column].replace("", 0).astype(int)
            expected["host_shift"] = expected["host_shift"].astype(str) == "true"
        pandas.testing.assert_frame_equal(table, expected, check_dtype=False, check_exact=True)
    arrays = sim.history(frame=False)
    assert isinstance(arrays.species["extant"], numpy.ndarray)


def test_seed_from_the_clock_and_refused_seeds():
    parameters, _ = scenario("small_world")
    assert 0 <= parasim.Simulation(parameters).seed <= 2**31 - 1
    for seed, error in ((-1, ValueError), (2**31, ValueError), (1.5, TypeError)):
        with pytest.raises(error):
            parasim.Simulation(parameters, seed=seed)
    with pytest.raises(TypeError):
        parasim.Simulation(parameters.as_dict(), seed=1)
