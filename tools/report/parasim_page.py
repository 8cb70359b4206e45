#!/usr/bin/python3
"""The web page of a parasim run: one HTML file that opens in any current browser without a
network, plotly.js inlined (Debian's python3-plotly), built from the tables parasim-report
writes. parasim-report --html runs it; it also runs on its own:

    /usr/bin/python3 parasim_page.py TABLES --out PAGE [--results NAME] [--history NAME]
                                     [--record RECORD]

--results NAME: TABLES holds the tables of the results file NAME (generations.csv, hosts.csv,
host_points.csv); --history NAME: those of the species history NAME (species_history.csv,
species_sizes.csv, host_use.csv, lineages.csv, history_summary.csv, tree.nwk); RECORD is the
run record of parasim --record, whose answers, seed and outcome the page shows.

The page is written under a temporary name beside PAGE and renamed, so PAGE is either the
earlier file or the whole new page. Exit status: 0 done, 1 a malformed table or record (the
message names the file), 2 wrong usage or a file that cannot be read or written.
"""

import argparse
import csv
import json
import pathlib
import sys

import parasim_history as ph
import parasim_page_charts as charts_of
from parasim_history import TableError
from parasim_page_shell import chart_element, document, escape, library_note, write_page

ANSWERS = (
    ("genome_size", "Genome size (loci)"),
    ("max_differentiation", "Maximum genetic differentiation for mate recognition"),
    ("mutation_rate", "Mutation rate (per locus)"),
    ("max_offspring", "Maximum number of offspring per parent"),
    ("dispersal_prob", "Dispersal probability"),
    ("host_count", "Number of hosts"),
    ("host_distance", "Distance between hosts (standard deviation units)"),
    ("carrying_capacity", "Carrying capacity"),
    ("survival_sd", "Standard deviation of the survival function"),
    ("generations", "Generations asked for"),
)
SUMMARY_COLUMNS = [
    "first_generation", "last_generation", "species_total", "speciation_events", "extinctions",
    "first_split_generation", "mean_extinct_lifetime", "species_at_end", "min_size",
    "species_at_end_min_size", "population_at_end", "hosts_occupied_at_end", "extant_tree_tips",
    "colless_index", "colless_normalised", "gamma",
]


class RecordError(Exception):
    """A run record that is not one parasim writes, or not of the run the tables show."""


def load_record(path):
    try:
        with open(path, encoding="utf-8") as stream:
            record = json.load(stream)
    except (ValueError, UnicodeDecodeError) as error:
        raise RecordError(f"{path}: not a run record of parasim (not JSON: {error})") from None
    parameters = record.get("parameters") if isinstance(record, dict) else None
    if not isinstance(parameters, dict) or any(name not in parameters for name, _ in ANSWERS):
        raise RecordError(f"{path}: not a run record of parasim (no parameters with the ten "
                          "answers)")
    if not isinstance(record.get("derived", {}), dict):
        raise RecordError(f"{path}: not a run record of parasim (derived is not an object)")
    return record


def last_report(generations_run, interval):
    """The last generation a run of that many generations reports (1 and every interval-th),
    or None for a run of no generation."""
    if generations_run < 1:
        return None
    return max(1, generations_run - generations_run % interval)


def check_record_against(record, path, results, history):
    """Refuses a record of another run than the tables', where the record can tell."""
    run = record.get("generations_run")
    if not isinstance(run, int) or record.get("exit_status") != 0:
        return
    if results is not None and len(results.generation):
        last = int(results.generation[-1])
        interval = record.get("derived", {}).get("report_interval")
        if not isinstance(interval, int) or interval < 1:
            interval = 10  # every run reports every tenth generation
        expected = last_report(run, interval)
        died_out = record.get("died_out") is True
        if last > run or (not died_out and last != expected):
            raise RecordError(
                f"{path}: the record is of a run of {run} generations, whose last report is "
                f"not generation {last} of the results file: are they of the same run?")
    if history is not None and len(history.generation) and int(history.generation[-1]) > run:
        raise RecordError(
            f"{path}: the record is of a run of {run} generations, but the history goes on to "
            f"generation {int(history.generation[-1])}: are they of the same run?")


