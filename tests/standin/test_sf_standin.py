"""Checks of the CRM API stand-in used by the end-to-end tests.

Starts sf_standin.py on a free port with a small org and talks to it the way
the helper does.  Run with:  python3 -m unittest test_sf_standin
"""

import base64
import contextlib
import hashlib
import http.client
import http.server
import json
import os
import re
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import urllib.error
import urllib.parse
import urllib.request
import xml.etree.ElementTree as ET

HERE = os.path.dirname(os.path.abspath(__file__))
SERVER = os.path.join(HERE, "sf_standin.py")
BROWSER = os.path.join(HERE, "fake_browser.py")
V = "/services/data/v64.0"

ACCT = "001000000000001AAA"
ACCT_CONTACT = "003000000000001AAA"
ACCT_OPP = "006000000000001AAA"
ACCT_CASE = "500000000000001AAA"
LONE = "003000000000002AAA"
PERSON = "003000000000003AAA"
LOCKED = "003000000000004AAA"

ORG = {
    "users": [
        {"username": "u@x.example", "password": "pw", "token": "TOK", "userId": "005000000000001AAA",
         "loginFault": None},
        {"username": "off@x.example", "password": "pw", "token": "TOK", "userId": "005000000000002AAA",
         "loginFault": "API_DISABLED_FOR_ORG"},
        {"username": "bob@x.example", "userId": "005000000000003AAA", "fullName": "Bob Stone",
         "email": "bob@mail.example"},
    ],
    "apps": [
        {"consumerKey": "KEY", "callbackUrls": ["http://localhost:1717/OauthRedirect"]},
        {"consumerKey": "STILL", "callbackUrls": ["http://127.0.0.1:1717/cb"], "rotateRefreshTokens": False},
    ],
    "describe": {"Lead": ["Id", "LastName"]},
    "objects": {
        "Account": [{"Id": ACCT, "Name": "Acme"}],
        "Contact": [
            {"Id": ACCT_CONTACT, "FirstName": "Ann", "AccountId": ACCT,
             "LastModifiedDate": "2024-05-01T10:00:00.000+0000"},
            {"Id": LONE, "FirstName": "Bob"},
            {"Id": PERSON, "FirstName": "Cy", "IsPersonAccount": True},
            {"Id": LOCKED, "FirstName": "Di"},
        ] + [{"Id": "003%012dAAA" % (100 + i), "FirstName": "P%d" % i} for i in range(5)],
        "Lead": [{"Id": "00Q000000000001AAA", "LastName": "Lee", "Company": "Hidden"}],
        "Opportunity": [{"Id": ACCT_OPP, "AccountId": ACCT}],
        "Case": [{"Id": ACCT_CASE, "AccountId": ACCT}],
    },
}

LOGIN_XML = (
    '<?xml version="1.0" encoding="utf-8"?>'
    '<env:Envelope xmlns:env="http://schemas.xmlsoap.org/soap/envelope/" '
    'xmlns:urn="urn:partner.soap.sforce.com"><env:Body><urn:login>'
    "<urn:username>%s</urn:username><urn:password>%s</urn:password>"
    "</urn:login></env:Body></env:Envelope>")


def local(tag):
    return tag.rsplit("}", 1)[-1]


class StandInCase(unittest.TestCase):
    """One server per test class; each test sees the state earlier ones left."""

    page_size = 3

    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        org_path = os.path.join(cls.tmp.name, "org.json")
        with open(org_path, "w") as fh:
            json.dump(ORG, fh)
        cls.state = os.path.join(cls.tmp.name, "state")
        cls.proc = subprocess.Popen(
            [sys.executable, SERVER, "--org", org_path, "--state-dir", cls.state,
             "--port", "0", "--page-size", str(cls.page_size), "--max-seconds", "60"],
            stdout=subprocess.PIPE, text=True)
        line = cls.proc.stdout.readline()
        m = re.match(r"^PORT (\d+)$", line.strip())
        if not m:
            cls.proc.kill()
            raise RuntimeError("stand-in did not start: %r" % line)
        cls.base = "http://127.0.0.1:%s" % m.group(1)

    @classmethod
    def tearDownClass(cls):
        cls.proc.terminate()
        cls.proc.wait(timeout=10)
        cls.proc.stdout.close()
        cls.tmp.cleanup()

    def setUp(self):
        self.control({})

    # ----- helpers -----------------------------------------------------

    def control(self, obj):
        path = os.path.join(self.state, "control.json")
        tmp = path + ".tmp"
        with open(tmp, "w") as fh:
            json.dump(obj, fh)
        os.replace(tmp, path)

    def call(self, method, path, session=None, headers=None, body=None):
        req = urllib.request.Request(self.base + path, method=method, data=body)
        if session:
            req.add_header("Authorization", "Bearer " + session)
        for k, v in (headers or {}).items():
            req.add_header(k, v)
        try:
            with urllib.request.urlopen(req, timeout=10) as resp:
                return resp.status, dict(resp.headers), resp.read()
        except urllib.error.HTTPError as err:
            return err.code, dict(err.headers), err.read()

    def login(self, username="u@x.example", password="pwTOK"):
        body = (LOGIN_XML % (username, password)).encode()
        status, _, raw = self.call("POST", "/services/Soap/u/64.0", body=body,
                                   headers={"Content-Type": "text/xml", "SOAPAction": "login"})
        return status, ET.fromstring(raw)

    def session(self):
        status, root = self.login()
        self.assertEqual(status, 200)
        return next(el.text for el in root.iter() if local(el.tag) == "sessionId")

    def query(self, session, soql):
        status, headers, raw = self.call("GET", V + "/query?q=" + urllib.parse.quote(soql), session)
        return status, headers, json.loads(raw)

    def delete(self, session, ids, all_or_none="false"):
        status, _, raw = self.call(
            "DELETE", V + "/composite/sobjects?ids=%s&allOrNone=%s" % (",".join(ids), all_or_none), session)
        return status, json.loads(raw)


