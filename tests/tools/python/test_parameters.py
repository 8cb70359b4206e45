"""The ten answers by name: refused as the console program refuses them."""

import math
import pickle

import pytest

import parasim
from conftest import EXAMPLE

# Answers the console program refuses, with its reason (the last line of its error report).
REFUSED = [
    ("genome_size", -1, "The genome size must be 0 or more, not -1"),
    ("host_count", 0, "The number of hosts must be at least 1, not 0"),
    ("carrying_capacity", -5, "The carrying capacity must be at least 1, not -5"),
]


@pytest.mark.parametrize("name,value,reason", REFUSED)
def test_refused_with_the_console_programs_reason(console, tmp_path, name, value, reason):
    with pytest.raises(ValueError) as refused:
        parasim.Parameters(**{**EXAMPLE, name: value})
    assert str(refused.value) == reason
    # The same answers typed into the console program.
    text = "".join("%r\n" % (value if key == name else EXAMPLE[key]) for key in EXAMPLE)
    result = console.run(tmp_path, None, stdin=text)
    assert result.returncode == 2
    assert result.stderr.decode().splitlines()[-1] == reason


# Values the dialogue cannot read at all, and values of the wrong type.
UNREADABLE = [
    ("generations", 2**31, ValueError, "generations = 2147483648: a whole number beyond 32 bits"),
    ("host_count", -2**31 - 1, ValueError, "host_count = -2147483649: a whole number beyond"),
    ("mutation_rate", math.nan, ValueError, "mutation_rate = nan: not a finite number"),
    ("survival_sd", math.inf, ValueError, "survival_sd = inf: not a finite number"),
    ("genome_size", 10.0, TypeError, "genome_size takes a whole number"),
    ("genome_size", True, TypeError, "takes a whole number"),
    ("dispersal_prob", "0.1", TypeError, "dispersal_prob takes a number"),
    ("dispersal_prob", 1j, TypeError, "takes a number"),
]


@pytest.mark.parametrize("name,value,error,message", UNREADABLE)
def test_unreadable_answers(name, value, error, message):
    with pytest.raises(error, match=message):
        parasim.Parameters(**{**EXAMPLE, name: value})


def test_missing_and_unknown_answers_are_named():
    partial = dict(EXAMPLE)
    del partial["survival_sd"], partial["generations"]
    with pytest.raises(TypeError, match="missing: survival_sd, generations"):
        parasim.Parameters(**partial)
    with pytest.raises(TypeError, match="no answer named 'genomesize'"):
        parasim.Parameters(**EXAMPLE, genomesize=3)


def test_answers_read_back_replace_repr_and_pickle():
    numpy = pytest.importorskip("numpy")
    p = parasim.Parameters(**{**EXAMPLE, "host_count": numpy.int64(3), "mutation_rate": 1e-3})
    assert p.host_count == 3 and p.mutation_rate == 1e-3
    assert tuple(p.as_dict()) == parasim.Parameters.names == tuple(EXAMPLE)
    q = p.replace(generations=7)
    assert q.generations == 7 and q != p and p.generations == 100
    assert q.replace(generations=100) == p and hash(q.replace(generations=100)) == hash(p)
    assert eval(repr(p), {"Parameters": parasim.Parameters}) == p
    assert pickle.loads(pickle.dumps(p)) == p
    with pytest.raises(ValueError, match="The number of hosts"):
        p.replace(host_count=0)
    with pytest.raises(AttributeError):
        p.genome_size = 5
