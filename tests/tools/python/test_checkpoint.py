"""A simulation saved mid-run goes on to the same end as one never stopped."""

import pickle
import shutil

import numpy
import pytest

import parasim
from conftest import scenario


def final_state(sim):
    population = sim.population()
    history = sim.history(frame=False)
    return (sim.generation, population.genomes.tobytes(), population.species.tobytes(),
            population.host.tobytes(), {k: v.tobytes() for k, v in history.species.items()},
            {k: v.tobytes() for k, v in history.abundance.items()})


@pytest.fixture(scope="module")
def uninterrupted(tmp_path_factory):
    folder = tmp_path_factory.mktemp("uninterrupted")
    parameters, seed = scenario("example")
    sim = parasim.Simulation(parameters, seed=seed, results_path=folder / "Output.dat")
    sim.run()
    return final_state(sim), (folder / "Output.dat").read_bytes()


@pytest.mark.parametrize("stop_after", [0, 9, 36, 99, 100])
def test_round_trip_mid_run_ends_identical(tmp_path, uninterrupted, stop_after):
    parameters, seed = scenario("example")
    results = tmp_path / "Output.dat"
    sim = parasim.Simulation(parameters, seed=seed, results_path=results)
    sim.run(stop_after)
    state = sim.checkpoint()
    sim.run(3)  # the file goes on past the state; going on from it cuts it back
    resumed = parasim.Simulation.from_checkpoint(state, results_path=results)
    assert resumed.generation == stop_after + 1 or resumed.finished
    resumed.run()
    assert final_state(resumed) == uninterrupted[0]
    assert results.read_bytes() == uninterrupted[1]


def test_pickled_simulation_goes_on_alike(uninterrupted):
    parameters, seed = scenario("example")
    sim = parasim.Simulation(parameters, seed=seed)
    sim.run(45)
    copy = pickle.loads(pickle.dumps(sim))
    assert copy.results_path is None and copy.seed == seed and copy.parameters == parameters
    numpy.testing.assert_array_equal(copy.population().genomes, sim.population().genomes)
    copy.run()
    assert final_state(copy) == uninterrupted[0]
    assert sim.generation == 46


def test_goes_on_from_a_console_checkpoint(console, tmp_path, uninterrupted):
    parameters, seed = scenario("example")
    result = console.run(tmp_path, parameters, "--checkpoint", "cp.bin", "--checkpoint-every",
                         "30", seed=seed)
    assert result.returncode == 0
    shutil.copy(tmp_path / "Output.dat", tmp_path / "going-on.dat")
    sim = parasim.Simulation.from_checkpoint((tmp_path / "cp.bin").read_bytes(),
                                             results_path=tmp_path / "going-on.dat")
    assert sim.generation == 91
    sim.run()
    assert (tmp_path / "going-on.dat").read_bytes() == uninterrupted[1]
    assert final_state(sim)[:4] == uninterrupted[0][:4]


def damaged(state):
    flipped = bytearray(state)
    flipped[len(state) // 2] ^= 0x40
    return bytes(flipped)


@pytest.mark.parametrize("make,message", [
    (damaged, "checksum"),
    (lambda s: s[:-9], "checksum|ends too early"),
    (lambda s: b"", "not a parasim checkpoint"),
    (lambda s: b"PARASIM CHECKPOINT\n" + s[40:], "version|truncated|checksum"),
])
def test_damaged_states_are_refused(make, message):
    parameters, seed = scenario("small_world")
    sim = parasim.Simulation(parameters, seed=seed)
    sim.run(5)
    with pytest.raises(ValueError, match=message):
        parasim.Simulation.from_checkpoint(make(sim.checkpoint()))


def test_results_file_that_cannot_go_on(tmp_path):
    parameters, seed = scenario("small_world")
    without_file = parasim.Simulation(parameters, seed=seed)
    without_file.run(5)
    with pytest.raises(ValueError, match="saved without a results file"):
        parasim.Simulation.from_checkpoint(without_file.checkpoint(), results_path=tmp_path / "x")

    with_file = parasim.Simulation(parameters, seed=seed, results_path=tmp_path / "mine.dat")
    with_file.run(12)
    state = with_file.checkpoint()
    other = parasim.Simulation(parameters, seed=seed + 1, results_path=tmp_path / "other.dat")
    other.run(12)
    before = (tmp_path / "other.dat").read_bytes()
    with pytest.raises(OSError, match="not the file the checkpoint was taken with"):
        parasim.Simulation.from_checkpoint(state, results_path=tmp_path / "other.dat")
    with pytest.raises(FileNotFoundError, match="cannot reopen"):
        parasim.Simulation.from_checkpoint(state, results_path=tmp_path / "missing.dat")
    assert (tmp_path / "other.dat").read_bytes() == before
