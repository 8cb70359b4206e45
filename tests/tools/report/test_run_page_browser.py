"""The web page of a run (parasim-report --html) opened in headless Chromium with the network
off: no console error and nothing fetched; each chart draws the series and points the
hand-made results file and history call for; hovering names species, label, host and count; a
legend click hides a species; zooming one chart zooms the others; one colour per species; a
screenshot of each page is kept and is not blank."""

import csv
import os
import pathlib
import subprocess
import tempfile
import time

import pytest

import page_browser
import results_file_writer
from parasim_report.species_colours import MOST_NAMED_SPECIES

HERE = pathlib.Path(__file__).resolve().parent

if page_browser.unavailable():
    pytest.skip(f"BROWSER TESTS SKIPPED: {page_browser.unavailable()}", allow_module_level=True)
if not os.environ.get("PARASIM_REPORT_BINARY"):
    pytest.skip("set PARASIM_REPORT_BINARY to parasim-report", allow_module_level=True)

REPORT = os.environ["PARASIM_REPORT_BINARY"]
DATA = HERE / "data"
HISTORY = DATA / "five_species_history"
SCREENSHOTS = pathlib.Path(os.environ.get("PARASIM_SCREENSHOTS") or tempfile.gettempdir())

# What each trace of a chart came to in the page: its legend, and what the browser drew.
CHART_TRACES = """
const chart = document.getElementById("chart-" + arguments[0]);
return chart._fullData.map(function (trace) {
  const group = chart.querySelector(".trace" + CSS.escape(trace.uid));
  return {uid: trace.uid, name: trace.name, group: trace.legendgroup, visible: trace.visible,
          legend: trace.showlegend, drawn: group !== null,
          points: group ? group.querySelectorAll(".point").length : 0,
          fills: group ? group.querySelectorAll("path.js-fill").length : 0};
});
"""
TRACE_DATA = """
const chart = document.getElementById("chart-" + arguments[0]);
const uid = arguments[1];
return chart.data.find(function (trace) { return trace.uid === uid; });
"""


def report(*arguments):
    done = subprocess.run([REPORT, *map(str, arguments)], capture_output=True, text=True)
    assert done.returncode == 0, done.stderr
    return done


def many_species_history(folder, count=100, generations=40):
    """`count` species, all daughters of species 1, three born a generation; species s has s
    parasites on host 1 + s % 3; every fourth dies five generations after its birth."""
    folder.mkdir()
    species, abundance = [], []
    for s in range(1, count + 1):
        born = 1 if s == 1 else 2 + (s - 2) // 3
        last = min(generations, born + 5) if s % 4 == 0 else generations
        species.append((s, s, "" if s == 1 else 1, born, s, last,
                        str(last == generations).lower()))
    for g in range(1, generations + 1):
        for s, label, _, born, _, last, _ in species:
            if born <= g <= last:
                host = 1 + s % 3
                abundance.append((g, s, label, host, (5, 5.5, 4.5)[host - 1], s, 5, 0))
    for name, header, rows in (
            ("species.csv", "species,label,parent,born,size_at_birth,last_seen,extant", species),
            ("abundance.csv", "generation,species,label,host,host_phenotype,count,"
                              "phenotype_mean,phenotype_sd", abundance)):
        (folder / name).write_text(
            header + "\n" + "".join(",".join(map(str, row)) + "\n" for row in rows))


# 30 reported generations, each with 4 species over 100 phenotypes: 12,000 markers, so the
# phenotype chart draws every second reported generation.
THINNED_GENERATIONS = [1] + list(range(10, 300, 10))


def thinned_results(path):
    records = [(g, i / 10, 1, 5.0, species) for g in THINNED_GENERATIONS
               for species in range(1, 5) for i in range(100)]
    path.write_text(results_file_writer.results_text(records), newline="")


