"""The web page of a parasim run: one HTML file that opens in any current browser without a
network, plotly.js inlined (Debian's python3-plotly), built from the tables parasim-report
writes. parasim-report --html runs it; it also runs on its own:

    PYTHONPATH=<build>/python /usr/bin/python3 -m parasim_report.page TABLES --out PAGE
        [--results NAME] [--history NAME] [--record RECORD] [--plotly-src PATH]

--results NAME: TABLES holds the tables of the results file NAME (generations.csv, hosts.csv,
host_points.csv); --history NAME: those of the species history NAME (species_history.csv,
species_sizes.csv, host_use.csv, lineages.csv, history_summary.csv, tree.nwk, species_at_end.csv,
species_pairs.csv, divergence_through_time.csv); RECORD is the
run record of parasim --record, whose answers, seed and outcome the page shows. The page holds
plotly.js inside, or with --plotly-src links PATH (relative to the page) instead, a copy of
plotly_library's that several pages share.

The page is put in place whole (see placement): PAGE is either the earlier file or the whole new
page, and a PAGE that is a link, a device, a folder or one of the inputs is refused. SIGTERM or
SIGINT while the page is made leaves no page and no temporary file. Exit status: 0 done, 1 a
malformed table or record (the message names the file), 2 wrong usage, a file that cannot be
read or written, or too little memory.
"""

import argparse
import pathlib
import sys

import numpy as np

from . import columns
from .chart_naming import Naming
from .exit_statuses import REPORT_USAGE_OR_IO
from .history import load_history
from .history_charts import host_use_chart, lineages_chart, muller_chart, tree_chart
from .page_shell import chart_element, document, escape, library_note
from .placement import check_outputs, remove_temporaries_on_signals, write_file
from .report_program import ReportProgram
from .results_charts import load_results, phenotype_chart, population_chart
from .run_record import check_record_against, load_record
from .run_sections import came_to_section, run_section
from .speciation_section import divergence_chart, load_speciation, speciation_section
from .tables import read_single_row_table

PROGRAM = ReportProgram("parasim_report.page")
# The table of species lists at most this many (the largest): 100,000 rows take a browser
# minutes to lay out, a million make a page of hundreds of megabytes.
MOST_LISTED_SPECIES = 10_000


def swatch(colour):
    return f'<span class="swatch" style="background:{colour}"></span>'


def label_rows(results):
    """Per label of the results file: first and last report, reports, the largest count in a
    report and the count summed over the reports."""
    order = np.lexsort((results.point_generation, results.point_label))
    label, generation = results.point_label[order], results.point_generation[order]
    if not len(order):
        return []
    new_report = np.concatenate([[True], (label[1:] != label[:-1])
                                 | (generation[1:] != generation[:-1])])
    starts = np.flatnonzero(new_report)
    per_report = np.add.reduceat(results.point_count[order], starts)
    report_label, report_generation = label[starts], generation[starts]
    firsts = np.flatnonzero(np.concatenate([[True], report_label[1:] != report_label[:-1]]))
    lasts = np.append(firsts[1:], len(starts)) - 1
    return [[int(report_label[first]), int(report_generation[first]),
             int(report_generation[last]), int(last - first + 1), int(largest), int(total)]
            for first, last, largest, total in zip(
                firsts, lasts, np.maximum.reduceat(per_report, firsts),
                np.add.reduceat(per_report, firsts))]


def listed(rows, weight):
    """The rows of the MOST_LISTED_SPECIES largest species by weight (ties by order), in their
    order; all of them when there are no more."""
    if len(rows) <= MOST_LISTED_SPECIES:
        return rows
    chosen = np.sort(np.lexsort((np.arange(len(rows)), -np.asarray(weight)))[:MOST_LISTED_SPECIES])
    return [rows[index] for index in chosen.tolist()]


