"""Figures of a parasim run, drawn from the tables that `parasim-report --csv DIR` writes.

    PYTHONPATH=<build>/python /usr/bin/python3 -m parasim_report.figures DIR [--out OUT]
        [--results] [--history]

writes into OUT (DIR when not given), each as PNG and SVG. From the tables of a results file
(generations.csv, hosts.csv, points.csv; --results):

  phenotypes   parasite phenotype against generation. Each row of points.csv (the parasites
               of one species sharing a phenotype in a generation) is one marker, its area
               proportional to the number of parasites (a key gives the scale); species that
               share a phenotype in a generation are set side by side, and the smaller
               species are drawn over the larger. Every host phenotype is a dashed line.
               When points.csv has more than 10000 rows, only every k-th reported generation
               is drawn, k = ceil(rows / 10000), and the title says so.
  population   population size (above) and number of species (below) against generation.

From the tables of a species history (species_history.csv, species_sizes.csv, host_use.csv,
lineages.csv; --history):

  tree         the species tree against generations: a line per species from its birth to its
               last generation, a link from its mother where it split off, x where it died out.
  muller       a Muller plot: the parasites of each species over time, daughters inside their
               mothers; the other species (those not named) summed into grey bands.
  host_use     one panel per host, in phenotype order, the parasites of each named species
               stacked, the other species summed on top.
  lineages     lineages through time on a log scale: species alive, lineages of the extant
               species' tree, speciation events and extinctions so far.

Without --results or --history, every set whose tables are in DIR is drawn. With a history,
the phenotype figure colours each species as the history figures do (labels given again to a
later species are told apart). Each species keeps one colour in every figure; the 30 largest
are named in the legends, the others are greys and share the entry "other species".

Nothing is drawn at random, and the files come out byte for byte the same from the same tables.
Every file is put in place whole (see placement): a figure may not stand where a table is read,
nor at a link, a device or a folder. Exit status: 0 done, 1 a malformed table (the message gives
FILE:LINE), 2 wrong usage, a file that cannot be read or written, or too little memory.
"""

import argparse
import pathlib
import sys

import matplotlib.pyplot as plt

from . import columns
from .exit_statuses import REPORT_USAGE_OR_IO
from .figure_legends import Naming
from .history import load_history
from .history_figures import host_use_figure, lineages_figure, muller_figure, tree_figure
from .placement import check_outputs, remove_temporaries_on_signals, write_file
from .report_program import ReportProgram
from .results_figures import load_tables, phenotype_figure, population_figure

PROGRAM = ReportProgram("parasim_report.figures")
RESULTS_TABLES = (columns.GENERATIONS, columns.HOSTS, columns.POINTS)
HISTORY_TABLES = (columns.SPECIES_HISTORY, columns.SPECIES_SIZES, columns.HOST_USE,
                  columns.LINEAGES)
RESULTS_FIGURES = ("phenotypes", "population")
HISTORY_FIGURES = ("tree", "muller", "host_use", "lineages")
# PNG and SVG without the date or version stamps that would vary.
FORMATS = (("png", {"Software": None}), ("svg", {"Date": None, "Creator": None}))


def save_figure(figure, folder, stem):
    """Puts stem.png and stem.svg in place."""
    for suffix, metadata in FORMATS:
        write_file(pathlib.Path(folder) / f"{stem}.{suffix}",
                   lambda stream: figure.savefig(stream, format=suffix, metadata=metadata))
    plt.close(figure)


def planned_files(folder, out, results, history):
    """The tables read and the figures written, for the check before anything is drawn."""
    tables = [*(RESULTS_TABLES if results else ()), *(HISTORY_TABLES if history else ())]
    stems = [*(RESULTS_FIGURES if results else ()), *(HISTORY_FIGURES if history else ())]
    inputs = [folder / table.file for table in tables]
    if history:
        inputs += [folder / columns.TREE_FILE, folder / columns.EXTANT_TREE_FILE]
    outputs = [out / f"{stem}.{suffix}" for stem in stems for suffix, _ in FORMATS]
    return inputs, outputs


def draw(folder, out, results, history):
    """Draws the chosen figure sets from the tables in folder into out."""
    out.mkdir(parents=True, exist_ok=True)
    inputs, outputs = planned_files(folder, out, results, history)
    check_outputs(outputs, inputs)
    history_tables = load_history(folder) if history else None
    naming = Naming.of_history(history_tables) if history else None
    if results:
        tables = load_tables(folder)
        save_figure(phenotype_figure(tables, naming, history_tables), out, "phenotypes")
        save_figure(population_figure(tables), out, "population")
    if history:
        save_figure(tree_figure(history_tables, naming), out, "tree")
        save_figure(muller_figure(history_tables, naming), out, "muller")
        save_figure(host_use_figure(history_tables, naming), out, "host_use")
        save_figure(lineages_figure(history_tables), out, "lineages")


def main(argv=None):
    parser = argparse.ArgumentParser(
        prog=PROGRAM.name,
        description="Figures of a parasim run from the tables of parasim-report --csv.")
    parser.add_argument("folder", help="folder of the tables")
    parser.add_argument("--out", help="folder for the figures (default: the tables' folder)")
    parser.add_argument("--results", action="store_true",
                        help="draw the figures of a results file's tables")
    parser.add_argument("--history", action="store_true",
                        help="draw the figures of a species history's tables")
    options, status = PROGRAM.options(parser, argv)
    if options is None:
        return status
    folder = pathlib.Path(options.folder)
    results, history = options.results, options.history
    if not results and not history:
        results = (folder / columns.GENERATIONS.file).is_file()
        history = (folder / columns.SPECIES_HISTORY.file).is_file()
        if not results and not history:
            PROGRAM.say(f"{folder} holds no tables of parasim-report")
            return REPORT_USAGE_OR_IO
    return PROGRAM.run(
        lambda: draw(folder, pathlib.Path(options.out or options.folder), results, history),
        "drawing the figures")


if __name__ == "__main__":
    remove_temporaries_on_signals()
    sys.exit(main())
