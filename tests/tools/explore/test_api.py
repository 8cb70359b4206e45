"""parasim-explore's API driven as the page drives it, and as a stranger would: requests without
the token, with another Host or with a huge body are refused; refused answers name the answer
in the console program's words; the buttons move the run as they say; the downloads are the
console program's files for the same answers and seed; SIGTERM stops it and removes its files."""

import gzip
import io
import json
import subprocess
import zipfile

import pytest

import parasim
from explore_server import SMALL, ExploreServer, console_run, launcher


@pytest.fixture(scope="module")
def server(tmp_path_factory):
    with ExploreServer(tmp_path_factory.mktemp("explore")) as running:
        yield running


def listening_addresses(port):
    """The local addresses of the sockets listening on port, from the kernel's tables."""
    found = []
    for table in ("/proc/net/tcp", "/proc/net/tcp6"):
        try:
            lines = open(table, encoding="ascii").read().splitlines()[1:]
        except FileNotFoundError:
            continue
        for line in lines:
            local, state = line.split()[1], line.split()[3]
            address, port_hex = local.split(":")
            if state == "0A" and int(port_hex, 16) == port:
                found.append(address)
    return found


def test_it_listens_on_127_0_0_1_alone(server):
    assert listening_addresses(server.port) == ["0100007F"]  # 127.0.0.1, little-endian


# (what is wrong, method, path, headers but the Host, body) -> refused with this status
STRANGERS = [
    ("no token", "GET", "/api/state", {}, None, 403),
    ("no token for the page", "GET", "/", {}, None, 403),
    ("no token for a download", "GET", "/api/download/Output.dat", {}, None, 403),
    ("a wrong token", "GET", "/api/state", {"X-Parasim-Token": "x" * 43}, None, 403),
    ("a wrong token in the query", "GET", "/?token=nothing", {}, None, 403),
    ("no token for a button", "POST", "/api/step", {}, b"", 403),
]


@pytest.mark.parametrize("what, method, path, headers, body, status", STRANGERS,
                         ids=[row[0] for row in STRANGERS])
def test_requests_without_the_token_are_refused(server, what, method, path, headers, body,
                                                status):
    got, _, data = server.raw(method, path, body,
                              {"Host": f"127.0.0.1:{server.port}", **headers})
    assert got == status, what
    assert b"token" in data


@pytest.mark.parametrize("host", [None, "evil.example:{port}", "evil.example", "127.0.0.1",
                                  "127.0.0.1:{other}", "127.0.0.2:{port}", "[::1]:{port}",
                                  "localhost.evil.example:{port}"])
def test_requests_naming_another_host_are_refused(server, host):
    headers = {"X-Parasim-Token": server.token}
    if host is not None:
        headers["Host"] = host.format(port=server.port, other=server.port + 1)
    status, _, data = server.raw("GET", "/api/state", headers=headers)
    assert (status, json.loads(data)["error"]) == (403, "the Host header does not name this "
                                                         "server")


@pytest.mark.parametrize("host", ["127.0.0.1:{port}", "localhost:{port}", "LOCALHOST:{port}"])
def test_the_names_of_the_address_served_are_taken(server, host):
    status, _, _ = server.raw("GET", "/api/parameters", headers={
        "Host": host.format(port=server.port), "X-Parasim-Token": server.token})
    assert status == 200


def test_huge_or_unmeasured_bodies_are_refused_unread(server):
    base = {"Host": f"127.0.0.1:{server.port}", "X-Parasim-Token": server.token,
            "Content-Type": "application/json"}
    # Only the headers are sent: the refusal comes before any of the 100 MB would be read.
    status, headers, data = server.raw("POST", "/api/run",
                                       headers={**base, "Content-Length": "100000000"})
    assert (status, headers.get("Connection")) == (413, "close")
    status, _, _ = server.raw("POST", "/api/run", headers={**base, "Content-Length": "12e3"})
    assert status == 400
    status, _, _ = server.raw("POST", "/api/run",
                              headers={**base, "Transfer-Encoding": "chunked"})
    assert status == 411
    status, data = server.call("POST", "/api/run", {"parameters": {"x": "y" * 70000}})
    assert status == 413


def run_body(**changes):
    parameters = {**SMALL, **{k: v for k, v in changes.items() if k != "seed"}}
    return {"parameters": parameters, "seed": changes.get("seed", 5)}


# A new run whose answers the console program would not take: 400, its words, the answer.
REFUSED_RUNS = [
    (run_body(genome_size="10.5"), "Bad integer for item 1 in list input", "genome_size"),
    (run_body(genome_size=10.5), "Bad integer for item 1 in list input", "genome_size"),
    (run_body(host_count=0), "The number of hosts must be at least 1, not 0", "host_count"),
    (run_body(carrying_capacity="-4"), "The carrying capacity must be at least 1, not -4",
     "carrying_capacity"),
    (run_body(survival_sd=""), "End of file", "survival_sd"),
    (run_body(mutation_rate="abc"), "Bad real number in item 1 of list input",
     "mutation_rate"),
    (run_body(generations=2 ** 40), "Integer overflow while reading item 1", "generations"),
    (run_body(dispersal_prob=True), "dispersal_prob takes a number or the text of one, not true",
     "dispersal_prob"),
    (run_body(hosts=5), "there is no answer named 'hosts'", "hosts"),
    ({"parameters": {k: v for k, v in SMALL.items() if k != "max_offspring"}},
     "the answer is missing", "max_offspring"),
    (run_body(seed=-1), "seed takes a tick count from 0 to 2147483647, not -1", "seed"),
    (run_body(seed="42"), "seed takes a tick count, a whole number from 0 to 2147483647",
     "seed"),
]


