"""The part of a run's page on how its species arose and how far apart they are, from the tables
parasim-report writes from a species history: speciation on the mother's host against host
shifts (history_summary.csv), the species alive at the end with their hosts and mating groups
(species_at_end.csv), and, with the history's genetics tables (parasim --genetics-every), the
divergence between extant and between sister species, Hudson's FST of each pair of extant
species (species_pairs.csv), a warning naming each species that spans several mating groups,
and the divergence through time as a chart (divergence_through_time.csv)."""

import pathlib
from dataclasses import dataclass

import plotly.graph_objects as go

from . import columns
from .chart_naming import Chart, new_figure
from .page_shell import escape
from .tables import read_rows

# The page lists at most this many pairs of species (by FST, the least first); species_pairs.csv
# holds every one.
MOST_LISTED_PAIRS = 2000
NEEDS_GENETICS = ("Genetic divergence, FST and mating groups need a run with "
                  "<code>--genetics-every G</code> (with <code>--history</code>): this history "
                  "has no divergence.csv or groups.csv.")


@dataclass
class Speciation:
    at_end: list  # rows of species_at_end.csv, as dictionaries
    pairs: list  # rows of species_pairs.csv
    through_time: list  # rows of divergence_through_time.csv


def load_speciation(folder):
    """The three tables from folder. Raises TableError for a malformed one."""
    folder = pathlib.Path(folder)
    return Speciation(*([row for _, row in read_rows(folder / table.file, table.names,
                                                     table.kinds)]
                        for table in (columns.SPECIES_AT_END, columns.SPECIES_PAIRS,
                                      columns.DIVERGENCE_THROUGH_TIME)))


def divergence_chart(speciation):
    """The mean distance over the pairs of parasites within species and between species at
    each sampled generation; None without the genetics tables."""
    rows = speciation.through_time
    if not rows:
        return None
    figure = new_figure("Genetic divergence through time")
    generations = [row["generation"] for row in rows]
    for key, name, colour in (("mean_within", "within species", "rgb(31,119,180)"),
                              ("mean_between", "between species", "rgb(214,39,40)")):
        pairs = key.replace("mean_", "") + "_pairs"
        figure.add_trace(go.Scatter(
            x=generations, y=[row[key] for row in rows], mode="lines+markers", name=name,
            uid=name, line={"color": colour}, customdata=[row[pairs] for row in rows],
            hovertemplate=(f"generation %{{x}}: %{{y:.2f}} loci over %{{customdata}} pairs of "
                           f"parasites<extra>{name}</extra>")))
    figure.update_xaxes(title="generation")
    figure.update_yaxes(title="mean genetic distance (loci)", rangemode="tozero")
    note = ("The mean genetic distance over every pair of parasites of one species (within) and "
            "of two different species (between), at each generation the history's "
            "divergence.csv samples; a point is missing where there is no such pair.")
    return Chart("divergence", "Genetic divergence through time", figure, note)


def _species(number, label):
    return f"species {number} (label {label})"


def _cell(value, decimals=None):
    if value is None:
        return ""
    if isinstance(value, bool):
        return "yes" if value else "no"
    return f"{value:.{decimals}f}" if decimals is not None else escape(value)


def _table(header, rows):
    heading = "".join(f"<th>{escape(cell)}</th>" for cell in header)
    body = "".join("<tr>" + "".join(f"<td>{cell}</td>" for cell in row) + "</tr>"
                   for row in rows)
    return (f'<div class="wide"><table class="numbers sortable"><thead><tr>{heading}</tr>'
            f"</thead><tbody>{body}</tbody></table></div>")


def _counts_at_end(results, summary):
    """The species at the end counted by the results file's labels beside the history's extant
    species, and why they can differ."""
    if results is None or not len(results.generation):
        return None
    reported, last = int(results.generation[-1]), summary["last_generation"]
    why = ("the same generation, so the same species: each carries one label at a time"
           if reported == last else
           "they differ as their generations do: the results file reports every tenth "
           "generation, the history every one")
    return (f"Species at the end: {int(results.species_count[-1])} labels in the results file "
            f"(generation {reported}) and {summary['species_at_end']} extant species in the "
            f"history (generation {last}); {why}.")


