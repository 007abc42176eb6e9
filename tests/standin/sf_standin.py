#!/usr/bin/env python3
"""Local stand-in for the CRM web APIs the helper talks to.

Serves, on 127.0.0.1 only:
  POST /services/Soap/u/NN.N                      SOAP login() and undelete()
  GET  /services/data/vNN.N/sobjects/OBJ/describe  object describe
  GET  /services/data/vNN.N/query?q=SOQL           query, first page
  GET  /services/data/vNN.N/query/LOCATOR-OFFSET   query, following pages
  DELETE /services/data/vNN.N/composite/sobjects?ids=...&allOrNone=...
  GET  /services/oauth2/authorize                  web server flow with PKCE; answers
                                                   as the browser would after sign-in
  POST /services/oauth2/token                      authorization_code, refresh_token
  POST /services/oauth2/revoke                     revoke a refresh or access token
  GET  /id/ORGID/USERID                            identity URL

The org (users, records, readable fields, OAuth apps) comes from --org.  What
happened is written to --state-dir (requests.jsonl, deleted.txt, undeleted.txt,
oauth.json) and faults are injected by writing control.json there at any time.
Standard library only.

Deleted records stay in the recycle bin until undelete() brings them back (an
account with the records deleted together with it) or control.json "purge":
[ids] empties them out of it; undelete() of a purged record fails with
UNDELETE_FAILED "Entity is not in the recycle bin".

OAuth: ORG.json "apps": [{"consumerKey": K, "callbackUrls": [...],
"rotateRefreshTokens": true, "requirePkce": true, "scopes": ["api",
"refresh_token"], "consumerSecret": S}] (all but the first two optional; a
listed loopback callback matches any port).  control.json "authorize":
{"user": NAME, "error": E, "error_description": D, "state": S, "noRedirect":
true, "codeLifetimeSeconds": N} shapes what the signed-in browser gets.
oauth.json in the state dir counts live refresh tokens, revocations and codes
issued (numbers only).

    python3 sf_standin.py --org ORG.json --state-dir DIR [--port 0]
        [--page-size N] [--tls-cert CERT --tls-key KEY] [--max-seconds 600]

Prints "PORT <n>" on stdout once listening.
"""

import argparse
import base64
import hashlib
import hmac
import html
import http.server
import itertools
import json
import os
import re
import secrets
import signal
import socket
import ssl
import sys
import threading
import time
import urllib.parse
import xml.etree.ElementTree as ET
from xml.sax.saxutils import escape as xml_escape

ORG_ID = "00D000000000001"
API_LIMIT = 15000
DEFAULT_BATCH = 2000
MIN_BATCH = 200
MAX_BATCH = 2000
MAX_DELETE_IDS = 200
MAX_UNDELETE_IDS = 200
MAX_OPEN_CURSORS = 100

DEFAULT_FIELDS = ["Id", "CreatedDate", "LastModifiedDate", "IsDeleted", "OwnerId"]

KEY_PREFIXES = {
    "Account": "001", "Contact": "003", "Lead": "00Q", "Opportunity": "006",
    "Case": "500", "Task": "00T", "Event": "00U", "Note": "002",
}

REFERENCE_TO = {"AccountId": ["Account"], "ContactId": ["Contact"], "OwnerId": ["User"],
                "WhoId": ["Contact", "Lead"], "WhatId": ["Account", "Opportunity", "Case"],
                "ParentId": ["Account", "Contact", "Opportunity", "Case", "Lead"]}

# Children removed together with their Account.
CASCADE_FROM_ACCOUNT = ("Contact", "Opportunity", "Case")

# login() fault texts as the service words them (faultstring is "CODE: text").
LOGIN_FAULT_TEXTS = {
    "INVALID_LOGIN":
        "Invalid username, password, security token; or user locked out.",
    "LOGIN_MUST_USE_SECURITY_TOKEN":
        "Invalid username, password, security token; or user locked out. "
        "Are you at a new location? When accessing Salesforce--either via a "
        "desktop client or the API--from outside of your company\u2019s trusted "
        "networks, you must add a security token to your password to log in. "
        "To get your new security token, log in to Salesforce. From your "
        "personal settings, enter Reset My Security Token in the Quick Find "
        "box, then select Reset My Security Token.",
    "INVALID_OPERATION":
        "SOAP API login() is disabled by default in this org. Contact the org "
        "administrator to enable SOAP API login().",
    "INVALID_OPERATION_WITH_EXPIRED_PASSWORD":
        "The users password has expired, you must call SetPassword before "
        "attempting any other API operations",
    "API_DISABLED_FOR_ORG":
        "API is not enabled for this Organization or Partner",
    "INSUFFICIENT_ACCESS":
        "SOAP API login() requires the Use Any API Auth user permission.",
}
# Credential problems come back as LoginFault, the rest as UnexpectedErrorFault.
LOGIN_FAULT_TYPES = {"INVALID_LOGIN", "LOGIN_MUST_USE_SECURITY_TOKEN"}

DEFAULT_STATUS_ERRORS = {
    503: ("SERVER_UNAVAILABLE", "Server unavailable, please try again later."),
    500: ("UNKNOWN_EXCEPTION", "An unexpected error occurred. Please include this ErrorId if you contact support."),
    403: ("REQUEST_LIMIT_EXCEEDED", "TotalRequests Limit exceeded."),
    400: ("BAD_REQUEST", "Bad request."),
    401: ("INVALID_SESSION_ID", "Session expired or invalid"),
    404: ("NOT_FOUND", "The requested resource does not exist"),
}

INVALID_SESSION_BODY = [{"message": "Session expired or invalid", "errorCode": "INVALID_SESSION_ID"}]
NOT_FOUND_BODY = [{"errorCode": "NOT_FOUND", "message": "The requested resource does not exist"}]

REST_PREFIX = "/services/data/"
SOAP_PREFIX = "/services/Soap/"
OAUTH_PREFIX = "/services/oauth2/"
ID_PREFIX = "/id/"

CODE_LIFETIME = 15 * 60       # seconds an authorization code may wait for its exchange
DEFAULT_SCOPES = ["api", "refresh_token"]
LOOPBACK_HOSTS = ("localhost", "127.0.0.1")

# Default OAuth error bodies of a forced status on /services/oauth2/ paths.
OAUTH_STATUS_ERRORS = {
    400: ("invalid_request", "bad request"),
    401: ("invalid_client", "invalid client credentials"),
    403: ("rate_limit_exceeded", "rate limit exceeded"),
    500: ("server_error", "internal server error"),
    503: ("temporarily_unavailable", "service temporarily unavailable"),
}

SOAPENV = "http://schemas.xmlsoap.org/soap/envelope/"

ID_RE = re.compile(r"^[A-Za-z0-9]{15}(?:[A-Za-z0-9]{3})?$")
VERSION = r"v(\d+\.\d+)"
DESCRIBE_RE = re.compile(r"^/services/data/" + VERSION + r"/sobjects/(\w+)/describe/?$")
QUERY_RE = re.compile(r"^/services/data/" + VERSION + r"/query/?$")
QUERY_MORE_RE = re.compile(r"^/services/data/" + VERSION + r"/query/([A-Za-z0-9]+)-(\d+)$")
COLLECTION_RE = re.compile(r"^/services/data/" + VERSION + r"/composite/sobjects/?$")
LOGIN_RE = re.compile(r"^/services/Soap/[uc]/(\d+\.\d+)/?$")

SOQL_RE = re.compile(
    r"^\s*SELECT\s+(?P<fields>.+?)\s+FROM\s+(?P<object>\w+)"
    r"(?:\s+WHERE\s+(?P<where>.+?))?"
    r"(?:\s+GROUP\s+BY\s+(?P<group>\w+))?\s*$",
    re.IGNORECASE | re.DOTALL)
