"""parasim-explore's page in headless Chromium, which reaches the server on 127.0.0.1 and nothing
else: the form starts from the example answers; a refused answer shows the console program's
words beside it; a run of the example answers goes to its end, and the Output.dat its link
downloads is the console program's for the same answers and seed; every chart has drawn points;
Pause, then Step, moves the run by exactly one generation; a screenshot is not blank."""

import base64
import os
import pathlib
import shutil
import tempfile
import time

import pytest

import page_browser
from explore_server import ExploreServer, console_run
from parasim_explore.run_request import EXAMPLE_ANSWERS

if page_browser.unavailable():
    pytest.skip(f"BROWSER TESTS SKIPPED: {page_browser.unavailable()}", allow_module_level=True)

SCREENSHOTS = pathlib.Path(os.environ.get("PARASIM_SCREENSHOTS") or tempfile.gettempdir())
WAIT_SECONDS = 120

# What each chart drew: plotly's markers, filled areas and lines.
DRAWN = """
const chart = document.getElementById("chart-" + arguments[0]);
return {points: chart.querySelectorAll(".point").length,
        fills: chart.querySelectorAll(".scatterlayer path.js-fill").length,
        lines: chart.querySelectorAll(".scatterlayer path.js-line").length};
"""
DOWNLOAD = """
const done = arguments[arguments.length - 1];
fetch(document.querySelector('a.download[data-name="' + arguments[0] + '"]').href)
  .then(function (response) { return response.arrayBuffer(); })
  .then(function (buffer) {
    let text = "";
    new Uint8Array(buffer).forEach(function (byte) { text += String.fromCharCode(byte); });
    done(btoa(text));
  }, function (error) { done("failed: " + error); });
"""


def text_of(browser, element_id):
    return browser.run("return document.getElementById(arguments[0]).textContent", element_id)


def wait_for(browser, test, what):
    deadline = time.monotonic() + WAIT_SECONDS
    while not test():
        if time.monotonic() > deadline:
            raise AssertionError(f"{what}: not in {WAIT_SECONDS} s; the page says "
                                 f"{text_of(browser, 'status')!r}")
        time.sleep(0.05)


def type_answer(browser, name, text):
    field = browser.driver.find_element("id", "answer-" + name)
    field.clear()
    field.send_keys(text)


def click(browser, button):
    browser.driver.find_element("id", button).click()


@pytest.fixture(scope="module")
def page(tmp_path_factory):
    folder = tmp_path_factory.mktemp("explore-page")
    with ExploreServer(folder) as server, page_browser.PageBrowser(loopback=True) as browser:
        browser.driver.get(server.address)
        wait_for(browser, lambda: browser.run("return document.body.dataset.ready") == "true",
                 "the page's first state")
        yield server, browser
        # The browser reports each refusal the tests ask for as a failed load; nothing else.
        assert [error for error in browser.errors()
                if "/api/run - Failed to load resource: the server responded with a status of "
                   "400" not in error] == []


def test_the_form_starts_from_the_example_answers(page):
    _, browser = page
    values = browser.run("""return Array.from(document.querySelectorAll("#answers input[name]"))
                              .map(function (input) { return [input.name, input.value]; });""")
    assert values == [[name, repr(value)] for name, value in EXAMPLE_ANSWERS.items()]
    labels = browser.run("return Array.from(document.querySelectorAll('#answers label'))"
                         ".map(function (label) { return label.textContent; });")
    assert labels[0] == "Genome size" and labels[7] == "Carrying capacity"


def test_a_refused_answer_shows_its_message_beside_it(page):
    _, browser = page
    type_answer(browser, "host_count", "five")
    click(browser, "run")
    wait_for(browser, lambda: text_of(browser, "refusal-host_count"), "the refusal")
    assert text_of(browser, "refusal-host_count") == "Bad integer for item 1 in list input"
    assert "refused" in browser.driver.find_element("id", "answer-host_count").get_attribute(
        "class")
    assert text_of(browser, "phase") == "no run yet"
    type_answer(browser, "host_count", "0")
    click(browser, "run")
    wait_for(browser, lambda: "at least 1" in text_of(browser, "refusal-host_count"),
             "the second refusal")
    assert text_of(browser, "refusal-host_count") == ("The number of hosts must be at least 1, "
                                                      "not 0")
    type_answer(browser, "host_count", str(EXAMPLE_ANSWERS["host_count"]))


def test_a_run_to_the_end_draws_its_charts_and_downloads_the_console_programs_file(
        page, tmp_path):
    server, browser = page
    type_answer(browser, "seed", "42")
    click(browser, "run")
    wait_for(browser, lambda: text_of(browser, "phase").startswith("finished"), "the end")
    assert text_of(browser, "refusal-host_count") == ""
    assert text_of(browser, "generation") == str(EXAMPLE_ANSWERS["generations"])
    # The charts through time follow within a poll or two.
    wait_for(browser, lambda: browser.run(DRAWN, "tree")["points"] > 0, "the tree")
    drawn = {name: browser.run(DRAWN, name)
             for name in ("parasites", "host_use", "population", "muller", "tree")}
    assert drawn["parasites"]["points"] > 10, drawn
    assert drawn["host_use"]["points"] >= EXAMPLE_ANSWERS["host_count"], drawn
    assert drawn["population"]["lines"] == 2, drawn
    assert drawn["muller"]["fills"] > 0, drawn
    downloaded = browser.driver.execute_async_script(DOWNLOAD, "Output.dat")
    assert not downloaded.startswith("failed"), downloaded
    console = console_run(tmp_path / "console", EXAMPLE_ANSWERS, 42)
    assert base64.b64decode(downloaded) == (console / "Output.dat").read_bytes()

    shot = SCREENSHOTS / "explore.png"
    shot.parent.mkdir(parents=True, exist_ok=True)
    browser.screenshot(shot)
    share, colours = page_browser.ink(shot)
    assert share > 0.05 and colours > 20, (share, colours)
    docs_shot = os.environ.get("PARASIM_EXPLORE_DOCS_SHOT")
    if docs_shot:  # the README's picture, made again on demand
        shutil.copyfile(shot, docs_shot)


def test_pause_then_step_moves_the_run_by_one_generation(page):
    _, browser = page
    type_answer(browser, "generations", "100000")
    click(browser, "run")
    wait_for(browser, lambda: text_of(browser, "phase").startswith("running")
             and int(text_of(browser, "generation")) > 3, "the run going")
    click(browser, "pause")
    wait_for(browser, lambda: text_of(browser, "phase").startswith("paused"), "the pause")
    paused = int(text_of(browser, "generation"))
    for step in (1, 2):
        click(browser, "step")
        wait_for(browser, lambda: int(text_of(browser, "generation")) == paused + step,
                 f"step {step}")
    time.sleep(1.5)  # a poll or more later, the run has not moved on by itself
    assert int(text_of(browser, "generation")) == paused + 2
    assert text_of(browser, "phase").startswith("paused")
