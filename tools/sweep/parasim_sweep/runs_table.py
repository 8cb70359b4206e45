"""runs.csv, one row per done run of a sweep: what collect writes into the plan's folder, and
what plot and report read back, checked against the plan.

    run_id, replicate, the ten answers, seed, then what the run came to (RUN_STATISTICS)

The swept answers are numbers by the sweep file's own rules, so a field that is not one, a run
listed twice, or a run whose seed is not the plan's means runs.csv was edited or is of another
plan: it is refused with its line, and collect makes it again.
"""

import os

from parasim_report import columns
from parasim_report.column_kinds import INTEGER, REAL, WHOLE
from parasim_report.tables import TableError, read_rows

from .errors import SweepError
from .parameters import IS_INTEGER, NAMES, answer_text

RUNS_TABLE = "runs.csv"

# What each run came to, from its record or its species history (columns.RUN_STATISTIC_SOURCES).
RUN_STATISTICS = tuple(name for name, _, _, _ in columns.RUN_STATISTIC_SOURCES)
HEADER = ("run_id", "replicate", *NAMES, "seed", *RUN_STATISTICS)
KINDS = (WHOLE, WHOLE, *(INTEGER if IS_INTEGER[name] else REAL for name in NAMES), WHOLE,
         *(kind for _, _, _, kind in columns.RUN_STATISTIC_SOURCES))


def read_runs(plan):
    """The rows of the plan's runs.csv as dictionaries of values (None for an empty statistic),
    in the order of the file. Raises SweepError for a missing, malformed or foreign table."""
    path = os.path.join(plan.root, RUNS_TABLE)
    try:
        rows = read_rows(path, HEADER, KINDS)
    except FileNotFoundError:
        raise SweepError(f"{path} does not exist: run 'parasim-sweep collect' first") from None
    except TableError as error:
        raise SweepError(f"{error}; run 'parasim-sweep collect' again") from None
    seen = {}
    for line, row in rows:
        run_id = row["run_id"]
        if run_id in seen:
            raise SweepError(f"{path}:{line}: run {run_id} is listed twice (first on line "
                             f"{seen[run_id]}); run 'parasim-sweep collect' again")
        seen[run_id] = line
        if not 1 <= run_id <= plan.run_count:
            raise SweepError(f"{path}:{line}: the plan has no run {run_id}; run 'parasim-sweep "
                             "collect' again")
        planned = plan.runs[run_id - 1]
        if row["seed"] != planned.seed or any(
                answer_text(name, row[name]) != answer_text(name, planned.values[name])
                for name in NAMES):
            raise SweepError(f"{path}:{line}: run {run_id} is not the run the plan has (its "
                             "seed or answers differ); run 'parasim-sweep collect' again")
    return [row for _, row in rows]