WHERE_IN_RE = re.compile(r"^(?P<field>\w+)\s+IN\s*\((?P<values>.*)\)$", re.IGNORECASE | re.DOTALL)
QUOTED_RE = re.compile(r"'((?:[^'\\]|\\.)*)'")
COUNT_RE = re.compile(r"^COUNT\s*\(\s*(\w+)\s*\)$", re.IGNORECASE)


class ApiError(Exception):
    """A REST error answered as [{"message": ..., "errorCode": ...}]."""

    def __init__(self, status, code, message):
        super().__init__(message)
        self.status = status
        self.code = code
        self.message = message

    def body(self):
        return [{"message": self.message, "errorCode": self.code}]


def field_type(name, sample):
    """Best guess of a describe type from a field's name and a sample value."""
    if name == "Id":
        return "id"
    if isinstance(sample, bool) or name.startswith("Is"):
        return "boolean"
    if isinstance(sample, int):
        return "int"
    if isinstance(sample, float):
        return "double"
    if name.endswith("Id") and len(name) > 2:
        return "reference"
    if isinstance(sample, str):
        if re.match(r"^\d{4}-\d\d-\d\dT", sample):
            return "datetime"
        if re.match(r"^\d{4}-\d\d-\d\d$", sample):
            return "date"
    if name in ("CreatedDate", "LastModifiedDate", "SystemModstamp"):
        return "datetime"
    if "Email" in name:
        return "email"
    if "Phone" in name:
        return "phone"
    return "string"


def soql_error_message(soql, token, text):
    """Error text with the caret line the service puts before it."""
    flat = soql.replace("\n", " ")
    col = flat.find(token)
    col = col if col >= 0 else 0
    return "\n%s\n%s^\nERROR at Row:1:Column:%d\n%s" % (flat, " " * col, col + 1, text)


class Cursor:
    """A query's result fixed when its first page was asked for."""

    def __init__(self, locator, obj, fields, rows, version, page_size):
        self.locator = locator
        self.obj = obj
        self.fields = fields          # canonical names in SELECT order
        self.rows = rows              # record dicts; never mutated in place
        self.version = version
        self.page_size = page_size
        self.pages = {}               # (offset, size) -> bytes
        self.lock = threading.Lock()

    def page(self, offset, size):
        key = (offset, size)
        with self.lock:
            cached = self.pages.get(key)
        if cached is not None:
            return cached
        end = min(offset + size, len(self.rows))
        done = end >= len(self.rows)
        url_prefix = "/services/data/v%s/sobjects/%s/" % (self.version, self.obj)
        obj = self.obj
        fields = self.fields
        records = []
        for rec in self.rows[offset:end]:
            out = {"attributes": {"type": obj, "url": url_prefix + str(rec.get("Id"))}}
            for f in fields:
                out[f] = rec.get(f)
            records.append(out)
        head = {"totalSize": len(self.rows), "done": done}
        if not done:
            head["nextRecordsUrl"] = "/services/data/v%s/query/%s-%d" % (self.version, self.locator, end)
        head_json = json.dumps(head, separators=(",", ":"))
        body = (head_json[:-1] + ',"records":' +
                json.dumps(records, separators=(",", ":")) + "}").encode("utf-8")
        with self.lock:
            self.pages[key] = body
        return body


class Fault:
    def __init__(self, conf):
        self.conf = conf
        self.kind = conf.get("kind")
        self.path = conf.get("path")
        self.method = conf.get("method")
        self.skip = int(conf.get("skip", 0))
        default_times = -1 if self.kind == "delete_error" else 1
        self.times = int(conf.get("times", default_times))
        self.seen = 0
        self.fired = 0
        self.ids = set(conf.get("ids") or [])

    def matches(self, method, path):
        if self.method and self.method.upper() != method.upper():
            return False
        if self.path is not None:
            return self.path in path
        if self.kind == "login_fault":
            return path.startswith(SOAP_PREFIX)
        return path.startswith(REST_PREFIX)

    def take(self):
        """Counts one matching request; True when the fault applies to it."""
        self.seen += 1
        if self.seen <= self.skip:
            return False
        if self.times >= 0 and self.fired >= self.times:
            return False
        self.fired += 1
        return True


class OAuthError(Exception):
    """A token or revoke endpoint error: {"error": ..., "error_description": ...}."""

    def __init__(self, status, error, description):
        super().__init__(description)
        self.status = status
        self.error = error
        self.description = description

    def body(self):
        return {"error": self.error, "error_description": self.description}


class AuthorizeAnswer:
    """What the browser gets from the authorize endpoint: a redirect or a page."""

    def __init__(self, status, location=None, page=None, error=None, username=None):
        self.status = status
        self.location = location
        self.page = page
        self.error = error
        self.username = username


def pkce_challenge(verifier):
    """base64url(SHA-256(verifier)) without padding, as S256 defines it."""
    digest = hashlib.sha256(verifier.encode("ascii", "replace")).digest()
    return base64.urlsafe_b64encode(digest).decode("ascii").rstrip("=")


def add_query(uri, pairs):
    """uri with pairs appended to its query string, URL-encoded."""
    split = urllib.parse.urlsplit(uri)
    extra = urllib.parse.urlencode([(k, v) for k, v in pairs if v is not None], quote_via=urllib.parse.quote)
    query = split.query + "&" + extra if split.query else extra
    return urllib.parse.urlunsplit((split.scheme, split.netloc, split.path, query, split.fragment))


def error_page(error, description):
    return ("<html><head><title>OAuth Error</title></head><body>"
            "<h1>OAuth Error</h1>"
            "<p>We can't authorize you because of an OAuth error.</p>"
            "<p>error=%s</p><p>error_description=%s</p>"
            "</body></html>" % (html.escape(error), html.escape(description))).encode("utf-8")


LOGIN_PAGE = (b"<html><head><title>Login</title></head><body>"
              b"<form method=\"post\" action=\"/\"><input name=\"username\"/>"
              b"<input name=\"pw\" type=\"password\"/><input type=\"submit\" value=\"Log In\"/>"
              b"</form></body></html>")


class App:
    """A connected app: consumer key, callback URLs, scopes, token rotation."""

    def __init__(self, conf):
        self.key = conf["consumerKey"]
        self.secret = conf.get("consumerSecret") or self.key
        self.callbacks = list(conf.get("callbackUrls") or [])
        self.rotate = bool(conf.get("rotateRefreshTokens", True))
        self.require_pkce = bool(conf.get("requirePkce", True))
        self.scopes = list(conf.get("scopes") or DEFAULT_SCOPES)

    def accepts(self, uri):
        """A listed URL exactly, or a listed loopback URL with any port."""
        if uri in self.callbacks:
            return True
        try:
            got = urllib.parse.urlsplit(uri)
            got_port = got.port
        except ValueError:
            return False
        if got.hostname not in LOOPBACK_HOSTS or got_port is None:
            return False
        for listed in self.callbacks:
            want = urllib.parse.urlsplit(listed)
            if (want.scheme == got.scheme and want.hostname == got.hostname
                    and (want.path or "/") == (got.path or "/") and want.query == got.query):
                return True
        return False

    def grant_scopes(self, requested):
        """Scopes granted for a requested list (all of the app's when none asked)."""
        if not requested:
            return list(self.scopes)
        wanted = {"refresh_token" if s == "offline_access" else s for s in requested.split()}
        return [s for s in self.scopes if s in wanted]


class Grant:
    """One user's authorization of one app; its access tokens die with it."""

    def __init__(self, client_id, username, scopes):
        self.client_id = client_id
        self.username = username
        self.scopes = scopes
        self.access = set()


