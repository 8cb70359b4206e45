"""parasim-sweep report: one web page for a sweep, DIR/report.html. What the runs came to (the
statistics of runs.csv) against each swept answer, each run a point (a click opens the run's
own page) and the replicates' mean and standard deviation; and a table of the runs, sorted by
a click on a column heading, each linking to its run's page.

A run's page is its folder's report.html, made by parasim-report --html from the run's
results file, history and record when it is missing or older than they are. The page shell is
the one of parasim-report's pages, parasim_report.page_shell; the sweep's page and its runs'
pages share one copy of plotly.js, DIR/plotly.min.js (parasim_report.plotly_library), which
they link, so the pages open without a network while DIR holds them together. The runs are
grouped as the sweep's figures group them (replicates). Needs Debian's python3-plotly.
"""

import dataclasses
import math
import os
import subprocess

from parasim_report import columns
from parasim_report.exit_statuses import REPORT_DONE
from parasim_report.palette import TAB10
from parasim_report.placement import PlacementError, check_outputs, write_file

from . import run_state as rs
from .errors import SweepError
from .parameters import NAMES, answer_text
from .plot import DRAWN, panel_title
from .replicates import answer_ticks, group_runs, swept_answers
from .runs_table import RUNS_TABLE, read_runs

PAGE = "report.html"  # the sweep's page in DIR, and each run's in its folder
PANEL_COLUMNS = 3

# A click on a run's point opens the run's page.
SCRIPT = """
drawCharts(function (elements) {
  "use strict";
  elements.forEach(function (chart) {
    chart.on("plotly_click", function (event) {
      const data = event.points.length ? event.points[0].customdata : null;
      if (data && data[3]) {
        window.location.href = data[3];
      }
    });
  });
});
sortableTables();
"""


def _page_modules():
    """The page shell of parasim-report's pages, where plotly.js comes from, and plotly."""
    try:
        import plotly.graph_objects as go
        from parasim_report import page_shell, plotly_library
        from plotly.subplots import make_subplots
    except ImportError as error:
        raise SweepError(f"report needs Debian's python3-plotly ({error})") from None
    return page_shell, plotly_library, go, make_subplots


def _inputs_of(folder):
    names = [rs.RESULTS, rs.RECORD] + [os.path.join(rs.HISTORY, name)
                                       for name in columns.HISTORY_FILES]
    return [os.path.join(folder, name) for name in names
            if os.path.isfile(os.path.join(folder, name))]


def _up_to_date(page, inputs):
    try:
        made = os.stat(page).st_mtime_ns
    except OSError:
        return False
    return all(os.stat(path).st_mtime_ns <= made for path in inputs)


def run_page(programs, folder, library):
    """Makes the run's page, linking the sweep's copy of plotly.js, when it is missing or older
    than what it shows. Returns a problem, or None."""
    if _up_to_date(os.path.join(folder, PAGE), _inputs_of(folder)):
        return None
    command = [programs.report(), "--html", PAGE, "--record", rs.RECORD,
               "--plotly-src", os.path.relpath(library, folder)]
    if os.path.isdir(os.path.join(folder, rs.HISTORY)):
        command += ["--history", rs.HISTORY]
    try:
        made = subprocess.run(command + [rs.RESULTS], cwd=folder, stdin=subprocess.DEVNULL,
                              capture_output=True, text=True)
    except OSError as error:
        return f"parasim-report could not be started: {error}"
    if made.returncode != REPORT_DONE:
        message = made.stderr.strip().splitlines()
        return (f"parasim-report failed (exit status {made.returncode})"
                + (f": {message[-1]}" if message else ""))
    return None


@dataclasses.dataclass
class Made:
    page: str = ""
    runs: int = 0  # runs on the page
    problems: list = dataclasses.field(default_factory=list)  # (run name, problem)