class LoginTest(StandInCase):

    def test_success_gives_session_and_server_url_back_to_this_server(self):
        status, root = self.login()
        self.assertEqual(status, 200)
        result = {local(el.tag): el.text for el in next(e for e in root.iter() if local(e.tag) == "result")}
        self.assertEqual(result["serverUrl"], self.base + "/services/Soap/u/64.0/00D000000000001")
        self.assertEqual(result["userId"], "005000000000001AAA")
        self.assertEqual(result["passwordExpired"], "false")
        user_name = next(el.text for el in root.iter() if local(el.tag) == "userName")
        self.assertEqual(user_name, "u@x.example")
        self.assertNotEqual(self.session(), result["sessionId"], "each login gets a fresh session")

    def test_faults(self):
        cases = [
            ("wrong password", "u@x.example", "nopeTOK", None, "INVALID_LOGIN"),
            ("token missing", "u@x.example", "pw", None, "LOGIN_MUST_USE_SECURITY_TOKEN"),
            ("unknown user", "who@x.example", "pwTOK", None, "INVALID_LOGIN"),
            ("user's own fault", "off@x.example", "pwTOK", None, "API_DISABLED_FOR_ORG"),
            ("control fault", "u@x.example", "pwTOK",
             {"kind": "login_fault", "code": "INVALID_OPERATION"}, "INVALID_OPERATION"),
        ]
        for name, user, password, fault, code in cases:
            with self.subTest(name):
                self.control({"faults": [fault]} if fault else {})
                status, root = self.login(user, password)
                self.assertEqual(status, 500)
                parts = {local(el.tag): el.text for el in root.iter()}
                self.assertEqual(parts["faultcode"], "sf:" + code)
                self.assertTrue(parts["faultstring"].startswith(code + ": "))
                self.assertEqual(parts["exceptionCode"], code)
                if code == "INVALID_LOGIN":
                    self.assertEqual(parts["faultstring"], "INVALID_LOGIN: Invalid username, password, "
                                                           "security token; or user locked out.")

    def test_control_login_fault_applies_once_then_logins_work(self):
        self.control({"faults": [{"kind": "login_fault", "code": "INVALID_LOGIN"}]})
        self.assertEqual(self.login()[0], 500)
        self.assertEqual(self.login()[0], 200)


