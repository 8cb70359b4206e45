"""Finding parasim and parasim-report: given on the command line, in the environment, or in
the build tree beside this tool (the launcher <build>/tools/sweep/parasim-sweep finds
<build>/src/app/parasim and <build>/tools/report/parasim-report; so does this package in
<build>/python/parasim_sweep when run as python3 -m parasim_sweep)."""

import os
import subprocess
import sys

from .errors import SweepError

# Set by the launcher parasim-sweep to its own path.
LAUNCHER_VARIABLE = "PARASIM_SWEEP_LAUNCHER"


def tool_folder():
    """The folder the programs are looked for from: the launcher's, or this package's."""
    launcher = os.environ.get(LAUNCHER_VARIABLE)
    return os.path.dirname(launcher) if launcher else os.path.dirname(os.path.abspath(__file__))


def sweep_command():
    """The command that runs this parasim-sweep again, for the listing of `commands`."""
    launcher = os.environ.get(LAUNCHER_VARIABLE)
    if launcher and os.access(launcher, os.X_OK):
        return [launcher]
    packages = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    return ["env", f"PYTHONPATH={packages}", sys.executable, "-P", "-m", "parasim_sweep"]


def _usable(path):
    return os.path.isfile(path) and os.access(path, os.X_OK)


def find_program(name, explicit, option, variable, tool_folder, relative_places):
    """The absolute path of a program, and whether the user named it (then it is passed on
    to the commands that parasim-sweep prints)."""
    if explicit:
        source = option
        path = explicit
    elif os.environ.get(variable):
        source = variable
        path = os.environ[variable]
    else:
        for place in relative_places:
            candidate = os.path.normpath(os.path.join(tool_folder, place))
            if _usable(candidate):
                return os.path.abspath(candidate), False
        raise SweepError(
            f"cannot find {name} beside parasim-sweep (looked in "
            + ", ".join(os.path.normpath(os.path.join(tool_folder, p)) for p in relative_places)
            + f"); give its path with {option} PATH or {variable}")
    if not _usable(path):
        raise SweepError(f"{name} given by {source} is not an executable file: {path}")
    return os.path.abspath(path), True


class Programs:
    """The programs one sweep command uses; each is looked for when first needed."""

    def __init__(self, tool_folder, parasim=None, report=None):
        self.tool_folder = tool_folder
        self._parasim_option = parasim
        self._report_option = report
        self._parasim = None
        self._report = None
        self._help = None

    def parasim(self):
        if self._parasim is None:
            self._parasim = find_program("parasim", self._parasim_option, "--parasim",
                                         "PARASIM_BINARY", self.tool_folder,
                                         ("parasim", "../../src/app/parasim"))
        return self._parasim[0]

    def parasim_was_named(self):
        self.parasim()
        return self._parasim[1]

    def report(self):
        if self._report is None:
            self._report = find_program("parasim-report", self._report_option, "--report",
                                        "PARASIM_REPORT_BINARY", self.tool_folder,
                                        ("parasim-report", "../report/parasim-report",
                                         "../../tools/report/parasim-report"))
        return self._report[0]

    def _parasim_help(self):
        if self._help is None:
            try:
                shown = subprocess.run([self.parasim(), "--help"], stdin=subprocess.DEVNULL,
                                       capture_output=True, text=True, timeout=30)
                self._help = shown.stdout + shown.stderr
            except (OSError, subprocess.SubprocessError):
                self._help = ""
        return self._help

    def supports_checkpoints(self):
        """Whether this parasim writes checkpoints and resumes from them (older builds do not;
        their runs are simply started again after an interruption)."""
        text = self._parasim_help()
        return "--resume" in text and "--checkpoint-every" in text

    def supports_history(self):
        """Whether this parasim keeps a species history (older builds do not; their runs are
        collected without the history's columns)."""
        return "--history DIR" in self._parasim_help()