def load_history_summary(folder):
    path = folder / "history_summary.csv"
    with open(path, newline="", encoding="ascii") as stream:
        rows = list(csv.reader(stream))
    if len(rows) != 2 or rows[0] != SUMMARY_COLUMNS or len(rows[1]) != len(SUMMARY_COLUMNS):
        raise TableError(f"{path}:1: not the header row {','.join(SUMMARY_COLUMNS)} and one row")
    return dict(zip(rows[0], rows[1]))


def answer_text(value):
    """An answer as the record holds it; reals in the shortest form that reads back the same
    (the record writes 0.1 as 0.10000000000000001)."""
    return repr(value) if isinstance(value, float) else str(value)


def table(rows, header=None, cls=None):
    """An HTML table of rows of cells already escaped."""
    out = [f'<table class="{cls}">' if cls else "<table>"]
    if header:
        out.append("<thead><tr>" + "".join(f"<th>{cell}</th>" for cell in header)
                   + "</tr></thead>")
    out.append("<tbody>")
    out += ["<tr>" + "".join(f"<td>{cell}</td>" for cell in row) + "</tr>" for row in rows]
    out.append("</tbody></table>")
    return "".join(out)


def run_section(record, record_name):
    """The ten answers, the seed and the outcome, from the record; or what is not known."""
    if record is None:
        return ('<section id="run"><h2>The run</h2><p class="unknown"><strong>Answers and seed '
                "not known.</strong> The results file and the history do not hold the ten "
                "answers or the seed of the run. Run parasim with <code>--record FILE</code> "
                "and give that record to parasim-report with <code>--record FILE</code> to show "
                "them here.</p></section>")
    parameters = record["parameters"]
    answers = table([(escape(question), escape(answer_text(parameters[name])))
                     for name, question in ANSWERS], ["answer", "value"], "answers")
    derived = record.get("derived", {})
    outcome = []
    seed = record.get("tick_count")
    if seed is not None:
        source = {"option": "given with --seed", "clock": "from the clock"}.get(
            record.get("seed_source"), record.get("seed_source", ""))
        outcome.append(("seed", f"{escape(seed)} ({escape(source)})"))
    run = record.get("generations_run")
    if run is not None:
        ended = ("the population died out" if record.get("died_out")
                 else "every generation asked for was run")
        outcome.append(("generations run", f"{escape(run)} ({ended})"))
    for key, what in (("final_population", "population at the end"),
                      ("final_species", "species at the end")):
        if record.get(key) is not None:
            outcome.append((what, escape(record[key])))
    status = record.get("exit_status")
    if status is not None:
        text = "0 (completed)" if status == 0 else f"{status}: {record.get('error') or ''}"
        outcome.append(("exit status", escape(text)))
    for key, what in (("start_time", "started"), ("end_time", "ended"),
                      ("wall_seconds", "seconds"), ("version", "parasim version")):
        if record.get(key) is not None:
            value = record[key]
            outcome.append((what, escape(f"{value:.2f}" if isinstance(value, float) else value)))
    outcome += [(escape(name.replace("_", " ")), escape(value))
                for name, value in derived.items()]
    return ('<section id="run"><h2>The run</h2><div class="columns">'
            f"<div><h3>The ten answers</h3>{answers}</div>"
            f'<div><h3>Seed and outcome</h3>{table(outcome, None, "outcome")}</div></div>'
            f"<details><summary>The run record ({escape(record_name)})</summary><pre>"
            f"{escape(json.dumps(record, indent=2))}</pre></details></section>")


