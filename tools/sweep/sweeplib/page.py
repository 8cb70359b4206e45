"""parasim-sweep report: one web page for a sweep, DIR/report.html. What the runs came to (the
statistics of runs.csv) against each swept answer, each run a point (a click opens the run's
own page) and the replicates' mean and standard deviation; and a table of the runs, sorted by
a click on a column heading, each linking to its run's page.

A run's page is its folder's report.html, made by parasim-report --html from the run's
results file, history and record when it is missing or older than they are. The page shell
(plotly.js inlined, so the page opens without a network) is the one of parasim-report's pages:
parasim_page_shell.py, which travels beside parasim-report. Needs Debian's python3-plotly.
"""

import dataclasses
import math
import os
import statistics
import subprocess
import sys

from . import run_state as rs
from .collect import RUNS_TABLE
from .errors import SweepError
from .parameters import NAMES
from .plot import DRAWN, SERIES_WIDTH, TITLES, _number, _read_runs, _series_label

PAGE = "report.html"  # the sweep's page in DIR, and each run's in its folder
PANEL_COLUMNS = 3
# plotly's default colours, one per combination of the other swept answers.
SERIES_COLOURS = ["#1f77b4", "#ff7f0e", "#2ca02c", "#d62728", "#9467bd", "#8c564b", "#e377c2",
                  "#7f7f7f", "#bcbd22", "#17becf"]

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


def _page_modules(programs):
    """The page shell beside parasim-report, and plotly."""
    sys.path.insert(0, os.path.dirname(programs.report()))
    try:
        import parasim_page_shell
        import plotly.graph_objects as go
        from plotly.subplots import make_subplots
    except ImportError as error:
        raise SweepError(f"report needs Debian's python3-plotly and parasim_page_shell.py "
                         f"beside parasim-report ({error})") from None
    return parasim_page_shell, go, make_subplots


def _inputs_of(folder):
    names = [rs.RESULTS, rs.RECORD] + [os.path.join(rs.HISTORY, name)
                                       for name in rs.HISTORY_FILES]
    return [os.path.join(folder, name) for name in names
            if os.path.isfile(os.path.join(folder, name))]


def _up_to_date(page, inputs):
    try:
        made = os.stat(page).st_mtime_ns
    except OSError:
        return False
    return all(os.stat(path).st_mtime_ns <= made for path in inputs)


def run_page(programs, folder):
    """Makes the run's page when it is missing or older than what it shows. Returns a
    problem, or None."""
    if _up_to_date(os.path.join(folder, PAGE), _inputs_of(folder)):
        return None
    command = [programs.report(), "--html", PAGE, "--record", rs.RECORD]
    if os.path.isdir(os.path.join(folder, rs.HISTORY)):
        command += ["--history", rs.HISTORY]
    try:
        made = subprocess.run(command + [rs.RESULTS], cwd=folder, stdin=subprocess.DEVNULL,
                              capture_output=True, text=True)
    except OSError as error:
        return f"parasim-report could not be started: {error}"
    if made.returncode != 0:
        message = made.stderr.strip().splitlines()
        return (f"parasim-report failed (exit status {made.returncode})"
                + (f": {message[-1]}" if message else ""))
    return None


@dataclasses.dataclass
class Made:
    page: str = ""
    runs: int = 0  # runs on the page
    problems: list = dataclasses.field(default_factory=list)  # (run name, problem)


def _runs_with_pages(plan, programs, rows, made):
    """Makes the page of every done run of runs.csv; the link to it from the sweep's page, by
    run id."""
    links = {}
    for row in rows:
        try:
            run = plan.run(int(row["run_id"]))
        except (KeyError, ValueError, SweepError):
            raise SweepError(f"{RUNS_TABLE} holds the run {row.get('run_id')!r}, which the plan "
                             "does not have: collect again") from None
        folder = plan.run_folder(run)
        if not rs.is_done(folder, run):
            made.problems.append((plan.run_name(run), "not done (collect again)"))
            continue
        problem = run_page(programs, folder)
        if problem:
            made.problems.append((plan.run_name(run), problem))
        else:
            links[run.run_id] = os.path.relpath(os.path.join(folder, PAGE),
                                                os.path.dirname(os.path.abspath(made.page)))
    return links


