#!/usr/bin/env python3
"""The playground server's guards, checked against the running program.

Usage: serve_security_test.py PATH/TO/tessary-code

Starts `tessary-code serve` on a free port of 127.0.0.1 in a temporary folder and sends it
requests from foreign hosts and sites, oversized and deeply nested bodies, hostile upload names
and an effect whose names hold markup. Prints one line per check and a closing count.
"""

import json
import os
import re
import socket
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.parse

PNG = b"\x89PNG\r\n\x1a\n" + b"\x00" * 32
HOSTILE_NAME = '<script>alert("x")</script>&\'"'


def hostile_effect():
    return {
        "tessaryEffect": 1,
        "layer": {
            "cells": [
                {"name": HOSTILE_NAME, "texture": "star.png", "subcells": []},
                {"name": "escapes", "texture": "../../../etc/passwd", "subcells": []},
                {"name": "absolute", "texture": "/etc/passwd", "subcells": []},
            ]
        },
    }


class Server:
    def __init__(self, program, folder, effect_name):
        args = [program, "serve", "--port", "0"]
        if effect_name:
            args.insert(2, effect_name)
        self.process = subprocess.Popen(
            args, cwd=folder, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True
        )
        line = self.process.stdout.readline()
        match = re.search(r"http://127\.0\.0\.1:(\d+)/", line)
        if not match:
            self.process.kill()
            raise RuntimeError("no address printed: %r %r" % (line, self.process.stderr.read()))
        self.port = int(match.group(1))
        self.origin = "http://127.0.0.1:%d" % self.port

    def stop(self):
        self.process.terminate()
        try:
            self.process.wait(timeout=20)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        self.process.stdout.close()
        self.process.stderr.close()
        return self.process.returncode

    def request(self, method, path, headers=None, body=b"", read_limit=1 << 20, timeout=10):
        """Sends one raw HTTP/1.1 request with exactly the given headers; returns (status,
        headers, body)."""
        sent = {"Host": "127.0.0.1:%d" % self.port, "Connection": "close"}
        sent.update(headers or {})
        if body or method == "POST":
            sent["Content-Length"] = str(len(body))
        head = "%s %s HTTP/1.1\r\n" % (method, path)
        for name, value in sent.items():
            if value is not None:
                head += "%s: %s\r\n" % (name, value)
        with socket.create_connection(("127.0.0.1", self.port), timeout=timeout) as connection:
            try:
                connection.sendall(head.encode("latin-1") + b"\r\n" + body)
            except (BrokenPipeError, ConnectionResetError):
                pass
            data = b""
            try:
                while len(data) < read_limit:
                    chunk = connection.recv(65536)
                    if not chunk:
                        break
                    data += chunk
            except (ConnectionResetError, socket.timeout):
                pass
        header_text, _, payload = data.partition(b"\r\n\r\n")
        lines = header_text.decode("latin-1").split("\r\n")
        status = int(lines[0].split()[1]) if lines and lines[0] else 0
        response_headers = {}
        for line in lines[1:]:
            name, _, value = line.partition(":")
            response_headers[name.strip().lower()] = value.strip()
        return status, response_headers, payload

    def action(self, name, arguments, headers=None):
        sent = {"Origin": self.origin, "Content-Type": "application/json"}
        sent.update(headers or {})
        return self.request("POST", "/api/" + name, sent, json.dumps(arguments).encode())

    def upload(self, cell, name, body, headers=None):
        query = urllib.parse.urlencode({"cell": cell, "name": name})
        sent = {"Origin": self.origin, "Content-Type": "image/png"}
        sent.update(headers or {})
        return self.request("POST", "/api/texture/import?" + query, sent, body)

    def first_event(self, name):
        """The data of the first server-sent event called `name`."""
        with socket.create_connection(("127.0.0.1", self.port), timeout=10) as connection:
            connection.sendall(
                ("GET /events HTTP/1.1\r\nHost: 127.0.0.1:%d\r\n\r\n" % self.port).encode()
            )
            data = b""
            deadline = time.monotonic() + 10
            while time.monotonic() < deadline:
                data += connection.recv(65536)
                text = data.decode("utf-8", "replace")
                match = re.search(r"event: %s\r?\ndata: (.*?)\r?\n" % name, text)
                if match:
                    return json.loads(match.group(1))
        raise AssertionError("no %s event" % name)