def came_to_section(results, results_name, summary, history_name):
    items = []
    if results is not None:
        if len(results.generation):
            items.append(
                f"{escape(results_name)} reports {len(results.generation)} generations, from "
                f"{results.generation[0]} to {results.generation[-1]}; at generation "
                f"{results.generation[-1]}: {results.population[-1]} parasites of "
                f"{results.species_count[-1]} species.")
        else:
            items.append(f"{escape(results_name)} reports no generation.")
    if summary is not None:
        first_split = (f"generation {summary['first_split_generation']}"
                       if summary["first_split_generation"] else "none")
        lifetime = (f"{float(summary['mean_extinct_lifetime']):.1f} generations"
                    if summary["mean_extinct_lifetime"] else "none died out")
        shape = ""
        if summary["colless_index"]:
            gamma = f"{float(summary['gamma']):.4f}" if summary["gamma"] else "undefined"
            shape = (f"; tree of the extant species: {summary['extant_tree_tips']} tips, "
                     f"Colless index {summary['colless_index']} (normalised "
                     f"{float(summary['colless_normalised']):.4f}), gamma {gamma}")
        items.append(
            f"The species history ({escape(history_name)}) covers generations "
            f"{summary['first_generation']} to {summary['last_generation']}: "
            f"{summary['species_total']} species in all, {summary['speciation_events']} "
            f"speciation events, {summary['extinctions']} extinctions; first split: "
            f"{first_split}; mean lifetime of extinct species: {lifetime}; "
            f"{summary['species_at_end']} species alive at the end "
            f"({summary['species_at_end_min_size']} with at least {summary['min_size']} "
            f"parasites), {summary['population_at_end']} parasites on "
            f"{summary['hosts_occupied_at_end']} hosts{shape}.")
    return ('<section id="outcome"><h2>What the run came to</h2><ul>'
            + "".join(f"<li>{item}</li>" for item in items) + "</ul></section>")


def swatch(colour):
    return f'<span class="swatch" style="background:{colour}"></span>'


def species_section(results, history, naming):
    """Every species, with its colour: the legends name only the largest."""
    rows = []
    if history is not None:
        daughters = history.daughters()
        header = ["species", "label", "mother", "born", "last generation", "lifetime",
                  "at birth", "largest", "at the end", "daughters", "parasites summed"]
        for index, species in enumerate(history.species):
            rows.append((int(species), [
                species, history.label[index], history.parent[index] or "",
                history.born[index], history.last_seen[index],
                history.last_seen[index] - history.born[index] + 1,
                history.size_at_birth[index], history.peak_count[index],
                history.final_count[index], len(daughters[index]),
                history.parasite_generations[index]]))
        what = ("Every species of the history, in order of origin; a label given again to a "
                "later species is another species.")
    else:
        header = ["species", "first report", "last report", "reports", "largest",
                  "parasites summed over the reports"]
        for label in sorted(naming.names):
            chosen = results.point_label == label
            per_report = {}
            for g, n in zip(results.point_generation[chosen], results.point_count[chosen]):
                per_report[int(g)] = per_report.get(int(g), 0) + int(n)
            rows.append((label, [label, min(per_report), max(per_report), len(per_report),
                                 max(per_report.values()), sum(per_report.values())]))
        what = ("Every species label of the results file. A label can be given again to a new "
                "species after its species died out; without the history the two are one row.")
    body = "".join(
        f'<tr data-name="{escape(naming.names[key].lower())}"><td>{swatch(naming.colour(key))}'
        f"{escape(cells[0])}</td>"
        + "".join(f'<td class="number">{escape(cell)}</td>' for cell in cells[1:]) + "</tr>"
        for key, cells in rows)
    heading = f"<th>{escape(header[0])}</th>" + "".join(
        f'<th class="number">{escape(cell)}</th>' for cell in header[1:])
    return ('<section id="species"><h2>Species</h2>'
            f'<p class="note">{what} Click a column heading to sort; type a number or '
            '"label N" to find species.</p>'
            '<input type="search" id="species-filter" placeholder="find species, e.g. 12 or '
            'label 3" aria-label="find species">'
            f'<div class="wide"><table class="species sortable"><thead><tr>{heading}</tr>'
            f"</thead><tbody>{body}</tbody></table></div></section>")


def chart_section(chart):
    return (f'<section id="{chart.name}"><h2>{escape(chart.title)}</h2>'
            f'<p class="note">{escape(chart.note)}</p>{chart_element(chart.name)}</section>')


