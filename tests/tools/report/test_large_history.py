"""Histories of many species: the Muller plot and host use are built for the named species and
the others summed into bands, which nest as the species do and add up to the population; the
species behind a label is found as a plain search over every species finds it; the figures and
the page are made."""

import os
import subprocess

import numpy as np
import pytest
from history_writer import write_history
from parasim_report import figures, layouts, page
from parasim_report.chart_naming import Naming as ChartNaming
from parasim_report.figure_legends import Naming
from parasim_report.history_charts import tree_chart
from parasim_report.history import load_history
from parasim_report.species_bands import (OTHERS, band_counts, muller_bands, muller_groups,
                                          stacked_groups)
from parasim_report.species_colours import MOST_NAMED_SPECIES

REPORT = os.environ.get("PARASIM_REPORT_BINARY")
SPECIES = 2000

pytestmark = pytest.mark.skipif(not REPORT, reason="set PARASIM_REPORT_BINARY to parasim-report")


@pytest.fixture(scope="module")
def large(tmp_path_factory):
    folder = tmp_path_factory.mktemp("large")
    write_history(folder / "history", SPECIES, generations=300)
    subprocess.run([REPORT, "--history", folder / "history", "--csv", folder / "tables"],
                   check=True, capture_output=True)
    return folder, load_history(folder / "tables")


def population_by_generation(history):
    totals = {}
    for generation, count in zip(history.size_generation.tolist(), history.size_count.tolist()):
        totals[generation] = totals.get(generation, 0) + count
    return np.array([totals.get(g, 0) for g in history.generation.tolist()])


def nearest_named_ancestor(history, species, named):
    """Walks the mothers of a species up to the first named one (0: none)."""
    mother = int(history.parent[species - 1])
    while mother and mother not in named:
        mother = int(history.parent[mother - 1])
    return mother


def test_muller_bands_are_the_named_species_and_the_others_of_each_clade(large):
    _, history = large
    named = set(Naming.of_history(history).colours.named)
    bands = muller_groups(history.parent, sorted(named))
    # One band per named species, one for the others below each of them and one at the root.
    assert len(bands) <= 2 * len(named) + 1 and len(named) == MOST_NAMED_SPECIES
    assert list(bands.key).count(OTHERS) > 1
    for species in range(1, len(history) + 1):
        band = bands.of_species[species - 1]
        if species in named:
            assert bands.key[band] == species
            continue
        assert bands.key[band] == OTHERS
        ancestor = nearest_named_ancestor(history, species, named)
        parent = bands.parent[band]
        assert (bands.key[parent] if parent >= 0 else 0) == ancestor, species
    # Each band comes after the band it nests in.
    assert all(parent < band for band, parent in enumerate(bands.parent) if parent >= 0)

    own = band_counts(bands, history.generation, history.size_generation,
                      history.size_species, history.size_count)
    assert own.shape == (len(bands), len(history.generation))
    population = population_by_generation(history)
    np.testing.assert_array_equal(own.sum(axis=0), population)
    bottom, top = muller_bands(bands, own)
    (root,) = np.flatnonzero(bands.parent == -1)
    np.testing.assert_array_equal(top[root], population)
    np.testing.assert_array_equal(bottom[root], 0)
    for band, parent in enumerate(bands.parent):
        if parent >= 0:
            assert np.all(bottom[band] >= bottom[parent]) and np.all(top[band] <= top[parent])


def test_host_use_stacks_the_named_species_and_one_band_of_others(large):
    _, history = large
    named = Naming.of_history(history).colours.named
    bands = stacked_groups(len(history), named)
    assert list(bands.key) == sorted(named) + [OTHERS]
    for host, _ in layouts.hosts_by_phenotype(history):
        on_host = history.host == host
        counts = band_counts(bands, history.generation, history.host_generation[on_host],
                             history.host_species[on_host], history.host_count[on_host])
        expected = np.zeros(len(history.generation))
        np.add.at(expected, history.host_generation[on_host] - 1, history.host_count[on_host])
        np.testing.assert_array_equal(counts.sum(axis=0), expected)