class QueryTest(StandInCase):

    def test_pages_follow_next_records_url_and_keep_the_snapshot(self):
        s = self.session()
        status, headers, page = self.query(s, "SELECT Id, FirstName, AccountId FROM Contact")
        self.assertEqual(status, 200)
        self.assertRegex(headers["Sforce-Limit-Info"], r"^api-usage=\d+/15000$")
        total = page["totalSize"]
        self.assertEqual(total, 9)
        first = page["records"][0]
        self.assertEqual(list(first), ["attributes", "Id", "FirstName", "AccountId"])
        self.assertEqual(first["attributes"], {"type": "Contact", "url": V + "/sobjects/Contact/" + ACCT_CONTACT})
        self.assertEqual(first["AccountId"], ACCT)
        self.assertIsNone(page["records"][1]["AccountId"], "a field the record lacks is null")
        # An edit after the first page does not show in the open cursor.
        self.control({"modify": {LONE: {"FirstName": "Changed"}}})
        seen = list(page["records"])
        for _ in range(10):
            if page["done"]:
                self.assertNotIn("nextRecordsUrl", page)
                break
            self.assertEqual(len(page["records"]), 3)
            status, _, raw = self.call("GET", page["nextRecordsUrl"], s)
            page = json.loads(raw)
            seen.extend(page["records"])
        self.assertEqual(len(seen), total)
        self.assertEqual(len({r["Id"] for r in seen}), total)
        self.assertIn("Bob", [r["FirstName"] for r in seen])
        _, _, fresh = self.query(s, "SELECT FirstName FROM Contact WHERE Id IN ('%s')" % LONE)
        self.assertEqual(fresh["records"][0]["FirstName"], "Changed")

    def test_batch_size_header_is_logged_and_honoured_within_the_cap(self):
        s = self.session()
        status, _, raw = self.call("GET", V + "/query?q=" + urllib.parse.quote("SELECT Id FROM Contact"), s,
                                   headers={"Sforce-Query-Options": "batchSize=200"})
        self.assertEqual(len(json.loads(raw)["records"]), 3)
        with open(os.path.join(self.state, "requests.jsonl")) as fh:
            last = json.loads(fh.read().splitlines()[-1])
        self.assertEqual(last["queryOptions"], "batchSize=200")
        self.assertEqual(last["q"], "SELECT Id FROM Contact")

    def test_errors(self):
        s = self.session()
        cases = [
            ("field not readable", "SELECT Id, Company FROM Lead", "INVALID_FIELD",
             "No such column 'Company' on entity 'Lead'"),
            ("unknown object", "SELECT Id FROM Widget", "INVALID_TYPE", "sObject type 'Widget' is not supported"),
            ("not SOQL", "DELETE FROM Contact", "MALFORMED_QUERY", ""),
        ]
        for name, soql, code, text in cases:
            with self.subTest(name):
                status, _, body = self.query(s, soql)
                self.assertEqual(status, 400)
                self.assertEqual(body[0]["errorCode"], code)
                self.assertIn(text, body[0]["message"])

    def test_aggregate_counts_children_per_account(self):
        s = self.session()
        status, _, body = self.query(
            s, "SELECT AccountId, COUNT(Id) FROM Opportunity WHERE AccountId IN ('%s','001000000000009AAA') "
               "GROUP BY AccountId" % ACCT)
        self.assertEqual(status, 200)
        self.assertEqual(body["records"], [{"attributes": {"type": "AggregateResult"},
                                            "AccountId": ACCT, "expr0": 1}])

    def test_describe_lists_readable_fields(self):
        s = self.session()
        status, _, raw = self.call("GET", V + "/sobjects/Lead/describe", s)
        self.assertEqual([f["name"] for f in json.loads(raw)["fields"]], ["Id", "LastName"])
        status, _, raw = self.call("GET", V + "/sobjects/Contact/describe", s)
        names = [f["name"] for f in json.loads(raw)["fields"]]
        self.assertTrue({"Id", "LastModifiedDate", "OwnerId", "FirstName", "AccountId"} <= set(names))
        status, _, raw = self.call("GET", V + "/sobjects/Widget/describe", s)
        self.assertEqual((status, json.loads(raw)[0]["errorCode"]), (404, "NOT_FOUND"))


class DeleteTest(StandInCase):

    def test_results_in_id_order_with_lock_cascade_and_refusals(self):
        s = self.session()
        self.control({"faults": [{"kind": "lock", "ids": [LOCKED]}]})
        ids = [LOCKED, ACCT, PERSON, "003000000000999AAA", "bogus", ACCT_CONTACT]
        status, results = self.delete(s, ids)
        self.assertEqual(status, 200)
        self.assertEqual(len(results), len(ids))
        expected = [
            ("UNABLE_TO_LOCK_ROW", "unable to obtain exclusive access to this record or 1 records: " + LOCKED),
            None,
            ("INVALID_PERSON_ACCOUNT_OPERATION", None),
            ("INVALID_CROSS_REFERENCE_KEY", None),
            ("MALFORMED_ID", None),
            ("ENTITY_IS_DELETED", "entity is deleted"),   # went with its Account just before
        ]
        for rec_id, result, want in zip(ids, results, expected):
            with self.subTest(rec_id):
                if want is None:
                    self.assertEqual(result, {"id": rec_id, "success": True, "errors": []})
                    continue
                self.assertFalse(result["success"])
                self.assertNotIn("id", result)
                self.assertEqual(result["errors"][0]["statusCode"], want[0])
                self.assertEqual(result["errors"][0]["fields"], [])
                if want[1]:
                    self.assertEqual(result["errors"][0]["message"], want[1])
        # The lock lasts once; the retry goes through.
        self.assertEqual(self.delete(s, [LOCKED])[1][0]["success"], True)
        with open(os.path.join(self.state, "deleted.txt")) as fh:
            lines = fh.read().splitlines()
        self.assertEqual(lines, [ACCT, ACCT_CONTACT + " cascade", ACCT_OPP + " cascade",
                                 ACCT_CASE + " cascade", LOCKED])
        _, _, body = self.query(s, "SELECT Id FROM Contact WHERE Id IN ('%s','%s')" % (ACCT_CONTACT, LONE))
        self.assertEqual([r["Id"] for r in body["records"]], [LONE])

    def test_more_than_200_ids_is_refused_whole(self):
        s = self.session()
        status, body = self.delete(s, ["003%012dAAA" % i for i in range(201)])
        self.assertEqual((status, body[0]["errorCode"]), (400, "EXCEEDED_ID_LIMIT"))


