"""The module's writers against the shared table of hostile targets (tests/hostile/targets.tsv):
each is refused with an OSError that names the reason, and the target is left as it was."""

import os
import pathlib
import stat

import pytest

import parasim
from conftest import scenario

TABLE = pathlib.Path(__file__).resolve().parents[2] / "hostile" / "targets.tsv"


def hostile_rows(column=1):
    """(kind, reason) of the rows refused as a file target (column 1) or a folder one (2)."""
    rows = []
    for line in TABLE.read_text(encoding="utf-8").splitlines():
        if line and not line.startswith("#"):
            fields = line.split("\t")
            if fields[column] != "-":
                rows.append((fields[0], fields[column]))
    return rows


def make_target(folder, kind):
    """Makes the target of a kind of the table in folder, as the C++ tests make it."""
    (folder / "elsewhere").mkdir(exist_ok=True)
    (folder / "elsewhere" / "kept").write_text("a file of the user's")
    path = folder / kind
    if kind == "device":
        try:
            os.mknod(path, 0o666 | stat.S_IFCHR, os.makedev(1, 3))
        except PermissionError:
            pytest.skip("making a device node needs root")
    elif kind == "fifo":
        os.mkfifo(path)
    elif kind == "link_to_file":
        path.symlink_to("elsewhere/kept")
    elif kind == "dangling_link":
        path.symlink_to("elsewhere/absent")
    elif kind == "folder":
        path.mkdir()
    elif kind == "plain_file":
        path.write_text("a file of the user's")
    elif kind == "in_missing_folder":
        path = folder / "missing" / "target"
    elif kind == "in_file":
        (folder / "a_file").write_text("a file of the user's")
        path = folder / "a_file" / "target"
    elif kind == "in_dangling_link":
        (folder / "a_dangling_link").symlink_to("elsewhere/absent")
        path = folder / "a_dangling_link" / "missing" / "target"
    else:
        raise AssertionError("unknown kind " + kind)
    return path


def state_of(path):
    try:
        status = os.lstat(path)
    except (FileNotFoundError, NotADirectoryError):
        return "absent"
    if stat.S_ISLNK(status.st_mode):
        return "link to " + os.readlink(path)
    if stat.S_ISREG(status.st_mode):
        return path.read_bytes()
    return (stat.S_IFMT(status.st_mode), status.st_rdev, sorted(os.listdir(path))
            if stat.S_ISDIR(status.st_mode) else None)


@pytest.fixture(scope="module")
def sim():
    parameters, seed = scenario("small_world")
    run = parasim.Simulation(parameters, seed=seed)
    run.run(3)
    return run


@pytest.mark.parametrize("writer", ["write_results", "write_vcf", "write_record"])
@pytest.mark.parametrize("kind, reason", hostile_rows())
def test_a_hostile_target_is_refused_and_left_alone(sim, tmp_path, writer, kind, reason):
    path = make_target(tmp_path, kind)
    before = state_of(path)
    with pytest.raises(OSError, match=reason):
        getattr(sim, writer)(path)
    assert state_of(path) == before
    assert (tmp_path / "elsewhere" / "kept").read_text() == "a file of the user's"
    assert not [name for name in os.listdir(tmp_path) if ".parasim-" in name]


@pytest.mark.parametrize("kind, reason", hostile_rows(column=2))
def test_a_hostile_history_folder_is_refused_before_the_run_starts(tmp_path, kind, reason):
    path = make_target(tmp_path, kind)
    before = state_of(path)
    parameters, seed = scenario("small_world")
    with pytest.raises(OSError, match=reason):
        parasim.Simulation(parameters, seed=seed, history_path=path)
    assert state_of(path) == before
    assert (tmp_path / "elsewhere" / "kept").read_text() == "a file of the user's"


def test_the_files_of_the_history_the_run_writes_are_not_replaced(tmp_path):
    parameters, seed = scenario("small_world")
    with pytest.raises(OSError, match="a file of the history folder: it is the same file"):
        parasim.Simulation(parameters, seed=seed, results_path=tmp_path / "h" / "species.csv",
                           history_path=tmp_path / "h")
    run = parasim.Simulation(parameters, seed=seed, history_path=tmp_path / "h")
    run.run(3)
    written = {name: (tmp_path / "h" / name).read_bytes() for name in os.listdir(tmp_path / "h")}
    for writer, name in ((run.write_results, "abundance.csv"), (run.write_record, "run.json"),
                         (run.write_vcf, "species.csv")):
        with pytest.raises(OSError, match="history folder"):
            writer(tmp_path / "h" / name)
    assert {name: (tmp_path / "h" / name).read_bytes()
            for name in written} == written


def test_a_name_with_a_nul_byte_is_refused_as_open_refuses_it(sim, tmp_path):
    for writer in (sim.write_results, sim.write_vcf, sim.write_record):
        with pytest.raises(ValueError, match="embedded null byte"):
            writer(str(tmp_path / "a") + "\0b")
    assert os.listdir(tmp_path) == []


def test_the_results_file_the_run_writes_is_not_replaced(tmp_path):
    parameters, seed = scenario("small_world")
    run = parasim.Simulation(parameters, seed=seed, results_path=tmp_path / "Output.dat")
    run.run(3)
    written = (tmp_path / "Output.dat").read_bytes()
    with pytest.raises(OSError, match="same file as the results file the run writes"):
        run.write_results(tmp_path / "Output.dat")
    assert (tmp_path / "Output.dat").read_bytes() == written
    run.run()
    assert (tmp_path / "Output.dat").read_bytes().startswith(written)
