#!/usr/bin/env python3
"""Plays the user's browser in the OAuth sign-in of the end-to-end tests.

    python3 fake_browser.py URL

GETs URL (the authorize URL, on the local stand-in) without following
redirects.  When the answer is a redirect, GETs its Location once (the
helper's callback listener) and stops there.  Only loopback hosts are
contacted; every request has a 10 s time-out.  Never reads stdin, and prints
only status lines to stderr (no URL, code or state: they are secrets).

Exit status:
  0  the redirect was followed and the callback answered below 400
  1  an answer of 400 or above, or a page without a redirect (the sign-in
     did not finish)
  2  bad usage, a non-loopback host, a network error or a time-out
"""

import http.client
import ssl
import sys
import urllib.parse

TIMEOUT = 10.0
LOOPBACK_HOSTS = ("localhost", "127.0.0.1", "::1")


class Failure(Exception):
    pass


def fetch(url):
    """(status, Location header or None) of a GET of url."""
    split = urllib.parse.urlsplit(url)
    if split.scheme not in ("http", "https"):
        raise Failure("unsupported scheme")
    if split.hostname not in LOOPBACK_HOSTS:
        raise Failure("refusing a non-loopback host")
    try:
        port = split.port
    except ValueError:
        raise Failure("bad port")
    if split.scheme == "https":
        # Test servers use self-signed certificates; the host is loopback only.
        ctx = ssl.create_default_context()
        ctx.check_hostname = False
        ctx.verify_mode = ssl.CERT_NONE
        conn = http.client.HTTPSConnection(split.hostname, port, timeout=TIMEOUT, context=ctx)
    else:
        conn = http.client.HTTPConnection(split.hostname, port, timeout=TIMEOUT)
    target = split.path or "/"
    if split.query:
        target += "?" + split.query
    try:
        conn.request("GET", target, headers={"User-Agent": "fake-browser/1.0",
                                             "Accept": "text/html,*/*"})
        resp = conn.getresponse()
        resp.read()
        return resp.status, resp.getheader("Location")
    except (OSError, http.client.HTTPException) as err:
        raise Failure(type(err).__name__)
    finally:
        conn.close()


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: fake_browser.py URL\n")
        return 2
    url = argv[1]
    try:
        status, location = fetch(url)
        sys.stderr.write("authorize: %d\n" % status)
        if status in (301, 302, 303, 307, 308) and location:
            status, _ = fetch(urllib.parse.urljoin(url, location))
            sys.stderr.write("callback: %d\n" % status)
            return 0 if status < 400 else 1
        return 1
    except Failure as err:
        sys.stderr.write("fake_browser: %s\n" % err)
        return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