UNDELETE_XML = (
    '<?xml version="1.0" encoding="utf-8"?>'
    '<env:Envelope xmlns:env="http://schemas.xmlsoap.org/soap/envelope/" '
    'xmlns:urn="urn:partner.soap.sforce.com"><env:Header><urn:SessionHeader>'
    "<urn:sessionId>%s</urn:sessionId></urn:SessionHeader></env:Header>"
    "<env:Body><urn:undelete>%s</urn:undelete></env:Body></env:Envelope>")


class UndeleteTest(StandInCase):

    def undelete(self, session, ids):
        body = (UNDELETE_XML % (session, "".join("<urn:ids>%s</urn:ids>" % i for i in ids))).encode()
        status, _, raw = self.call("POST", "/services/Soap/u/64.0", body=body,
                                   headers={"Content-Type": "text/xml", "SOAPAction": "undelete"})
        root = ET.fromstring(raw)
        results = []
        for el in root.iter():
            if local(el.tag) != "result":
                continue
            fields = {local(c.tag): c for c in el}
            err = fields.get("errors")
            results.append((fields["success"].text, fields["id"].text,
                            None if err is None else next(c.text for c in err if local(c.tag) == "statusCode")))
        return status, root, results

    def test_restores_from_the_recycle_bin_with_the_cascade_and_reports_the_rest(self):
        s = self.session()
        self.assertTrue(all(r["success"] for r in self.delete(s, [ACCT, LONE, LOCKED])[1]))
        self.control({"purge": [LOCKED]})
        ids = [ACCT, LONE, LOCKED, PERSON, "003000000000999AAA", "bogus"]
        status, _, results = self.undelete(s, ids)
        self.assertEqual(status, 200)
        self.assertEqual(results, [
            ("true", ACCT, None), ("true", LONE, None),
            ("false", None, "UNDELETE_FAILED"),               # purged
            ("false", None, "UNDELETE_FAILED"),               # never deleted
            ("false", None, "INVALID_CROSS_REFERENCE_KEY"),
            ("false", None, "MALFORMED_ID"),
        ])
        with open(os.path.join(self.state, "undeleted.txt")) as fh:
            lines = fh.read().splitlines()
        self.assertEqual(lines, [ACCT, ACCT_CONTACT + " cascade", ACCT_OPP + " cascade",
                                 ACCT_CASE + " cascade", LONE])
        _, _, body = self.query(s, "SELECT Id FROM Contact WHERE Id IN ('%s','%s','%s')"
                                % (ACCT_CONTACT, LONE, LOCKED))
        self.assertEqual(sorted(r["Id"] for r in body["records"]), sorted([ACCT_CONTACT, LONE]))
        # A second undelete finds them gone from the bin.
        self.assertEqual(self.undelete(s, [LONE])[2], [("false", None, "UNDELETE_FAILED")])

    def test_faults_for_a_bad_session_and_too_many_ids(self):
        s = self.session()
        for session, ids, code in (("nope", [LONE], "INVALID_SESSION_ID"),
                                   (s, ["003%012dAAA" % i for i in range(201)], "EXCEEDED_ID_LIMIT")):
            with self.subTest(code):
                status, root, results = self.undelete(session, ids)
                self.assertEqual(status, 500)
                self.assertEqual(results, [])
                self.assertEqual(next(el.text for el in root.iter() if local(el.tag) == "exceptionCode"), code)


class FaultTest(StandInCase):

    def test_expire_sessions_until_a_new_login(self):
        s = self.session()
        self.control({"faults": [{"kind": "expire_sessions", "skip": 1}]})
        self.assertEqual(self.query(s, "SELECT Id FROM Account")[0], 200)
        status, _, body = self.query(s, "SELECT Id FROM Account")
        self.assertEqual((status, body), (401, [{"message": "Session expired or invalid",
                                                 "errorCode": "INVALID_SESSION_ID"}]))
        self.assertEqual(self.query(s, "SELECT Id FROM Account")[0], 401)
        self.assertEqual(self.query(self.session(), "SELECT Id FROM Account")[0], 200)

    def test_request_faults(self):
        s = self.session()
        cases = [
            ("limit", {"kind": "status", "status": 403}, 403, "REQUEST_LIMIT_EXCEEDED"),
            ("unavailable", {"kind": "status", "status": 503, "errorCode": "SERVER_UNAVAILABLE",
                             "message": "down"}, 503, "SERVER_UNAVAILABLE"),
            ("cut off", {"kind": "malformed"}, 200, None),
            ("not json", {"kind": "garbage"}, 200, None),
        ]
        for name, fault, status, code in cases:
            with self.subTest(name):
                self.control({"faults": [dict(fault, path="/query")]})
                got, _, raw = self.call("GET", V + "/query?q=SELECT+Id+FROM+Account", s)
                self.assertEqual(got, status)
                if code:
                    self.assertEqual(json.loads(raw)[0]["errorCode"], code)
                else:
                    self.assertRaises(ValueError, json.loads, raw)
                self.assertEqual(self.query(s, "SELECT Id FROM Account")[0], 200, "applies once by default")

    def test_hang_sends_nothing_then_closes(self):
        s = self.session()
        self.control({"faults": [{"kind": "hang", "seconds": 0.5}]})
        start = time.monotonic()
        with self.assertRaises((urllib.error.URLError, ConnectionError, OSError)):
            self.call("GET", V + "/sobjects/Account/describe", s)
        self.assertGreaterEqual(time.monotonic() - start, 0.4)

    def test_request_log_holds_no_secret(self):
        s = self.session()
        self.query(s, "SELECT Id FROM Account")
        with open(os.path.join(self.state, "requests.jsonl")) as fh:
            text = fh.read()
        entries = [json.loads(line) for line in text.splitlines()]
        self.assertTrue(any(e.get("soap") == "login" for e in entries))
        for secret in (s, s.split("!")[1], "pwTOK", "Bearer"):
            self.assertNotIn(secret, text)


