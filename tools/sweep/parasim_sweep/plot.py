"""parasim-sweep plot: what the runs came to (the columns of runs.csv) against each swept
answer, one figure per swept answer with a panel per statistic. Each run is a point; the runs
that share every answer (the replicates of one combination) get their mean as a bar and their
standard deviation as a line. When other answers are swept too, each of their combinations is
a series of its own colour, set a little apart (see replicates).

Needs matplotlib (Debian's python3-matplotlib for /usr/bin/python3), imported only here, so
every other command does without it.
"""

import os

from parasim_report.palette import TAB10, rgba
from parasim_report.placement import PlacementError, check_outputs, write_file

from .errors import SweepError
from .replicates import answer_ticks, group_runs, swept_answers
from .runs_table import RUN_STATISTICS, RUNS_TABLE, read_runs

PLOTS_FOLDER = "plots"
# Drawn against each answer: every statistic but the minimum size, which is a setting.
DRAWN = tuple(name for name in RUN_STATISTICS if name != "min_size")
TITLES = {
    "final_population": "final population\n(survivors after the last generation)",
    "last_generation_population": "last generation's population\n(at its start)",
    "species_at_end": "species at the end",
    "species_at_end_min_size": "species at the end with at least {min_size} parasites",
    "speciation_events": "speciation events",
    "extinctions": "extinctions",
    "first_split_generation": "generation of the first split",
    "hosts_occupied_at_end": "hosts occupied at the end",
    "host_shift_share": "share of host shifts\namong daughters",
    "mean_divergence_between_extant": "mean divergence between\nextant species (loci)",
    "species_spanning_groups": "species spanning\nseveral mating groups",
}
FIGURE_DPI = 100
FORMATS = ((".png", {"Software": None}), (".svg", {"Date": None, "Creator": None}))


def panel_title(statistic, rows):
    return TITLES[statistic].format(min_size=rows[0].get("min_size") or "the minimum size of")


def answer_figure(pyplot, rows, swept, answer):
    """One figure: every statistic against `answer` (None: all runs in one column); the runs
    are the rows of runs.csv, swept the answers with more than one value."""
    ticks = answer_ticks(rows, answer)
    columns = 4 if len(DRAWN) > 4 else len(DRAWN)
    panel_rows = -(-len(DRAWN) // columns)
    figure, grid = pyplot.subplots(panel_rows, columns, figsize=(4.0 * columns, 3.2 * panel_rows),
                                   dpi=FIGURE_DPI, squeeze=False)
    series_count = 0
    for axes, statistic in zip(grid.flat, DRAWN):
        for series in group_runs(rows, swept, answer, statistic):
            series_count = max(series_count, series.number)
            colour = rgba(TAB10[(series.number - 1) % len(TAB10)])
            for place, group in enumerate(series.groups):
                axes.scatter([x for x, _, _ in group.points], [v for _, v, _ in group.points],
                             s=14, color=colour, alpha=0.7, linewidths=0,
                             label=series.label if place == 0 else None)
                bar = axes.errorbar([group.x], [group.mean], yerr=[group.spread], color=colour,
                                    capsize=3, marker="_", markersize=12, linewidth=1)
                bar.lines[0].set_gid("mean")
        axes.set_title(panel_title(statistic, rows), fontsize="medium")
        axes.yaxis.get_major_locator().set_params(integer=True)
        axes.set_xticks(range(len(ticks)))
        axes.set_xticklabels(ticks if answer else ["all runs"])
        axes.set_xlim(-0.5, len(ticks) - 0.5)
        if answer:
            axes.set_xlabel(answer)
    for axes in list(grid.flat)[len(DRAWN):]:
        axes.set_visible(False)
    if series_count > 1:
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
    rows = read_runs(plan)
    if not rows:
        raise SweepError(f"{RUNS_TABLE} holds no run: nothing to draw")
    swept = swept_answers(plan)
    out_folder = out_folder or os.path.join(plan.root, PLOTS_FOLDER)
    stems = [f"runs-by-{answer}" if answer else "runs" for answer in swept or [None]]
    try:
        os.makedirs(out_folder, exist_ok=True)
        check_outputs([os.path.join(out_folder, stem + suffix)
                       for stem in stems for suffix, _ in FORMATS],
                      [os.path.join(plan.root, RUNS_TABLE)])
        for answer, stem in zip(swept or [None], stems):
            figure = answer_figure(pyplot, rows, swept, answer)
            for suffix, metadata in FORMATS:
                write_file(os.path.join(out_folder, stem + suffix),
                           lambda stream: figure.savefig(stream, format=suffix[1:],
                                                         metadata=metadata))
            pyplot.close(figure)
    except PlacementError as error:
        raise SweepError(str(error)) from None
    return stems
