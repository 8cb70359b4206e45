"""The one kind of failure the sweep commands report, with the exit status it ends in."""

# Exit statuses of parasim-sweep.
EXIT_OK = 0
EXIT_RUNS_FAILED = 1  # the command worked, but one or more runs did not
EXIT_BAD_INPUT = 2  # bad command line, sweep file, folder or program


class SweepError(Exception):
    """A failure the user can act on: the message is shown as it stands."""

    def __init__(self, message, status=EXIT_BAD_INPUT):
        super().__init__(message)
        self.message = message
        self.status = status