CALLBACK = "http://localhost:1717/OauthRedirect"


@contextlib.contextmanager
def socket_closed_port():
    """A loopback port nobody listens on."""
    sock = socket.socket()
    sock.bind(("127.0.0.1", 0))
    port = sock.getsockname()[1]
    sock.close()
    yield port


def challenge_of(verifier):
    return base64.urlsafe_b64encode(hashlib.sha256(verifier.encode()).digest()).decode().rstrip("=")


class OAuthCase(StandInCase):
    """Helpers for the OAuth web server flow; the browser is played by hand."""

    def authorize(self, **overrides):
        """(status, headers, body) of the authorize endpoint, redirects not followed."""
        params = {"response_type": "code", "client_id": "KEY", "redirect_uri": CALLBACK,
                  "code_challenge": challenge_of("v" * 43), "code_challenge_method": "S256",
                  "state": "st 1/x"}
        params.update(overrides)
        params = {k: v for k, v in params.items() if v is not None}
        conn = http.client.HTTPConnection(self.base[len("http://"):], timeout=10)
        try:
            conn.request("GET", "/services/oauth2/authorize?" + urllib.parse.urlencode(params))
            resp = conn.getresponse()
            return resp.status, dict(resp.getheaders()), resp.read()
        finally:
            conn.close()

    def redirect_params(self, **overrides):
        status, headers, _ = self.authorize(**overrides)
        self.assertEqual(status, 302)
        split = urllib.parse.urlsplit(headers["Location"])
        return split, {k: v[0] for k, v in urllib.parse.parse_qs(split.query).items()}

    def code(self, verifier="v" * 43, **overrides):
        _, params = self.redirect_params(code_challenge=challenge_of(verifier), **overrides)
        return params["code"]

    def post(self, path, form):
        status, _, raw = self.call("POST", path, body=urllib.parse.urlencode(form).encode(),
                                   headers={"Content-Type": "application/x-www-form-urlencoded"})
        try:
            return status, json.loads(raw) if raw else None
        except ValueError:
            return status, raw

    def exchange(self, issued, verifier="v" * 43, **overrides):
        form = {"grant_type": "authorization_code", "code": issued, "client_id": "KEY",
                "redirect_uri": CALLBACK, "code_verifier": verifier}
        form.update(overrides)
        return self.post("/services/oauth2/token", {k: v for k, v in form.items() if v is not None})

    def refresh(self, token, client_id="KEY"):
        return self.post("/services/oauth2/token", {"grant_type": "refresh_token", "refresh_token": token,
                                                    "client_id": client_id})

    def tokens(self, **overrides):
        status, body = self.exchange(self.code(), **overrides)
        self.assertEqual(status, 200, body)
        return body

    def works(self, access):
        return self.query(access, "SELECT Id FROM Account")[0] == 200

    def oauth_state(self):
        with open(os.path.join(self.state, "oauth.json")) as fh:
            return json.load(fh)


