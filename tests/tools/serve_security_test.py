#!/usr/bin/env python3
"""serve_security_test.py PATH/TO/tessary-code: the playground server's guards, checked against
`tessary-code serve` on a free loopback port: foreign hosts and sites, requests hidden in bodies,
oversized, chunked and nested bodies, held and slow connections, links and hostile names."""
import json, pathlib, re, select, socket, subprocess, sys, tempfile, time, unittest

PNG = b"\x89PNG\r\n\x1a\n" + b"\x00" * 32
HOSTILE_NAME = '<script>alert("x")</script>&\'"'


def read_until_closed(connection, seconds=5):
    """Everything the server sends until it closes the connection (or `seconds` pass)."""
    data, deadline = b"", time.monotonic() + seconds
    try:
        while time.monotonic() < deadline:
            connection.settimeout(max(0.01, deadline - time.monotonic()))
            chunk = connection.recv(65536)
            if not chunk:
                break
            data += chunk
    except (ConnectionResetError, socket.timeout):
        pass
    return data


def status_of(answer):
    match = re.match(rb"HTTP/1\.1 (\d{3}) ", answer)
    return int(match.group(1)) if match else 0


class PlaygroundSecurityTest(unittest.TestCase):
    program = None

    @classmethod
    def setUpClass(cls):
        cls.folder = pathlib.Path(tempfile.mkdtemp(prefix="tessary-serve-"))
        cells = [{"name": name, "texture": texture, "subcells": []} for name, texture in
                 [(HOSTILE_NAME, "star.png"), ("escapes", "../../../etc/passwd"), ("absolute", "/etc/passwd")]]
        (cls.folder / "fire.json").write_text(json.dumps({"tessaryEffect": 1, "layer": {"cells": cells}}))
        cls.process = subprocess.Popen([cls.program, "serve", "fire.json", "--port", "0"], cwd=cls.folder,
                                       stdout=subprocess.PIPE, text=True)
        match = re.search(r"http://127\.0\.0\.1:(\d+)/", cls.process.stdout.readline())
        if not match:
            cls.tearDownClass()
            raise RuntimeError("no address printed")
        cls.port = int(match.group(1))
        cls.host = "Host: 127.0.0.1:%d\r\n" % cls.port
        page = cls.request("GET", "/")[2].decode()
        cls.token = re.search(r'name="playground-token" content="([0-9a-f]+)"', page).group(1)
        cls.changes = {"Origin": "http://127.0.0.1:%d" % cls.port, "X-Playground-Token": cls.token}
        cls.change_head = cls.host + "".join("%s: %s\r\n" % item for item in cls.changes.items())

    @classmethod
    def tearDownClass(cls):
        cls.process.terminate()
        try:
            cls.process.communicate(timeout=20)
        finally:
            cls.process.kill()

    @classmethod
    def connect(cls, timeout=10):
        return socket.create_connection(("127.0.0.1", cls.port), timeout=timeout)

    @classmethod
    def exchange(cls, *parts, delay=0, timeout=5):
        """Sends `parts` on a new connection, `delay` seconds apart: all that comes back."""
        with cls.connect(timeout) as connection:
            try:
                for part in parts:
                    connection.sendall(part)
                    time.sleep(delay)
            except (BrokenPipeError, ConnectionResetError):
                pass
            return read_until_closed(connection, timeout)

    @classmethod
    def request(cls, method, path, headers=None, body=b"", timeout=5):
        """One request with exactly these headers (None: left out): (status, headers, body)."""
        sent = {"Host": "127.0.0.1:%d" % cls.port, "Connection": "close", **(headers or {})}
        if body or method == "POST":
            sent["Content-Length"] = str(len(body))
        head = "%s %s HTTP/1.1\r\n%s\r\n" % (method, path, "".join(
            "%s: %s\r\n" % item for item in sent.items() if item[1] is not None))
        answer = cls.exchange(head.encode("latin-1") + body, timeout=timeout)
        head, _, payload = answer.partition(b"\r\n\r\n")
        fields = [line.partition(":") for line in head.decode("latin-1").split("\r\n")[1:]]
        return status_of(answer), {k.strip().lower(): v.strip() for k, _, v in fields}, payload

    def action(self, name, arguments, headers=None, body=None):
        sent = {**self.changes, "Content-Type": "application/json", **(headers or {})}
        return self.request("POST", "/api/" + name, sent, body or json.dumps(arguments).encode())[0]

    def test_listens_on_loopback_only(self):
        rows = [row.split() for row in pathlib.Path("/proc/net/tcp").read_text().splitlines()[1:]]
        self.assertEqual([row[1].split(":")[0] for row in rows if row[3] == "0A"
                          and int(row[1].split(":")[1], 16) == self.port], ["0100007F"])

    def test_requests_not_from_the_page_itself_are_refused(self):
        port = self.port
        elsewhere = [{"Host": host} for host in [
            "evil.example", "evil.example:%d" % port, "127.0.0.1:%d" % (port + 1),
            "127.0.0.2:%d" % port, "localhost.evil.example:%d" % port, None]]
        elsewhere += [{"Origin": origin} for origin in [
            "http://evil.example", "null", "http://127.0.0.1:%d" % (port + 1), "https://127.0.0.1:%d" % port]]
        elsewhere.append({"Sec-Fetch-Site": "cross-site"})
        for headers in elsewhere:
            for path in ["/", "/events", "/main.js", "/api/texture/export?cell=0"]:
                self.assertIn(self.request("GET", path, headers)[0], (400, 403), "%s with %r" % (path, headers))
        wrong_token = self.token[:-1] + ("1" if self.token.endswith("0") else "0")
        for headers in elsewhere + [{"Origin": None}, {"X-Playground-Token": None},
                                    {"X-Playground-Token": wrong_token}]:
            self.assertIn(self.action("set", {"cell": 0, "key": "birthRate", "value": 1}, headers), (400, 403))
        # A form of another site cannot send JSON; plain text is refused.
        self.assertEqual(self.action("undo", {}, {"Content-Type": "text/plain"}), 415)
        self.assertNotIn('"birthRate": 1', (self.folder / "fire.json").read_text())
        for host in ["127.0.0.1:%d" % port, "localhost:%d" % port]:
            self.assertEqual(self.request("GET", "/", {"Host": host})[0], 200, host)

    def test_bodies_over_the_limit_are_refused_at_once_whatever_their_encoding(self):
        for path, content_type, limit in [("/api/code", "application/json", 2 << 20),
                                          ("/api/texture/import?cell=0&name=big.png", "image/png", 8 << 20)]:
            head = "POST %s HTTP/1.1\r\n%sContent-Type: %s\r\n" % (path, self.change_head, content_type)
            for expect in ["", "Expect: 100-continue\r\n"]:
                started = time.monotonic()
                answer = self.exchange(("%sContent-Length: %d\r\n%s\r\n" % (head, limit + 1, expect)).encode())
                self.assertEqual(status_of(answer), 413, expect)
                self.assertLess(time.monotonic() - started, 1)
            # A chunked body has no length to announce: it is sent until the server answers.
            sent, chunk = 0, b"10000\r\n" + b"\x00" * 0x10000 + b"\r\n"
            with self.connect() as connection:
                connection.sendall((head + "Transfer-Encoding: chunked\r\n\r\n").encode())
                try:
                    while sent < limit + (32 << 20):
                        readable, writable, _ = select.select([connection], [connection], [], 5)
                        if readable or not writable:
                            break
                        sent += connection.send(chunk)
                except (BrokenPipeError, ConnectionResetError):
                    pass
                self.assertEqual(status_of(read_until_closed(connection)), 413, path)
            self.assertLess(sent, limit + (32 << 20), path)
        self.assertFalse((self.folder / "big.png").exists())

    def test_requests_sent_after_a_request_are_never_read(self):
        set_width = json.dumps({"key": "viewWidth", "value": 4242})
        smuggled = ("POST /api/set HTTP/1.1\r\n%sContent-Type: application/json\r\nContent-Length: %d\r\n\r\n%s"
                    % (self.change_head, len(set_width), set_width)).encode()
        for head, declares_body in [
            # Another site's no-cors POST, refused for its origin.
            ("POST /api/set HTTP/1.1\r\n%sOrigin: http://evil.example\r\nContent-Type: text/plain\r\n" % self.host,
             True),
            # The page's own origin and secret, refused for its type.
            ("POST /api/set HTTP/1.1\r\n%sContent-Type: text/plain\r\n" % self.change_head, True),
            ("GET /main.js HTTP/1.1\r\n%s" % self.host, True),
            # One request after another on the same connection.
            ("GET / HTTP/1.1\r\n%s" % self.host, False),
        ]:
            for padding in (0, 1, 1000, 70000):
                body = b"x" * padding + smuggled
                opening = "%sContent-Length: %d\r\n\r\n" % (head, len(body) if declares_body else 0)
                for delay in (0, 0.05):
                    answer = self.exchange(opening.encode(), body, delay=delay)
                    self.assertEqual(len(re.findall(rb"HTTP/1\.1 \d{3} ", answer)), 1, head)
                    self.assertIn(b"\r\nConnection: close\r\n", answer)
        self.assertNotIn("4242", (self.folder / "fire.json").read_text())

    def test_held_and_slow_connections_do_not_hold_up_the_page(self):
        for opening in ["GET /events HTTP/1.1\r\n%s\r\n" % self.host, "", "GET / HTTP/1.1\r\n" + self.host,
                        "POST /api/undo HTTP/1.1\r\n%sContent-Type: application/json\r\n"
                        "Content-Length: 100\r\n\r\n{" % self.change_head]:
            held = []
            try:
                for _ in range(100):
                    held.append(self.connect())
                    held[-1].sendall(opening.encode())
                started = time.monotonic()
                self.assertEqual(self.request("GET", "/", timeout=1)[0], 200, opening)
                self.assertEqual(self.action("platform", {"platform": "macOS"}), 200, opening)
                self.assertLess(time.monotonic() - started, 1, opening)
                if "/events" in opening:
                    self.assertIn(b"event: closed", read_until_closed(held[0]))
            finally:
                for connection in held:
                    connection.close()
        # A client that sends its head a byte at a time is let go within the head's time.
        started = time.monotonic()
        with self.connect() as connection:
            for byte in ("GET / HTTP/1.1\r\n" + self.host + "X-Slow: " + "x" * 40).encode():
                if select.select([connection], [], [], 0.25)[0]:
                    break
                connection.send(bytes([byte]))
            self.assertNotEqual(status_of(read_until_closed(connection)), 200)
        self.assertLess(time.monotonic() - started, 7)

    def test_a_second_server_on_a_taken_port_is_refused(self):
        result = subprocess.run(self.process.args[:-1] + [str(self.port)], cwd=self.folder, capture_output=True,
                                text=True, timeout=10)
        self.assertEqual((result.returncode, result.stderr),
                         (2, "tessary-code: port %d is in use; try --port 0\n" % self.port))

    def test_textures_stay_in_the_effect_folder(self):
        upload = lambda name: self.request("POST", "/api/texture/import?cell=0&name=" + name,
                                           {**self.changes, "Content-Type": "image/png"}, PNG)[0]
        self.assertEqual(upload("star.png"), 200)
        self.assertEqual((self.folder / "star.png").read_bytes(), PNG)
        status, headers, body = self.request("GET", "/api/texture/export?cell=0&download=1")
        self.assertEqual((status, body, headers.get("content-type"), headers.get("x-content-type-options")),
                         (200, PNG, "image/png", "nosniff"))
        self.assertIn('filename="star.png"', headers.get("content-disposition", ""))
        (self.folder / "link.png").symlink_to("/etc/hostname")
        self.assertEqual(upload("link.png"), 409)
        self.assertNotEqual(pathlib.Path("/etc/hostname").read_bytes(), PNG)
        # The effect's own texture names lead out of the folder.
        for query, status in [("cell=1", 404), ("cell=2", 404), ("cell=-1", 400), ("cell=99", 404),
                              ("cell=0&sub=5", 404), ("cell=x", 400), ("cell=99999999999999", 400)]:
            answer = self.request("GET", "/api/texture/export?" + query)
            self.assertEqual(answer[0], status, query)
            self.assertNotIn(b"root:", answer[2])

    def test_names_reach_the_page_escaped(self):
        # A new page is sent a snapshot, the snippet's lines and the whole state, then changes:
        # the first build's lines come as a patch when the snapshot was made before it.
        events, html, data = {}, "", b""
        with self.connect() as connection:
            connection.sendall(("GET /events HTTP/1.1\r\n%s\r\n" % self.host).encode())
            while "state" not in events or "&lt;script&gt;" not in html:
                data += connection.recv(65536) or self.fail("the events ended")
                found = re.findall(r"event: (\w+)\r?\ndata: (.*?)\r?\n", data.decode("utf-8", "replace"))
                events = {name: json.loads(value) for name, value in reversed(found)}
                html = "\n".join(line for name, value in found if name == "snippet"
                                  for message in [json.loads(value)]
                                  for line in message.get("lines", []) +
                                  [added for hunk in message.get("hunks", []) for added in hunk["lines"]])
        self.assertNotRegex(html, r"<(?!/?span[ >])")
        self.assertNotRegex(events["snippet"]["css"], r"[<>]")
        self.assertEqual(events["state"]["state"]["cells"][0]["name"], HOSTILE_NAME)
        status, headers, body = self.request("GET", "/")
        self.assertEqual(status, 200)
        self.assertIn("script-src 'self'", headers.get("content-security-policy", ""))
        self.assertNotIn(b"<script>alert", body)

    def test_bad_arguments_are_answered_not_fatal(self):
        for action, arguments, body, status in [
                ("set", {"cell": 0, "key": "birthRate", "value": "1e999"}, None, 400), ("nothing", {}, None, 404),
                ("set", {"cell": 4294967296, "key": "birthRate", "value": 31337}, None, 404),
                ("set", None, b"{not json", 400), ("set", None, b"[" * 100000 + b"]" * 100000, 400),
                ("code", {"text": "\ud800"}, None, 400)]:
            self.assertEqual(self.action(action, arguments, body=body), status, "%s %r" % (action, arguments))
        self.assertNotIn("31337", (self.folder / "fire.json").read_text())
        self.assertEqual(self.request("GET", "/")[0], 200)

if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    PlaygroundSecurityTest.program = str(pathlib.Path(sys.argv.pop()).resolve())
    unittest.main(verbosity=2)
