"""Headless Chromium for the tests of parasim's web pages, driven through Debian's chromium,
chromium-driver and python3-selenium, with the network switched off.

    with PageBrowser() as browser:
        browser.open(path)            # waits until the page says its charts are drawn
        browser.wait_until_ready(path)  # the same for a page a click opened
        browser.errors()              # console messages of level SEVERE
        browser.run("return ...")     # JavaScript in the page
        browser.screenshot(png_path)  # the whole page

`unavailable()` says why no browser can be started here (None when one can).
`PageBrowser(loopback=True)` reaches a server on 127.0.0.1 (parasim-explore's) and still
nothing else: names resolve to nothing and every other address goes to a proxy that is not
there.
"""

import base64
import importlib.util
import os
import pathlib
import shutil
import tempfile
import time

CHROMIUM_PROGRAMS = ("/usr/lib/chromium/chromium", "/usr/bin/chromium")
CHROMEDRIVER = "/usr/bin/chromedriver"
WINDOW = (1280, 900)
READY_SECONDS = 60


def chromium_program():
    for program in CHROMIUM_PROGRAMS:
        if os.access(program, os.X_OK):
            return program
    return None


def unavailable():
    """Why the browser tests cannot run here, or None."""
    if importlib.util.find_spec("selenium") is None:
        return "python3-selenium is not installed"
    if chromium_program() is None:
        return "chromium is not installed"
    if not os.access(CHROMEDRIVER, os.X_OK):
        return "chromium-driver is not installed"
    return None


class PageBrowser:
    def __init__(self, loopback=False):
        self.loopback = loopback
        self.profile = None
        self.driver = None

    def __enter__(self):
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service

        self.profile = tempfile.mkdtemp(prefix="parasim-chromium-")
        options = webdriver.ChromeOptions()
        options.binary_location = chromium_program()
        for argument in ("--headless=new", "--no-sandbox", "--disable-gpu",
                         "--disable-dev-shm-usage", "--disable-background-networking",
                         "--disable-component-update", "--disable-sync", "--no-first-run",
                         "--disable-extensions", "--disable-default-apps",
                         # Nothing reaches a network: no name resolves, no proxy answers.
                         "--host-resolver-rules=MAP * ~NOTFOUND"
                         + (", EXCLUDE 127.0.0.1" if self.loopback else ""),
                         "--proxy-server=http://127.0.0.1:9",
                         "--proxy-bypass-list=" + ("127.0.0.1" if self.loopback
                                                   else "<-loopback>"),
                         f"--window-size={WINDOW[0]},{WINDOW[1]}",
                         f"--user-data-dir={self.profile}"):
            options.add_argument(argument)
        options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
        # The browser is no program of ours: the sanitizer runtime that a test of the
        # instrumented Python module preloads is kept out of it.
        environment = {name: value for name, value in os.environ.items()
                       if name not in ("LD_PRELOAD", "ASAN_OPTIONS")}
        self.driver = webdriver.Chrome(service=Service(CHROMEDRIVER, env=environment),
                                       options=options)
        if not self.loopback:
            self.driver.execute_cdp_cmd("Network.enable", {})
            self.driver.execute_cdp_cmd("Network.emulateNetworkConditions", {
                "offline": True, "latency": 0, "downloadThroughput": -1, "uploadThroughput": -1})
        return self

    def __exit__(self, *_):
        if self.driver is not None:
            self.driver.quit()
        shutil.rmtree(self.profile, ignore_errors=True)
        return False

    def open(self, path):
        """Opens the page and waits until it has drawn its charts; returns the seconds from
        the start of navigation to then, as the page measured them."""
        self.driver.get(pathlib.Path(path).resolve().as_uri())
        return self.wait_until_ready(path)

    def wait_until_ready(self, path):
        """Waits until the browser shows the page at path (opened by a link, say) and the page
        has drawn its charts."""
        uri = pathlib.Path(path).resolve().as_uri()
        deadline = time.monotonic() + READY_SECONDS
        while True:
            ready = self.run("return location.href === arguments[0] && document.body && "
                             "document.body.dataset.ready || null", uri)
            if ready == "true":
                return self.run("return performance.now() / 1000")
            if ready == "failed":
                raise AssertionError(f"{path}: the page failed to draw its charts: "
                                     f"{self.errors()}")
            if time.monotonic() > deadline:
                raise AssertionError(f"{path}: the charts were not drawn in {READY_SECONDS} s")
            time.sleep(0.05)

    def run(self, script, *arguments):
        return self.driver.execute_script(script, *arguments)

    def errors(self):
        """The console messages of level SEVERE since the last call."""
        return [entry["message"] for entry in self.driver.get_log("browser")
                if entry["level"] == "SEVERE"]

    def fetched(self):
        """What the page fetched besides itself (scripts, styles, images, data)."""
        return self.run("return performance.getEntriesByType('resource').map(e => e.name)")

    def screenshot(self, path):
        """The whole page, however tall, as a PNG."""
        height = self.run("return Math.ceil(document.documentElement.scrollHeight)")
        shot = self.driver.execute_cdp_cmd("Page.captureScreenshot", {
            "format": "png", "captureBeyondViewport": True,
            "clip": {"x": 0, "y": 0, "width": WINDOW[0], "height": height, "scale": 1}})
        pathlib.Path(path).write_bytes(base64.b64decode(shot["data"]))


def chart_regions(browser):
    """The box of each chart on the page (its id, left, top, right, bottom), in the pixels of
    a whole-page screenshot."""
    return browser.run("""
      return Array.from(document.querySelectorAll(".chart")).map(function (chart) {
        const box = chart.getBoundingClientRect();
        return [chart.id, Math.round(box.left + scrollX), Math.round(box.top + scrollY),
                Math.round(box.right + scrollX), Math.round(box.bottom + scrollY)];
      });""")


def ink(path, box=None):
    """The share of the screenshot (or of a box of it) that is not white, and its number of
    distinct colours, from the PNG's pixels (read with Pillow, which matplotlib brings)."""
    from PIL import Image

    with Image.open(path) as image:
        pixels = image.convert("RGB")
        if box is not None:
            pixels = pixels.crop(box)
        colours = pixels.getcolors(maxcolors=1 << 24)
        total = pixels.width * pixels.height
    white = sum(count for count, colour in colours if min(colour) >= 250)
    return (total - white) / total, len(colours)