def species_of_label_one_by_one(history, labels, generations):
    found = np.zeros(len(labels), dtype=np.int64)
    for index in range(len(history)):
        carried = ((labels == history.label[index]) & (generations >= history.born[index])
                   & (generations <= history.last_seen[index]))
        found[carried] = index + 1
    return found


class Carriers:
    """Species as species_of_label sees them: label and lifetime, in order of origin."""

    def __init__(self, rows):
        self.label, self.born, self.last_seen = (np.array(column) for column in zip(*rows))

    def __len__(self):
        return len(self.label)


def labels_given_again(history, labels=7):
    """The history's species with their labels folded onto a few; of the species folded onto
    one label only those that do not live at once, as parasim gives a label again."""
    free_after = {}
    rows = []
    for index in range(len(history)):
        label = int(history.label[index]) % labels + 1
        if history.born[index] > free_after.get(label, 0):
            rows.append((label, int(history.born[index]), int(history.last_seen[index])))
            free_after[label] = int(history.last_seen[index])
    return Carriers(rows)


def test_the_species_of_a_label_is_found_as_a_search_over_every_species_finds_it(large):
    _, history = large
    carriers = labels_given_again(history)
    assert len(carriers) > 50
    rng = np.random.default_rng(5)
    labels = rng.integers(0, 10, 5000)
    generations = rng.integers(0, 310, 5000)
    found = layouts.species_of_label(carriers, labels, generations)
    assert np.count_nonzero(found) > 1000
    np.testing.assert_array_equal(found,
                                  species_of_label_one_by_one(carriers, labels, generations))


def test_figures_and_page_of_many_species(large, capsys):
    folder, history = large
    assert figures.main([str(folder / "tables"), "--out", str(folder / "figures"),
                         "--history"]) == 0
    muller = (folder / "figures" / "muller.svg").read_text()
    named = Naming.of_history(history).colours.named
    assert all(f'id="species-{species}"' in muller for species in named)
    assert 'id="others-1"' in muller and muller.count('id="species-') == len(named)
    assert page.main([str(folder / "tables"), "--out", str(folder / "page.html"),
                      "--history", "history"]) == 0, capsys.readouterr().err
    text = (folder / "page.html").read_text()
    assert f"other species ({SPECIES - MOST_NAMED_SPECIES}, greys)" in text
    assert text.count('<tr data-name="species ') == SPECIES


def test_the_table_of_a_very_large_history_lists_the_largest_species(large, monkeypatch):
    folder, history = large
    monkeypatch.setattr(page, "MOST_LISTED_SPECIES", 500)  # of the 2000
    assert page.main([str(folder / "tables"), "--out", str(folder / "listed.html"),
                      "--history", "history"]) == 0
    text = (folder / "listed.html").read_text()
    listed = [int(row.split("(label")[0]) for row in
              text.split('<tr data-name="species ')[1:]]
    weights = history.parasite_generations
    largest = sorted(range(1, SPECIES + 1), key=lambda s: (-weights[s - 1], s))[:500]
    assert listed == sorted(largest)
    assert f"Of the {SPECIES} species, the 500 largest (by parasites summed) are listed" in text


def test_past_the_detailed_species_the_page_tree_draws_the_named_ones(large, monkeypatch):
    _, history = large
    naming = ChartNaming.of_history(history)
    full = tree_chart(history, naming)
    assert "others" in {trace.legendgroup for trace in full.figure.data}
    monkeypatch.setattr(layouts, "MOST_DETAILED_SPECIES", SPECIES - 1)
    chart = tree_chart(history, naming)
    groups = [trace.legendgroup for trace in chart.figure.data if trace.uid != "splits"]
    assert sorted(groups) == sorted(f"species-{s}" for s in naming.colours.named)
    (splits,) = [trace for trace in chart.figure.data if trace.uid == "splits"]
    named_daughters = [s for s in naming.colours.named if history.parent[s - 1]]
    assert len(splits.x) == 3 * len(named_daughters)
    assert f"only the {MOST_NAMED_SPECIES} named ones are drawn" in chart.note
