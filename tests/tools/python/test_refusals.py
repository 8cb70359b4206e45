"""Wrong values at every entry point of the module: refused with the right error, naming what
is wrong."""

import math

import numpy
import pytest

import parasim
from conftest import EXAMPLE, scenario


def parameters():
    return scenario("small_world")[0]


def simulation():
    return parasim.Simulation(parameters(), seed=5)


def unpickled_with(name, value):
    """Parameters rebuilt as pickle rebuilds them, from a state with one answer changed."""
    rebuild, arguments, state = parameters().__reduce_ex__(2)[:3]
    rebuilt = rebuild(*arguments)
    rebuilt.__setstate__({**state, name: value})
    return rebuilt


# (what is called, the error, the message it carries)
REFUSED = [
    # Booleans are numbers to Python but never a whole-number answer, a seed or a count.
    (lambda: parasim.Parameters(**{**EXAMPLE, "genome_size": numpy.bool_(True)}), TypeError,
     "genome_size takes a whole number, not (np.)?True"),
    (lambda: parasim.Parameters(**{**EXAMPLE, "survival_sd": numpy.bool_(False)}), TypeError,
     "survival_sd takes a number"),
    (lambda: parameters().replace(host_count=True), TypeError, "host_count takes a whole number"),
    (lambda: parasim.Simulation(parameters(), seed=numpy.bool_(True)), TypeError, "seed takes"),
    (lambda: simulation().run(True), TypeError, "n takes a whole number of generations"),
    (lambda: simulation().run(numpy.bool_(True)), TypeError, "n takes a whole number"),
    # A count of generations is a whole number.
    (lambda: simulation().run(1.5), TypeError, "n takes a whole number of generations, not 1.5"),
    (lambda: simulation().run(numpy.float64(2.0)), TypeError, "n takes a whole number"),
    (lambda: simulation().run("3"), TypeError, "n takes a whole number"),
    (lambda: simulation().run(-1), ValueError, "n must be 0 or more, not -1"),
    # A state to go on from is bytes or a path, nothing else.
    (lambda: parasim.Simulation.from_checkpoint(123), TypeError,
     "from_checkpoint takes the bytes of checkpoint.. or the path of a checkpoint file, not int"),
    (lambda: parasim.Simulation.from_checkpoint(None), TypeError, "not NoneType"),
    (lambda: parasim.Simulation.from_checkpoint([1, 2]), TypeError, "not list"),
    (lambda: parasim.Simulation.from_checkpoint("no/such/checkpoint"), FileNotFoundError,
     "cannot read the checkpoint \"no/such/checkpoint\""),
    (lambda: parasim.Simulation.from_checkpoint("a\0b"), ValueError, "embedded null byte"),
    # Answers that are not finite are named, whatever the way in.
    (lambda: parasim.Parameters(**{**EXAMPLE, "max_differentiation": math.nan}), ValueError,
     "^max_differentiation = nan: not a finite number"),
    (lambda: parameters().replace(max_differentiation=numpy.float64("nan")), ValueError,
     "^max_differentiation = (np.float64\\()?nan\\)?: not a finite number"),
    (lambda: parameters().replace(host_distance=-math.inf), ValueError,
     "^host_distance = -inf: not a finite number"),
    (lambda: unpickled_with("mutation_rate", math.nan), ValueError,
     "^mutation_rate = nan: not a finite number"),
]


@pytest.mark.parametrize("call,error,message", REFUSED)
def test_refused(call, error, message):
    with pytest.raises(error, match=message):
        call()


def test_what_is_taken_in_their_place(tmp_path):
    sim = simulation()
    assert sim.run(numpy.int64(2)) == 2 and sim.run(numpy.uint8(1)) == 1 and sim.generation == 4
    state = sim.checkpoint()
    (tmp_path / "state.bin").write_bytes(state)
    sim.run()
    end = sim.population().genomes
    for given in (bytearray(state), memoryview(state), tmp_path / "state.bin",
                  str(tmp_path / "state.bin")):
        copy = parasim.Simulation.from_checkpoint(given)
        assert copy.generation == 4
        copy.run()
        numpy.testing.assert_array_equal(copy.population().genomes, end)
