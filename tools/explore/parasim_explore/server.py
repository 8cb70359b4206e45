"""The HTTP server: the page at /, the JSON API under /api/ (docs/explore.md), each request
checked by access.Access first. The standard library's threading server answers each
connection in a thread of its own, at most MOST_CONNECTIONS at once; the requests for the
state are answered from the run's last look, the buttons wait for the run's thread at most
half a second, and the downloads stream their file from the server's private folder."""

import json
import shutil
import socket
import threading
import urllib.parse
from http import HTTPStatus
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

from . import downloads
from .access import MOST_BODY_BYTES, TOKEN_HEADER
from .run_request import RequestError, answer_list, run_request
from .session import AnswerError, Refused

MOST_CONNECTIONS = 32
CHUNK_BYTES = 1 << 16
# Nothing of the page comes from elsewhere, nothing may frame it, and it sends only to itself.
PAGE_POLICY = ("default-src 'none'; script-src 'unsafe-inline'; style-src 'unsafe-inline'; "
               "img-src data: blob:; connect-src 'self'; base-uri 'none'; form-action 'none'; "
               "frame-ancestors 'none'")
COMMON_HEADERS = {"Cache-Control": "no-store", "X-Content-Type-Options": "nosniff",
                  "Referrer-Policy": "no-referrer", "X-Frame-Options": "DENY"}


class App:
    """What the requests reach: the access rules, the session, its views and downloads, and
    the page."""

    def __init__(self, access, session, views, download_maker, page):
        self.access = access
        self.session = session
        self.views = views
        self.downloads = download_maker
        self.page = page