@pytest.fixture(scope="module")
def pages(tmp_path_factory):
    folder = tmp_path_factory.mktemp("pages")
    many_species_history(folder / "many")
    thinned_results(folder / "thinned.dat")
    made = {
        "five": ["--history", HISTORY, "--record", DATA / "five_species_record.json",
                 DATA / "five_species_output.dat"],
        "results": [DATA / "four_species_spans.dat"],
        "many": ["--history", folder / "many"],
        "thinned": [folder / "thinned.dat"],
    }
    for name, arguments in made.items():
        report("--html", folder / f"{name}.html", *arguments)
    return {name: folder / f"{name}.html" for name in made}


@pytest.fixture(scope="module")
def browser():
    with page_browser.PageBrowser() as chromium:
        yield chromium


@pytest.fixture()
def five(browser, pages):
    browser.open(pages["five"])
    return browser


def traces(browser, chart):
    return browser.run(CHART_TRACES, chart)


def trace_data(browser, chart, uid):
    return browser.run(TRACE_DATA, chart, uid)


def visibility(browser, chart, uid, wanted):
    """Waits for a trace to become visible (True) or hidden ("legendonly"): plotly holds a
    legend click back for its double-click delay."""
    deadline = time.monotonic() + 5
    while time.monotonic() < deadline:
        if {t["uid"]: t["visible"] for t in traces(browser, chart)}[uid] == wanted:
            return True
        time.sleep(0.05)
    return False


def abundance_rows():
    with open(HISTORY / "abundance.csv", newline="") as table:
        return list(csv.DictReader(table))


@pytest.mark.parametrize("name", ["five", "results", "many", "thinned"])
def test_page_opens_offline_without_errors_and_its_screenshot_is_not_blank(
        browser, pages, name):
    browser.open(pages[name])
    assert browser.errors() == []
    assert browser.fetched() == []
    SCREENSHOTS.mkdir(parents=True, exist_ok=True)
    shot = SCREENSHOTS / f"run-page-{name}.png"
    browser.screenshot(shot)
    coloured, colours = page_browser.ink(shot)
    assert coloured > 0.05, f"{shot}: {coloured:.1%} of the page is not white"
    # Each chart is drawn, not left an empty box.
    for chart, *box in page_browser.chart_regions(browser):
        coloured, colours = page_browser.ink(shot, box)
        assert coloured > 0.02 and colours > 50, (shot, chart, coloured, colours)


def test_phenotype_chart_has_a_marker_per_species_phenotype_and_generation(five):
    drawn = {t["uid"]: t["points"] for t in traces(five, "phenotypes")}
    # Generation 1: 3 founders at 5.0. Generation 10: species 1 (label 1) at 5.0; species 5
    # (label 4) at 4.9 and 5.1; species 2 (label 2) at 5.4 and 5.6; species 4 (label 3) at 5.4
    # and 5.6 on host 2 and at 4.5 on host 3. Species 3 lived between the reports.
    assert drawn == {"species-1": 2, "species-5": 2, "species-2": 2, "species-4": 3}
    hover = trace_data(five, "phenotypes", "species-4")["customdata"]
    assert sorted(hover, key=str) == sorted([
        ["species 4 (label 3)", 10, 6, "host 2 (phenotype 5.5): 6"],
        ["species 4 (label 3)", 10, 6, "host 2 (phenotype 5.5): 6"],
        ["species 4 (label 3)", 10, 1, "host 3 (phenotype 4.5): 1"]], key=str)
    founders = trace_data(five, "phenotypes", "species-1")
    assert founders["y"][0] == 5.0 and founders["customdata"][0][1:] == [
        1, 3, "host 1 (phenotype 5): 3"]


def test_population_chart_shows_every_generation_and_the_reports(five):
    drawn = {t["uid"]: t for t in traces(five, "population")}
    assert set(drawn) == {"parasites-lines", "species-lines", "parasites-lines+markers",
                          "species-lines+markers"}
    assert drawn["parasites-lines+markers"]["points"] == 2
    population = {}
    for row in abundance_rows():
        population[int(row["generation"])] = (population.get(int(row["generation"]), 0)
                                              + int(row["count"]))
    every = trace_data(five, "population", "parasites-lines")
    assert dict(zip(every["x"], every["y"])) == population
    reported = trace_data(five, "population", "parasites-lines+markers")
    assert (reported["x"], reported["y"]) == ([1, 10], [3, 36])


