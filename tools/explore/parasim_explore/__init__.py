"""parasim-explore: a local web application to watch and steer a parasim run.

The server (server) checks every request (access), hands the buttons to the run's thread
(session), answers the page's polls with thinned charts of the run's last look (view,
live_history, run_tables), reads the answers of a new run as the console program reads them
(run_request) and makes the downloads of the run so far (downloads). The page is page and
explore.js. See docs/explore.md.
"""
