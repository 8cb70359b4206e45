// The page of parasim-explore: the form of the ten answers, the buttons, and the charts and
// counters kept up to date from GET /api/state, at most ten times a second while the run
// goes (once a second for the charts through time), once a second while it stands. The
// browser runs on the machine that runs the simulation, so the page waits between two polls
// at least DRAW_SHARE times as long as it took to draw the last one: on a busy machine it
// draws less often rather than slow the run down.
"use strict";

const TOKEN = new URLSearchParams(location.search).get("token") || "";
const NOW_MS = 100;
const HISTORY_MS = 1000;
const IDLE_MS = 1000;
const DRAW_SHARE = 5;
const CONFIG = {responsive: true, displaylogo: false};

const explorer = {state: null, version: -1, historyAt: -Infinity, drawMs: 0};

function element(id) {
  return document.getElementById(id);
}

// A request of the API: resolves to {status, data} whatever the status.
function api(method, path, body) {
  const headers = {"X-Parasim-Token": TOKEN};
  if (body !== undefined) {
    headers["Content-Type"] = "application/json";
  }
  return fetch(path, {method: method, headers: headers, cache: "no-store",
                      body: body === undefined ? undefined : JSON.stringify(body)})
    .then(function (response) {
      return response.json().then(function (data) {
        return {status: response.status, data: data};
      });
    });
}

function buildForm(fields) {
  const form = element("answers");
  fields.forEach(function (field) {
    const label = document.createElement("label");
    label.htmlFor = "answer-" + field.name;
    label.textContent = field.prompt.trim().replace(/:$/, "");
    const input = document.createElement("input");
    input.id = "answer-" + field.name;
    input.name = field.name;
    input.value = String(field.example);
    input.inputMode = field.type === "integer" ? "numeric" : "decimal";
    input.spellcheck = false;
    const refusal = document.createElement("span");
    refusal.className = "refusal";
    refusal.id = "refusal-" + field.name;
    form.append(label, input, refusal);
  });
  const label = document.createElement("label");
  label.htmlFor = "answer-seed";
  label.textContent = "Seed (tick count; empty: from the clock)";
  const seed = document.createElement("input");
  seed.id = "answer-seed";
  seed.inputMode = "numeric";
  const refusal = document.createElement("span");
  refusal.className = "refusal";
  refusal.id = "refusal-seed";
  form.append(label, seed, refusal);
}

function clearRefusals() {
  document.querySelectorAll(".refusal").forEach(function (span) {
    span.textContent = "";
  });
  document.querySelectorAll("input.refused").forEach(function (input) {
    input.classList.remove("refused");
  });
}

// A refusal beside the answer it concerns, or beside the buttons.
function showRefusal(data) {
  const beside = data.parameter ? element("refusal-" + data.parameter) : null;
  if (beside) {
    beside.textContent = data.error;
    element("answer-" + data.parameter).classList.add("refused");
  } else {
    element("message").textContent = data.error || "refused";
  }
}

function seedValue() {
  const text = element("answer-seed").value.trim();
  if (text === "") {
    return null;
  }
  return /^[0-9]+$/.test(text) ? Number(text) : text;
}

function press(path, body) {
  clearRefusals();
  return api("POST", path, body).then(function (answer) {
    if (answer.status !== 200) {
      showRefusal(answer.data);
    } else {
      show(answer.data);
    }
    explorer.historyAt = -Infinity;  // the charts through time follow at once
  });
}

function run() {
  const parameters = {};
  document.querySelectorAll("#answers input[name]").forEach(function (input) {
    parameters[input.name] = input.value;
  });
  return press("/api/run", {parameters: parameters, seed: seedValue()});
}

function number(value, digits) {
  if (value === null || value === undefined) {
    return "-";
  }
  return digits === undefined ? String(value) : value.toFixed(digits);
}

function showCounters(state) {
  // The generation under way; once the run has ended, the last one it ran.
  element("generation").textContent = number(
      state.finished ? state.generation - 1 : state.generation);
  element("generations").textContent = number(state.generations);
  element("population").textContent = number(state.population);
  element("species").textContent = number(state.species);
  element("rate").textContent = number(state.generations_per_second, 1);
  let phase = "no run yet";
  if (state.run) {
    phase = state.running ? "running" : state.finished ? (state.died_out ? "died out" : "finished")
                                                       : "paused";
    phase += " (seed " + state.seed + ")";
  }
  element("phase").textContent = phase;
  element("error").textContent = state.error || "";
  const hasRun = Boolean(state.run);
  element("pause").disabled = !state.running;
  element("step").disabled = !hasRun || state.running || state.finished;
  element("resume").disabled = !hasRun || state.running || state.finished;
  element("reset").disabled = !hasRun;
  document.querySelectorAll("a.download").forEach(function (link) {
    link.href = "/api/download/" + encodeURIComponent(link.dataset.name) + "?token=" +
                encodeURIComponent(TOKEN);
    link.download = link.dataset.name;
    link.classList.toggle("off", !hasRun);
  });
}

function show(state) {
  explorer.state = state;
  showCounters(state);
  if (state.version === explorer.version && state.charts && !state.charts.muller) {
    return Promise.resolve();
  }
  explorer.version = state.version;
  const started = performance.now();
  const drawing = Object.keys(state.charts || {}).map(function (name) {
    const figure = state.charts[name];
    return Plotly.react(element("chart-" + name), figure.data, figure.layout, CONFIG);
  });
  return Promise.all(drawing).then(function () {
    explorer.drawMs = performance.now() - started;
    document.body.dataset.ready = "true";
    document.body.dataset.version = String(state.version);
  });
}

function poll() {
  const started = performance.now();
  const withHistory = started - explorer.historyAt >= HISTORY_MS;
  api("GET", "/api/state?history=" + (withHistory ? "1" : "0"))
    .then(function (answer) {
      if (answer.status === 200) {
        if (withHistory) {
          explorer.historyAt = started;
        }
        return show(answer.data);
      }
      element("error").textContent = answer.data.error || "the server refused";
      return null;
    })
    .catch(function (error) {
      element("error").textContent = "no answer from parasim-explore (" + error + ")";
    })
    .finally(function () {
      const running = explorer.state && explorer.state.running;
      const least = running ? Math.max(NOW_MS, DRAW_SHARE * explorer.drawMs) : IDLE_MS;
      setTimeout(poll, Math.max(0, least - (performance.now() - started)));
    });
}

api("GET", "/api/parameters").then(function (answer) {
  buildForm(answer.data);
  element("run").addEventListener("click", run);
  ["pause", "step", "resume", "reset"].forEach(function (action) {
    element(action).addEventListener("click", function () {
      press("/api/" + action);
    });
  });
  poll();
});