class OAuthFlowTest(OAuthCase):

    def test_code_to_tokens_to_rest_query_and_identity(self):
        split, params = self.redirect_params()
        self.assertEqual(urllib.parse.urlunsplit(split[:3] + ("", "")), CALLBACK)
        self.assertEqual(params["state"], "st 1/x")
        self.assertRegex(split.query, r"state=st%201%2Fx", "state comes back percent-encoded")
        status, body = self.exchange(params["code"])
        self.assertEqual(status, 200, body)
        self.assertEqual(set(body), {"access_token", "refresh_token", "signature", "scope", "instance_url",
                                     "id", "token_type", "issued_at"})
        self.assertEqual((body["scope"], body["token_type"], body["instance_url"]),
                         ("api refresh_token", "Bearer", self.base))
        self.assertEqual(body["id"], self.base + "/id/00D000000000001/005000000000001AAA")
        self.assertLess(abs(int(body["issued_at"]) / 1000 - time.time()), 60)
        self.assertTrue(self.works(body["access_token"]))

        status, _, raw = self.call("GET", urllib.parse.urlsplit(body["id"]).path, body["access_token"])
        ident = json.loads(raw)
        self.assertEqual(status, 200)
        self.assertEqual(
            {k: ident[k] for k in ("id", "user_id", "organization_id", "username", "email")},
            {"id": body["id"], "user_id": "005000000000001AAA", "organization_id": "00D000000000001AAA",
             "username": "u@x.example", "email": "u@x.example"})
        self.assertEqual(ident["urls"]["rest"], self.base + "/services/data/v{version}/")

        with open(os.path.join(self.state, "requests.jsonl")) as fh:
            log = fh.read()
        token_entries = [json.loads(line) for line in log.splitlines() if "/services/oauth2/token" in line]
        self.assertIn({"method": "POST", "path": "/services/oauth2/token", "grant_type": "authorization_code",
                       "client_id": "KEY", "status": 200}, token_entries)
        for secret in (params["code"], "v" * 43, body["access_token"], body["refresh_token"], "Bearer"):
            self.assertNotIn(secret, log)

    def test_code_exchange_refusals(self):
        cases = [
            # name, authorize control, token form changes, error, description
            ("verifier mismatch", {}, {"code_verifier": "w" * 43}, "invalid_grant", "invalid code verifier"),
            ("verifier missing", {}, {"code_verifier": None}, "invalid_grant", "invalid code verifier"),
            ("unknown code", {}, {"code": "aPrxNOPE=="}, "invalid_grant", "invalid authorization code"),
            ("code of another app", {}, {"client_id": "STILL", "redirect_uri": "http://127.0.0.1:1717/cb"},
             "invalid_grant", "invalid authorization code"),
            ("other loopback port than at authorize", {}, {"redirect_uri": "http://localhost:9/OauthRedirect"},
             "invalid_grant", "authentication failure"),
            ("unregistered redirect", {}, {"redirect_uri": "http://example.com/cb"},
             "redirect_uri_mismatch", "redirect_uri must match configuration"),
            ("unknown client", {}, {"client_id": "NOPE"}, "invalid_client_id", "client identifier invalid"),
            ("code too old", {"codeLifetimeSeconds": 0}, {}, "invalid_grant", "expired authorization code"),
            ("wrong grant type", {}, {"grant_type": "password"}, "unsupported_grant_type",
             "grant type not supported"),
        ]
        for name, ctl, changes, error, description in cases:
            with self.subTest(name):
                self.control({"authorize": ctl})
                status, body = self.exchange(self.code(), **changes)
                self.assertEqual((status, body), (400, {"error": error, "error_description": description}))

    def test_code_is_single_use_even_after_a_failed_try(self):
        code = self.code()
        self.assertEqual(self.exchange(code, verifier="w" * 43)[0], 400)
        self.assertEqual(self.exchange(code), (400, {"error": "invalid_grant",
                                                     "error_description": "expired authorization code"}))
        code = self.code()
        self.assertEqual(self.exchange(code)[0], 200)
        self.assertEqual(self.exchange(code)[1]["error_description"], "expired authorization code")

    def test_refresh_rotates_and_the_old_token_dies_at_once(self):
        first = self.tokens()
        live = self.oauth_state()["liveRefreshTokens"]
        status, second = self.refresh(first["refresh_token"])
        self.assertEqual(status, 200, second)
        self.assertNotEqual(second["refresh_token"], first["refresh_token"])
        self.assertNotEqual(second["access_token"], first["access_token"])
        self.assertTrue(self.works(second["access_token"]))
        self.assertEqual(self.refresh(first["refresh_token"]),
                         (400, {"error": "invalid_grant", "error_description": "expired access/refresh token"}))
        self.assertEqual(self.oauth_state()["liveRefreshTokens"], live)
        self.assertEqual(self.refresh(second["refresh_token"], client_id="STILL")[0], 400,
                         "a refresh token works only for its own app")

    def test_refresh_without_rotation_keeps_the_token(self):
        code = self.code(client_id="STILL", redirect_uri="http://127.0.0.1:40000/cb")
        status, first = self.exchange(code, client_id="STILL", redirect_uri="http://127.0.0.1:40000/cb")
        self.assertEqual(status, 200, first)
        for _ in range(2):
            status, again = self.refresh(first["refresh_token"], client_id="STILL")
            self.assertEqual(status, 200)
            self.assertNotIn("refresh_token", again)
            self.assertTrue(self.works(again["access_token"]))

    def test_revoke(self):
        grant = self.tokens()
        _, renewed = self.refresh(grant["refresh_token"])
        other = self.tokens()
        before = self.oauth_state()
        # An access token alone: that session ends, its refresh token lives on.
        self.assertEqual(self.post("/services/oauth2/revoke", {"token": other["access_token"]}), (200, None))
        self.assertFalse(self.works(other["access_token"]))
        self.assertEqual(self.refresh(other["refresh_token"])[0], 200)
        # A refresh token: it and every access token of its grant end.
        self.assertEqual(self.post("/services/oauth2/revoke", {"token": renewed["refresh_token"]}), (200, None))
        for access in (grant["access_token"], renewed["access_token"]):
            self.assertFalse(self.works(access))
        self.assertEqual(self.refresh(renewed["refresh_token"])[1]["error"], "invalid_grant")
        after = self.oauth_state()
        self.assertEqual((after["revoked"], after["liveRefreshTokens"]),
                         (before["revoked"] + 2, before["liveRefreshTokens"] - 1))
        self.assertEqual(self.post("/services/oauth2/revoke", {"token": renewed["refresh_token"]}),
                         (400, {"error": "unsupported_token_type", "error_description": "Token type not supported"}))

    def test_identity_url_errors(self):
        access = self.tokens()["access_token"]
        cases = [
            ("no token", "/id/00D000000000001/005000000000001AAA", None, 403, b"Missing_OAuth_Token"),
            ("bad token", "/id/00D000000000001/005000000000001AAA", "00D000000000001!nope", 403,
             b"Bad_OAuth_Token"),
            ("other org", "/id/00D000000000009/005000000000001AAA", access, 403, b"Wrong_Org"),
            ("unknown user", "/id/00D000000000001/005000000000099AAA", access, 404, b"Bad_Id"),
        ]
        for name, path, token, status, text in cases:
            with self.subTest(name):
                got, _, raw = self.call("GET", path, token)
                self.assertEqual((got, raw), (status, text))
        got, _, raw = self.call("GET", "/id/00D000000000001/005000000000003?version=64.0", access)
        self.assertEqual(json.loads(raw)["urls"]["query"], self.base + "/services/data/v64.0/query/")

    def test_token_endpoint_faults(self):
        self.control({"faults": [{"kind": "status", "path": "/services/oauth2/token", "status": 503}]})
        status, body = self.exchange(self.code())
        self.assertEqual((status, body["error"]), (503, "temporarily_unavailable"))
        self.assertEqual(self.exchange(self.code())[0], 200, "applies once by default")
        self.control({"faults": [{"kind": "status", "status": 503, "times": 5}]})
        self.assertEqual(self.exchange(self.code())[0], 200, "a fault without a path stays on the data API")