class OAuth:
    """Codes, refresh tokens and grants; guarded by the org's lock.

    Access tokens live in org.sessions so that the REST API accepts them.
    """

    def __init__(self, org, apps):
        self.org = org
        self.apps = {}
        for conf in apps or []:
            app = App(conf)
            self.apps[app.key] = app
        self.codes = {}               # code -> dict
        self.refresh = {}             # refresh token -> Grant
        self.by_access = {}           # access token -> Grant
        self.revoked = 0
        self.codes_issued = 0
        self.control = {}             # control.json "authorize"
        self.state_path = os.path.join(org.state_dir, "oauth.json")
        self.write_state()

    def write_state(self):
        state = {"liveRefreshTokens": len(self.refresh), "revoked": self.revoked,
                 "codesIssued": self.codes_issued}
        tmp = self.state_path + ".tmp"
        with open(tmp, "w", encoding="utf-8") as fh:
            json.dump(state, fh)
        os.replace(tmp, self.state_path)

    # ----- authorize ---------------------------------------------------

    def authorize(self, params):
        def p(name):
            return params.get(name, [None])[0]

        with self.org.lock:
            ctl = dict(self.control)
            app = self.apps.get(p("client_id") or "")
            if app is None:
                return AuthorizeAnswer(400, page=error_page("invalid_client_id", "client identifier invalid"),
                                       error="invalid_client_id")
            redirect_uri = p("redirect_uri")
            if not redirect_uri or not app.accepts(redirect_uri):
                return AuthorizeAnswer(400, page=error_page("redirect_uri_mismatch",
                                                            "redirect_uri must match configuration"),
                                       error="redirect_uri_mismatch")
            state = p("state")

            def back(error, description):
                return AuthorizeAnswer(302, location=add_query(redirect_uri, [
                    ("error", error), ("error_description", description), ("state", state)]), error=error)

            if p("response_type") != "code":
                return back("unsupported_response_type", "response type not supported")
            challenge = p("code_challenge")
            method = p("code_challenge_method")
            if not challenge:
                if app.require_pkce:
                    return back("invalid_request", "missing required code challenge")
            elif method is not None and method != "S256":
                return back("invalid_request", "invalid code challenge method")
            if ctl.get("noRedirect"):
                return AuthorizeAnswer(200, page=LOGIN_PAGE)
            username = ctl.get("user") or next(iter(self.org.users), None)
            if username not in self.org.users:
                return AuthorizeAnswer(400, page=error_page("invalid_request", "no such user: %s" % username),
                                       error="invalid_request")
            state = ctl.get("state", state)
            if ctl.get("error"):
                return back(ctl["error"], ctl.get("error_description", "end-user denied authorization"))
            code = "aPrx" + secrets.token_urlsafe(60).replace("-", ".") + "=="
            self.codes[code] = {
                "client_id": app.key, "redirect_uri": redirect_uri, "username": username,
                "challenge": challenge, "plain": bool(challenge) and method is None,
                "scopes": app.grant_scopes(p("scope")), "used": False,
                "expires": time.monotonic() + float(ctl.get("codeLifetimeSeconds", CODE_LIFETIME)),
            }
            self.codes_issued += 1
            self._purge_codes()
            self.write_state()
            return AuthorizeAnswer(302, location=add_query(redirect_uri, [("code", code), ("state", state)]),
                                   username=username)

    def _purge_codes(self):
        now = time.monotonic()
        for code in [c for c, rec in self.codes.items() if rec["expires"] < now - CODE_LIFETIME]:
            del self.codes[code]

    # ----- token -------------------------------------------------------

    def token(self, form, base):
        def f(name):
            return form.get(name, [None])[0]

        grant_type = f("grant_type")
        with self.org.lock:
            if grant_type not in ("authorization_code", "refresh_token"):
                raise OAuthError(400, "unsupported_grant_type", "grant type not supported")
            app = self.apps.get(f("client_id") or "")
            if app is None:
                raise OAuthError(400, "invalid_client_id", "client identifier invalid")
            if grant_type == "authorization_code":
                return self._redeem_code(app, f, base)
            return self._refresh(app, f("refresh_token"), base)

    def _redeem_code(self, app, f, base):
        rec = self.codes.get(f("code") or "")
        if rec is None:
            raise OAuthError(400, "invalid_grant", "invalid authorization code")
        if rec["used"] or time.monotonic() > rec["expires"]:
            raise OAuthError(400, "invalid_grant", "expired authorization code")
        rec["used"] = True        # one presentation only, whatever its outcome
        if rec["client_id"] != app.key:
            raise OAuthError(400, "invalid_grant", "invalid authorization code")
        redirect_uri = f("redirect_uri")
        if not redirect_uri or not app.accepts(redirect_uri):
            raise OAuthError(400, "redirect_uri_mismatch", "redirect_uri must match configuration")
        if redirect_uri != rec["redirect_uri"]:
            raise OAuthError(400, "invalid_grant", "authentication failure")
        if rec["challenge"]:
            verifier = f("code_verifier") or ""
            derived = verifier if rec["plain"] else pkce_challenge(verifier)
            if not verifier or not hmac.compare_digest(derived, rec["challenge"]):
                raise OAuthError(400, "invalid_grant", "invalid code verifier")
        grant = Grant(app.key, rec["username"], rec["scopes"])
        refresh = None
        if "refresh_token" in grant.scopes:
            refresh = self._new_refresh(grant)
        answer = self._answer(app, grant, refresh, base)
        self.write_state()
        return answer

    def _refresh(self, app, token, base):
        grant = self.refresh.get(token or "")
        if grant is None or grant.client_id != app.key:
            raise OAuthError(400, "invalid_grant", "expired access/refresh token")
        refresh = None
        if app.rotate:
            del self.refresh[token]
            refresh = self._new_refresh(grant)
        answer = self._answer(app, grant, refresh, base)
        self.write_state()
        return answer

    def _new_refresh(self, grant):
        token = "5Aep861" + secrets.token_urlsafe(64).replace("-", ".")
        self.refresh[token] = grant
        return token

    def _answer(self, app, grant, refresh, base):
        access = ORG_ID + "!" + secrets.token_urlsafe(72)
        self.org.sessions[access] = grant.username
        grant.access.add(access)
        self.by_access[access] = grant
        ident = "%s/id/%s/%s" % (base, ORG_ID, self.org.user_ids[grant.username])
        issued = str(int(time.time() * 1000))
        mac = hmac.new(app.secret.encode("utf-8"), (ident + issued).encode("utf-8"), hashlib.sha256)
        out = {"access_token": access}
        if refresh:
            out["refresh_token"] = refresh
        out.update({
            "signature": base64.b64encode(mac.digest()).decode("ascii"),
            "scope": " ".join(grant.scopes),
            "instance_url": base,
            "id": ident,
            "token_type": "Bearer",
            "issued_at": issued,
        })
        return out

    # ----- revoke ------------------------------------------------------

    def revoke(self, token):
        """'refresh' or 'access': what the token was; raises OAuthError."""
        with self.org.lock:
            if not token:
                raise OAuthError(400, "invalid_token", "Token was invalid")
            grant = self.refresh.pop(token, None)
            if grant is not None:
                for access in grant.access:
                    self.org.sessions.pop(access, None)
                    self.by_access.pop(access, None)
                grant.access.clear()
                kind = "refresh"
            elif token in self.org.sessions:
                del self.org.sessions[token]
                grant = self.by_access.pop(token, None)
                if grant is not None:
                    grant.access.discard(token)
                kind = "access"
            else:
                raise OAuthError(400, "unsupported_token_type", "Token type not supported")
            self.revoked += 1
            self.write_state()
            return kind

    # ----- identity ----------------------------------------------------

    def identity(self, token, org_part, user_part, base, version):
        """(status, JSON-able body or plain error text)."""
        with self.org.lock:
            if not token:
                return 403, "Missing_OAuth_Token"
            if self.org.sessions.get(token) is None:
                return 403, "Bad_OAuth_Token"
            if org_part[:15] != ORG_ID:
                return 403, "Wrong_Org"
            username = next((n for n, uid in self.org.user_ids.items()
                             if uid == user_part or uid[:15] == user_part), None)
            if username is None:
                return 404, "Bad_Id"
            user = self.org.users[username]
            uid = self.org.user_ids[username]
        full = user.get("fullName") or username.split("@")[0]
        first, _, last = full.rpartition(" ")
        v = version or "{version}"
        rest = "%s/services/data/v%s/" % (base, v)
        return 200, {
            "id": "%s/id/%s/%s" % (base, ORG_ID, uid),
            "asserted_user": True,
            "user_id": uid,
            "organization_id": ORG_ID + "AAA",
            "username": username,
            "nick_name": username.split("@")[0],
            "display_name": full,
            "email": user.get("email") or username,
            "email_verified": True,
            "first_name": first or None,
            "last_name": last,
            "timezone": "America/Los_Angeles",
            "photos": {"picture": "%s/profilephoto/005/F" % base, "thumbnail": "%s/profilephoto/005/T" % base},
            "addr_street": None, "addr_city": None, "addr_state": None, "addr_country": "US", "addr_zip": None,
            "mobile_phone": None,
            "mobile_phone_verified": False,
            "is_lightning_login_user": False,
            "status": {"created_date": None, "body": None},
            "urls": {
                "enterprise": "%s/services/Soap/c/%s/%s" % (base, v, ORG_ID),
                "metadata": "%s/services/Soap/m/%s/%s" % (base, v, ORG_ID),
                "partner": "%s/services/Soap/u/%s/%s" % (base, v, ORG_ID),
                "rest": rest,
                "sobjects": rest + "sobjects/",
                "search": rest + "search/",
                "query": rest + "query/",
                "recent": rest + "recent/",
                "tooling_soap": "%s/services/Soap/T/%s/%s" % (base, v, ORG_ID),
                "tooling_rest": rest + "tooling/",
                "profile": "%s/%s" % (base, uid),
                "feeds": rest + "chatter/feeds",
                "groups": rest + "chatter/groups",
                "users": rest + "chatter/users",
                "feed_items": rest + "chatter/feed-items",
                "feed_elements": rest + "chatter/feed-elements",
                "custom_domain": base,
            },
            "active": True,
            "user_type": "STANDARD",
            "language": "en_US",
            "locale": "en_US",
            "utcOffset": -28800000,
            "last_modified_date": "2024-01-01T00:00:00Z",
            "is_app_installed": True,
        }