def test_history_charts_draw_each_species(five):
    muller = traces(five, "muller")
    assert sorted(t["uid"] for t in muller) == [f"species-{s}" for s in range(1, 6)]
    assert all(t["drawn"] and t["fills"] == 1 for t in muller)
    # Species 1 holds the whole population, so its band's top at generation 12 is all 41.
    founders = trace_data(five, "muller", "species-1")
    assert max(y for x, y in zip(founders["x"], founders["y"]) if x == 12) == 41

    tree = {t["uid"]: t for t in traces(five, "tree")}
    assert set(tree) == {"splits"} | {f"species-{s}" for s in range(1, 6)}
    assert all(tree[f"species-{s}"]["points"] == 2 for s in range(1, 6))
    daughter = trace_data(five, "tree", "species-4")
    assert daughter["x"][:2] == [8, 12]
    assert daughter["customdata"][0] == (
        "<b>species 4 (label 3)</b><br>born at generation 8 from species 2 (label 2)<br>"
        "11 parasites at birth<br>last generation 12 (alive at the end)")
    assert trace_data(five, "tree", "species-3")["marker"]["symbol"][:2] == ["circle", "x"]

    host_use = traces(five, "host-use")
    pairs = {(row["host"], row["species"]) for row in abundance_rows()}
    assert len(host_use) == len(pairs) and all(t["drawn"] for t in host_use)
    titles = five.run("return Array.from(document.querySelectorAll("
                      "'#chart-host-use .annotation-text')).map(a => a.textContent)")
    assert titles == ["host 3 (phenotype 4.5)", "host 1 (phenotype 5)", "host 2 (phenotype 5.5)"]

    assert [t["name"] for t in traces(five, "lineages")] == [
        "species alive", "lineages of the extant species' tree", "speciation events so far",
        "extinctions so far"]


def test_a_species_has_one_colour_in_every_chart_and_the_table(five):
    colours = five.run("""
      const seen = {};
      function note(group, colour) { (seen[group] = seen[group] || []).push(colour); }
      ["phenotypes", "muller", "tree", "host-use"].forEach(function (name) {
        document.getElementById("chart-" + name)._fullData.forEach(function (trace) {
          if (trace.legendgroup) {
            note(trace.legendgroup, trace.fill === "none" ? trace.marker.color : trace.fillcolor);
          }
        });
      });
      document.querySelectorAll("table.species tbody tr").forEach(function (row) {
        note("species-" + row.cells[0].textContent.trim(),
             row.querySelector(".swatch").style.backgroundColor.replace(/ /g, ""));
      });
      return seen;
    """)
    assert sorted(colours) == [f"species-{s}" for s in range(1, 6)]
    for group, seen in colours.items():
        assert len(set(seen)) == 1, (group, seen)
    assert len({seen[0] for seen in colours.values()}) == 5


def test_a_legend_click_hides_and_shows_a_species(five):
    def points():
        return {t["uid"]: t["points"] for t in traces(five, "phenotypes")}

    toggle = five.driver.execute_script("""
      return Array.from(document.querySelectorAll("#chart-phenotypes .legend .traces"))
        .find(e => e.querySelector(".legendtext").textContent === "species 5 (label 4)")
        .querySelector(".legendtoggle");""")
    toggle.click()
    assert visibility(five, "phenotypes", "species-5", "legendonly")
    assert points() == {"species-1": 2, "species-5": 0, "species-2": 2, "species-4": 3}
    toggle.click()
    assert visibility(five, "phenotypes", "species-5", True)
    assert points()["species-5"] == 2