class AuthorizeTest(OAuthCase):

    def test_refused_before_any_redirect(self):
        cases = [
            ("unknown client", {"client_id": "NOPE"}, b"invalid_client_id"),
            ("unregistered callback", {"redirect_uri": "http://localhost:1717/Other"}, b"redirect_uri_mismatch"),
            ("other host", {"redirect_uri": "http://127.0.0.1:1717/OauthRedirect"}, b"redirect_uri_mismatch"),
            ("no callback", {"redirect_uri": None}, b"redirect_uri_mismatch"),
        ]
        for name, overrides, error in cases:
            with self.subTest(name):
                status, headers, page = self.authorize(**overrides)
                self.assertEqual(status, 400)
                self.assertNotIn("Location", headers)
                self.assertIn(b"error=" + error, page)

    def test_redirect_variants(self):
        cases = [
            # name, control, authorize overrides, expected redirect params (code: present)
            ("any loopback port", {}, {"redirect_uri": "http://localhost:50123/OauthRedirect"},
             {"code": True, "state": "st 1/x"}),
            ("no state sent", {}, {"state": None}, {"code": True}),
            ("challenge missing", {}, {"code_challenge": None},
             {"error": "invalid_request", "error_description": "missing required code challenge",
              "state": "st 1/x"}),
            ("plain method", {}, {"code_challenge_method": "plain"},
             {"error": "invalid_request", "error_description": "invalid code challenge method",
              "state": "st 1/x"}),
            ("token response type", {}, {"response_type": "token"},
             {"error": "unsupported_response_type", "error_description": "response type not supported",
              "state": "st 1/x"}),
            ("user denies", {"error": "access_denied", "error_description": "end-user denied authorization"}, {},
             {"error": "access_denied", "error_description": "end-user denied authorization", "state": "st 1/x"}),
            ("wrong state", {"state": "WRONG"}, {}, {"code": True, "state": "WRONG"}),
        ]
        for name, ctl, overrides, want in cases:
            with self.subTest(name):
                self.control({"authorize": ctl})
                split, params = self.redirect_params(**overrides)
                self.assertEqual(split.path, "/OauthRedirect")
                if want.get("code"):
                    self.assertTrue(params.pop("code").startswith("aPrx"))
                    want = {k: v for k, v in want.items() if k != "code"}
                self.assertEqual(params, want)

    def test_signed_in_user_comes_from_control(self):
        self.control({"authorize": {"user": "bob@x.example"}})
        body = self.tokens()
        self.assertTrue(body["id"].endswith("/005000000000003AAA"))
        status, _, raw = self.call("GET", urllib.parse.urlsplit(body["id"]).path, body["access_token"])
        self.assertEqual((json.loads(raw)["username"], json.loads(raw)["display_name"]),
                         ("bob@x.example", "Bob Stone"))
        self.assertTrue(self.works(body["access_token"]))
        with open(os.path.join(self.state, "requests.jsonl")) as fh:
            authorize = [json.loads(line) for line in fh if "/authorize" in line][-1]
        self.assertEqual(authorize["username"], "bob@x.example")

    def test_user_who_never_finishes_gets_a_login_page(self):
        self.control({"authorize": {"noRedirect": True}})
        codes = self.oauth_state()["codesIssued"]
        status, headers, page = self.authorize()
        self.assertEqual(status, 200)
        self.assertNotIn("Location", headers)
        self.assertIn(b"<form", page)
        self.assertEqual(self.oauth_state()["codesIssued"], codes)