class Org:
    """Users, records, sessions, cursors, faults; all guarded by self.lock."""

    def __init__(self, org, state_dir, page_size_cap):
        self.lock = threading.RLock()
        self.state_dir = state_dir
        self.page_size_cap = page_size_cap
        self.users = {u["username"]: u for u in org.get("users", [])}
        self.user_ids = {name: u.get("userId") or "005%012dAAA" % (i + 1)
                         for i, (name, u) in enumerate(self.users.items())}
        self.describe_lists = dict(org.get("describe") or {})
        self.objects = {}
        self.where = {}               # id -> (object, index)
        for obj, recs in (org.get("objects") or {}).items():
            self.objects[obj] = [dict(r) for r in recs]
            for i, r in enumerate(self.objects[obj]):
                if "Id" in r:
                    self.where[r["Id"]] = (obj, i)
        self.deleted = {}             # the recycle bin: id -> "direct" | "account id" (cascade)
        self.purged = set()           # deleted ids no longer in the recycle bin
        self.sessions = {}            # session id -> username
        self.cursors = {}
        self.cursor_seq = itertools.count(1)
        self.api_used = 0
        self.faults = []
        self.control_sig = None
        self.field_cache = {}
        self.requests_log = open(os.path.join(state_dir, "requests.jsonl"), "a", encoding="utf-8")
        self.deleted_log = open(os.path.join(state_dir, "deleted.txt"), "a", encoding="utf-8")
        self.undeleted_log = open(os.path.join(state_dir, "undeleted.txt"), "a", encoding="utf-8")
        self.control_path = os.path.join(state_dir, "control.json")
        self.oauth = OAuth(self, org.get("apps"))
        for obj in self.objects:
            self.fields_of(obj)    # scan large objects now, not on the first query

    # ----- state files -------------------------------------------------

    def log_request(self, entry):
        line = json.dumps(entry, separators=(",", ":"))
        with self.lock:
            self.requests_log.write(line + "\n")
            self.requests_log.flush()

    def log_deleted(self, rec_id, cascade):
        self.deleted_log.write(rec_id + (" cascade" if cascade else "") + "\n")
        self.deleted_log.flush()

    def reload_control(self):
        """Re-reads control.json when it changed; a new file resets fault counts."""
        try:
            st = os.stat(self.control_path)
            sig = (st.st_mtime_ns, st.st_size, st.st_ino)
        except FileNotFoundError:
            sig = None
        with self.lock:
            if sig == self.control_sig:
                return
            if sig is None:
                self.control_sig = None
                self.faults = []
                self.oauth.control = {}
                return
            try:
                with open(self.control_path, encoding="utf-8") as fh:
                    control = json.load(fh)
            except (OSError, ValueError):
                return    # half-written; try again on the next request
            self.control_sig = sig
            self.faults = [Fault(f) for f in control.get("faults") or []]
            self.oauth.control = dict(control.get("authorize") or {})
            for rec_id, changes in (control.get("modify") or {}).items():
                self.modify(rec_id, changes)
            for rec_id in control.get("purge") or []:
                if self.deleted.pop(rec_id, None) is not None:
                    self.purged.add(rec_id)

    def modify(self, rec_id, changes):
        pos = self.where.get(rec_id)
        if pos is None:
            return
        obj, i = pos
        # Replace rather than mutate: open cursors keep the old record.
        self.objects[obj][i] = dict(self.objects[obj][i], **changes)
        self.field_cache.pop(obj, None)

    # ----- faults ------------------------------------------------------

    def request_fault(self, method, path):
        """First request-level fault that applies to this request, or None."""
        with self.lock:
            for f in self.faults:
                if f.kind in ("status", "expire_sessions", "malformed", "garbage", "hang"):
                    if f.matches(method, path) and f.take():
                        if f.kind == "expire_sessions":
                            self.sessions.clear()
                        return f
        return None

    def login_fault(self, path):
        with self.lock:
            for f in self.faults:
                if f.kind == "login_fault" and f.matches("POST", path) and f.take():
                    return f.conf.get("code", "INVALID_LOGIN")
        return None

    def delete_faults(self, method, path, ids):
        """id -> (statusCode, message) forced on this delete request."""
        forced = {}
        wanted = set(ids)
        for f in self.faults:
            if f.kind not in ("lock", "delete_error"):
                continue
            if f.path is not None or f.method:
                if not f.matches(method, path):
                    continue
            hit = f.ids & wanted
            if not hit or not f.take():
                continue
            for rec_id in hit:
                if rec_id in forced:
                    continue
                if f.kind == "lock":
                    forced[rec_id] = ("UNABLE_TO_LOCK_ROW",
                                      "unable to obtain exclusive access to this record or 1 records: " + rec_id)
                else:
                    forced[rec_id] = (f.conf.get("statusCode", "DELETE_FAILED"),
                                      f.conf.get("message", "Your attempt to delete this record could not be completed."))
        return forced

    # ----- login -------------------------------------------------------

    def login(self, username, password, path):
        """Returns (session id, user) or raises LoginFailure."""
        forced = self.login_fault(path)
        if forced:
            raise LoginFailure(forced)
        with self.lock:
            user = self.users.get(username)
            if user is None:
                raise LoginFailure("INVALID_LOGIN")
            if user.get("loginFault"):
                raise LoginFailure(user["loginFault"])
            token = user.get("token") or ""
            if password != user.get("password", "") + token:
                if token and password == user.get("password", ""):
                    raise LoginFailure("LOGIN_MUST_USE_SECURITY_TOKEN")
                raise LoginFailure("INVALID_LOGIN")
            session = ORG_ID + "!" + secrets.token_urlsafe(72)
            self.sessions[session] = username
            return session, user

    def session_user(self, headers):
        auth = headers.get("Authorization") or ""
        parts = auth.split(None, 1)
        if len(parts) != 2 or parts[0].lower() not in ("bearer", "oauth"):
            return None
        with self.lock:
            name = self.sessions.get(parts[1].strip())
            return self.users.get(name) if name else None

    # ----- describe ----------------------------------------------------

    def known_object(self, obj):
        return obj in self.objects or obj in self.describe_lists

    def canonical_object(self, obj):
        for name in itertools.chain(self.objects, self.describe_lists):
            if name.lower() == obj.lower():
                return name
        return None

    def fields_of(self, obj):
        """[(name, sample value)] the user may read, in describe order."""
        cached = self.field_cache.get(obj)
        if cached is not None:
            return cached
        samples = {}
        for rec in self.objects.get(obj, []):
            for k, v in rec.items():
                if v is not None and k not in samples:
                    samples[k] = v
        if obj in self.describe_lists:
            names = list(self.describe_lists[obj])
        else:
            names = list(DEFAULT_FIELDS)
            for rec in self.objects.get(obj, []):
                for k in rec:
                    if k not in names:
                        names.append(k)
        result = [(n, samples.get(n)) for n in names]
        self.field_cache[obj] = result
        return result

    def describe(self, obj, version):
        with self.lock:
            name = self.canonical_object(obj)
            if name is None:
                raise ApiError(404, "NOT_FOUND", "The requested resource does not exist")
            fields = self.fields_of(name)
            prefix = KEY_PREFIXES.get(name)
            if prefix is None:
                first = next((r.get("Id") for r in self.objects.get(name, []) if r.get("Id")), None)
                prefix = first[:3] if first else None
        base = "/services/data/v%s/sobjects/%s" % (version, name)
        out_fields = []
        for fname, sample in fields:
            ftype = field_type(fname, sample)
            out_fields.append({
                "name": fname,
                "label": re.sub(r"(?<=[a-z])(?=[A-Z])", " ", fname),
                "type": ftype,
                "length": 255 if ftype in ("string", "email", "phone") else (18 if ftype in ("id", "reference") else 0),
                "nillable": fname not in ("Id", "IsDeleted", "CreatedDate", "LastModifiedDate"),
                "custom": fname.endswith("__c"),
                "createable": fname not in DEFAULT_FIELDS,
                "updateable": fname not in DEFAULT_FIELDS,
                "filterable": True,
                "sortable": True,
                "groupable": ftype not in ("double", "datetime"),
                "referenceTo": REFERENCE_TO.get(fname, []) if ftype == "reference" else [],
                "relationshipName": fname[:-2] if ftype == "reference" else None,
            })
        return {
            "name": name,
            "label": name,
            "labelPlural": name + "s",
            "keyPrefix": prefix,
            "custom": name.endswith("__c"),
            "createable": True,
            "updateable": True,
            "deletable": True,
            "undeletable": True,
            "queryable": True,
            "retrieveable": True,
            "searchable": True,
            "layoutable": True,
            "fields": out_fields,
            "urls": {"sobject": base, "describe": base + "/describe", "rowTemplate": base + "/{ID}"},
        }

    # ----- query -------------------------------------------------------

    def query(self, soql, version, batch_size):
        m = SOQL_RE.match(soql)
        if not m:
            raise ApiError(400, "MALFORMED_QUERY", "unexpected token: '%s'" % soql.strip().split(" ")[0][:40])
        obj_token = m.group("object")
        with self.lock:
            obj = self.canonical_object(obj_token)
            if obj is None:
                raise ApiError(400, "INVALID_TYPE", soql_error_message(
                    soql, obj_token,
                    "sObject type '%s' is not supported. If you are attempting to use a custom object, "
                    "be sure to append the '__c' after the entity name. Please reference your WSDL or "
                    "the describe call for the appropriate names." % obj_token))
            readable = {n.lower(): n for n, _ in self.fields_of(obj)}

            def field(token):
                name = readable.get(token.lower())
                if name is None:
                    raise ApiError(400, "INVALID_FIELD", soql_error_message(
                        soql, token,
                        "No such column '%s' on entity '%s'. If you are attempting to use a custom field, "
                        "be sure to append the '__c' after the custom field name. Please reference your WSDL "
                        "or the describe call for the appropriate names." % (token, obj)))
                return name

            select = [t.strip() for t in m.group("fields").split(",")]
            if not select or any(not t for t in select):
                raise ApiError(400, "MALFORMED_QUERY", "unexpected token: ','")
            columns = []          # (kind, canonical name)
            for t in select:
                c = COUNT_RE.match(t)
                if c:
                    columns.append(("count", field(c.group(1))))
                elif re.match(r"^\w+$", t):
                    columns.append(("field", field(t)))
                else:
                    raise ApiError(400, "MALFORMED_QUERY", "unexpected token: '%s'" % t)

            filt = None
            if m.group("where"):
                w = WHERE_IN_RE.match(m.group("where").strip())
                if not w:
                    raise ApiError(400, "MALFORMED_QUERY", "unexpected token: '%s'" % m.group("where").strip()[:40])
                wfield = field(w.group("field"))
                raw = w.group("values").strip()
                values = [v.replace("\\'", "'").replace("\\\\", "\\") for v in QUOTED_RE.findall(raw)]
                if QUOTED_RE.sub("", raw).replace(",", "").strip():
                    raise ApiError(400, "MALFORMED_QUERY", "unexpected token: '%s'" % raw[:40])
                filt = (wfield, set(values))

            rows = self.objects.get(obj, [])
            deleted = self.deleted.keys() | self.purged if self.purged else self.deleted
            if filt is None:
                matched = [r for r in rows if r.get("Id") not in deleted] if deleted else list(rows)
            else:
                fname, wanted = filt
                matched = [r for r in rows if r.get(fname) in wanted and r.get("Id") not in deleted]

            group = m.group("group")
            has_count = any(k == "count" for k, _ in columns)
            if group or has_count:
                return self._aggregate(columns, group and field(group), matched)

            locator = "01g%012dAAA" % next(self.cursor_seq)
            fields = [name for _, name in columns]
            page_size = self._page_size(batch_size)
            cur = Cursor(locator, obj, fields, matched, version, page_size)
            self.cursors[locator] = cur
            while len(self.cursors) > MAX_OPEN_CURSORS:
                self.cursors.pop(next(iter(self.cursors)))
        return cur.page(0, page_size)

    def _aggregate(self, columns, group, matched):
        fields = [name for kind, name in columns if kind == "field"]
        if group is None and fields:
            raise ApiError(400, "MALFORMED_QUERY",
                           "Field must be grouped or aggregated: %s" % fields[0])
        if group is not None and any(f != group for f in fields):
            bad = next(f for f in fields if f != group)
            raise ApiError(400, "MALFORMED_QUERY", "Field must be grouped or aggregated: %s" % bad)
        groups = {}
        order = []
        for r in matched:
            key = r.get(group) if group else None
            if key not in groups:
                groups[key] = []
                order.append(key)
            groups[key].append(r)
        if group is None and not order:
            order, groups = [None], {None: []}
        records = []
        for key in order:
            out = {"attributes": {"type": "AggregateResult"}}
            expr = 0
            for kind, name in columns:
                if kind == "field":
                    out[name] = key
                else:
                    out["expr%d" % expr] = sum(1 for r in groups[key] if r.get(name) is not None)
                    expr += 1
            records.append(out)
        return json.dumps({"totalSize": len(records), "done": True, "records": records},
                          separators=(",", ":")).encode("utf-8")

    def _page_size(self, batch_size):
        size = DEFAULT_BATCH if batch_size is None else max(MIN_BATCH, min(MAX_BATCH, batch_size))
        if self.page_size_cap:
            size = min(size, self.page_size_cap)
        return max(1, size)

    def query_more(self, locator, offset, batch_size):
        with self.lock:
            cur = self.cursors.get(locator)
        if cur is None or offset > len(cur.rows):
            raise ApiError(400, "INVALID_QUERY_LOCATOR", "invalid query locator")
        size = cur.page_size if batch_size is None else self._page_size(batch_size)
        return cur.page(offset, size)

    # ----- delete ------------------------------------------------------

    def delete(self, method, path, ids, all_or_none):
        results = []
        with self.lock:
            forced = self.delete_faults(method, path, ids)
            plan = []          # per id: None (delete) or (code, message)
            going = set()
            for rec_id in ids:
                err = None
                if not ID_RE.match(rec_id):
                    err = ("MALFORMED_ID", "malformed id " + rec_id)
                elif rec_id in forced:
                    err = forced[rec_id]
                elif rec_id in self.deleted or rec_id in self.purged or rec_id in going:
                    err = ("ENTITY_IS_DELETED", "entity is deleted")
                elif rec_id not in self.where:
                    err = ("INVALID_CROSS_REFERENCE_KEY", "invalid cross reference id")
                else:
                    obj, i = self.where[rec_id]
                    rec = self.objects[obj][i]
                    if obj == "Contact" and rec.get("IsPersonAccount") is True:
                        err = ("INVALID_PERSON_ACCOUNT_OPERATION", "cannot reference person contact")
                    else:
                        going.add(rec_id)
                        if obj == "Account":
                            going.update(self._children(rec_id))
                plan.append(err)
            if all_or_none and any(plan):
                for err in plan:
                    if err is None:
                        err = ("ALL_OR_NONE_OPERATION_ROLLED_BACK",
                               "Record rolled back because not all records were valid and the request "
                               "was using AllOrNone header")
                    results.append(self._failure(err))
                return results
            for rec_id, err in zip(ids, plan):
                if err is not None:
                    results.append(self._failure(err))
                    continue
                if rec_id in self.deleted:
                    # Removed by an Account earlier in this same request.
                    results.append(self._failure(("ENTITY_IS_DELETED", "entity is deleted")))
                    continue
                self.deleted[rec_id] = "direct"
                self.log_deleted(rec_id, False)
                if self.where[rec_id][0] == "Account":
                    for child in self._children(rec_id):
                        if child not in self.deleted:
                            self.deleted[child] = rec_id
                            self.log_deleted(child, True)
                results.append({"id": rec_id, "success": True, "errors": []})
        return results

    # ----- undelete ----------------------------------------------------

    def undelete(self, ids):
        """One UndeleteResult per id, in order: (True, id) or (False, code, message)."""
        results = []
        with self.lock:
            for rec_id in ids:
                if not ID_RE.match(rec_id):
                    results.append((False, "MALFORMED_ID", "malformed id " + rec_id))
                elif rec_id not in self.where:
                    results.append((False, "INVALID_CROSS_REFERENCE_KEY", "invalid cross reference id"))
                elif rec_id not in self.deleted:
                    results.append((False, "UNDELETE_FAILED", "Entity is not in the recycle bin"))
                else:
                    del self.deleted[rec_id]
                    self.undeleted_log.write(rec_id + "\n")
                    # What went with an account comes back with it.
                    for child in [c for c, why in self.deleted.items() if why == rec_id]:
                        del self.deleted[child]
                        self.undeleted_log.write(child + " cascade\n")
                    self.undeleted_log.flush()
                    results.append((True, rec_id))
        return results

    def _children(self, account_id):
        out = []
        for obj in CASCADE_FROM_ACCOUNT:
            for rec in self.objects.get(obj, []):
                if (rec.get("AccountId") == account_id and rec.get("Id") not in self.deleted
                        and rec.get("Id") not in self.purged):
                    out.append(rec["Id"])
        return out

    @staticmethod
    def _failure(err):
        code, message = err
        return {"success": False, "errors": [{"statusCode": code, "message": message, "fields": []}]}


