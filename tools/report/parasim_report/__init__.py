"""The Python side of parasim-report, and what parasim's other Python tools share with it.

Run by parasim-report as ``/usr/bin/python3 -P -m parasim_report.figures`` (the PNG and SVG
figures) and ``-m parasim_report.page`` (the web page of a run), with the folder that holds
this package on PYTHONPATH. parasim-sweep imports the shared modules: ``placement`` (putting a
file in place), ``tables`` (reading a table), ``columns`` (the tables' columns),
``exit_statuses`` and ``page_shell``.
"""