def species_section(results, history, naming):
    """Every species (up to MOST_LISTED_SPECIES), with its colour: the legends name only the
    largest."""
    if history is not None:
        header = ["species", "label", "mother", "born", "last generation", "lifetime",
                  "at birth", "largest", "at the end", "daughters", "parasites summed"]
        columns_shown = [history.species, history.label, history.parent, history.born,
                         history.last_seen, history.last_seen - history.born + 1,
                         history.size_at_birth, history.peak_count, history.final_count,
                         history.daughters(), history.parasite_generations]
        rows = [(cells[0], [cells[0], cells[1], cells[2] or "", *cells[3:]])
                for cells in zip(*(column.tolist() for column in columns_shown))]
        rows = listed(rows, history.parasite_generations)
        what = ("Every species of the history, in order of origin; a label given again to a "
                "later species is another species.")
        count = len(history)
    else:
        header = ["label", "first report", "last report", "reports", "largest",
                  "parasites summed over the reports"]
        every = label_rows(results)
        rows = listed([(cells[0], cells) for cells in every], [cells[-1] for cells in every])
        what = ("Every species label of the results file. A label can be given again to a new "
                "species after its species died out; without the history the two are one row.")
        count = len(every)
    if len(rows) < count:
        what += (f" Of the {count} species, the {len(rows)} largest (by parasites summed) are "
                 "listed; parasim-report --csv writes every one into its tables.")
    body = "".join(
        f'<tr data-name="{escape(naming.name(key).lower())}"><td>{swatch(naming.colour(key))}'
        f"{escape(cells[0])}</td>"
        + "".join(f"<td>{escape(cell)}</td>" for cell in cells[1:]) + "</tr>"
        for key, cells in rows)
    heading = f"<th>{escape(header[0])}</th>" + "".join(
        f'<th class="number">{escape(cell)}</th>' for cell in header[1:])
    return ('<section id="species"><h2>Species</h2>'
            f'<p class="note">{what} Click a column heading to sort; type a number or '
            '"label N" to find species.</p>'
            '<input type="search" id="species-filter" placeholder="find species, e.g. 12 or '
            'label 3" aria-label="find species">'
            f'<div class="wide"><table class="species numbers sortable"><thead><tr>{heading}</tr>'
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


def build_charts(results, history, speciation=None):
    """The charts of the page, in the order it shows them, and the naming they share."""
    naming = Naming.of_history(history) if history is not None else Naming.of_results(results)
    charts = []
    if results is not None:
        charts.append(phenotype_chart(results, naming, history))
    charts.append(population_chart(results, history))
    if history is not None:
        charts += [muller_chart(history, naming), tree_chart(history, naming),
                   host_use_chart(history, naming), lineages_chart(history)]
    divergence = divergence_chart(speciation) if speciation is not None else None
    if divergence is not None:
        charts.append(divergence)
    return charts, naming


def page_text(results, results_name, history, history_name, summary, record, record_name,
              plotly_src=None, speciation=None):
    charts, naming = build_charts(results, history, speciation)
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
        f'<p class="sources">From the {", ".join(sources)}. {library_note(plotly_src)} Hover for '
        "details, drag to zoom, double-click to zoom out; a click on a legend entry hides or "
        "shows that species.</p>",
        f'<nav><a href="#run">The run</a> <a href="#outcome">Outcome</a> '
        + ('<a href="#speciation">Speciation and divergence</a> ' if speciation else "")
        + f'{navigation} <a href="#species">Species</a></nav>',
        '<p><label><input type="checkbox" id="link-zoom" checked> zoom the generations of '
        "every chart together</label></p>",
        run_section(record, record_name),
        came_to_section(results, results_name, summary, history_name),
        speciation_section(results, summary, speciation) if speciation is not None else "",
        "".join(chart_section(chart) for chart in charts),
        species_section(results, history, naming),
    ])
    return document(f"parasim run: {name}", body,
                    [(chart.name, chart.figure) for chart in charts], SCRIPT, plotly_src)


def input_files(folder, results, history, record):
    """The files the page is made from, which it must not replace."""
    files = []
    if results:
        files += [folder / table.file
                  for table in (columns.GENERATIONS, columns.HOSTS, columns.HOST_POINTS)]
    if history:
        files += [folder / table.file for table in (
            columns.SPECIES_HISTORY, columns.SPECIES_SIZES, columns.HOST_USE, columns.LINEAGES,
            columns.HISTORY_SUMMARY, columns.SPECIES_AT_END, columns.SPECIES_PAIRS,
            columns.DIVERGENCE_THROUGH_TIME)]
        files += [folder / columns.TREE_FILE, folder / columns.EXTANT_TREE_FILE]
    return files + ([pathlib.Path(record)] if record else [])


def main(argv=None):
    parser = argparse.ArgumentParser(prog=PROGRAM.name,
                                     description="The web page of a parasim run.")
    parser.add_argument("folder", help="folder of the tables of parasim-report")
    parser.add_argument("--out", required=True, help="the page to write")
    parser.add_argument("--results", metavar="NAME",
                        help="the folder holds the tables of the results file NAME")
    parser.add_argument("--history", metavar="NAME",
                        help="the folder holds the tables of the species history NAME")
    parser.add_argument("--record", metavar="RECORD", help="the run record (parasim --record)")
    parser.add_argument("--plotly-src", metavar="PATH",
                        help="link plotly.js from PATH, relative to the page, instead of holding "
                        "it inside")
    options, status = PROGRAM.options(parser, argv)
    if options is None:
        return status
    if not options.results and not options.history:
        PROGRAM.say("give --results, --history or both")
        return REPORT_USAGE_OR_IO
    folder = pathlib.Path(options.folder)
    inputs = input_files(folder, options.results, options.history, options.record)

    def make_page():
        check_outputs([options.out], inputs)
        results = load_results(folder) if options.results else None
        history = load_history(folder) if options.history else None
        summary = (read_single_row_table(folder, columns.HISTORY_SUMMARY)
                   if options.history else None)
        speciation = load_speciation(folder) if options.history else None
        record = load_record(options.record) if options.record else None
        if record is not None:
            check_record_against(record, options.record, results, history)
        text = page_text(results, options.results, history, options.history, summary, record,
                         options.record, options.plotly_src, speciation)
        write_file(options.out, text, inputs)

    return PROGRAM.run(make_page, "making the page")


if __name__ == "__main__":
    remove_temporaries_on_signals()
    sys.exit(main())