def answer_chart(go, make_subplots, rows, swept, answer, links):
    """Every statistic against `answer` (None: all runs in one column), a panel each."""
    others = [name for name in swept if name != answer]
    x_texts = sorted({row[answer] for row in rows}, key=float) if answer else [""]
    series_keys = sorted({tuple(row[name] for name in others) for row in rows},
                         key=lambda key: [float(value) for value in key])
    min_size = rows[0].get("min_size") or "the minimum size of"
    panel_rows = math.ceil(len(DRAWN) / PANEL_COLUMNS)
    figure = make_subplots(
        rows=panel_rows, cols=PANEL_COLUMNS, horizontal_spacing=0.08, vertical_spacing=0.12,
        subplot_titles=[TITLES[statistic].format(min_size=min_size) for statistic in DRAWN])
    figure.update_layout(
        template="plotly_white", height=300 * panel_rows + 80, hovermode="closest",
        showlegend=len(series_keys) > 1, margin={"l": 50, "r": 20, "t": 80, "b": 50},
        title=((f"Runs by {answer}" if answer else "All runs")
               + ": points are runs, bars their mean and standard deviation"))
    step = SERIES_WIDTH / max(1, len(series_keys))
    named = set()  # the series with their legend entry
    for panel, statistic in enumerate(DRAWN):
        where = {"row": panel // PANEL_COLUMNS + 1, "col": panel % PANEL_COLUMNS + 1}
        title = TITLES[statistic].format(min_size=min_size)
        for series, key in enumerate(series_keys):
            label = _series_label(others, key)
            colour = SERIES_COLOURS[series % len(SERIES_COLOURS)]
            shift = (series - (len(series_keys) - 1) / 2) * step
            xs, ys, data, means = [], [], [], []
            for place, x_text in enumerate(x_texts):
                chosen = [(row, value) for row in rows
                          if (not answer or row[answer] == x_text)
                          and tuple(row[name] for name in others) == key
                          for value in [_number(row[statistic])] if value is not None]
                for i, (row, value) in enumerate(chosen):
                    # The replicates side by side, over half of the series' share.
                    xs.append(place + shift + step * 0.5 * ((i + 0.5) / len(chosen) - 0.5))
                    ys.append(value)
                    data.append([row["run_id"], row["replicate"], row["seed"],
                                 links.get(int(row["run_id"]), "")])
                if chosen:
                    values = [value for _, value in chosen]
                    means.append((place + shift, statistics.fmean(values),
                                  statistics.pstdev(values), len(values)))
            if not xs:
                continue
            figure.add_trace(go.Scatter(
                x=xs, y=ys, mode="markers", name=label, legendgroup=label,
                showlegend=label not in named, marker={"color": colour, "size": 8, "opacity": 0.7},
                customdata=data, uid=f"{statistic}-runs-{series + 1}",
                hovertemplate=(f"run %{{customdata[0]}} (replicate %{{customdata[1]}}, seed "
                               f"%{{customdata[2]}})<br>{title}: %{{y}}<br>click to open its "
                               f"page<extra>{label}</extra>")), **where)
            named.add(label)
            figure.add_trace(go.Scatter(
                x=[x for x, _, _, _ in means], y=[mean for _, mean, _, _ in means],
                mode="markers", name=label, legendgroup=label, showlegend=False,
                marker={"color": colour, "symbol": "line-ew", "size": 18,
                        "line": {"width": 2, "color": colour}},
                error_y={"type": "data", "array": [spread for _, _, spread, _ in means],
                         "color": colour, "width": 4},
                customdata=[[spread, n] for _, _, spread, n in means],
                uid=f"{statistic}-mean-{series + 1}",
                hovertemplate=(f"{title}: mean %{{y:.4g}}, standard deviation "
                               f"%{{customdata[0]:.4g}} over %{{customdata[1]}} runs"
                               f"<extra>{label}</extra>")), **where)
        figure.update_xaxes(tickvals=list(range(len(x_texts))), range=[-0.5, len(x_texts) - 0.5],
                            ticktext=x_texts if answer else ["all runs"],
                            title=answer or "", **where)
    return figure


def _runs_table(shell, rows, swept, links):
    statistics_shown = list(DRAWN)
    header = ["run", "replicate", *swept, "seed", *statistics_shown]
    heading = "".join(f'<th class="number">{shell.escape(name.replace("_", " "))}</th>'
                      for name in header)
    body = []
    for row in rows:
        link = links.get(int(row["run_id"]))
        name = shell.escape(row["run_id"])
        cells = [f'<a href="{shell.escape(link)}">{name}</a>' if link else name]
        cells += [shell.escape(row[column]) for column in
                  ["replicate", *swept, "seed", *statistics_shown]]
        body.append("<tr>" + "".join(f'<td class="number">{cell}</td>' for cell in cells)
                    + "</tr>")
    return (f'<div class="wide"><table class="runs sortable"><thead><tr>{heading}</tr></thead>'
            "<tbody>" + "".join(body) + "</tbody></table></div>")


def _answers_list(shell, plan, swept):
    items = []
    for name in NAMES:
        values = ", ".join(shell.escape(v) for v in plan.definition.values[name])
        items.append(f"<li><strong>{shell.escape(name)}</strong>: {values}"
                     + (" (swept)" if name in swept else "") + "</li>")
    return "<ul>" + "".join(items) + "</ul>"


def report(plan, programs, out_path=None):
    """Makes the runs' pages that are missing and the sweep's page. Returns what was made."""
    shell, go, make_subplots = _page_modules(programs)
    rows = _read_runs(os.path.join(plan.root, RUNS_TABLE))
    if not rows:
        raise SweepError(f"{RUNS_TABLE} holds no run: nothing to show")
    made = Made(page=out_path or os.path.join(plan.root, PAGE), runs=len(rows))
    links = _runs_with_pages(plan, programs, rows, made)
    swept = [name for name in NAMES if len(plan.definition.values[name]) > 1]
    charts = [(f"runs-by-{answer}" if answer else "runs",
               answer_chart(go, make_subplots, rows, swept, answer, links))
              for answer in swept or [None]]
    name = os.path.basename(os.path.abspath(plan.root))
    problems = "".join(f"<li>run {shell.escape(run)}: {shell.escape(problem)}</li>"
                       for run, problem in made.problems)
    body = "".join([
        f"<h1>parasim sweep: {shell.escape(name)}</h1>",
        f'<p class="sources">{len(rows)} runs of {plan.run_count} planned, from '
        f"{shell.escape(RUNS_TABLE)}; {plan.definition.replicates} replicates of each "
        f"combination of answers; master seed {plan.definition.master_seed}. "
        f"{shell.library_note()} A click on a run's point or number opens the run's own "
        "page.</p>",
        f"<h2>The answers</h2>{_answers_list(shell, plan, swept)}",
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
        f"sort.</p>{_runs_table(shell, rows, swept, links)}</section>",
    ])
    shell.write_page(made.page, shell.document(f"parasim sweep: {name}", body, charts, SCRIPT))
    return made