class LoginFailure(Exception):
    def __init__(self, code):
        super().__init__(code)
        self.code = code


def login_response(base_url, version, session, user):
    username = user["username"]
    full_name = user.get("fullName") or username.split("@")[0]
    info = [
        ("accessibilityMode", "false"), ("chatterExternal", "false"),
        ("currencySymbol", "$"), ("orgAttachmentFileSizeLimit", "5242880"),
        ("orgDefaultCurrencyIsoCode", "USD"), ("orgDefaultCurrencyLocale", "en_US"),
        ("orgDisallowHtmlAttachments", "false"), ("orgHasPersonAccounts", "true"),
        ("organizationId", ORG_ID + "AAA"), ("organizationMultiCurrency", "false"),
        ("organizationName", "Stand-in Org"), ("profileId", "00e000000000001AAA"),
        ("roleId", None), ("sessionSecondsValid", "7200"),
        ("userDefaultCurrencyIsoCode", None), ("userEmail", user.get("email") or username),
        ("userFullName", full_name), ("userId", user.get("userId", "")),
        ("userLanguage", "en_US"), ("userLocale", "en_US"), ("userName", username),
        ("userTimeZone", "America/Los_Angeles"), ("userType", "Standard"),
        ("userUiSkin", "Theme3"),
    ]
    info_xml = "".join(
        '<%s xsi:nil="true"/>' % k if v is None else "<%s>%s</%s>" % (k, xml_escape(v), k)
        for k, v in info)
    return (
        '<?xml version="1.0" encoding="UTF-8"?>'
        '<soapenv:Envelope xmlns:soapenv="%s" xmlns="urn:partner.soap.sforce.com" '
        'xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">'
        "<soapenv:Body><loginResponse><result>"
        "<metadataServerUrl>%s/services/Soap/m/%s/%s</metadataServerUrl>"
        "<passwordExpired>%s</passwordExpired>"
        "<sandbox>false</sandbox>"
        "<serverUrl>%s/services/Soap/u/%s/%s</serverUrl>"
        "<sessionId>%s</sessionId>"
        "<userId>%s</userId>"
        "<userInfo>%s</userInfo>"
        "</result></loginResponse></soapenv:Body></soapenv:Envelope>"
    ) % (SOAPENV, base_url, version, ORG_ID,
         "true" if user.get("passwordExpired") else "false",
         base_url, version, ORG_ID, xml_escape(session),
         xml_escape(user.get("userId", "")), info_xml)


