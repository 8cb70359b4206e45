#!/usr/bin/python3
"""How long parasim's web pages take to open: each page opened in headless Chromium (Debian's
chromium, chromium-driver and python3-selenium, the network off) a few times, from the start of
navigation until the page has drawn every chart, as the page's own clock measures it.

    PYTHONPATH=tests/tools /usr/bin/python3 bench/page_load.py PAGE... [--times N]

Prints per page its size in MB and the fastest, median and slowest of N opens (default 5) in
seconds. The first open of a fresh browser is counted like the others.
"""

import argparse
import os
import statistics
import sys

import page_browser  # tests/tools, on PYTHONPATH


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("pages", nargs="+")
    parser.add_argument("--times", type=int, default=5)
    options = parser.parse_args()
    missing = page_browser.unavailable()
    if missing:
        print(f"page_load.py: {missing}", file=sys.stderr)
        return 2
    print(f"{'page':<40} {'MB':>7} {'fastest_s':>10} {'median_s':>9} {'slowest_s':>10}")
    with page_browser.PageBrowser() as browser:
        for page in options.pages:
            seconds = [browser.open(page) for _ in range(options.times)]
            print(f"{page:<40} {os.path.getsize(page) / 1e6:7.2f} {min(seconds):10.2f} "
                  f"{statistics.median(seconds):9.2f} {max(seconds):10.2f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
