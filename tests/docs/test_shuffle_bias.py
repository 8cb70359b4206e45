"""The model's random order measured by bench's parasim_shuffle_bias: its shares checked against
the chance of a row being left in place, and the measurement docs/model.md quotes, made again."""

import math
import os
import pathlib
import shlex
import subprocess

import pytest

from markdown_blocks import commands_and_outputs, fenced_blocks

MODEL_DOC = pathlib.Path(__file__).resolve().parents[2] / "docs" / "model.md"
PROGRAM_NAME = "parasim_shuffle_bias"


@pytest.fixture(scope="module")
def program():
    path = os.environ.get("PARASIM_SHUFFLE_BIAS")
    if not path:
        pytest.skip("PARASIM_SHUFFLE_BIAS names no parasim_shuffle_bias program")
    return path


def measure(program, *arguments):
    result = subprocess.run([program, *map(str, arguments)], capture_output=True, text=True,
                            timeout=120, check=True)
    return result.stdout


def shares(output):
    return {key: float(value) for key, value in (line.split() for line in output.splitlines())}


def chance_left_in_place(rows):
    """Each exchange leaves a given row where it is with chance 1 - 2/rows, and a row that moved
    is back in its place with chance 1/rows; the limit for many rows is e^-2."""
    return 1 / rows + (1 - 1 / rows) * (1 - 2 / rows) ** rows


# rows, orders: 200,000 positions at each size, from small orders far from the limit to large.
SIZES = [(10, 20_000), (100, 2_000), (1_000, 200)]


@pytest.mark.parametrize("rows,orders", SIZES)
def test_shares_are_the_chance_of_a_row_left_in_place(program, rows, orders):
    measured = shares(measure(program, rows, orders, 5))
    chance = chance_left_in_place(rows)
    # The positions of one order are close to independent: five standard errors of a share of
    # rows x orders draws; the first position alone has one draw per order.
    assert abs(measured["kept_share"] - chance) <= 5 * math.sqrt(
        chance * (1 - chance) / (rows * orders))
    assert abs(measured["row_1_first_share"] - chance) <= 5 * math.sqrt(
        chance * (1 - chance) / orders)
    assert measured["chance_for_these_rows"] == pytest.approx(chance, abs=5e-6)
    assert measured["uniform_share"] == pytest.approx(1 / rows, abs=5e-6)
    assert measured["limit_share"] == pytest.approx(math.exp(-2), abs=5e-6)


def test_wrong_arguments_are_refused(program):
    for arguments in [(), (0, 10), (600,), (600, 0), ("600x", 10), (600, 10, -1), (600, 10, 1, 2)]:
        result = subprocess.run([program, *map(str, arguments)], capture_output=True, text=True,
                                timeout=60)
        assert result.returncode == 2 and result.stdout == ""
        assert result.stderr.startswith("usage: parasim_shuffle_bias")


def test_the_figures_in_the_model_document_are_measured_again(program):
    quoted = [(command, output) for block in fenced_blocks(MODEL_DOC) if block.info == "sh"
              for command, output in commands_and_outputs(block)
              if PROGRAM_NAME in command.split()[0]]
    assert quoted, f"{MODEL_DOC} quotes no run of {PROGRAM_NAME}"
    for command, output in quoted:
        assert measure(program, *shlex.split(command)[1:]) == output, command
