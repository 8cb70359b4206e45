"""The values a run derives from its answers, as the module gives them: the core's own, the same
as the console program's run record holds."""

import json

import pytest

import parasim
from conftest import EXAMPLE

# changes to the example answers, and the threshold they give
THRESHOLDS = [
    (dict(), 11),
    (dict(max_differentiation=0.3), 30),  # 0.3 is read as a double just below it: 29.99... -> 29
    (dict(genome_size=10, max_differentiation=0.7), 7),
    (dict(genome_size=0, max_differentiation=0.5), 1),
    (dict(genome_size=20, max_differentiation=1.5), 31),
    (dict(max_differentiation=-0.015), 0),  # -1.5 truncates to -1
    (dict(host_distance=-1.0, survival_sd=0.3), 11),
    (dict(host_count=100_000, carrying_capacity=100_000), 11),  # beyond 32 bits
]


@pytest.mark.parametrize("changes,threshold", THRESHOLDS)
def test_derived_values_are_those_of_the_run_record(console, tmp_path, changes, threshold):
    p = parasim.Parameters(**{**EXAMPLE, **changes, "generations": 0})
    assert p.mate_threshold == threshold
    assert console.run(tmp_path, p, "--record", "record.json", seed=1).returncode == 0
    derived = json.loads((tmp_path / "record.json").read_text())["derived"]
    assert {name: getattr(p, name) for name in derived} == derived
    assert p.record_width == p.genome_size + 3 and p.report_interval == 10


def test_derived_values_are_read_only():
    p = parasim.Parameters(**EXAMPLE)
    with pytest.raises(AttributeError):
        p.mate_threshold = 3
    assert "mate_threshold" not in p.as_dict() and "mate_threshold" not in parasim.Parameters.names
