"""The HTML document around parasim's web pages (a run's, by parasim_report.page; a sweep's, by
parasim-sweep report): plotly.js from plotly_library, inside the page or linked beside it, so
that the page opens without a network; the charts as plotly figures in JSON, drawn when the page
opens; tables sorted by a click on a column heading. Each page is put in place by
placement.write_file.

When every chart is drawn, the page calls the function it was given (`after`) with the chart
elements and sets `data-ready="true"` on its body, which tells a reader or a test that the page
is complete ("failed" when plotly refused a chart, with the error on the console).
"""

import html
import json

import plotly.io as pio

from .plotly_library import library_note, script_element

__all__ = ["chart_element", "charts_json", "document", "escape", "library_note"]

STYLE = """
body { font-family: system-ui, sans-serif; margin: 0 auto; max-width: 1200px; padding: 0 1em;
       color: #222; }
h1 { font-size: 1.5em; margin-bottom: 0.2em; }
h2 { font-size: 1.2em; border-bottom: 1px solid #ccc; margin-top: 1.6em; }
h3 { font-size: 1em; }
.sources, .note { color: #555; font-size: 0.9em; }
.unknown { background: #fff4d6; border: 1px solid #e0c070; padding: 0.6em; }
nav a { margin-right: 1em; }
.columns { display: flex; flex-wrap: wrap; gap: 2em; }
table { border-collapse: collapse; font-size: 0.9em; }
td, th { padding: 2px 8px; border-bottom: 1px solid #eee; text-align: left; }
td.number, th.number, table.numbers td + td { text-align: right; }
table.sortable th { cursor: pointer; user-select: none; }
table.sortable th[data-order="ascending"]::after { content: " \\25B2"; }
table.sortable th[data-order="descending"]::after { content: " \\25BC"; }
.swatch { display: inline-block; width: 0.9em; height: 0.9em; margin-right: 0.4em;
          vertical-align: middle; border: 1px solid #888; }
.chart { width: 100%; min-height: 400px; }
input[type=search] { margin: 0.5em 0; padding: 0.3em; width: 20em; }
.wide { overflow-x: auto; }
pre { background: #f6f6f6; padding: 0.6em; overflow-x: auto; }
.count { border-bottom: 1px dotted #888; cursor: help; }
"""

DRAW_SCRIPT = """
function drawCharts(after) {
  "use strict";
  const charts = JSON.parse(document.getElementById("parasim-charts").textContent);
  const config = {responsive: true, displaylogo: false};
  const elements = charts.map(function (chart) {
    return document.getElementById("chart-" + chart.name);
  });
  Promise.all(charts.map(function (chart, i) {
    return Plotly.newPlot(elements[i], chart.figure.data, chart.figure.layout, config);
  })).then(function () {
    after(elements);
    document.body.dataset.ready = "true";
  }, function (error) {
    document.body.dataset.ready = "failed";
    console.error(error);
  });
}

// A click on a column heading sorts the rows by that column, numbers as numbers; a second
// click turns the order round.
function sortableTables() {
  "use strict";
  document.querySelectorAll("table.sortable").forEach(function (sortable) {
    const body = sortable.tBodies[0];
    sortable.querySelectorAll("th").forEach(function (heading, column) {
      heading.addEventListener("click", function () {
        const ascending = heading.dataset.order !== "ascending";
        sortable.querySelectorAll("th").forEach(function (other) {
          delete other.dataset.order;
        });
        heading.dataset.order = ascending ? "ascending" : "descending";
        const value = function (row) {
          const text = row.cells[column].textContent.trim();
          const number = Number(text);
          return text !== "" && !isNaN(number) ? number : text;
        };
        Array.from(body.rows).sort(function (a, b) {
          const x = value(a);
          const y = value(b);
          const order = typeof x === typeof y ? (x < y ? -1 : x > y ? 1 : 0)
                                              : (typeof x === "number" ? -1 : 1);
          return ascending ? order : -order;
        }).forEach(function (row) {
          body.appendChild(row);
        });
      });
    });
  });
}
"""


def escape(value):
    return html.escape(str(value), quote=True)


def chart_element(name):
    """The element a chart named `name` is drawn into."""
    return f'<div class="chart" id="chart-{escape(name)}"></div>'


def charts_json(charts):
    """The charts, (name, plotly figure) pairs, as JSON to sit inside a script element: no
    "<" in it can end the element early."""
    text = "[" + ",".join(
        f'{{"name":{json.dumps(name)},"figure":'
        f"{pio.to_json(figure, validate=False, remove_uids=False)}}}"
        for name, figure in charts) + "]"
    return text.replace("<", "\\u003c")


def document(title, body, charts, script, plotly_src=None):
    """The whole page: body (HTML), the charts drawn into their elements, then script, which
    calls drawCharts(after) and may call sortableTables(). plotly.js is inside the page, or
    linked from plotly_src (a path relative to the page)."""
    return "".join([
        '<!DOCTYPE html>\n<html lang="en"><head><meta charset="utf-8">',
        '<meta name="viewport" content="width=device-width, initial-scale=1">',
        f"<title>{escape(title)}</title><style>{STYLE}</style>",
        f"{script_element(plotly_src)}</head><body>",
        body,
        f'<script type="application/json" id="parasim-charts">{charts_json(charts)}</script>',
        f"<script>{DRAW_SCRIPT}{script}</script></body></html>\n",
    ])

