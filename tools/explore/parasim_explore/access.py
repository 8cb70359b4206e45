"""Who may use the server. Anyone who can reach its port could start runs that take the
machine's cores and memory and download its files, and a page of another site open in the same
browser could send requests to it; so every request, the page's own included, must carry the
token printed at start (query `token=` or header X-Parasim-Token), and its Host header must name
the address the server serves, which a page of another site reaching it by a name of its own
(DNS rebinding) cannot do. Request bodies are small JSON objects and are refused past
MOST_BODY_BYTES before they are read.
"""

import hmac
import ipaddress
import secrets

TOKEN_HEADER = "X-Parasim-Token"
MOST_BODY_BYTES = 64 * 1024
LOOPBACK = "127.0.0.1"


def new_token():
    return secrets.token_urlsafe(32)


def _address(text):
    try:
        return ipaddress.ip_address(text)
    except ValueError:
        return None


def exposed(bind):
    """Whether a server bound to this address can be reached from other machines."""
    address = _address(bind)
    return bind.lower() != "localhost" and (address is None or not address.is_loopback)


def split_host(header):
    """(host, port) of a Host header, port None when it gives none; None when it is not one."""
    header = header.strip()
    if header.startswith("["):
        end = header.find("]")
        if end < 0:
            return None
        host, rest = header[1:end], header[end + 1:]
        if _address(host) is None or (rest and not rest.startswith(":")):
            return None
        port_text = rest[1:] if rest else None
    else:
        host, _, port_text = header.partition(":")
        port_text = port_text if ":" in header else None
    if port_text is not None:
        if not port_text.isdigit() or len(port_text) > 5:
            return None
        return host.lower(), int(port_text)
    return host.lower(), None


class Access:
    """The token and the names of the server's address."""

    def __init__(self, token, bind, port):
        self.token = token
        self.port = port
        served = _address(bind)
        self._any_address = served is not None and served.is_unspecified
        self._addresses = {served} if served is not None else set()
        self._names = {bind.lower()}
        if (served is not None and served.is_loopback) or bind.lower() == "localhost":
            self._names.add("localhost")
            self._addresses.add(ipaddress.ip_address(LOOPBACK))

    def host_allowed(self, header):
        """Whether a Host header names the address served: the bound address, localhost for a
        loopback one, and for a server bound to every address (0.0.0.0 or ::) any address
        written as numbers, never a name."""
        if not header:
            return False
        parsed = split_host(header)
        if parsed is None:
            return False
        host, port = parsed
        if (port if port is not None else 80) != self.port:
            return False
        if host in self._names:
            return True
        address = _address(host)
        if address is None:
            return False
        return self._any_address or address in self._addresses

    def token_given(self, query_token, header_token):
        expected = self.token.encode()
        return any(given is not None and hmac.compare_digest(given.encode(), expected)
                   for given in (query_token, header_token))