@pytest.mark.parametrize("body, error, parameter", REFUSED_RUNS)
def test_a_refused_answer_is_named_in_the_console_programs_words(server, body, error,
                                                                  parameter):
    before = server.call("GET", "/api/state?history=0")[1]
    assert server.call("POST", "/api/run", body) == (400, {"error": error,
                                                           "parameter": parameter})
    assert server.call("GET", "/api/state?history=0")[1]["run"] == before["run"]


@pytest.mark.parametrize("body", [b"{", b"[1]", b'{"parameters": 3}', b"\xff",
                                  b'{"parameters": {}, "colour": 1}'])
def test_a_body_that_is_no_run_request_is_refused(server, body):
    status, _, data = server.raw("POST", "/api/run", body, {
        "Host": f"127.0.0.1:{server.port}", "X-Parasim-Token": server.token})
    assert status == 400 and "parameter" not in json.loads(data)


def test_the_buttons_move_the_run_as_they_say(server):
    status, state = server.call("POST", "/api/run", run_body(generations=100000, seed=9))
    assert status == 200 and state["generation"] >= 1
    assert server.call("POST", "/api/step")[0] == 409  # running: pause first
    server.wait_until(lambda s: s["generation"] > 3)
    status, state = server.call("POST", "/api/pause")
    state = server.wait_until(lambda s: not s["running"])
    for _ in range(3):
        status, stepped = server.call("POST", "/api/step")
        assert (status, stepped["generation"]) == (200, state["generation"] + 1)
        state = stepped
    assert server.call("GET", "/api/state?history=0")[1]["generation"] == state["generation"]
    status, state = server.call("POST", "/api/resume")
    server.wait_until(lambda s: s["generation"] > stepped["generation"] + 2)
    status, state = server.call("POST", "/api/reset")
    assert (status, state["generation"], state["running"], state["seed"]) == (200, 1, False, 9)
    status, state = server.call("GET", "/api/state")
    assert set(state["charts"]) == {"parasites", "host_use", "population", "muller", "tree"}


def test_the_downloads_are_the_console_programs_files(server, tmp_path):
    status, _ = server.call("POST", "/api/run", run_body(seed=77))
    assert status == 200
    state = server.wait_until(lambda s: s["finished"])
    assert (state["generation"], state["running"]) == (SMALL["generations"] + 1, False)
    console = console_run(tmp_path / "console", SMALL, 77, "--history", "history")
    assert server.download("Output.dat") == (console / "Output.dat").read_bytes()
    with zipfile.ZipFile(io.BytesIO(server.download("history.zip"))) as archive:
        assert sorted(archive.namelist()) == ["history/abundance.csv", "history/run.json",
                                              "history/species.csv"]
        for name in archive.namelist():
            assert archive.read(name) == (console / name).read_bytes(), name
    restored = parasim.Simulation.from_checkpoint(server.download("checkpoint"))
    assert (restored.generation, restored.seed, restored.finished) == (
        SMALL["generations"] + 1, 77, True)
    vcf = gzip.decompress(server.download("genomes.vcf.gz")).decode()
    assert vcf.startswith("##fileformat=VCF")
    samples = vcf.split("\n#CHROM", 1)[1].split("\n", 1)[0].split("\t")[9:]
    assert len(samples) == state["population"]
    page = server.download("report.html").decode()
    assert page.startswith("<!DOCTYPE html>") and "77" in page


def test_a_run_whose_files_cannot_be_written_stops_and_says_why(tmp_path):
    with ExploreServer(tmp_path, file_limit=100_000) as server:
        assert server.call("POST", "/api/run", run_body(generations=400))[0] == 200
        state = server.wait_until(lambda s: not s["running"])
        assert not state["finished"] and state["generation"] < 400
        assert state["error"].startswith("the run stopped: OSError") and "File too large" in \
            state["error"], state["error"]
        # Its last generation failed half-way: it cannot go on, only start again.
        for button in ("resume", "step"):
            assert server.call("POST", f"/api/{button}") == (409, {
                "error": "the run stopped after a failure: start a new one with Run"})


def test_a_port_in_use_or_a_bad_option_is_refused(server):
    for arguments, words in ((["--port", str(server.port)], "cannot serve on 127.0.0.1 port"),
                             (["--port", "70000"], "--port takes 0 ... 65535"),
                             (["--report", "/nonexistent/parasim-report"], "not an executable")):
        done = subprocess.run([launcher(), "--no-browser", *arguments], capture_output=True,
                              text=True, timeout=60, stdin=subprocess.DEVNULL)
        assert (done.returncode, done.stdout) == (2, ""), arguments
        assert words in done.stderr, done.stderr


def test_nothing_is_downloaded_before_the_first_run(tmp_path):
    with ExploreServer(tmp_path) as fresh:
        status, _, data = fresh.raw("GET", f"/api/download/Output.dat?token={fresh.token}",
                                    headers={"Host": f"127.0.0.1:{fresh.port}"})
        assert (status, json.loads(data)["error"]) == (409, "no run yet: start one with Run")
        assert fresh.call("POST", "/api/step") == (409, {"error": "no run yet: start one with "
                                                                  "Run"})
        assert fresh.call("GET", "/api/download/nothing")[0] == 404
        assert fresh.call("POST", "/api/run", run_body(generations=100000))[0] == 200
    assert fresh.stop() == 0
    assert list((tmp_path / "tmp").iterdir()) == []  # its private folder went with it
