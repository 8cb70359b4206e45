"""parasim-report --html without a browser: the page holds its charting library and fetches
nothing, comes out the same bytes from the same inputs, and is refused, leaving an earlier page
whole and no partial file, when the record is not one or is of another run."""

import json
import os
import pathlib
import re
import shutil
import subprocess

import pytest

HERE = pathlib.Path(__file__).resolve().parent
DATA = HERE / "data"
RESULTS = DATA / "five_species_output.dat"
HISTORY = DATA / "five_species_history"
RECORD = DATA / "five_species_record.json"
REPORT = os.environ.get("PARASIM_REPORT_BINARY")

pytestmark = pytest.mark.skipif(not REPORT, reason="set PARASIM_REPORT_BINARY to parasim-report")


def report(*arguments):
    return subprocess.run([REPORT, *map(str, arguments)], capture_output=True, text=True)


def test_the_page_holds_its_library_and_comes_out_the_same(tmp_path):
    pages = []
    for name in ("first.html", "second.html"):
        done = report("--html", tmp_path / name, "--history", HISTORY, "--record", RECORD,
                      RESULTS)
        assert done.returncode == 0, done.stderr
        pages.append((tmp_path / name).read_text(encoding="utf-8"))
    assert pages[0] == pages[1]
    page = pages[0]
    # plotly.js inside the page, and no element that would load anything from elsewhere.
    assert "plotly.js v" in page and "Plotly.newPlot" in page
    assert re.search(r"<(script|link|img|iframe)[^>]*\b(src|href)=", page) is None
    # The summary goes to standard output as with the other outputs.
    assert done.stdout.startswith(str(RESULTS))
    assert sorted(p.name for p in tmp_path.iterdir()) == ["first.html", "second.html"]


def test_a_page_named_by_a_link_is_refused_like_every_output(tmp_path):
    target = tmp_path / "pages" / "run.html"
    target.parent.mkdir()
    target.write_text("an earlier page", encoding="utf-8")
    link = tmp_path / "latest.html"
    link.symlink_to(target)
    done = report("--html", link, RESULTS)
    assert done.returncode == 2
    assert "it is a symbolic link, whose target would be replaced" in done.stderr
    assert link.is_symlink() and os.readlink(link) == str(target)
    assert target.read_text(encoding="utf-8") == "an earlier page"
    assert sorted(p.name for p in tmp_path.iterdir()) == ["latest.html", "pages"]


def record_with(tmp_path, **changes):
    record = json.loads(RECORD.read_text())
    record.update(changes)
    path = tmp_path / "record.json"
    path.write_text(json.dumps(record))
    return path


def text_record(tmp_path, text):
    path = tmp_path / "record.json"
    path.write_text(text)
    return path


@pytest.mark.parametrize("make_record, message", [
    (lambda folder: text_record(folder, "{not json"), "not a run record of parasim (not JSON"),
    (lambda folder: record_with(folder, parameters={"genome_size": 100}),
     "not a run record of parasim (no parameters with the ten answers)"),
    (lambda folder: record_with(folder, generations_run=300),
     "the record is of a run of 300 generations, whose last report is not generation 10"),
    (lambda folder: record_with(folder, generations_run=11),
     "the history goes on to generation 12: are they of the same run?"),
])
def test_a_record_that_is_not_one_or_of_another_run_leaves_the_earlier_page(
        tmp_path, make_record, message):
    inputs = tmp_path / "inputs"
    inputs.mkdir()
    record = make_record(inputs)
    page = tmp_path / "report.html"
    page.write_text("the earlier page")
    done = report("--html", page, "--history", HISTORY, "--record", record, RESULTS)
    assert done.returncode == 2
    assert message in done.stderr
    assert "the page module" in done.stderr
    assert page.read_text() == "the earlier page"
    assert sorted(p.name for p in tmp_path.iterdir()) == ["inputs", "report.html"]


def test_results_and_history_of_different_runs_are_refused(tmp_path):
    done = report("--html", tmp_path / "report.html", "--history", HISTORY,
                  DATA / "four_species_spans.dat")
    assert done.returncode == 1
    assert "the history and the results file are not of one run" in done.stderr
    assert list(tmp_path.iterdir()) == []


def test_a_record_of_a_run_that_died_out_early_is_taken(tmp_path):
    # A run of 25 generations reports generation 20 last, unless it died out before.
    record = record_with(tmp_path, generations_run=25, died_out=True)
    shutil.copy(RESULTS, tmp_path / "Output.dat")
    done = report("--html", tmp_path / "report.html", "--record", record,
                  tmp_path / "Output.dat")
    assert done.returncode == 0, done.stderr
    assert "the population died out" in (tmp_path / "report.html").read_text()


def test_the_two_counts_at_the_end_are_named_with_their_moments(tmp_path):
    record = record_with(tmp_path, last_generation_population=41)
    page_path = tmp_path / "report.html"
    done = report("--html", page_path, "--history", HISTORY, "--record", record, RESULTS)
    assert done.returncode == 0, done.stderr
    page = page_path.read_text(encoding="utf-8")
    counts = dict(re.findall(r'<span class="count" title="([^"]*)">([^<]*)</span>', page))
    final = ("final_population: the survivors after the last generation run, as the run record "
             "counts them (generation 12)")
    at_start = ("last_generation_population: the parasites at the start of the last generation "
                "run, after its labelling, as the species history counts them (generation 12)")
    assert counts == {final: "final_population (survivors after generation 12)",
                      at_start: "last_generation_population (at the start of generation 12, "
                                "after its labelling)"}
    # each count beside its name: the record's 44 survivors, the history's 41 at the start
    assert re.search(r"survivors after generation 12\)</span></td><td>44<", page)
    assert re.search(r"after its labelling\)</span></td><td>41<", page)
    assert re.search(r"after its labelling\)</span>: 41 parasites on 3 hosts", page)


def charts_of(page):
    found = re.search(r'<script type="application/json" id="parasim-charts">(.*?)</script>', page,
                      re.S)
    return {chart["name"]: chart["figure"] for chart in json.loads(found.group(1))}


# A results file knows labels only: without a history the page names each by its label; with
# one, by the history's species number and the label it carries.
@pytest.mark.parametrize("history, headings, names", [
    (None, ["label", "first report"], {"label 1", "label 2", "label 3", "label 4"}),
    (HISTORY, ["species", "label"], {"species 1 (label 1)", "species 2 (label 2)",
                                     "species 4 (label 3)", "species 5 (label 4)"}),
])
def test_the_page_names_a_label_as_label_and_a_species_as_species(tmp_path, history, headings,
                                                                  names):
    arguments = ["--history", history] if history else []
    done = report("--html", tmp_path / "report.html", *arguments, RESULTS)
    assert done.returncode == 0, done.stderr
    page = (tmp_path / "report.html").read_text(encoding="utf-8")
    table = re.search(r'<table class="species[^>]*><thead><tr>(.*?)</tr>', page).group(1)
    assert re.findall(r"<th[^>]*>([^<]*)</th>", table)[:2] == headings
    assert names <= set(re.findall(r'<tr data-name="([^"]*)">', page))
    phenotypes = charts_of(page)["phenotypes"]
    hovered = {point[0] for trace in phenotypes["data"] for point in trace["customdata"]}
    assert hovered == names
    assert {trace["name"] for trace in phenotypes["data"]} == names