class ExploreServer(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, address, app):
        if ":" in address[0]:
            self.address_family = socket.AF_INET6
        self.app = app
        self._slots = threading.BoundedSemaphore(MOST_CONNECTIONS)
        super().__init__(address, Handler)

    def process_request(self, request, client_address):
        # A connection past the bound is closed at once rather than given a thread.
        if not self._slots.acquire(blocking=False):
            self.shutdown_request(request)
            return
        try:
            super().process_request(request, client_address)
        except BaseException:
            self._slots.release()
            raise

    def process_request_thread(self, request, client_address):
        try:
            super().process_request_thread(request, client_address)
        finally:
            self._slots.release()


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "parasim-explore"
    sys_version = ""
    timeout = 60  # a connection that sends nothing for a minute is closed

    def log_message(self, format, *args):  # noqa: A002 - the base class's name
        pass  # the console shows the one line to open the page, not every request

    def do_GET(self):
        self._serve("GET")

    def do_POST(self):
        self._serve("POST")

    # ---- Checks ----

    def _serve(self, method):
        app = self.server.app
        if not app.access.host_allowed(self.headers.get("Host")):
            return self._send_json(HTTPStatus.FORBIDDEN,
                                   {"error": "the Host header does not name this server"})
        url = urllib.parse.urlsplit(self.path)
        query = urllib.parse.parse_qs(url.query)
        if not app.access.token_given((query.get("token") or [None])[0],
                                      self.headers.get(TOKEN_HEADER)):
            return self._send_json(HTTPStatus.FORBIDDEN,
                                   {"error": "the token is missing or wrong: open the address "
                                             "parasim-explore printed"})
        body = self._read_body()
        if body is None:
            return None
        route = ROUTES.get((method, url.path))
        try:
            if route is not None:
                return route(self, app, query, body)
            if method == "GET" and url.path.startswith("/api/download/"):
                return self._download(app, url.path[len("/api/download/"):])
        except (ConnectionError, TimeoutError):
            self.close_connection = True  # the client went away
            return None
        except Exception as error:  # a fault of ours: said, and the server goes on
            self.close_connection = True
            return self._send_json(HTTPStatus.INTERNAL_SERVER_ERROR,
                                   {"error": f"{type(error).__name__}: {error}"})
        if any(path == url.path for _, path in ROUTES) or url.path.startswith("/api/download/"):
            return self._send_json(HTTPStatus.METHOD_NOT_ALLOWED,
                                   {"error": f"{url.path} does not take {method}"})
        return self._send_json(HTTPStatus.NOT_FOUND, {"error": f"nothing at {url.path}"})

    def _read_body(self):
        """The request's body, or None once a refusal has been sent (the connection is then
        closed: the rest of an unread body would be taken for the next request)."""
        if self.headers.get("Transfer-Encoding"):
            self.close_connection = True
            self._send_json(HTTPStatus.LENGTH_REQUIRED, {"error": "send the body with its length"})
            return None
        length_text = self.headers.get("Content-Length", "0").strip()
        if not length_text.isdigit():
            self.close_connection = True
            self._send_json(HTTPStatus.BAD_REQUEST, {"error": "the body's length is no number"})
            return None
        length = int(length_text)
        if length > MOST_BODY_BYTES:
            self.close_connection = True
            self._send_json(HTTPStatus.REQUEST_ENTITY_TOO_LARGE,
                            {"error": f"a body takes at most {MOST_BODY_BYTES} bytes"})
            return None
        return self.rfile.read(length) if length else b""

    # ---- Answers ----

    def _send(self, status, body, content_type, headers=None):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        for name, value in {**COMMON_HEADERS, **(headers or {})}.items():
            self.send_header(name, value)
        if self.close_connection:
            self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(body)

    def _send_json(self, status, value):
        self._send(status, json.dumps(value).encode(), "application/json")

    def _send_state(self, app):
        self._send(HTTPStatus.OK, app.views.state(app.session.look(), False), "application/json")

    def _download(self, app, name):
        try:
            folder, path = app.downloads.make(name)
        except KeyError:
            return self._send_json(HTTPStatus.NOT_FOUND, {"error": f"no download is named {name}"})
        except Refused as refused:
            return self._send_json(HTTPStatus.CONFLICT, {"error": str(refused)})
        except (downloads.DownloadError, OSError) as error:
            return self._send_json(HTTPStatus.INTERNAL_SERVER_ERROR, {"error": str(error)})
        try:
            with open(path, "rb") as stream:
                size = stream.seek(0, 2)
                stream.seek(0)
                self.send_response(HTTPStatus.OK)
                self.send_header("Content-Type", downloads.KINDS[name])
                self.send_header("Content-Length", str(size))
                self.send_header("Content-Disposition", f'attachment; filename="{name}"')
                for header, value in COMMON_HEADERS.items():
                    self.send_header(header, value)
                self.end_headers()
                shutil.copyfileobj(stream, self.wfile, CHUNK_BYTES)
        finally:
            shutil.rmtree(folder, ignore_errors=True)
        return None

    # ---- Routes ----

    def page(self, app, _query, _body):
        self._send(HTTPStatus.OK, app.page, "text/html; charset=utf-8",
                   {"Content-Security-Policy": PAGE_POLICY})

    def parameters(self, _app, _query, _body):
        self._send_json(HTTPStatus.OK, answer_list())

    def state(self, app, query, _body):
        with_history = (query.get("history") or ["1"])[0] != "0"
        self._send(HTTPStatus.OK, app.views.state(app.session.look(), with_history),
                   "application/json")

    def run(self, app, _query, body):
        try:
            parameters, seed = run_request(body)
            app.session.start(parameters, seed)
        except RequestError as error:
            return self._send_json(HTTPStatus.BAD_REQUEST, {"error": str(error)})
        except AnswerError as refused:
            return self._send_json(HTTPStatus.BAD_REQUEST,
                                   {"error": str(refused), "parameter": refused.parameter})
        return self._send_state(app)



def _button(action):
    """The route of a button: the session's action, then the state it left."""
    def route(handler, app, _query, _body):
        try:
            getattr(app.session, action)()
        except Refused as refused:
            return handler._send_json(HTTPStatus.CONFLICT, {"error": str(refused)})
        return handler._send_state(app)
    return route


ROUTES = {
    ("GET", "/"): Handler.page,
    ("GET", "/api/parameters"): Handler.parameters,
    ("GET", "/api/state"): Handler.state,
    ("POST", "/api/run"): Handler.run,
    **{("POST", f"/api/{action}"): _button(action)
       for action in ("pause", "resume", "step", "reset")},
}
