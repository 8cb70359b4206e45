"""plotly.js of the pages: the installed copy is the pinned minified one, the example run's page
stays small with it inside, and a page can link a shared copy instead."""

import json
import os
import pathlib
import re
import subprocess

import pytest
from parasim_report import plotly_library
from parasim_report.placement import PlacementError
from plotly.offline import get_plotlyjs

HERE = pathlib.Path(__file__).resolve().parent
ROOT = HERE.parents[2]
WEB = ROOT / "tools" / "report" / "web"
REPORT = os.environ.get("PARASIM_REPORT_BINARY")
PARASIM = os.environ.get("PARASIM_BINARY")
# The example run's page, plotly.js inside, must stay below this (docs/after-a-run.md).
EXAMPLE_PAGE_LIMIT = 4_500_000


def test_the_installed_library_is_the_pinned_version():
    assert plotly_library.PINNED_COPY.is_file(), (
        f"{plotly_library.PINNED_COPY} is missing: run 'npm ci' in {WEB} (scripts/lib.sh's "
        "set-up does) and build again")
    pinned = json.loads((WEB / "package.json").read_text())["dependencies"]["plotly.js-dist-min"]
    locked = json.loads((WEB / "package-lock.json").read_text())
    assert locked["packages"]["node_modules/plotly.js-dist-min"]["version"] == pinned
    installed = plotly_library.PINNED_COPY.read_text(encoding="utf-8")
    assert plotly_library.library_version(installed) == pinned
    assert plotly_library.library_text() == installed
    # The figures' JSON is written by Debian's python3-plotly for its own plotly.js: the same
    # major version reads it.
    debian = plotly_library.library_version(get_plotlyjs())
    assert pinned.split(".")[0] == debian.split(".")[0], (pinned, debian)


def report(*arguments, cwd=None):
    return subprocess.run([REPORT, *map(str, arguments)], capture_output=True, text=True,
                          cwd=cwd)


needs_programs = pytest.mark.skipif(not (REPORT and PARASIM),
                                    reason="set PARASIM_REPORT_BINARY and PARASIM_BINARY")


@needs_programs
def test_the_example_run_page_holds_the_library_and_stays_small(tmp_path):
    with open(ROOT / "examples" / "default.txt", "rb") as answers:
        run = subprocess.run([PARASIM, "--seed", "42", "--history", "history", "--record",
                              "record.json"], cwd=tmp_path, stdin=answers, capture_output=True)
    assert run.returncode == 0, run.stderr
    done = report("--html", "report.html", "--history", "history", "--record", "record.json",
                  "Output.dat", cwd=tmp_path)
    assert done.returncode == 0, done.stderr
    page = (tmp_path / "report.html").read_text(encoding="utf-8")
    assert plotly_library.library_text() in page
    assert "<script src=" not in page
    size = (tmp_path / "report.html").stat().st_size
    assert size < EXAMPLE_PAGE_LIMIT, f"the example run's page is {size} bytes"


@needs_programs
def test_a_page_links_a_shared_copy_with_plotly_src(tmp_path):
    results = HERE / "data" / "five_species_output.dat"
    done = report("--html", tmp_path / "page.html", "--plotly-src", "../shared/plotly.min.js",
                  results)
    assert done.returncode == 0, done.stderr
    page = (tmp_path / "page.html").read_text(encoding="utf-8")
    assert re.findall(r"<script src=\"([^\"]*)\"", page) == ["../shared/plotly.min.js"]
    assert "plotly.js v" not in page  # the library itself is not inside
    assert "from ../shared/plotly.min.js beside this page" in page
    done = report("--plotly-src", "plotly.min.js", results)
    assert done.returncode == 2
    assert "--plotly-src tells the page where plotly.js is: it goes with --html" in done.stderr


def test_a_shared_copy_is_written_once_and_never_through_a_link(tmp_path):
    placed = plotly_library.place_beside(tmp_path)
    assert placed.read_text(encoding="utf-8") == plotly_library.library_text()
    stamp = placed.stat().st_mtime_ns
    assert plotly_library.place_beside(tmp_path) == placed
    assert placed.stat().st_mtime_ns == stamp  # the same bytes are left as they are
    placed.write_text("an older library")
    plotly_library.place_beside(tmp_path)
    assert placed.read_text(encoding="utf-8") == plotly_library.library_text()

    elsewhere = tmp_path / "elsewhere"
    elsewhere.mkdir()
    target = tmp_path / "mine.js"
    target.write_text("mine")
    (elsewhere / plotly_library.LIBRARY_FILE).symlink_to(target)
    with pytest.raises(PlacementError):
        plotly_library.place_beside(elsewhere)
    assert target.read_text() == "mine"
