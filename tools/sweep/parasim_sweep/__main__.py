"""parasim-sweep: python3 -m parasim_sweep COMMAND ... (the launcher parasim-sweep does this)."""

import sys

from parasim_report.placement import remove_temporaries_on_signals

from .command_line import main

remove_temporaries_on_signals()
sys.exit(main())