def _runs_with_pages(plan, programs, rows, made, library):
    """Makes the page of every done run of runs.csv; the link to it from the sweep's page, by
    run id."""
    links = {}
    for row in rows:
        run = plan.runs[row["run_id"] - 1]
        folder = plan.run_folder(run)
        if not rs.is_done(folder, run):
            made.problems.append((plan.run_name(run), "not done (collect again)"))
            continue
        problem = run_page(programs, folder, library)
        if problem:
            made.problems.append((plan.run_name(run), problem))
        else:
            links[run.run_id] = os.path.relpath(os.path.join(folder, PAGE),
                                                os.path.dirname(os.path.abspath(made.page)))
    return links


def answer_chart(go, make_subplots, rows, swept, answer, links):
    """Every statistic against `answer` (None: all runs in one column), a panel each."""
    ticks = answer_ticks(rows, answer)
    panel_rows = math.ceil(len(DRAWN) / PANEL_COLUMNS)
    figure = make_subplots(
        rows=panel_rows, cols=PANEL_COLUMNS, horizontal_spacing=0.08, vertical_spacing=0.12,
        subplot_titles=[panel_title(statistic, rows).replace("\n", "<br>")
                        for statistic in DRAWN])
    figure.update_layout(
        template="plotly_white", height=300 * panel_rows + 80, hovermode="closest",
        margin={"l": 50, "r": 20, "t": 80, "b": 50},
        title=((f"Runs by {answer}" if answer else "All runs")
               + ": points are runs, bars their mean and standard deviation"))
    named = set()  # the series with their legend entry
    for panel, statistic in enumerate(DRAWN):
        where = {"row": panel // PANEL_COLUMNS + 1, "col": panel % PANEL_COLUMNS + 1}
        title = panel_title(statistic, rows).replace("\n", " ")
        for series in group_runs(rows, swept, answer, statistic):
            if not series.groups:
                continue
            colour = TAB10[(series.number - 1) % len(TAB10)]
            points = [point for group in series.groups for point in group.points]
            figure.add_trace(go.Scatter(
                x=[x for x, _, _ in points], y=[value for _, value, _ in points],
                mode="markers", name=series.label, legendgroup=series.label,
                showlegend=series.label not in named,
                marker={"color": colour, "size": 8, "opacity": 0.7},
                customdata=[[row["run_id"], row["replicate"], row["seed"],
                             links.get(row["run_id"], "")] for _, _, row in points],
                uid=f"{statistic}-runs-{series.number}",
                hovertemplate=(f"run %{{customdata[0]}} (replicate %{{customdata[1]}}, seed "
                               f"%{{customdata[2]}})<br>{title}: %{{y}}<br>click to open its "
                               f"page<extra>{series.label}</extra>")), **where)
            named.add(series.label)
            figure.add_trace(go.Scatter(
                x=[group.x for group in series.groups],
                y=[group.mean for group in series.groups],
                mode="markers", name=series.label, legendgroup=series.label, showlegend=False,
                marker={"color": colour, "symbol": "line-ew", "size": 18,
                        "line": {"width": 2, "color": colour}},
                error_y={"type": "data", "array": [group.spread for group in series.groups],
                         "color": colour, "width": 4},
                customdata=[[group.spread, len(group.points)] for group in series.groups],
                uid=f"{statistic}-mean-{series.number}",
                hovertemplate=(f"{title}: mean %{{y:.4g}}, standard deviation "
                               f"%{{customdata[0]:.4g}} over %{{customdata[1]}} runs"
                               f"<extra>{series.label}</extra>")), **where)
        figure.update_xaxes(tickvals=list(range(len(ticks))), range=[-0.5, len(ticks) - 0.5],
                            ticktext=ticks if answer else ["all runs"],
                            title=answer or "", **where)
    figure.update_layout(showlegend=len(named) > 1)
    return figure


def cell_text(name, value):
    if value is None:
        return ""
    return answer_text(name, value) if name in NAMES else str(value)


def tooltip(shell, column):
    """The title attribute of a column that counts the population at one moment of the run."""
    moment = columns.COUNT_MOMENTS.get(column)
    return f' title="{shell.escape(column)}: {shell.escape(moment)}"' if moment else ""


def runs_table(shell, rows, swept, links):
    shown = ["replicate", *swept, "seed", *DRAWN]
    heading = "".join(
        f'<th class="number"{tooltip(shell, name)}>{shell.escape(name.replace("_", " "))}</th>'
        for name in ["run", *shown])
    body = []
    for row in rows:
        link = links.get(row["run_id"])
        name = shell.escape(row["run_id"])
        cells = [f'<a href="{shell.escape(link)}">{name}</a>' if link else name]
        cells += [shell.escape(cell_text(column, row[column])) for column in shown]
        body.append("<tr>" + "".join(f'<td class="number">{cell}</td>' for cell in cells)
                    + "</tr>")
    return (f'<div class="wide"><table class="runs sortable"><thead><tr>{heading}</tr></thead>'
            "<tbody>" + "".join(body) + "</tbody></table></div>")


def answers_list(shell, plan, swept):
    items = []
    for name in NAMES:
        values = ", ".join(shell.escape(v) for v in plan.definition.values[name])
        items.append(f"<li><strong>{shell.escape(name)}</strong>: {values}"
                     + (" (swept)" if name in swept else "") + "</li>")
    return "<ul>" + "".join(items) + "</ul>"


def report(plan, programs, out_path=None):
    """Makes the runs' pages that are missing and the sweep's page. Returns what was made."""
    shell, plotly_library, go, make_subplots = _page_modules()
    rows = read_runs(plan)
    if not rows:
        raise SweepError(f"{RUNS_TABLE} holds no run: nothing to show")
    made = Made(page=out_path or os.path.join(plan.root, PAGE), runs=len(rows))
    library = os.path.join(plan.root, plotly_library.LIBRARY_FILE)
    try:
        check_outputs([made.page], [os.path.join(plan.root, RUNS_TABLE), library])
        plotly_library.place_beside(plan.root)
    except PlacementError as error:
        raise SweepError(str(error)) from None
    plotly_src = os.path.relpath(library, os.path.dirname(os.path.abspath(made.page)))
    links = _runs_with_pages(plan, programs, rows, made, library)
    swept = swept_answers(plan)
    charts = [(f"runs-by-{answer}" if answer else "runs",
               answer_chart(go, make_subplots, rows, swept, answer, links))
              for answer in swept or [None]]
    name = os.path.basename(os.path.abspath(plan.root))
    problems = "".join(f"<li>run {shell.escape(run)}: {shell.escape(problem)}</li>"
                       for run, problem in made.problems)
    body = "".join([
        f"<h1>parasim sweep: {shell.escape(name)}</h1>",
        f'<p class="sources">{len(rows)} runs of {plan.run_count} planned, from '
        f"{shell.escape(RUNS_TABLE)}; each combination of answers run with "
        f"{shell.escape(plan.definition.replicates_text())}. "
        f"{shell.library_note(plotly_src)} A click on a run's point or number opens the run's own "
        "page.</p>",
        f"<h2>The answers</h2>{answers_list(shell, plan, swept)}",
        (f'<p class="unknown">No page for these runs:</p><ul>{problems}</ul>'
         if problems else ""),
        "".join(
            f'<section id="{chart}"><h2>{shell.escape(chart.replace("-", " "))}</h2>'
            '<p class="note">Each point is a run; the bar is the mean of the runs that share '
            "every answer, the line one standard deviation (divisor n) on either side. The "
            "values of the answer are evenly spaced; each combination of the other swept "
            "answers has a colour of its own. Empty cells (no split, no history) are left "
            f"out.</p>{shell.chart_element(chart)}</section>"
            for chart, _ in charts),
        '<section id="runs"><h2>The runs</h2><p class="note">Click a column heading to '
        f"sort.</p>{runs_table(shell, rows, swept, links)}</section>",
    ])
    try:
        write_file(made.page, shell.document(f"parasim sweep: {name}", body, charts, SCRIPT,
                                             plotly_src),
                   [os.path.join(plan.root, RUNS_TABLE), library])
    except PlacementError as error:
        raise SweepError(str(error)) from None
    return made