class PlaygroundSecurityTest(unittest.TestCase):
    program = None

    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix="tessary-serve-")
        cls.effect_folder = os.path.join(cls.folder, "effect")
        os.mkdir(cls.effect_folder)
        with open(os.path.join(cls.effect_folder, "fire.json"), "w") as effect:
            json.dump(hostile_effect(), effect)
        cls.server = Server(cls.program, cls.effect_folder, "fire.json")

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()

    def files_outside_effect_folder(self):
        return sorted(os.listdir(self.folder))

    def test_listens_on_loopback_only(self):
        listening = []
        with open("/proc/net/tcp") as table:
            for row in table.readlines()[1:]:
                fields = row.split()
                address, port = fields[1].split(":")
                if fields[3] == "0A" and int(port, 16) == self.server.port:
                    listening.append(address)
        self.assertEqual(listening, ["0100007F"])

    def test_foreign_hosts_are_refused(self):
        port = self.server.port
        for host in ["evil.example", "evil.example:%d" % port, "127.0.0.1:%d" % (port + 1),
                     "127.0.0.2:%d" % port, "localhost.evil.example:%d" % port, None]:
            for method, path in [("GET", "/"), ("GET", "/events"), ("GET", "/app.js")]:
                status, _, _ = self.server.request(method, path, {"Host": host})
                self.assertIn(status, (400, 403), "%s %s with Host %r" % (method, path, host))
            status, _, _ = self.server.action("undo", {}, {"Host": host})
            self.assertIn(status, (400, 403), "POST with Host %r" % host)
        for host in ["127.0.0.1:%d" % port, "localhost:%d" % port]:
            status, _, _ = self.server.request("GET", "/", {"Host": host})
            self.assertEqual(status, 200, host)

    def test_other_sites_cannot_make_changes(self):
        for origin in ["http://evil.example", "null", "http://127.0.0.1:%d" % (self.server.port + 1),
                       "https://127.0.0.1:%d" % self.server.port, None]:
            status, _, _ = self.server.action(
                "set", {"cell": 0, "key": "birthRate", "value": 1}, {"Origin": origin})
            self.assertEqual(status, 403, "Origin %r" % origin)
        status, _, _ = self.server.action("undo", {}, {"Sec-Fetch-Site": "cross-site"})
        self.assertEqual(status, 403)
        status, _, _ = self.server.request(
            "GET", "/api/texture/export?cell=0", {"Sec-Fetch-Site": "cross-site"})
        self.assertEqual(status, 403)
        # A form of another site cannot send JSON; plain text is refused.
        status, _, _ = self.server.action("undo", {}, {"Content-Type": "text/plain"})
        self.assertEqual(status, 415)
        with open(os.path.join(self.effect_folder, "fire.json")) as effect:
            self.assertNotIn('"birthRate": 1', effect.read())

    def test_bodies_are_limited(self):
        status, _, _ = self.server.action("code", {"text": "x" * (3 * 1024 * 1024)})
        self.assertEqual(status, 413)
        status, _, _ = self.server.upload(0, "big.png", PNG + b"\x00" * (9 * 1024 * 1024))
        self.assertEqual(status, 413)
        self.assertFalse(os.path.exists(os.path.join(self.effect_folder, "big.png")))
        status, _, _ = self.server.request(
            "POST", "/api/set", {"Origin": self.server.origin, "Content-Type": "application/json"},
            b"[" * 100000 + b"]" * 100000)
        self.assertEqual(status, 400)
        status, _, _ = self.server.action("code", {"text": "\ud800"})
        self.assertIn(status, (200, 400))

    def test_upload_names_cannot_leave_the_folder(self):
        before = self.files_outside_effect_folder()
        for name in ["../x.png", "..\\x.png", "/tmp/x.png", "sub/x.png", "..", ".hidden.png",
                     "a\x00.png", "a\nb.png", "a\rb.png", "x.json", "x.png.sh", "", "C:x.png",
                     "x" * 300 + ".png"]:
            status, _, body = self.server.upload(0, name, PNG)
            self.assertEqual(status, 400, "upload name %r: %r" % (name, body))
        self.assertEqual(self.files_outside_effect_folder(), before)
        self.assertFalse(os.path.exists("/tmp/x.png") and os.path.getsize("/tmp/x.png") == len(PNG)
                         and open("/tmp/x.png", "rb").read() == PNG)

    def test_uploads_must_be_images_of_their_type(self):
        status, _, _ = self.server.upload(0, "fake.png", b"<html><script>alert(1)</script>")
        self.assertEqual(status, 415)
        self.assertFalse(os.path.exists(os.path.join(self.effect_folder, "fake.png")))

    def test_an_upload_goes_into_the_effect_folder_and_comes_back(self):
        status, _, body = self.server.upload(0, "star.png", PNG)
        self.assertEqual(status, 200, body)
        with open(os.path.join(self.effect_folder, "star.png"), "rb") as image:
            self.assertEqual(image.read(), PNG)
        status, headers, body = self.server.request("GET", "/api/texture/export?cell=0&download=1")
        self.assertEqual(status, 200)
        self.assertEqual(body, PNG)
        self.assertEqual(headers.get("content-type"), "image/png")
        self.assertEqual(headers.get("x-content-type-options"), "nosniff")
        self.assertIn('filename="star.png"', headers.get("content-disposition", ""))

    def test_links_out_of_the_folder_are_not_followed(self):
        os.symlink("/etc/hostname", os.path.join(self.effect_folder, "link.png"))
        status, _, _ = self.server.upload(0, "link.png", PNG)
        self.assertEqual(status, 409)
        with open("/etc/hostname", "rb") as original:
            self.assertNotEqual(original.read(), PNG)

    def test_texture_names_from_the_effect_cannot_leave_the_folder(self):
        for cell in (1, 2):
            status, _, body = self.server.request("GET", "/api/texture/export?cell=%d" % cell)
            self.assertEqual(status, 404)
            self.assertNotIn(b"root:", body)
        for query in ["cell=-1", "cell=99", "cell=0&sub=5", "cell=x", "cell=99999999999999"]:
            status, _, _ = self.server.request("GET", "/api/texture/export?" + query)
            self.assertIn(status, (400, 404), query)

    def test_names_reach_the_page_escaped(self):
        snippet = self.server.first_event("snippet")
        self.assertNotIn("<script>", snippet["html"])
        self.assertIn("&lt;script&gt;", snippet["html"])
        self.assertNotRegex(snippet["html"], r"<(?!/?span[ >])")
        self.assertNotRegex(snippet["css"], r"[<>\"']")
        state = self.server.first_event("state")
        self.assertEqual(state["cells"][0]["name"], HOSTILE_NAME)
        status, headers, body = self.server.request("GET", "/")
        self.assertEqual(status, 200)
        self.assertIn("script-src 'self'", headers.get("content-security-policy", ""))
        self.assertNotIn(b"<script>alert", body)

    def test_bad_arguments_are_answered_not_fatal(self):
        for action, arguments in [
            ("set", {"cell": 0, "key": "birthRate", "value": "1e999"}),
            ("set", {"cell": 0, "key": "birthRate", "value": None}),
            ("set", {"cell": 7, "key": "birthRate", "value": 1}),
            ("set", {"key": "nothing", "value": 1}),
            ("set", []),
            ("name", {"cell": 0, "sub": 3, "value": "x"}),
            ("removeCell", {"cell": 2.5}),
            ("choice", {"key": "emitterShape", "value": "<b>"}),
            ("nothing", {}),
        ]:
            status, _, _ = self.server.action(action, arguments)
            self.assertIn(status, (400, 404), "%s %r" % (action, arguments))
        status, _, _ = self.server.request(
            "POST", "/api/set", {"Origin": self.server.origin, "Content-Type": "application/json"},
            b"{not json")
        self.assertEqual(status, 400)
        status, _, _ = self.server.request("GET", "/")
        self.assertEqual(status, 200)