def soap_fault(code, text=None, fault_type=None):
    if text is None:
        text = LOGIN_FAULT_TEXTS.get(code, code)
    if fault_type is None:
        fault_type = "LoginFault" if code in LOGIN_FAULT_TYPES else "UnexpectedErrorFault"
    return (
        '<?xml version="1.0" encoding="UTF-8"?>'
        '<soapenv:Envelope xmlns:soapenv="%s" xmlns:sf="urn:fault.partner.soap.sforce.com" '
        'xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">'
        "<soapenv:Body><soapenv:Fault>"
        "<faultcode>sf:%s</faultcode>"
        "<faultstring>%s: %s</faultstring>"
        "<detail><sf:%s xsi:type=\"sf:%s\">"
        "<sf:exceptionCode>%s</sf:exceptionCode>"
        "<sf:exceptionMessage>%s</sf:exceptionMessage>"
        "</sf:%s></detail>"
        "</soapenv:Fault></soapenv:Body></soapenv:Envelope>"
    ) % (SOAPENV, code, code, xml_escape(text), fault_type, fault_type,
         code, xml_escape(text), fault_type)


def undelete_response(results):
    parts = []
    for r in results:
        if r[0]:
            parts.append("<result><id>%s</id><success>true</success></result>" % xml_escape(r[1]))
        else:
            parts.append("<result><errors><message>%s</message><statusCode>%s</statusCode></errors>"
                         '<id xsi:nil="true"/><success>false</success></result>'
                         % (xml_escape(r[2]), xml_escape(r[1])))
    return ('<?xml version="1.0" encoding="UTF-8"?>'
            '<soapenv:Envelope xmlns:soapenv="%s" xmlns="urn:partner.soap.sforce.com" '
            'xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">'
            "<soapenv:Body><undeleteResponse>%s</undeleteResponse></soapenv:Body></soapenv:Envelope>"
            % (SOAPENV, "".join(parts)))