def test_zooming_the_generations_of_one_chart_zooms_all(five):
    five.run("""return Plotly.relayout(document.getElementById("chart-phenotypes"),
                                       {"xaxis.range": [5, 11]})""")
    ranges = five.run("""return ["muller", "tree", "host-use", "population"].map(
        name => document.getElementById("chart-" + name).layout.xaxis.range)""")
    assert ranges == [[5, 11]] * 4


def test_the_header_shows_the_record_or_says_what_is_not_known(five, browser, pages):
    answers = five.run("return Array.from(document.querySelectorAll('table.answers tr'))"
                       ".map(r => Array.from(r.cells).map(c => c.textContent))")
    assert ["Genome size (loci)", "100"] in answers
    assert ["Maximum genetic differentiation for mate recognition", "0.1"] in answers
    assert ["Generations asked for", "12"] in answers
    outcome = five.run("return document.querySelector('table.outcome').textContent")
    assert "4242 (given with --seed)" in outcome
    browser.open(pages["results"])
    assert "Answers and seed not known." in browser.run(
        "return document.getElementById('run').textContent")


def test_the_species_table_sorts_and_finds(five):
    five.run("document.querySelectorAll('table.species th')[3].click();"
             "document.querySelectorAll('table.species th')[3].click();")
    born = five.run("return Array.from(document.querySelectorAll('table.species tbody tr'))"
                    ".map(r => Number(r.cells[3].textContent))")
    assert born == [9, 8, 5, 3, 1]
    search = five.driver.find_element("id", "species-filter")
    search.send_keys("label 3")
    shown = five.run("return Array.from(document.querySelectorAll('table.species tbody tr'))"
                     ".filter(r => !r.hidden).map(r => r.cells[0].textContent)")
    assert sorted(shown) == ["3", "4"]


def test_a_hundred_species_name_the_largest_and_group_the_rest(browser, pages):
    browser.open(pages["many"])
    legend = browser.run("""return Array.from(document.querySelectorAll(
        "#chart-muller .legend .traces .legendtext")).map(e => e.textContent)""")
    # The named species are those with the most parasites over the run: species s has s a
    # generation from its birth to its last generation.
    weights = {}
    for row in csv.DictReader(open(pages["many"].parent / "many" / "species.csv")):
        lifetime = int(row["last_seen"]) - int(row["born"]) + 1
        weights[int(row["species"])] = int(row["species"]) * lifetime
    largest = sorted(weights, key=lambda s: (-weights[s], s))[:MOST_NAMED_SPECIES]
    assert legend == [f"species {s} (label {s})" for s in largest] + [
        f"other species ({100 - MOST_NAMED_SPECIES}, greys)"]
    browser.driver.execute_script("""
        return Array.from(document.querySelectorAll("#chart-muller .legend .traces"))
          .find(e => e.querySelector(".legendtext").textContent.startsWith("other species"))
          .querySelector(".legendtoggle");""").click()
    assert visibility(browser, "muller", "others", "legendonly")
    after = traces(browser, "muller")
    assert {t["visible"] for t in after if t["group"] == "others"} == {"legendonly"}
    assert {t["visible"] for t in after if t["group"] != "others"} == {True}
    assert browser.run("return document.querySelectorAll('table.species tbody tr').length") == 100


def test_a_large_results_file_is_thinned_by_the_stated_rule(browser, pages):
    browser.open(pages["thinned"])
    drawn = traces(browser, "phenotypes")
    assert sum(t["points"] for t in drawn) == 6000
    generations = browser.run("""
        return Array.from(new Set(document.getElementById("chart-phenotypes").data
          .flatMap(trace => trace.customdata.map(point => point[1])))).sort((a, b) => a - b)""")
    assert generations == THINNED_GENERATIONS[::2]
    note = browser.run("return document.querySelector('#phenotypes .note').textContent")
    assert "12000 markers in all" in note
    assert "k = ceil(markers / 10000) = 2" in note
    assert "15 of 30 reported generations, 6000 markers" in note