# Zooming the generations of one chart zooms those of every chart, while the box is ticked;
# the species table is sorted by a click on a heading and searched by species name.
SCRIPT = """
drawCharts(function (elements) {
  "use strict";
  const linked = document.getElementById("link-zoom");
  let following = false;
  elements.forEach(function (source) {
    source.on("plotly_relayout", function (change) {
      if (following || !linked.checked) {
        return;
      }
      const update = {};
      Object.keys(change).forEach(function (key) {
        const range = key.match(/^xaxis[0-9]*\\.range(\\[[01]\\])?$/);
        if (range) {
          update["xaxis.range" + (range[1] || "")] = change[key];
        } else if (/^xaxis[0-9]*\\.autorange$/.test(key)) {
          update["xaxis.autorange"] = change[key];
        }
      });
      if (Object.keys(update).length === 0) {
        return;
      }
      following = true;
      Promise.all(elements.filter(function (other) {
        return other !== source;
      }).map(function (other) {
        return Plotly.relayout(other, update);
      })).then(function () {
        following = false;
      }, function () {
        following = false;
      });
    });
  });
});
sortableTables();
(function () {
  "use strict";
  // Finds species by the name the charts give them, "species 12 (label 9)".
  const filter = document.getElementById("species-filter");
  filter.addEventListener("input", function () {
    const words = filter.value.trim().toLowerCase();
    document.querySelectorAll("table.species tbody tr").forEach(function (row) {
      row.hidden = words !== "" && row.dataset.name.indexOf(words) < 0;
    });
  });
})();
"""


def page_text(results, results_name, history, history_name, summary, record, record_name):
    charts, naming = charts_of.build_charts(results, history)
    name = results_name or history_name
    sources = []
    if results_name:
        sources.append(f"results file {escape(results_name)}")
    if history_name:
        sources.append(f"species history {escape(history_name)}")
    if record_name:
        sources.append(f"run record {escape(record_name)}")
    navigation = " ".join(f'<a href="#{chart.name}">{escape(chart.title)}</a>'
                          for chart in charts)
    body = "".join([
        f"<h1>parasim run: {escape(name)}</h1>",
        f'<p class="sources">From the {", ".join(sources)}. {library_note()} Hover for '
        "details, drag to zoom, double-click to zoom out; a click on a legend entry hides or "
        "shows that species.</p>",
        f'<nav><a href="#run">The run</a> <a href="#outcome">Outcome</a> {navigation} '
        '<a href="#species">Species</a></nav>',
        '<p><label><input type="checkbox" id="link-zoom" checked> zoom the generations of '
        "every chart together</label></p>",
        run_section(record, record_name),
        came_to_section(results, results_name, summary, history_name),
        "".join(chart_section(chart) for chart in charts),
        species_section(results, history, naming),
    ])
    return document(f"parasim run: {name}", body,
                    [(chart.name, chart.figure) for chart in charts], SCRIPT)


def main(argv=None):
    parser = argparse.ArgumentParser(prog="parasim_page.py",
                                     description="The web page of a parasim run.")
    parser.add_argument("folder", help="folder of the tables of parasim-report")
    parser.add_argument("--out", required=True, help="the page to write")
    parser.add_argument("--results", metavar="NAME",
                        help="the folder holds the tables of the results file NAME")
    parser.add_argument("--history", metavar="NAME",
                        help="the folder holds the tables of the species history NAME")
    parser.add_argument("--record", metavar="RECORD", help="the run record (parasim --record)")
    try:
        options = parser.parse_args(argv)
    except SystemExit as stop:
        return 0 if stop.code == 0 else 2
    if not options.results and not options.history:
        print("parasim_page.py: give --results, --history or both", file=sys.stderr)
        return 2
    folder = pathlib.Path(options.folder)
    try:
        results = charts_of.load_results(folder) if options.results else None
        history = ph.load_history(folder) if options.history else None
        summary = load_history_summary(folder) if options.history else None
        record = load_record(options.record) if options.record else None
        if record is not None:
            check_record_against(record, options.record, results, history)
        text = page_text(results, options.results, history, options.history, summary, record,
                         options.record)
        write_page(options.out, text)
    except (TableError, RecordError, csv.Error, UnicodeDecodeError) as error:
        print(f"parasim_page.py: {error}", file=sys.stderr)
        return 1
    except OSError as error:
        print(f"parasim_page.py: {error}", file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main())
