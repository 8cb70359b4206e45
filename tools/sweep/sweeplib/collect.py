"""Merging the per-generation summaries of the completed runs into one tidy table: one row per
run and reported generation, the run's id, seed and ten parameters in front."""

import csv
import io
import os
import shutil
import subprocess

from . import run_state as rs
from .errors import SweepError
from .parameters import NAMES, answer_text
from .plan import write_atomically

GENERATIONS_TABLE = "generations.csv"


def _tables(programs, folder):
    """The run's tables, made by parasim-report --csv when they are not there yet. They are
    made under a temporary name and renamed, so an interrupted collect leaves no half table."""
    tables = os.path.join(folder, rs.TABLES)
    if os.path.isfile(os.path.join(tables, GENERATIONS_TABLE)):
        return tables, None
    making = os.path.join(folder, f"{rs.TABLES}.tmp-{os.getpid()}")
    shutil.rmtree(making, ignore_errors=True)
    try:
        made = subprocess.run([programs.report(), "--csv", making, rs.RESULTS], cwd=folder,
                              stdin=subprocess.DEVNULL, capture_output=True, text=True)
    except OSError as error:
        return None, f"parasim-report could not be started: {error}"
    if made.returncode != 0:
        shutil.rmtree(making, ignore_errors=True)
        message = made.stderr.strip().splitlines()
        return None, (f"parasim-report failed (exit status {made.returncode})"
                      + (f": {message[-1]}" if message else ""))
    shutil.rmtree(tables, ignore_errors=True)
    os.replace(making, tables)
    return tables, None


def _generation_rows(tables):
    with open(os.path.join(tables, GENERATIONS_TABLE), newline="", encoding="utf-8") as stream:
        rows = list(csv.reader(stream))
    if not rows or not rows[0] or rows[0][0] != "generation":
        raise ValueError(f"{GENERATIONS_TABLE} does not start with a generation column")
    return rows[0], rows[1:]


def collect(plan, programs, output_path):
    """Writes the merged table to output_path. Returns (runs collected, rows, runs left out
    because they are not complete, [(run, problem)] for runs whose tables could not be made)."""
    header = None
    body = io.StringIO()
    writer = csv.writer(body, lineterminator="\n")
    collected = rows_written = incomplete = 0
    problems = []
    for run in plan.runs:
        folder = plan.run_folder(run)
        if not rs.is_done(folder):
            incomplete += 1
            continue
        tables, problem = _tables(programs, folder)
        if problem:
            problems.append((run, problem))
            continue
        try:
            columns, rows = _generation_rows(tables)
        except (OSError, ValueError) as error:
            problems.append((run, f"its tables cannot be read: {error}"))
            continue
        if header is None:
            header = columns
        elif columns != header:
            problems.append((run, f"its {GENERATIONS_TABLE} has the columns {columns}, "
                                  f"the other runs' {header}"))
            continue
        front = [run.run_id, run.seed, *(answer_text(name, run.values[name]) for name in NAMES)]
        for row in rows:
            writer.writerow(front + row)
            rows_written += 1
        collected += 1
    if header is None:
        return collected, rows_written, incomplete, problems
    text = io.StringIO()
    csv.writer(text, lineterminator="\n").writerow(["run_id", "seed", *NAMES, *header])
    text.write(body.getvalue())
    folder = os.path.dirname(os.path.abspath(output_path))
    if not os.path.isdir(folder):
        raise SweepError(f"cannot write {output_path}: the folder {folder} does not exist")
    try:
        write_atomically(output_path, text.getvalue())
    except OSError as error:
        raise SweepError(f"cannot write {output_path}: {error.strerror}") from None
    return collected, rows_written, incomplete, problems
