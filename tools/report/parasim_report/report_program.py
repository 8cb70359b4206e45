"""What the figure and page programs of parasim-report share: their options read without
argparse's own exit, and each failure turned into one line on standard error and the exit
status that names its kind."""

import sys

from .exit_statuses import REPORT_DONE, REPORT_MALFORMED_TABLE, REPORT_USAGE_OR_IO
from .placement import PlacementError
from .run_record import RecordError
from .tables import TableError


class ReportProgram:
    def __init__(self, name):
        self.name = name

    def say(self, text):
        print(f"{self.name}: {text}", file=sys.stderr)

    def options(self, parser, argv):
        """The options, or the status to exit with: --help is done, a usage error is not."""
        try:
            return parser.parse_args(argv), None
        except SystemExit as stop:
            return None, REPORT_DONE if stop.code == 0 else REPORT_USAGE_OR_IO

    def run(self, work, doing):
        """Runs work(); `doing` completes "out of memory ..." when it runs out."""
        try:
            work()
        except (TableError, RecordError, UnicodeDecodeError) as error:
            self.say(str(error))
            return REPORT_MALFORMED_TABLE
        except (OSError, PlacementError) as error:
            self.say(str(error))
            return REPORT_USAGE_OR_IO
        except MemoryError:
            self.say(f"out of memory {doing}")
            return REPORT_USAGE_OR_IO
        return REPORT_DONE
