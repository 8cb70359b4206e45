"""parasim-explore [--port N] [--bind ADDRESS] [--no-browser] [--report PATH]: a local web
application to watch and steer a run (python3 -m parasim_explore; the launcher parasim-explore
does this). Prints `parasim-explore: open http://127.0.0.1:PORT/?token=TOKEN` and serves until
Ctrl-C or SIGTERM, then stops its run and removes its private folder."""

import argparse
import os
import shutil
import signal
import sys
import tempfile
import threading
import webbrowser

from .access import LOOPBACK, Access, exposed, new_token
from .downloads import Downloads, find_report_program
from .page import page_bytes
from .server import App, ExploreServer
from .session import Session
from .view import Views

LAUNCHER_VARIABLE = "PARASIM_EXPLORE_LAUNCHER"


def parse_arguments(argv):
    parser = argparse.ArgumentParser(
        prog="parasim-explore",
        description="Watch and steer a parasim run in the browser: set the ten answers, run, "
                    "pause, step, download the run so far.")
    parser.add_argument("--port", type=int, default=0,
                        help="the port to serve on (default 0: a free one)")
    parser.add_argument("--bind", default=LOOPBACK, metavar="ADDRESS",
                        help="the address to serve on (default 127.0.0.1: this machine only)")
    parser.add_argument("--no-browser", action="store_true",
                        help="do not open the page in a browser")
    parser.add_argument("--report", metavar="PATH",
                        help="parasim-report, which makes the run's page (default: beside "
                             "this program, or PARASIM_REPORT_BINARY)")
    arguments = parser.parse_args(argv)
    if not 0 <= arguments.port <= 65535:
        parser.error(f"--port takes 0 ... 65535, not {arguments.port}")
    return arguments


def page_address(bind, port, token):
    """The address to open: the bound one, or this machine's for a server on every address."""
    host = LOOPBACK if bind in ("0.0.0.0", "::", "") else bind
    if ":" in host:
        host = f"[{host}]"
    return f"http://{host}:{port}/?token={token}"


def warn_exposed(bind, port):
    print(f"parasim-explore: WARNING: serving on {bind} port {port}, not on this machine "
          "alone: whoever can reach it and has the token can start runs that take this "
          "machine's cores and memory and download their files, and the token and the pages "
          "travel unencrypted (plain HTTP). Use this only on a network you trust.",
          file=sys.stderr, flush=True)


# The run's thread holds the interpreter only for a moment between two generations, but waits
# for it each time; while a request makes charts, the wait would last the interpreter's whole
# switch interval (5 ms, as long as a small run's generation), so it is made short.
SWITCH_SECONDS = 0.0005


def main(argv=None):
    arguments = parse_arguments(argv)
    sys.setswitchinterval(SWITCH_SECONDS)
    report = find_report_program(arguments.report, os.environ.get(LAUNCHER_VARIABLE))
    if arguments.report and report is None:
        print(f"parasim-explore: --report {arguments.report}: not an executable file",
              file=sys.stderr)
        return 2
    folder = tempfile.mkdtemp(prefix="parasim-explore-")
    session = Session(folder)
    try:
        token = new_token()
        try:
            server = ExploreServer((arguments.bind, arguments.port), None)
        except OSError as error:
            print(f"parasim-explore: cannot serve on {arguments.bind} port {arguments.port}: "
                  f"{error.strerror or error}", file=sys.stderr)
            return 2
        port = server.server_address[1]
        server.app = App(Access(token, arguments.bind, port), session, Views(),
                         Downloads(session, folder, report), page_bytes())
        return serve(server, arguments, port, token, report)
    finally:
        session.close()
        shutil.rmtree(folder, ignore_errors=True)


def serve(server, arguments, port, token, report):
    stop = threading.Event()
    for signum in (signal.SIGINT, signal.SIGTERM):
        signal.signal(signum, lambda *_: stop.set())
    serving = threading.Thread(target=server.serve_forever, name="parasim-explore server")
    serving.start()
    try:
        if exposed(arguments.bind):
            warn_exposed(arguments.bind, port)
        if report is None:
            print("parasim-explore: cannot find parasim-report: the run's page cannot be "
                  "downloaded (give its path with --report PATH)", file=sys.stderr)
        address = page_address(arguments.bind, port, token)
        print(f"parasim-explore: open {address}", flush=True)
        if not arguments.no_browser:
            threading.Thread(target=webbrowser.open, args=(address,), daemon=True).start()
        while not stop.wait(0.5):
            pass
    finally:
        server.shutdown()
        serving.join()
        server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
