"""read_results: parasim-report's reader, its checks and its messages."""

import subprocess

import numpy
import pytest

import parasim
from conftest import scenario


@pytest.fixture(scope="module")
def results_file(tmp_path_factory):
    path = tmp_path_factory.mktemp("results") / "Output.dat"
    parameters, seed = scenario("small_world")
    sim = parasim.Simulation(parameters, seed=seed)
    sim.run()
    sim.write_results(path)
    return path


def test_columns_of_a_results_file(results_file):
    lines = results_file.read_bytes().split(b"\r\n")[6:-1]
    table = parasim.read_results(results_file, frame=False)
    assert len(table["generation"]) == len(lines) > 0
    for column, (start, end), kind in (("generation", (0, 9), int), ("phenotype", (9, 25), float),
                                        ("host_phenotype", (41, 57), float),
                                        ("species", (57, 66), int)):
        numpy.testing.assert_array_equal(table[column], [kind(l[start:end]) for l in lines])
    assert list(numpy.unique(table["generation"])) == [1, 10, 20]
    pandas = pytest.importorskip("pandas")
    frame = parasim.read_results(str(results_file), frame=True)
    assert isinstance(frame, pandas.DataFrame) and list(frame.columns) == list(table)


def replace_line(number, text):
    def change(lines):
        lines[number - 1] = text
        return lines
    return change


# Damage done to a good file: (name, change to its lines, counted from 1).
DAMAGE = [
    ("header", replace_line(2, b" --First column: generation")),
    ("short record", replace_line(8, b"       1          0.9000")),
    ("letter in a field", lambda lines: replace_line(9, lines[8][:-1] + b"x")(lines)),
    ("generation going back", lambda lines: lines[:6] + lines[-3:-1] + lines[6:-3] + [b""]),
    ("stopped mid-line", lambda lines: lines[:-2] + [lines[-2][:30]]),
    ("empty", lambda lines: []),
]


@pytest.mark.parametrize("name,change", DAMAGE, ids=[d[0] for d in DAMAGE])
def test_malformed_files_get_parasim_reports_message(report_binary, results_file, tmp_path, name,
                                                      change):
    damaged = tmp_path / "damaged.dat"
    damaged.write_bytes(b"\r\n".join(change(results_file.read_bytes().split(b"\r\n"))))
    report = subprocess.run([report_binary, str(damaged)], capture_output=True, text=True)
    assert report.returncode == 1
    with pytest.raises(parasim.MalformedResults) as malformed:
        parasim.read_results(damaged)
    assert str(malformed.value) == report.stderr.strip()
    assert isinstance(malformed.value, ValueError)


def test_unreadable_file(report_binary, tmp_path):
    report = subprocess.run([report_binary, str(tmp_path / "none.dat")], capture_output=True,
                            text=True)
    with pytest.raises(FileNotFoundError) as missing:
        parasim.read_results(tmp_path / "none.dat")
    assert "parasim-report: " + str(missing.value).split("] ", 1)[1] == report.stderr.strip()
