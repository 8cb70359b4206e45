"""The exit statuses of parasim's programs, named once for every Python tool that reports or
reads them."""

# parasim, the simulation.
PARASIM_DONE = 0  # the run went through (also when the population died out early)
PARASIM_OUT_OF_MEMORY = 1
PARASIM_BAD_INPUT = 2  # an answer, an option, a file refused; also a checkpoint it cannot resume

# parasim-report, and its figure and page modules.
REPORT_DONE = 0
REPORT_MALFORMED_TABLE = 1  # a malformed results file, history or table (FILE:LINE)
REPORT_USAGE_OR_IO = 2  # wrong usage, a file that cannot be read or written, failed figures

# parasim-sweep.
SWEEP_OK = 0
SWEEP_RUNS_FAILED = 1  # the command worked, but one or more runs did not
SWEEP_BAD_INPUT = 2  # bad command line, sweep file, folder or program
SWEEP_SIGNALLED_BASE = 128  # run stopped by signal n: 128 + n


def stopped_by(signum):
    """The status of a sweep stopped by a signal, as a shell reports it."""
    return SWEEP_SIGNALLED_BASE + signum
