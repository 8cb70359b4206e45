"""The files of the run so far, made for a download in a folder of their own inside the
server's private folder (removed once sent):

- Output.dat: the results file the run writes as it goes with the console program's writer, so
  byte for byte the console program's file for the same answers and seed once the run ends;
- history.zip: the species history the run writes as it goes (species.csv, abundance.csv,
  run.json), as parasim --history lays it out, in a folder history/;
- checkpoint: the simulation's whole state (parasim.Simulation.from_checkpoint goes on from it);
- genomes.vcf.gz: every parasite's genome now, as parasim --genomes writes it;
- report.html: the run's page as parasim-report --html makes it from the results file and
  the history, with the run record once the run has ended.

The run's own files are copied between two generations, by the run's thread; the zip and the
page are made from the copies, while the run goes on.
"""

import os
import shutil
import subprocess
import tempfile
import zipfile

from .session import HISTORY_FOLDER, RESULTS_FILE

REPORT_SECONDS = 600

KINDS = {
    "Output.dat": "text/plain; charset=us-ascii",
    "history.zip": "application/zip",
    "checkpoint": "application/octet-stream",
    "genomes.vcf.gz": "application/gzip",
    "report.html": "text/html; charset=utf-8",
}


class DownloadError(Exception):
    """A download that could not be made, and why."""


def find_report_program(explicit=None, launcher=None):
    """parasim-report: given (None when that is no executable file), else in
    PARASIM_REPORT_BINARY, or in the build tree beside the launcher
    (<build>/tools/explore/parasim-explore finds <build>/tools/report/parasim-report). None
    when it is nowhere."""
    candidates = [explicit] if explicit else [os.environ.get("PARASIM_REPORT_BINARY")]
    if launcher and not explicit:
        here = os.path.dirname(launcher)
        candidates += [os.path.join(here, "parasim-report"),
                       os.path.join(here, "..", "report", "parasim-report")]
    for candidate in candidates:
        if candidate and os.path.isfile(candidate) and os.access(candidate, os.X_OK):
            return os.path.abspath(candidate)
    return None


def _zip_folder(folder, target):
    name = os.path.basename(folder)
    with zipfile.ZipFile(target, "w", zipfile.ZIP_DEFLATED) as archive:
        for file in sorted(os.listdir(folder)):
            archive.write(os.path.join(folder, file), f"{name}/{file}")


class Downloads:
    def __init__(self, session, folder, report_program):
        self._session = session
        self._folder = folder
        self._report_program = report_program

    def make(self, name):
        """(folder, file) of a new download: the caller sends the file and removes the folder.
        Raises KeyError for no such download, session.Refused before the first run, and
        DownloadError for a page that parasim-report could not make."""
        if name not in KINDS:
            raise KeyError(name)
        folder = tempfile.mkdtemp(prefix="download-", dir=self._folder)
        try:
            return folder, self._make(name, folder)
        except BaseException:
            shutil.rmtree(folder, ignore_errors=True)
            raise

    def _make(self, name, folder):
        target = os.path.join(folder, name)
        if name == "history.zip":
            self._session.collect(folder, HISTORY_FOLDER)
            _zip_folder(os.path.join(folder, HISTORY_FOLDER), target)
        elif name == "report.html":
            self._report(folder, target)
        else:
            self._session.collect(folder, name)
        return target

    def _report(self, folder, target):
        if self._report_program is None:
            raise DownloadError("the run's page is made by parasim-report, which was not found: "
                                "give its path with --report PATH")
        written = self._session.collect(folder, RESULTS_FILE, HISTORY_FOLDER, "record.json")
        command = [self._report_program, "--html", target, "--history",
                   os.path.join(folder, HISTORY_FOLDER)]
        if "record.json" in written:
            command += ["--record", os.path.join(folder, "record.json")]
        command.append(os.path.join(folder, RESULTS_FILE))
        try:
            done = subprocess.run(command, stdin=subprocess.DEVNULL, capture_output=True,
                                  text=True, timeout=REPORT_SECONDS, cwd=folder)
        except (OSError, subprocess.TimeoutExpired) as error:
            raise DownloadError(f"parasim-report could not make the page: {error}") from None
        if done.returncode != 0:
            raise DownloadError(f"parasim-report could not make the page: "
                                f"{done.stderr.strip()}")