def parse_undelete(body):
    """(session id, [ids]) from an undelete() envelope; None when it is not one."""
    try:
        root = ET.fromstring(body)
    except ET.ParseError:
        return None
    session = None
    call = None
    for el in root.iter():
        name = el.tag.rsplit("}", 1)[-1]
        if name == "sessionId":
            session = (el.text or "").strip()
        elif name == "undelete":
            call = el
    if call is None:
        return None
    return session, [(c.text or "").strip() for c in call if c.tag.rsplit("}", 1)[-1] == "ids"]


def parse_login(body):
    """(username, password) from a login() envelope; None when it is not one."""
    try:
        root = ET.fromstring(body)
    except ET.ParseError:
        return None
    for el in root.iter():
        if el.tag.rsplit("}", 1)[-1] == "login":
            vals = {}
            for child in el:
                vals[child.tag.rsplit("}", 1)[-1]] = child.text or ""
            if "username" in vals and "password" in vals:
                return vals["username"], vals["password"]
    return None


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "StandIn/1.0"
    sys_version = ""
    timeout = 60

    # set on the class by make_server
    org = None
    stop = None
    scheme = "http"

    def setup(self):
        if isinstance(self.request, ssl.SSLSocket):
            self.request.settimeout(10)
            try:
                self.request.do_handshake()
            except (OSError, ssl.SSLError):
                self.close_connection = True
                self._handshake_failed = True
        super().setup()

    def handle(self):
        if getattr(self, "_handshake_failed", False):
            return
        try:
            super().handle()
        except (ConnectionError, ssl.SSLError, socket.timeout):
            pass

    def log_message(self, fmt, *args):
        pass

    # ----- plumbing ----------------------------------------------------

    def _body(self):
        length = int(self.headers.get("Content-Length") or 0)
        return self.rfile.read(length) if length > 0 else b""

    def _send(self, status, body, content_type="application/json;charset=UTF-8", extra=None):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        for k, v in (extra or {}).items():
            self.send_header(k, v)
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)
        self.wfile.flush()

    def _json(self, status, obj, extra=None):
        self._send(status, json.dumps(obj, separators=(",", ":")).encode("utf-8"), extra=extra)

    def do_GET(self):
        self._dispatch()

    def do_POST(self):
        self._dispatch()

    def do_DELETE(self):
        self._dispatch()

    def do_PATCH(self):
        self._dispatch()

    def do_PUT(self):
        self._dispatch()

    def _dispatch(self):
        split = urllib.parse.urlsplit(self.path)
        path = split.path
        params = urllib.parse.parse_qs(split.query, keep_blank_values=True)
        body = self._body()
        self.org.reload_control()
        entry = {"method": self.command, "path": path}
        for key in ("q", "ids", "allOrNone"):
            if key in params:
                entry[key] = params[key][0]
        qopt = self.headers.get("Sforce-Query-Options")
        if qopt is not None:
            entry["queryOptions"] = qopt
        if path.startswith(SOAP_PREFIX):
            self._soap(path, body, entry)
        elif path.startswith(REST_PREFIX):
            self._rest(path, params, entry)
        elif path.startswith(OAUTH_PREFIX):
            self._oauth(path, params, body, entry)
        elif path.startswith(ID_PREFIX):
            self._identity(path, params, entry)
        else:
            entry["status"] = 404
            self.org.log_request(entry)
            self._json(404, NOT_FOUND_BODY)

    # ----- SOAP --------------------------------------------------------

    def _soap(self, path, body, entry):
        fault = self.org.request_fault(self.command, path)
        if fault is not None and self._apply_request_fault(fault, entry, soap=True):
            return
        m = LOGIN_RE.match(path)
        undelete = parse_undelete(body) if (m and self.command == "POST") else None
        if undelete is not None:
            self._soap_undelete(undelete, entry)
            return
        creds = parse_login(body) if (m and self.command == "POST") else None
        if creds is None:
            entry["status"] = 500
            self.org.log_request(entry)
            self._send(500, soap_fault("INVALID_REQUEST", "Not a login() request.",
                                       "UnexpectedErrorFault").encode("utf-8"),
                       "text/xml;charset=UTF-8")
            return
        username, password = creds
        entry["soap"] = "login"
        entry["username"] = username
        port = self.server.server_address[1]
        base = "%s://127.0.0.1:%d" % (self.scheme, port)
        try:
            session, user = self.org.login(username, password, path)
        except LoginFailure as failure:
            entry["status"] = 500
            entry["loginFault"] = failure.code
            self.org.log_request(entry)
            self._send(500, soap_fault(failure.code).encode("utf-8"), "text/xml;charset=UTF-8")
            return
        entry["status"] = 200
        self.org.log_request(entry)
        self._send(200, login_response(base, m.group(1), session, user).encode("utf-8"),
                   "text/xml;charset=UTF-8")

    def _soap_fault(self, entry, code, text):
        entry["status"] = 500
        entry["fault"] = code
        self.org.log_request(entry)
        self._send(500, soap_fault(code, text, "UnexpectedErrorFault").encode("utf-8"),
                   "text/xml;charset=UTF-8")

    def _soap_undelete(self, call, entry):
        session, ids = call
        entry["soap"] = "undelete"
        entry["ids"] = ",".join(ids)
        with self.org.lock:
            user = self.org.sessions.get(session or "")
        if user is None:
            self._soap_fault(entry, "INVALID_SESSION_ID",
                             "Invalid Session ID found in SessionHeader: Illegal Session")
            return
        if not ids:
            self._soap_fault(entry, "INVALID_ID_FIELD", "No ids given")
            return
        if len(ids) > MAX_UNDELETE_IDS:
            self._soap_fault(entry, "EXCEEDED_ID_LIMIT",
                             "record limit reached. cannot submit more than 200 records into this call")
            return
        results = self.org.undelete(ids)
        entry["status"] = 200
        self.org.log_request(entry)
        self._send(200, undelete_response(results).encode("utf-8"), "text/xml;charset=UTF-8")

    # ----- REST --------------------------------------------------------

    def _limit_header(self):
        return {"Sforce-Limit-Info": "api-usage=%d/%d" % (self.org.api_used, API_LIMIT)}

    def _rest_error(self, entry, err):
        entry["status"] = err.status
        entry.setdefault("errorCode", err.code)
        self.org.log_request(entry)
        self._json(err.status, err.body(), self._limit_header())

    def _apply_request_fault(self, fault, entry, soap=False, oauth=False):
        """Answers a fault; False when the request goes on (expired sessions)."""
        entry["fault"] = fault.kind
        extra = {} if (soap or oauth) else self._limit_header()
        conf = fault.conf
        if fault.kind == "status":
            status = int(conf.get("status", 503))
            if oauth:
                error, description = OAUTH_STATUS_ERRORS.get(status, ("server_error", "internal server error"))
                body = {"error": conf.get("error", error),
                        "error_description": conf.get("error_description", description)}
            else:
                code, message = DEFAULT_STATUS_ERRORS.get(
                    status, ("UNKNOWN_EXCEPTION", "An unexpected error occurred."))
                body = [{"message": conf.get("message", message), "errorCode": conf.get("errorCode", code)}]
            entry["status"] = status
            self.org.log_request(entry)
            self._json(status, body, extra)
            return True
        if fault.kind == "malformed":
            entry["status"] = 200
            self.org.log_request(entry)
            self._send(200, b'{"totalSize":2,"done":true,"records":[{"attributes":{"type":"Con', extra=extra)
            return True
        if fault.kind == "garbage":
            entry["status"] = 200
            self.org.log_request(entry)
            self._send(200, b"<html><head><title>Maintenance</title></head><body>Down for maintenance</body></html>",
                       "text/html;charset=UTF-8", extra)
            return True
        if fault.kind == "hang":
            entry["status"] = None
            self.org.log_request(entry)
            self.stop.wait(float(conf.get("seconds", 30)))
            self.close_connection = True
            return True
        return False    # expire_sessions: the auth check below answers 401

    # ----- OAuth and identity ------------------------------------------

    def _base(self):
        return "%s://127.0.0.1:%d" % (self.scheme, self.server.server_address[1])

    def _oauth(self, path, params, body, entry):
        org = self.org
        fault = org.request_fault(self.command, path)
        if fault is not None and self._apply_request_fault(fault, entry, oauth=True):
            return
        name = path[len(OAUTH_PREFIX):].strip("/")
        form = urllib.parse.parse_qs(body.decode("utf-8", "replace"), keep_blank_values=True)
        no_store = {"Cache-Control": "no-cache,must-revalidate,max-age=0,no-store,private"}
        if name == "authorize" and self.command in ("GET", "POST"):
            merged = dict(params)
            merged.update(form)
            if "client_id" in merged:
                entry["client_id"] = merged["client_id"][0]
            answer = org.oauth.authorize(merged)
            entry["status"] = answer.status
            if answer.error:
                entry["error"] = answer.error
            if answer.username:
                entry["username"] = answer.username
            org.log_request(entry)
            if answer.location:
                self._send(302, b"", "text/html;charset=UTF-8", dict(no_store, Location=answer.location))
            else:
                self._send(answer.status, answer.page, "text/html;charset=UTF-8", no_store)
            return
        try:
            if name == "token":
                for key in ("grant_type", "client_id"):
                    if key in form:
                        entry[key] = form[key][0]
                if self.command != "POST":
                    raise OAuthError(400, "invalid_request", "must use HTTP POST")
                result = org.oauth.token(form, self._base())
            elif name == "revoke" and self.command in ("GET", "POST"):
                token = (form.get("token") or params.get("token") or [None])[0]
                entry["tokenType"] = org.oauth.revoke(token)
                result = None
            else:
                entry["status"] = 404
                org.log_request(entry)
                self._json(404, NOT_FOUND_BODY)
                return
        except OAuthError as err:
            entry["status"] = err.status
            entry["error"] = err.error
            org.log_request(entry)
            self._json(err.status, err.body(), no_store)
            return
        entry["status"] = 200
        org.log_request(entry)
        if result is None:
            self._send(200, b"", "text/plain;charset=UTF-8", no_store)
        else:
            self._json(200, result, no_store)

    def _identity(self, path, params, entry):
        org = self.org
        fault = org.request_fault(self.command, path)
        if fault is not None and self._apply_request_fault(fault, entry):
            return
        parts = path[len(ID_PREFIX):].strip("/").split("/")
        if len(parts) != 2 or self.command not in ("GET", "POST"):
            entry["status"] = 404
            org.log_request(entry)
            self._send(404, b"Bad_Id", "text/plain;charset=UTF-8")
            return
        token = None
        auth = (self.headers.get("Authorization") or "").split(None, 1)
        if len(auth) == 2 and auth[0].lower() in ("bearer", "oauth"):
            token = auth[1].strip()
        for key in ("oauth_token", "access_token"):
            if token is None and key in params:
                token = params[key][0]
        version = params.get("version", [None])[0]
        if version == "latest":
            version = "64.0"
        status, body = org.oauth.identity(token, parts[0], parts[1], self._base(), version)
        entry["status"] = status
        org.log_request(entry)
        if status == 200:
            self._json(200, body)
        else:
            self._send(status, body.encode("utf-8"), "text/plain;charset=UTF-8")

    # ----- REST (data) --------------------------------------------------

    def _rest(self, path, params, entry):
        org = self.org
        with org.lock:
            org.api_used += 1
        fault = org.request_fault(self.command, path)
        if fault is not None and self._apply_request_fault(fault, entry):
            return
        user = org.session_user(self.headers)
        if user is None:
            entry["status"] = 401
            org.log_request(entry)
            self._json(401, INVALID_SESSION_BODY, self._limit_header())
            return
        if user.get("passwordExpired"):
            self._rest_error(entry, ApiError(
                403, "INVALID_OPERATION_WITH_EXPIRED_PASSWORD",
                LOGIN_FAULT_TEXTS["INVALID_OPERATION_WITH_EXPIRED_PASSWORD"]))
            return
        batch = None
        qopt = self.headers.get("Sforce-Query-Options") or ""
        bm = re.search(r"batchSize\s*=\s*(\d+)", qopt)
        if bm:
            batch = int(bm.group(1))
        try:
            m = DESCRIBE_RE.match(path)
            if m and self.command == "GET":
                body = json.dumps(org.describe(m.group(2), m.group(1)), separators=(",", ":")).encode("utf-8")
            elif QUERY_RE.match(path) and self.command == "GET":
                if "q" not in params:
                    raise ApiError(400, "MALFORMED_QUERY", "Missing query string")
                body = org.query(params["q"][0], QUERY_RE.match(path).group(1), batch)
            elif QUERY_MORE_RE.match(path) and self.command == "GET":
                qm = QUERY_MORE_RE.match(path)
                body = org.query_more(qm.group(2), int(qm.group(3)), batch)
            elif COLLECTION_RE.match(path) and self.command == "DELETE":
                raw = params.get("ids", [""])[0]
                ids = [i.strip() for i in raw.split(",") if i.strip()]
                if not ids:
                    raise ApiError(400, "MISSING_ARGUMENT", "ids parameter is required")
                if len(ids) > MAX_DELETE_IDS:
                    raise ApiError(400, "EXCEEDED_ID_LIMIT",
                                   "record limit reached. cannot submit more than 200 records into this call")
                aon = params.get("allOrNone", ["false"])[0].lower() == "true"
                body = json.dumps(org.delete(self.command, path, ids, aon), separators=(",", ":")).encode("utf-8")
            else:
                raise ApiError(404, "NOT_FOUND", "The requested resource does not exist")
        except ApiError as err:
            self._rest_error(entry, err)
            return
        entry["status"] = 200
        org.log_request(entry)
        self._send(200, body, extra=self._limit_header())


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True
    request_queue_size = 64

    def handle_error(self, request, client_address):
        pass    # a client that hung up is no concern of the tests


