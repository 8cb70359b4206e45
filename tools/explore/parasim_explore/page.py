"""The page: the run pages' document (parasim_report.page_shell, which brings plotly.js inside
it, so nothing is fetched from elsewhere) holding the form of the ten answers, the buttons, the
downloads, the counters and the charts; explore.js fills them from the API."""

import pathlib

from parasim_report import page_shell

from .downloads import KINDS

CHARTS = (("parasites", "The parasites now"), ("host_use", "Host use now"),
          ("population", "Population and species"), ("muller", "Muller plot"),
          ("tree", "Species tree"))

STYLE = """
.status { position: sticky; top: 0; z-index: 10; background: #f4f7fb; padding: 0.5em 0.8em;
          border-bottom: 1px solid #cbd5e1; font-size: 1.05em; }
.status b { font-variant-numeric: tabular-nums; }
.status .phase { margin-left: 1em; color: #555; }
.status .error { color: #b00020; margin-left: 1em; }
form.answers { display: grid; grid-template-columns: max-content 9em auto; gap: 0.3em 0.8em;
               align-items: center; margin: 1em 0; }
form.answers input { padding: 0.2em 0.4em; font-variant-numeric: tabular-nums; }
form.answers input.refused { border: 2px solid #b00020; }
.refusal { color: #b00020; }
.buttons button { margin-right: 0.5em; padding: 0.35em 1em; font-size: 1em; }
.downloads a { margin-right: 1.2em; }
.downloads a.off { color: #999; pointer-events: none; }
.charts { display: grid; grid-template-columns: repeat(auto-fit, minmax(560px, 1fr)); gap: 1em; }
"""


def page_bytes():
    """The whole page, the same for every request (the token comes from its address)."""
    script = (pathlib.Path(__file__).with_name("explore.js")).read_text(encoding="utf-8")
    downloads = "".join(f'<a class="download" data-name="{page_shell.escape(name)}">'
                        f"{page_shell.escape(name)}</a>" for name in KINDS)
    charts = "".join(f"<section><h2>{page_shell.escape(title)}</h2>"
                     f"{page_shell.chart_element(name)}</section>" for name, title in CHARTS)
    body = f"""<style>{STYLE}</style>
<div class="status" id="status">generation <b id="generation">-</b> of
<b id="generations">-</b> &middot; <b id="population">0</b> parasites &middot;
<b id="species">0</b> species &middot; <b id="rate">-</b> generations per second
<span class="phase" id="phase">no run yet</span><span class="error" id="error"></span></div>
<h1>parasim-explore</h1>
<p class="note">Set the ten answers and the seed (empty: from the clock), then Run. Pause stops
after the generation under way, Step runs one generation while paused, Reset goes back to
generation 1 of the same answers and seed.</p>
<form class="answers" id="answers"></form>
<div class="buttons">
<button type="button" id="run">Run</button><button type="button" id="pause">Pause</button>
<button type="button" id="step">Step</button><button type="button" id="resume">Resume</button>
<button type="button" id="reset">Reset</button> <span class="refusal" id="message"></span>
</div>
<h2>The run so far</h2><p class="downloads">{downloads}</p>
<div class="charts">{charts}</div>
<p class="sources">{page_shell.library_note()}</p>"""
    return page_shell.document("parasim-explore", body, [], script).encode("utf-8")