class CallbackListener(http.server.HTTPServer):
    """The helper's side of the redirect: records what the browser brought."""

    def __init__(self, status):
        self.status = status
        self.paths = []
        outer = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                outer.paths.append(self.path)
                self.send_response(outer.status)
                self.send_header("Content-Length", "2")
                self.end_headers()
                self.wfile.write(b"ok")

            def log_message(self, *args):
                pass

        super().__init__(("127.0.0.1", 0), Handler)


class FakeBrowserTest(OAuthCase):

    def run_browser(self, url):
        return subprocess.run([sys.executable, BROWSER, url], stdin=subprocess.DEVNULL,
                              capture_output=True, text=True, timeout=30)

    def test_follows_the_redirect_to_the_callback_once(self):
        cases = [
            # name, control, callback status, exit status, callback hit
            ("signed in", {}, 200, 0, True),
            ("callback refuses", {}, 400, 1, True),
            ("never finishes", {"noRedirect": True}, 200, 1, False),
        ]
        for name, ctl, callback_status, exit_status, hit in cases:
            with self.subTest(name):
                self.control({"authorize": ctl})
                listener = CallbackListener(callback_status)
                worker = threading.Thread(target=listener.serve_forever, kwargs={"poll_interval": 0.05})
                worker.start()
                try:
                    port = listener.server_address[1]
                    query = urllib.parse.urlencode({
                        "response_type": "code", "client_id": "KEY", "state": "S1",
                        "redirect_uri": "http://localhost:%d/OauthRedirect" % port,
                        "code_challenge": challenge_of("v" * 43), "code_challenge_method": "S256"})
                    done = self.run_browser(self.base + "/services/oauth2/authorize?" + query)
                finally:
                    listener.shutdown()
                    worker.join()
                    listener.server_close()
                self.assertEqual(done.returncode, exit_status, done.stderr)
                self.assertEqual(done.stdout, "")
                self.assertEqual(len(listener.paths), 1 if hit else 0)
                if hit:
                    params = urllib.parse.parse_qs(urllib.parse.urlsplit(listener.paths[0]).query)
                    self.assertEqual(params["state"], ["S1"])
                    self.assertNotIn(params["code"][0], done.stderr)
                    self.assertNotIn("S1", done.stderr)

    def test_network_failure_and_foreign_hosts_exit_2(self):
        with socket_closed_port() as port:
            self.assertEqual(self.run_browser("http://127.0.0.1:%d/x" % port).returncode, 2)
        self.assertEqual(self.run_browser("http://example.com/x").returncode, 2)


class LargeQueryTest(unittest.TestCase):
    """A large object is served in full pages and followed to its next page.
    (How fast is for the benchmark that uses it, not for a test.)"""

    def test_page_of_2000_from_100000(self):
        sys.dont_write_bytecode = True
        sys.path.insert(0, HERE)
        import sf_standin
        with tempfile.TemporaryDirectory() as tmp:
            rows = [{"Id": "003%012dAAA" % i, "FirstName": "F%d" % i, "LastName": "L%d" % i,
                     "Email": "p%d@x.example" % i, "LastModifiedDate": "2024-05-01T10:00:00.000+0000"}
                    for i in range(100000)]
            org = sf_standin.Org({"users": [], "objects": {"Contact": rows}}, tmp, None)
            soql = "SELECT Id, FirstName, LastName, Email, LastModifiedDate FROM Contact"
            first = org.query(soql, "64.0", None)
            locator, offset = json.loads(first)["nextRecordsUrl"].rsplit("/", 1)[1].split("-")
            second = json.loads(org.query_more(locator, int(offset), None))
            first = json.loads(first)
            self.assertEqual((first["totalSize"], len(first["records"])), (100000, 2000))
            self.assertEqual(second["records"][0]["Id"], "003%012dAAA" % 2000)
            org.requests_log.close()
            org.deleted_log.close()


if __name__ == "__main__":
    unittest.main()
