"""Ctrl-C and threads: a generation runs with the interpreter released and is never cut short."""

import os
import signal
import threading

import pytest

import parasim
from conftest import scenario

# Long enough that another thread meets it mid-run.
LONG = dict(generations=400)


def long_run(**changes):
    parameters, seed = scenario("example")
    return parasim.Simulation(parameters.replace(**{**LONG, **changes}), seed=seed)


def test_ctrl_c_stops_between_generations_and_the_run_goes_on(tmp_path):
    sim = long_run(generations=150)
    sender = []

    def ctrl_c_from_another_thread(s):
        # Sent while this thread goes on into the next generations.
        if s.generation == 20:
            sender.append(threading.Thread(target=os.kill, args=(os.getpid(), signal.SIGINT)))
            sender[0].start()

    with pytest.raises(KeyboardInterrupt):
        sim.run(callback=ctrl_c_from_another_thread)
    sender[0].join()
    stopped_at = sim.generation
    assert 20 <= stopped_at < 150 and not sim.finished
    population = sim.population()
    assert population.genomes.shape[0] == sim.population_size == sum(sim.hosts().load)
    sim.run()
    sim.write_results(tmp_path / "after.dat")

    parameters, seed = sim.parameters, sim.seed
    plain = parasim.Simulation(parameters, seed=seed, results_path=tmp_path / "plain.dat")
    plain.run()
    assert (tmp_path / "after.dat").read_bytes() == (tmp_path / "plain.dat").read_bytes()
    assert sim.population().genomes.tobytes() == plain.population().genomes.tobytes()


def test_an_exception_in_the_callback_leaves_a_whole_simulation():
    sim = long_run(generations=30)

    def fail_at_ten(s):
        if s.generation == 10:
            raise LookupError("stop here")

    with pytest.raises(LookupError):
        sim.run(callback=fail_at_ten)
    assert sim.generation == 10
    assert sim.run() == 21


def test_other_threads_run_while_a_generation_runs():
    sim = long_run()
    refusals = []
    worker = threading.Thread(target=sim.run)
    worker.start()
    # Only while the worker has released the interpreter can this thread reach the run.
    while worker.is_alive():
        try:
            sim.population_size
        except RuntimeError as error:
            refusals.append(str(error))
            break
    worker.join()
    assert refusals and "another thread" in refusals[0]
    assert sim.finished
