"""parasim-sweep plot: what the runs came to (the columns of runs.csv) against each swept
answer, one figure per swept answer with a panel per statistic. Each run is a point; the runs
that share every answer (the replicates of one combination) get their mean as a bar and their
standard deviation as a line. When other answers are swept too, each of their combinations is
a series of its own colour, set a little apart.

Needs matplotlib (Debian's python3-matplotlib for /usr/bin/python3), imported only here, so
every other command keeps to the standard library.
"""

import csv
import os
import statistics

from .collect import RUN_STATISTICS, RUNS_TABLE
from .errors import SweepError
from .parameters import NAMES

PLOTS_FOLDER = "plots"
# Drawn against each answer: every statistic but the minimum size, which is a setting.
DRAWN = tuple(name for name in RUN_STATISTICS if name != "min_size")
TITLES = {
    "final_population": "population at the end",
    "species_at_end": "species at the end",
    "species_at_end_min_size": "species at the end with at least {min_size} parasites",
    "speciation_events": "speciation events",
    "extinctions": "extinctions",
    "first_split_generation": "generation of the first split",
    "hosts_occupied_at_end": "hosts occupied at the end",
}
SERIES_WIDTH = 0.6  # the share of the space between two values that the series spread over
FIGURE_DPI = 100


def _read_runs(path):
    try:
        with open(path, newline="", encoding="utf-8") as stream:
            rows = list(csv.DictReader(stream))
    except FileNotFoundError:
        raise SweepError(f"{path} does not exist: run 'parasim-sweep collect' first") from None
    missing = [name for name in (*NAMES, *DRAWN) if rows and name not in rows[0]]
    if missing:
        raise SweepError(f"{path} lacks the columns {', '.join(missing)}: collect again")
    return rows


def _number(text):
    """A cell of runs.csv as a number, or None where it is empty (no history, no split)."""
    if text in ("", None):
        return None
    try:
        return float(text)
    except ValueError:
        raise SweepError(f"{RUNS_TABLE} holds {text!r} where a number belongs") from None


def _series_label(names, key):
    return ", ".join(f"{name}={value}" for name, value in zip(names, key)) or "runs"


def answer_figure(pyplot, rows, swept, answer):
    """One figure: every statistic against `answer` (None: all runs in one column); the runs
    are the rows of runs.csv, swept the answers with more than one value."""
    others = [name for name in swept if name != answer]
    x_texts = sorted({row[answer] for row in rows}, key=float) if answer else [""]
    series_keys = sorted({tuple(row[name] for name in others) for row in rows},
                         key=lambda key: [float(value) for value in key])
    columns = 4 if len(DRAWN) > 4 else len(DRAWN)
    panel_rows = -(-len(DRAWN) // columns)
    figure, grid = pyplot.subplots(panel_rows, columns, figsize=(4.0 * columns, 3.2 * panel_rows),
                                   dpi=FIGURE_DPI, squeeze=False)
    colours = pyplot.get_cmap("tab10")
    min_size = rows[0].get("min_size") or "the minimum size of"
    step = SERIES_WIDTH / max(1, len(series_keys))
    for axes, statistic in zip(grid.flat, DRAWN):
        for series, key in enumerate(series_keys):
            shift = (series - (len(series_keys) - 1) / 2) * step
            colour = colours(series % 10)
            for place, x_text in enumerate(x_texts):
                values = [value for row in rows
                          if (not answer or row[answer] == x_text)
                          and tuple(row[name] for name in others) == key
                          for value in [_number(row[statistic])] if value is not None]
                if not values:
                    continue
                x = place + shift
                spread = step * 0.5
                offsets = [spread * ((i + 0.5) / len(values) - 0.5) for i in range(len(values))]
                axes.scatter([x + o for o in offsets], values, s=14, color=colour, alpha=0.7,
                             linewidths=0,
                             label=_series_label(others, key) if place == 0 else None)
                mean = statistics.fmean(values)
                deviation = statistics.pstdev(values) if len(values) > 1 else 0.0
                bar = axes.errorbar([x], [mean], yerr=[deviation], color=colour, capsize=3,
                                    marker="_", markersize=12, linewidth=1)
                bar.lines[0].set_gid("mean")
        axes.set_title(TITLES[statistic].format(min_size=min_size), fontsize="medium")
        axes.yaxis.get_major_locator().set_params(integer=True)
        axes.set_xticks(range(len(x_texts)))
        axes.set_xticklabels(x_texts if answer else ["all runs"])
        axes.set_xlim(-0.5, len(x_texts) - 0.5)
        if answer:
            axes.set_xlabel(answer)
    for axes in list(grid.flat)[len(DRAWN):]:
        axes.set_visible(False)
    if len(series_keys) > 1:
        handles, labels = grid.flat[0].get_legend_handles_labels()
        figure.legend(handles, labels, loc="lower right", fontsize="small", frameon=False)
    figure.suptitle((f"Runs by {answer}" if answer else "All runs")
                    + ": points are runs, bars their mean and standard deviation")
    figure.tight_layout()
    return figure


def plot(plan, out_folder=None):
    """Draws the figures into out_folder (default DIR/plots). Returns their stems."""
    try:
        import matplotlib

        matplotlib.use("Agg")
        matplotlib.rcParams["svg.hashsalt"] = "parasim-sweep"
        import matplotlib.pyplot as pyplot
    except ImportError:
        raise SweepError("plot needs matplotlib: install Debian's python3-matplotlib and run "
                         "parasim-sweep with /usr/bin/python3") from None
    rows = _read_runs(os.path.join(plan.root, RUNS_TABLE))
    if not rows:
        raise SweepError(f"{RUNS_TABLE} holds no run: nothing to draw")
    swept = [name for name in NAMES if len(plan.definition.values[name]) > 1]
    out_folder = out_folder or os.path.join(plan.root, PLOTS_FOLDER)
    os.makedirs(out_folder, exist_ok=True)
    stems = []
    for answer in swept or [None]:
        figure = answer_figure(pyplot, rows, swept, answer)
        stem = f"runs-by-{answer}" if answer else "runs"
        for suffix, metadata in ((".png", {"Software": None}),
                                 (".svg", {"Date": None, "Creator": None})):
            figure.savefig(os.path.join(out_folder, stem + suffix), metadata=metadata)
        pyplot.close(figure)
        stems.append(stem)
    return stems