class DemoSaveTest(unittest.TestCase):
    program = None

    def test_save_names_stay_in_the_working_folder(self):
        folder = tempfile.mkdtemp(prefix="tessary-serve-demo-")
        inner = os.path.join(folder, "work")
        os.mkdir(inner)
        server = Server(self.program, inner, None)
        try:
            for name in ["../escape.json", "/tmp/escape.json", "a/b.json", "x.txt", ".json",
                         "a\nb.json", ""]:
                status, _, _ = server.action("save", {"name": name})
                self.assertEqual(status, 400, name)
            self.assertEqual(os.listdir(folder), ["work"])
            status, _, body = server.upload(0, "spark.png", PNG)
            self.assertEqual(status, 200, body)
            self.assertEqual(os.listdir(inner), [])
            status, _, body = server.action("save", {"name": "mine.json"})
            self.assertEqual(status, 200, body)
            self.assertEqual(sorted(os.listdir(inner)), ["mine.json", "spark.png"])
            status, _, _ = server.action("set", {"cell": 0, "key": "birthRate", "value": 77})
            self.assertEqual(status, 200)
            with open(os.path.join(inner, "mine.json")) as effect:
                self.assertIn('"birthRate": {"value": 77.0', effect.read())
        finally:
            self.assertEqual(server.stop(), 0)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    PlaygroundSecurityTest.program = DemoSaveTest.program = os.path.abspath(sys.argv.pop())
    result = unittest.main(exit=False, verbosity=2).result
    failed = len(result.failures) + len(result.errors)
    print("%d passed, %d failed" % (result.testsRun - failed, failed))
    sys.exit(1 if failed else 0)
