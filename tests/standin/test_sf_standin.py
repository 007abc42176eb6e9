"""Checks of the CRM API stand-in used by the end-to-end tests.

Starts sf_standin.py on a free port with a small org and talks to it the way
the helper does.  Run with:  python3 -m unittest test_sf_standin
"""

import json
import os
import re
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.error
import urllib.parse
import urllib.request
import xml.etree.ElementTree as ET

HERE = os.path.dirname(os.path.abspath(__file__))
SERVER = os.path.join(HERE, "sf_standin.py")
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


class LargeQueryTest(unittest.TestCase):
    """A full page of a large object is served well within the time budget."""

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
            best = None
            for _ in range(3):    # best of three, so a busy machine does not decide
                start = time.perf_counter()
                first = org.query(soql, "64.0", None)
                locator, offset = json.loads(first)["nextRecordsUrl"].rsplit("/", 1)[1].split("-")
                org.query_more(locator, int(offset), None)
                elapsed = time.perf_counter() - start
                best = elapsed if best is None else min(best, elapsed)
            first = json.loads(first)
            self.assertEqual((first["totalSize"], len(first["records"])), (100000, 2000))
            self.assertLess(best / 2, 0.05, "seconds per page")
            org.requests_log.close()
            org.deleted_log.close()


if __name__ == "__main__":
    unittest.main()
