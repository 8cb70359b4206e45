"""The one kind of failure the sweep commands report, with the exit status it ends in."""

from parasim_report.exit_statuses import SWEEP_BAD_INPUT


class SweepError(Exception):
    """A failure the user can act on: the message is shown as it stands."""

    def __init__(self, message, status=SWEEP_BAD_INPUT):
        super().__init__(message)
        self.message = message
        self.status = status
