"""Merging the results of the completed runs into two tidy tables:

  collected.csv  one row per run and reported generation, the run's id, seed and ten
                 parameters in front of the columns of the run's generations.csv;
  runs.csv       one row per run: its id, replicate, ten parameters and seed, then what the
                 run came to (RUN_COLUMNS), from its record and its species history.
"""

import csv
import dataclasses
import io
import json
import os
import shutil
import subprocess

from . import run_state as rs
from .errors import SweepError
from .parameters import NAMES, answer_text
from .plan import PLAN_FILES, write_atomically, write_output

GENERATIONS_TABLE = "generations.csv"
HISTORY_SUMMARY_TABLE = "history_summary.csv"
RUNS_TABLE = "runs.csv"
DEFAULT_MIN_SIZE = 10

# What runs.csv tells of each run, and where it comes from: the run's record, or the summary
# row parasim-report writes from the species history (empty when the run kept none).
RUN_COLUMNS = (
    ("final_population", "record", "final_population"),
    ("species_at_end", "history", "species_at_end"),
    ("species_at_end_min_size", "history", "species_at_end_min_size"),
    ("min_size", "history", "min_size"),
    ("speciation_events", "history", "speciation_events"),
    ("extinctions", "history", "extinctions"),
    ("first_split_generation", "history", "first_split_generation"),
    ("hosts_occupied_at_end", "history", "hosts_occupied_at_end"),
)
RUN_STATISTICS = tuple(name for name, _, _ in RUN_COLUMNS)


def _read_table(path):
    with open(path, newline="", encoding="utf-8") as stream:
        return list(csv.reader(stream))


def _tables_up_to_date(tables, has_history, min_size):
    if not os.path.isfile(os.path.join(tables, GENERATIONS_TABLE)):
        return False
    if not has_history:
        return True
    try:
        rows = _read_table(os.path.join(tables, HISTORY_SUMMARY_TABLE))
        return dict(zip(rows[0], rows[1])).get("min_size") == str(min_size)
    except (OSError, IndexError):
        return False


def _tables(programs, folder, min_size):
    """The run's tables, made by parasim-report --csv (with the run's history when it kept
    one) when they are not there yet or were made with another minimum size. They are made
    under a temporary name and renamed, so an interrupted collect leaves no half table."""
    tables = os.path.join(folder, rs.TABLES)
    has_history = os.path.isdir(os.path.join(folder, rs.HISTORY))
    if _tables_up_to_date(tables, has_history, min_size):
        return tables, None
    making = os.path.join(folder, f"{rs.TABLES}.tmp-{os.getpid()}")
    shutil.rmtree(making, ignore_errors=True)
    command = [programs.report(), "--csv", making]
    if has_history:
        command += ["--history", rs.HISTORY, "--min-size", str(min_size)]
    try:
        made = subprocess.run(command + [rs.RESULTS], cwd=folder, stdin=subprocess.DEVNULL,
                              capture_output=True, text=True)
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
    rows = _read_table(os.path.join(tables, GENERATIONS_TABLE))
    if not rows or not rows[0] or rows[0][0] != "generation":
        raise ValueError(f"{GENERATIONS_TABLE} does not start with a generation column")
    return rows[0], rows[1:]


def _run_statistics(folder, tables):
    """The RUN_COLUMNS of one run, as text; empty where the run kept no history."""
    with open(os.path.join(folder, rs.RECORD), encoding="utf-8") as stream:
        sources = {"record": json.load(stream), "history": {}}
    summary = os.path.join(tables, HISTORY_SUMMARY_TABLE)
    if os.path.isfile(summary):
        rows = _read_table(summary)
        if len(rows) != 2 or len(rows[0]) != len(rows[1]):
            raise ValueError(f"{HISTORY_SUMMARY_TABLE} is not a header and one row")
        sources["history"] = dict(zip(rows[0], rows[1]))
    values = []
    for _, source, key in RUN_COLUMNS:
        value = sources[source].get(key, "")
        values.append("" if value is None else str(value))
    return values


@dataclasses.dataclass
class Collected:
    runs: int = 0  # runs collected
    rows: int = 0  # rows of collected.csv
    incomplete: int = 0  # runs left out because they are not done
    problems: list = dataclasses.field(default_factory=list)  # (run, problem) of runs left out
    runs_path: str = ""


def check_output(plan, output_path):
    """Refuses an output that would overwrite what the sweep reads or keeps: the plan's own
    files, runs.csv (which collect writes beside it), or anything in a run's folder."""
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


def _write(path, text, named_by_user):
    try:
        (write_output if named_by_user else write_atomically)(path, text)
    except OSError as error:
        raise SweepError(f"cannot write {path}: {error.strerror}") from None


def collect(plan, programs, output_path, min_size=DEFAULT_MIN_SIZE):
    """Writes the merged generations to output_path and runs.csv into the plan's folder."""
    check_output(plan, output_path)
    result = Collected(runs_path=os.path.join(plan.root, RUNS_TABLE))
    header = None
    body = io.StringIO()
    writer = csv.writer(body, lineterminator="\n")
    runs_text = io.StringIO()
    runs_writer = csv.writer(runs_text, lineterminator="\n")
    runs_writer.writerow(["run_id", "replicate", *NAMES, "seed", *RUN_STATISTICS])
    for run in plan.runs:
        folder = plan.run_folder(run)
        if not rs.is_done(folder, run):
            result.incomplete += 1
            continue
        tables, problem = _tables(programs, folder, min_size)
        if problem:
            result.problems.append((run, problem))
            continue
        try:
            columns, rows = _generation_rows(tables)
            statistics = _run_statistics(folder, tables)
        except (OSError, ValueError) as error:
            result.problems.append((run, f"its tables or record cannot be read: {error}"))
            continue
        if header is None:
            header = columns
        elif columns != header:
            result.problems.append((run, f"its {GENERATIONS_TABLE} has the columns {columns}, "
                                         f"the other runs' {header}"))
            continue
        answers = [answer_text(name, run.values[name]) for name in NAMES]
        for row in rows:
            writer.writerow([run.run_id, run.seed, *answers, *row])
            result.rows += 1
        runs_writer.writerow([run.run_id, run.replicate, *answers, run.seed, *statistics])
        result.runs += 1
    if header is None:
        return result
    text = io.StringIO()
    csv.writer(text, lineterminator="\n").writerow(["run_id", "seed", *NAMES, *header])
    text.write(body.getvalue())
    _write(output_path, text.getvalue(), named_by_user=True)
    _write(result.runs_path, runs_text.getvalue(), named_by_user=False)
    return result
