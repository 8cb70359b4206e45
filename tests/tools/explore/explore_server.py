"""parasim-explore started by a test: the launcher run with --no-browser on a free port of
127.0.0.1, its private folder made in a temporary folder of the test's (TMPDIR), stopped with
SIGTERM when the test is done; and a small client of its API.

    with ExploreServer(tmp_path) as server:
        status, data = server.call("POST", "/api/run", {"parameters": ..., "seed": 5})
"""

import http.client
import json
import os
import resource
import select
import signal
import subprocess
import time
import urllib.parse

import pytest

START_SECONDS = 60
STOP_SECONDS = 30

# The example answers, made small: a run of a few hundred parasites that splits into species.
SMALL = {"genome_size": 40, "max_differentiation": 0.1, "mutation_rate": 0.01,
         "max_offspring": 2, "dispersal_prob": 0.1, "host_count": 3, "host_distance": 1.0,
         "carrying_capacity": 60, "survival_sd": 1.0, "generations": 40}


def launcher():
    path = os.environ.get("PARASIM_EXPLORE")
    if not path:
        pytest.skip("set PARASIM_EXPLORE to the parasim-explore launcher")
    return path


def answers_text(answers):
    """The answers as a user types them in the console dialogue."""
    return "".join(f"{answers[name]!r}\n" for name in SMALL)


class ExploreServer:
    def __init__(self, folder, *arguments, file_limit=None):
        """file_limit: the most bytes a file of the server may grow to (RLIMIT_FSIZE)."""
        self.folder = folder
        self.arguments = arguments
        self.file_limit = file_limit
        self.process = None
        self.address = None
        self.token = None
        self.port = None
        self.status = None

    def __enter__(self):
        private = self.folder / "tmp"
        private.mkdir(exist_ok=True)
        self.process = subprocess.Popen(
            [launcher(), "--no-browser", *self.arguments], stdin=subprocess.DEVNULL,
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
            env={**os.environ, "TMPDIR": str(private)}, preexec_fn=self._limit_files)
        ready, _, _ = select.select([self.process.stdout], [], [], START_SECONDS)
        line = self.process.stdout.readline() if ready else ""
        if not line.startswith("parasim-explore: open http://127.0.0.1:"):
            self.process.kill()
            raise AssertionError(f"no address printed: {line!r} {self.process.stderr.read()}")
        self.address = line.split("open ", 1)[1].strip()
        parts = urllib.parse.urlsplit(self.address)
        self.port = parts.port
        self.token = urllib.parse.parse_qs(parts.query)["token"][0]
        return self

    def _limit_files(self):
        if self.file_limit is not None:
            resource.setrlimit(resource.RLIMIT_FSIZE, (self.file_limit, self.file_limit))

    def stop(self):
        """SIGTERM, then the exit status; the standard error is kept in self.errors."""
        if self.status is None:
            self.process.send_signal(signal.SIGTERM)
            self.status = self.process.wait(STOP_SECONDS)
            self.errors = self.process.stderr.read()
        return self.status

    def __exit__(self, *_):
        try:
            self.stop()
        except subprocess.TimeoutExpired:
            self.process.kill()
            raise
        return False

    def raw(self, method, path, body=None, headers=None):
        """(status, headers, body bytes) of one request, headers exactly as given (a Host
        and the token only when asked for)."""
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=120)
        try:
            connection.putrequest(method, path, skip_host=True, skip_accept_encoding=True)
            for name, value in (headers or {}).items():
                connection.putheader(name, value)
            if body is not None:
                connection.putheader("Content-Length", str(len(body)))
            connection.endheaders(body)
            response = connection.getresponse()
            return response.status, dict(response.getheaders()), response.read()
        finally:
            connection.close()

    def call(self, method, path, value=None):
        """(status, JSON answer) of an API request made as the page makes it."""
        headers = {"Host": f"127.0.0.1:{self.port}", "X-Parasim-Token": self.token}
        body = None
        if value is not None:
            headers["Content-Type"] = "application/json"
            body = json.dumps(value).encode()
        status, _, data = self.raw(method, path, body, headers)
        return status, json.loads(data)

    def download(self, name):
        status, headers, data = self.raw(
            "GET", f"/api/download/{name}?token={self.token}",
            headers={"Host": f"127.0.0.1:{self.port}"})
        assert status == 200, data
        return data

    def wait_until(self, test, seconds=120):
        """The state once test(state) holds."""
        deadline = time.monotonic() + seconds
        while True:
            status, state = self.call("GET", "/api/state?history=0")
            assert status == 200, state
            if test(state):
                return state
            if time.monotonic() > deadline:
                raise AssertionError(f"not reached in {seconds} s: {state}")
            time.sleep(0.05)


def console_run(folder, answers, seed, *arguments):
    """The console program's run of the same answers and seed, in folder."""
    binary = os.environ.get("PARASIM_BINARY")
    if not binary:
        pytest.skip("set PARASIM_BINARY to parasim")
    folder.mkdir(parents=True, exist_ok=True)
    done = subprocess.run([binary, "--seed", str(seed), *arguments], cwd=folder,
                          input=answers_text(answers).encode(), capture_output=True,
                          timeout=300)
    assert done.returncode == 0, done.stderr
    return folder