def make_server(org, port, cert, key, stop):
    handler = type("BoundHandler", (Handler,), {"org": org, "stop": stop,
                                                "scheme": "https" if cert else "http"})
    server = Server(("127.0.0.1", port), handler)
    if cert:
        ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        ctx.load_cert_chain(cert, key)
        # The handshake runs in the connection's own thread (Handler.setup).
        server.socket = ctx.wrap_socket(server.socket, server_side=True,
                                        do_handshake_on_connect=False)
    return server


def main(argv=None):
    ap = argparse.ArgumentParser(description="Local stand-in of the CRM web APIs for tests.")
    ap.add_argument("--org", required=True, help="org description (JSON)")
    ap.add_argument("--state-dir", required=True, help="where requests.jsonl, deleted.txt, control.json live")
    ap.add_argument("--port", type=int, default=0)
    ap.add_argument("--page-size", type=int, default=None, help="largest query page served")
    ap.add_argument("--tls-cert")
    ap.add_argument("--tls-key")
    ap.add_argument("--max-seconds", type=float, default=600.0)
    args = ap.parse_args(argv)
    if bool(args.tls_cert) != bool(args.tls_key):
        ap.error("--tls-cert and --tls-key go together")

    with open(args.org, encoding="utf-8") as fh:
        org_conf = json.load(fh)
    os.makedirs(args.state_dir, exist_ok=True)
    org = Org(org_conf, args.state_dir, args.page_size)
    stop = threading.Event()
    server = make_server(org, args.port, args.tls_cert, args.tls_key, stop)

    def on_signal(signum, frame):
        stop.set()
    signal.signal(signal.SIGTERM, on_signal)
    signal.signal(signal.SIGINT, on_signal)

    worker = threading.Thread(target=server.serve_forever, kwargs={"poll_interval": 0.1}, daemon=True)
    worker.start()
    sys.stdout.write("PORT %d\n" % server.server_address[1])
    sys.stdout.flush()
    stop.wait(args.max_seconds)
    stop.set()
    server.shutdown()
    server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
