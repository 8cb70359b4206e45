"""Merging the results of the completed runs into two tidy tables:

  collected.csv  one row per run and reported generation, the run's id, seed and ten
                 parameters in front of the columns of the run's generations.csv;
  runs.csv       one row per run: its id, replicate, ten parameters and seed, then what the
                 run came to (columns.RUN_STATISTIC_SOURCES), from its record and its species
                 history.
"""

import csv
import dataclasses
import io
import json
import os
import subprocess

from parasim_report import columns
from parasim_report.exit_statuses import REPORT_DONE
from parasim_report.placement import (PlacementError, check_outputs, discard_folder,
                                      new_folder_beside, put_folder, write_file)
from parasim_report.tables import TableError, read_checked_rows, read_single_row_table

from . import run_state as rs
from .errors import SweepError
from .parameters import NAMES, answer_text
from .plan import PLAN_FILES
from .runs_table import HEADER, RUNS_TABLE, read_runs

DEFAULT_MIN_SIZE = 10


def _tables_up_to_date(tables, has_history, min_size):
    if not os.path.isfile(os.path.join(tables, columns.GENERATIONS.file)):
        return False
    if not has_history:
        return True
    try:
        summary = read_single_row_table(tables, columns.HISTORY_SUMMARY)
    except (OSError, TableError):
        return False
    return summary["min_size"] == min_size


def _tables(programs, folder, min_size):
    """The run's tables, made by parasim-report --csv (with the run's history when it kept
    one) when they are not there yet or were made with another minimum size. They are made
    in a folder beside and put in place whole, so an interrupted collect leaves no half table."""
    tables = os.path.join(folder, rs.TABLES)
    has_history = os.path.isdir(os.path.join(folder, rs.HISTORY))
    if _tables_up_to_date(tables, has_history, min_size):
        return tables, None
    making = new_folder_beside(tables)
    command = [programs.report(), "--csv", making]
    if has_history:
        command += ["--history", rs.HISTORY, "--min-size", str(min_size)]
    try:
        made = subprocess.run(command + [rs.RESULTS], cwd=folder, stdin=subprocess.DEVNULL,
                              capture_output=True, text=True)
    except OSError as error:
        discard_folder(making)
        return None, f"parasim-report could not be started: {error}"
    if made.returncode != REPORT_DONE:
        discard_folder(making)
        message = made.stderr.strip().splitlines()
        return None, (f"parasim-report failed (exit status {made.returncode})"
                      + (f": {message[-1]}" if message else ""))
    put_folder(making, tables, replace=True)
    return tables, None


def _generation_rows(tables):
    """The rows of the run's generations.csv as their text, checked."""
    return read_checked_rows(os.path.join(tables, columns.GENERATIONS.file),
                             columns.GENERATIONS.names, columns.GENERATIONS.kinds)


def _run_statistics(folder, tables):
    """The RUN_STATISTICS of one run, as text; empty where the run kept no history."""
    with open(os.path.join(folder, rs.RECORD), encoding="utf-8") as stream:
        sources = {"record": json.load(stream), "history": {}}
    if os.path.isfile(os.path.join(tables, columns.HISTORY_SUMMARY.file)):
        sources["history"] = read_single_row_table(tables, columns.HISTORY_SUMMARY)
    values = []
    for _, source, key, _ in columns.RUN_STATISTIC_SOURCES:
        value = sources[source].get(key)
        values.append("" if value is None else str(value))
    return values


@dataclasses.dataclass
class Collected:
    runs: int = 0  # runs collected
    rows: int = 0  # rows of collected.csv
    incomplete: int = 0  # runs left out because they are not done
    problems: list = dataclasses.field(default_factory=list)  # (run, problem) of runs left out
    runs_path: str = ""


def check_output(plan, output_path, runs_path):
    """Refuses an output that would overwrite what the sweep reads or keeps: the plan's own
    files, runs.csv (which collect writes beside it), or anything in a run's folder; and one
    that is not a new or regular file (see placement)."""
    output = os.path.realpath(output_path)
    root = os.path.realpath(plan.root)
    kept = [os.path.join(root, name) for name in PLAN_FILES + (RUNS_TABLE,)]
    runs = os.path.join(root, "runs")
    if output in kept or output == runs or output.startswith(runs + os.sep):
        raise SweepError(f"{output_path} is one of the sweep's own files (the plan, runs.csv or "
                         "a run's results); name another file for --output")
    folder = os.path.dirname(os.path.abspath(output_path))
    if not os.path.isdir(folder):
        raise SweepError(f"cannot write {output_path}: the folder {folder} does not exist")
    try:
        check_outputs([output_path, runs_path],
                      [os.path.join(plan.root, name) for name in PLAN_FILES])
    except PlacementError as error:
        raise SweepError(str(error)) from None


def _write(path, text):
    try:
        write_file(path, text)
    except PlacementError as error:
        raise SweepError(str(error)) from None
    except OSError as error:
        raise SweepError(f"cannot write {path}: {error.strerror}") from None


def runs_table_behind(plan):
    """Why runs.csv needs collecting again before it is read: it is missing, or a run finished
    after it was written (its done marker is newer). None when it is up to date."""
    path = os.path.join(plan.root, RUNS_TABLE)
    try:
        written = os.stat(path).st_mtime_ns
    except FileNotFoundError:
        return f"{RUNS_TABLE} is missing"
    for run in plan.runs:
        folder = plan.run_folder(run)
        try:
            finished = os.stat(os.path.join(folder, rs.DONE)).st_mtime_ns
        except FileNotFoundError:
            continue
        if finished > written and rs.is_done(folder, run):
            return f"run {plan.run_name(run)} finished after {RUNS_TABLE} was written"
    return None


def kept_min_size(plan):
    """The minimum size the last collect counted species with, kept when runs.csv is made
    again; the default when runs.csv cannot tell."""
    try:
        rows = read_runs(plan)
    except SweepError:
        return DEFAULT_MIN_SIZE
    return next((row["min_size"] for row in rows if row["min_size"]), DEFAULT_MIN_SIZE)


def collect(plan, programs, output_path, min_size=DEFAULT_MIN_SIZE):
    """Writes the merged generations to output_path and runs.csv into the plan's folder."""
    result = Collected(runs_path=os.path.join(plan.root, RUNS_TABLE))
    check_output(plan, output_path, result.runs_path)
    body = io.StringIO()
    writer = csv.writer(body, lineterminator="\n")
    writer.writerow(["run_id", "seed", *NAMES, *columns.GENERATIONS.names])
    runs_text = io.StringIO()
    runs_writer = csv.writer(runs_text, lineterminator="\n")
    runs_writer.writerow(HEADER)
    for run in plan.runs:
        folder = plan.run_folder(run)
        if not rs.is_done(folder, run):
            result.incomplete += 1
            continue
        try:
            tables, problem = _tables(programs, folder, min_size)
        except PlacementError as error:
            tables, problem = None, str(error)
        if problem:
            result.problems.append((run, problem))
            continue
        try:
            rows = _generation_rows(tables)
            statistics = _run_statistics(folder, tables)
        except (OSError, ValueError, TableError) as error:
            result.problems.append((run, f"its tables or record cannot be read: {error}"))
            continue
        answers = [answer_text(name, run.values[name]) for name in NAMES]
        for row in rows:
            writer.writerow([run.run_id, run.seed, *answers, *row])
            result.rows += 1
        runs_writer.writerow([run.run_id, run.replicate, *answers, run.seed, *statistics])
        result.runs += 1
    if result.runs == 0:
        return result
    _write(output_path, body.getvalue())
    _write(result.runs_path, runs_text.getvalue())
    return result
