"""scripts/python, the one command the README gives for Python: the README's example runs through
it as written where `python3` on PATH is another interpreter, here a stand-in that only fails."""

import os
import pathlib
import subprocess

import pytest

from markdown_blocks import fenced_blocks

ROOT = pathlib.Path(__file__).resolve().parents[2]
SCRIPT = ROOT / "scripts" / "python"


@pytest.fixture
def shadowed_environment(tmp_path):
    """PATH with a `python3` first that exits 1, no PYTHONPATH, and the test's own build tree (so
    that nothing is built)."""
    shadow = tmp_path / "shadow"
    shadow.mkdir()
    stand_in = shadow / "python3"
    stand_in.write_text("#!/bin/sh\nexit 1\n")
    stand_in.chmod(0o755)
    environment = {key: value for key, value in os.environ.items() if key != "PYTHONPATH"}
    environment["PATH"] = f"{shadow}:{environment.get('PATH', '/usr/bin:/bin')}"
    environment["PARASIM_BUILD_DIR"] = os.environ["PARASIM_BUILD_DIR"]
    assert subprocess.run(["python3", "-c", "pass"], env=environment).returncode == 1
    return environment


def test_the_readme_python_example_runs_as_written(tmp_path, shadowed_environment):
    example = next(block for block in fenced_blocks(ROOT / "README.md") if block.info == "python")
    folder = tmp_path / "module"
    folder.mkdir()
    (folder / "example.py").write_text(example.text)
    run = subprocess.run([SCRIPT, "example.py"], cwd=folder, env=shadowed_environment,
                         capture_output=True, text=True, timeout=300)
    assert run.returncode == 0, run.stderr
    # As the example says: the same bytes as the console program with the same seed.
    console = tmp_path / "console"
    console.mkdir()
    with open(ROOT / "examples" / "default.txt", "rb") as answers:
        subprocess.run([os.environ["PARASIM_BINARY"], "--seed", "42"], cwd=console, stdin=answers,
                       stdout=subprocess.DEVNULL, check=True)
    assert (folder / "Output.dat").read_bytes() == (console / "Output.dat").read_bytes()


def test_a_build_tree_without_the_module_is_named_and_nothing_is_built(tmp_path,
                                                                       shadowed_environment):
    empty = tmp_path / "empty-build"
    empty.mkdir()
    run = subprocess.run([SCRIPT, "-c", "print('ran')"], cwd=tmp_path,
                         env=dict(shadowed_environment, PARASIM_BUILD_DIR=str(empty)),
                         capture_output=True, text=True, timeout=60)
    assert run.returncode == 2
    assert run.stdout == ""
    assert f"no parasim module in {empty}/python" in run.stderr
    assert list(empty.iterdir()) == []
