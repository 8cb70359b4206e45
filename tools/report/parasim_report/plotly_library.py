"""plotly.js, the charting library of every page of parasim's tools (a run's page, a sweep's,
and any other front end's), from this one place.

The library is the minified `plotly.js-dist-min` pinned in tools/report/web/package.json, the
plotly.js version whose figures' JSON Debian's python3-plotly writes; `npm ci` there installs it
(scripts/run and scripts/test do) and the build copies it beside this module as plotly.min.js.
Without it, Debian's own copy (unminified, 8.65 MB) stands in, and library_note says which one
a page holds.

A page either holds the library inside, so that it opens alone from a disk or a mail without a
network, or links a copy beside it (script_element with a src), so that the pages of a sweep
share one copy (place_beside).
"""

import functools
import html
import pathlib
import re

from .placement import write_file

LIBRARY_FILE = "plotly.min.js"
PINNED_COPY = pathlib.Path(__file__).with_name(LIBRARY_FILE)
BANNER_VERSION = re.compile(r"plotly\.js v(\d+\.\d+\.\d+)")


@functools.cache
def library_text():
    """The library's JavaScript: the pinned minified copy, or Debian's."""
    if PINNED_COPY.is_file():
        return PINNED_COPY.read_text(encoding="utf-8")
    from plotly.offline import get_plotlyjs
    return get_plotlyjs()


def library_version(text=None):
    """The version its banner comment names ("2.6.3"), or None without a banner."""
    found = BANNER_VERSION.search((text if text is not None else library_text())[:500])
    return found.group(1) if found else None


def library_note(src=None):
    """What a page says about its charting library."""
    what = (f"plotly.js {library_version()}"
            + (" (minified)" if PINNED_COPY.is_file() else " (Debian's python3-plotly)"))
    if src:
        return (f"Charts by {what}, from {html.escape(src)} beside this page: it needs no "
                "network, but that file with it.")
    return f"Charts by {what}, inside this page: it needs no network."


def script_element(src=None):
    """The page's script element of the library: linking src (a path relative to the page),
    or holding the library inside."""
    if src:
        return f'<script src="{html.escape(src, quote=True)}" charset="utf-8"></script>'
    return f'<script type="text/javascript">{library_text()}</script>'


def place_beside(folder):
    """Puts a copy of the library into folder (put in place whole, as every file) unless the
    same bytes are there already; returns its path."""
    target = pathlib.Path(folder) / LIBRARY_FILE
    text = library_text()
    try:
        if target.is_file() and not target.is_symlink() \
                and target.read_text(encoding="utf-8") == text:
            return target
    except (OSError, UnicodeDecodeError):
        pass  # whatever stands there is checked and replaced by write_file, or refused
    write_file(target, text)
    return target