def _genetics_items(summary, speciation):
    if summary["divergence_generation"] is None and summary["groups_generation"] is None:
        return [f'<p class="unknown">{NEEDS_GENETICS}</p>']
    items = []
    if summary["divergence_generation"] is not None:
        between = summary["mean_divergence_between_extant"]
        sisters = summary["mean_sister_divergence"]
        items.append(
            f"<p>At generation {summary['divergence_generation']} (divergence.csv): mean "
            "divergence between extant species "
            + (f"{between:.2f} loci over {len(speciation.pairs)} pairs of species"
               if between is not None else "none (fewer than two extant species sampled)")
            + "; between sister species "
            + (f"{sisters:.2f} loci over {summary['sister_pairs']} pairs of sisters"
               if sisters is not None else "none (no pair of sister species sampled)") + ".</p>")
    if summary["groups_generation"] is not None:
        spanning = [row for row in speciation.at_end if (row["groups"] or 0) > 1]
        if spanning:
            names = ", ".join(f"{_species(row['species'], row['label'])} in {row['groups']} "
                              "groups" for row in spanning)
            items.append(
                f'<p class="unknown"><strong>Warning:</strong> {len(spanning)} species alive at '
                "the end span several mating groups (parasites out of each other's mating "
                f"reach) at generation {summary['groups_generation']} (groups.csv): "
                f"{escape(names)}.</p>")
        else:
            items.append("<p>Each species alive at the end is in one mating group at generation "
                         f"{summary['groups_generation']}.</p>")
    return items


def _pairs_table(speciation):
    if not speciation.pairs:
        return ""
    pairs = sorted(speciation.pairs, key=lambda row: (row["fst"] is None, row["fst"] or 0.0))
    shown = pairs[:MOST_LISTED_PAIRS]
    note = ("Hudson's FST of each pair of extant species: 1 − (mean within A + mean within B) / 2 "
            "/ mean between, the means over the pairs of parasites; empty where a species has a "
            "single parasite.")
    if len(shown) < len(pairs):
        note += (f" Of the {len(pairs)} pairs, the {len(shown)} of least FST are listed; "
                 "species_pairs.csv holds every one.")
    rows = [[escape(row["species_a"]), escape(row["label_a"]), escape(row["species_b"]),
             escape(row["label_b"]), _cell(row["sisters"]), _cell(row["mean_within_a"], 2),
             _cell(row["mean_within_b"], 2), _cell(row["mean_between"], 2), _cell(row["fst"], 4)]
            for row in shown]
    return (f"<details><summary>Hudson's FST of the {len(pairs)} pairs of extant species"
            f'</summary><p class="note">{note}</p>'
            + _table(["species A", "label A", "species B", "label B", "sisters",
                      "within A", "within B", "between", "FST"], rows) + "</details>")


def speciation_section(results, summary, speciation):
    """The section, with its tables; the divergence chart is drawn among the page's charts."""
    items = []
    counts = _counts_at_end(results, summary)
    if counts:
        items.append(f"<p>{escape(counts)}</p>")
    known = summary["daughters_on_parent_host"] + summary["host_shifts"]
    share = (f" ({summary['host_shift_share']:.4f} of the {known} daughters whose hosts are "
             "known)" if summary["host_shift_share"] is not None else "")
    items.append(f"<p>Daughter species that arose on their mother's host: "
                 f"{summary['daughters_on_parent_host']}; by a host shift (mainly on another "
                 f"host): {summary['host_shifts']}{share}.</p>")
    items += _genetics_items(summary, speciation)
    at_end = [[escape(row["species"]), escape(row["label"]), _cell(row["parent"] or None),
               escape(row["born"]), _cell(row["birth_host"] or None), _cell(row["host_shift"]),
               escape(row["hosts"].replace(";", "; ")), escape(row["parasites"]),
               _cell(row["groups"])] for row in speciation.at_end]
    table = ('<h3>Species alive at the end</h3><p class="note">Hosts as host:parasites, the '
             "host with most first; mating groups at the last sampled generation.</p>"
             + _table(["species", "label", "mother", "born", "birth host", "host shift",
                       "hosts", "parasites", "mating groups"], at_end))
    return ('<section id="speciation"><h2>Speciation and divergence</h2>' + "".join(items)
            + table + _pairs_table(speciation) + "</section>")
