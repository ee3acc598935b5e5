#!/usr/bin/env python3
"""serve_security_test.py PATH/TO/tessary-code: the playground server's guards, checked against
`tessary-code serve` on a free loopback port: foreign hosts and sites, requests hidden in bodies,
oversized, chunked and nested bodies, held and slow connections, links and hostile names."""
import json, os, re, select, socket, subprocess, sys, tempfile, time, unittest, urllib.parse

PNG = b"\x89PNG\r\n\x1a\n" + b"\x00" * 32
HOSTILE_NAME = '<script>alert("x")</script>&\'"'


def hostile_effect():
    return {"tessaryEffect": 1, "layer": {"cells": [
        {"name": name, "texture": texture, "subcells": []} for name, texture in
        [(HOSTILE_NAME, "star.png"), ("escapes", "../../../etc/passwd"), ("absolute", "/etc/passwd")]]}}


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


def serve_arguments(program, effect_name, port=0):
    return [program, "serve"] + ([effect_name] if effect_name else []) + ["--port", str(port)]


class Server:
    def __init__(self, program, folder, effect_name):
        self.process = subprocess.Popen(serve_arguments(program, effect_name), cwd=folder,
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        line = self.process.stdout.readline()
        match = re.search(r"http://127\.0\.0\.1:(\d+)/", line)
        if not match:
            self.process.kill()
            raise RuntimeError("no address printed: %r %r" % (line, self.process.stderr.read()))
        self.port = int(match.group(1))
        self.origin = "http://127.0.0.1:%d" % self.port
        self.host_line = "Host: 127.0.0.1:%d\r\n" % self.port
        page = self.request("GET", "/")[2].decode()
        self.token = re.search(r'name="playground-token" content="([0-9a-f]+)"', page).group(1)
        self.change_headers = {"Origin": self.origin, "X-Playground-Token": self.token}
        self.change_head = self.host_line + "".join(
            "%s: %s\r\n" % item for item in self.change_headers.items())

    def stop(self):
        self.process.terminate()
        try:
            self.process.wait(timeout=20)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        self.process.stdout.close()
        self.process.stderr.close()

    def connect(self, timeout=10):
        return socket.create_connection(("127.0.0.1", self.port), timeout=timeout)

    def request(self, method, path, headers=None, body=b"", timeout=10):
        """One raw HTTP/1.1 request with exactly these headers (None: left out): (status, headers, body)."""
        sent = {"Host": "127.0.0.1:%d" % self.port, "Connection": "close"}
        sent.update(headers or {})
        if body or method == "POST":
            sent["Content-Length"] = str(len(body))
        head = "%s %s HTTP/1.1\r\n" % (method, path) + "".join(
            "%s: %s\r\n" % item for item in sent.items() if item[1] is not None)
        with self.connect(timeout) as connection:
            try:
                connection.sendall(head.encode("latin-1") + b"\r\n" + body)
            except (BrokenPipeError, ConnectionResetError):
                pass
            data = read_until_closed(connection, timeout)
        header_text, _, payload = data.partition(b"\r\n\r\n")
        fields = [line.partition(":") for line in header_text.decode("latin-1").split("\r\n")[1:]]
        return status_of(data), {name.strip().lower(): value.strip() for name, _, value in fields}, payload

    def action(self, name, arguments, headers=None):
        sent = dict(self.change_headers, **{"Content-Type": "application/json"})
        sent.update(headers or {})
        return self.request("POST", "/api/" + name, sent, json.dumps(arguments).encode())

    def upload(self, cell, name, body, headers=None):
        query = urllib.parse.urlencode({"cell": cell, "name": name})
        sent = dict(self.change_headers, **{"Content-Type": "image/png"})
        sent.update(headers or {})
        return self.request("POST", "/api/texture/import?" + query, sent, body)

    def first_event(self, name):
        """The data of the first server-sent event called `name`."""
        with self.connect() as connection:
            connection.sendall(("GET /events HTTP/1.1\r\n%s\r\n" % self.host_line).encode())
            data, deadline = b"", time.monotonic() + 10
            while time.monotonic() < deadline:
                data += connection.recv(65536)
                match = re.search(r"event: %s\r?\ndata: (.*?)\r?\n" % name, data.decode("utf-8", "replace"))
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

    def test_listens_on_loopback_only(self):
        with open("/proc/net/tcp") as table:
            rows = [row.split() for row in table.readlines()[1:]]
        self.assertEqual([row[1].split(":")[0] for row in rows if row[3] == "0A"
                          and int(row[1].split(":")[1], 16) == self.server.port], ["0100007F"])

    def test_requests_not_from_the_page_itself_are_refused(self):
        port = self.server.port
        elsewhere = [{"Host": host} for host in [
            "evil.example", "evil.example:%d" % port, "127.0.0.1:%d" % (port + 1),
            "127.0.0.2:%d" % port, "localhost.evil.example:%d" % port, None]]
        elsewhere += [{"Origin": origin} for origin in [
            "http://evil.example", "null", "http://127.0.0.1:%d" % (port + 1),
            "https://127.0.0.1:%d" % port]]
        elsewhere.append({"Sec-Fetch-Site": "cross-site"})
        for headers in elsewhere:
            for path in ["/", "/events", "/main.js", "/api/texture/export?cell=0"]:
                status, _, _ = self.server.request("GET", path, headers)
                self.assertIn(status, (400, 403), "%s with %r" % (path, headers))
        token = self.server.token
        wrong_token = token[:-1] + ("1" if token.endswith("0") else "0")
        for headers in elsewhere + [{"Origin": None}, {"X-Playground-Token": None},
                                    {"X-Playground-Token": wrong_token}]:
            status, _, _ = self.server.action(
                "set", {"cell": 0, "key": "birthRate", "value": 1}, headers)
            self.assertIn(status, (400, 403), headers)
        # A form of another site cannot send JSON; plain text is refused.
        status, _, _ = self.server.action("undo", {}, {"Content-Type": "text/plain"})
        self.assertEqual(status, 415)
        with open(os.path.join(self.effect_folder, "fire.json")) as effect:
            self.assertNotIn('"birthRate": 1', effect.read())
        for host in ["127.0.0.1:%d" % port, "localhost:%d" % port]:
            status, _, _ = self.server.request("GET", "/", {"Host": host})
            self.assertEqual(status, 200, host)

    def test_bodies_over_the_limit_are_refused_at_once_whatever_their_encoding(self):
        for path, content_type, limit in [
            ("/api/code", "application/json", 2 << 20),
            ("/api/texture/import?cell=0&name=big.png", "image/png", 8 << 20),
        ]:
            head = "POST %s HTTP/1.1\r\n%sContent-Type: %s\r\n" % (
                path, self.server.change_head, content_type)
            for announced in ["Content-Length: %d\r\n" % (limit + 1),
                              "Content-Length: %d\r\nExpect: 100-continue\r\n" % (limit + 1)]:
                started = time.monotonic()
                with self.server.connect() as connection:
                    connection.sendall((head + announced + "\r\n").encode())
                    self.assertEqual(status_of(read_until_closed(connection)), 413, announced)
                self.assertLess(time.monotonic() - started, 1)
            # A chunked body has no length to announce: it is sent until the server answers.
            sent = 0
            with self.server.connect() as connection:
                connection.sendall((head + "Transfer-Encoding: chunked\r\n\r\n").encode())
                chunk = b"10000\r\n" + b"\x00" * 0x10000 + b"\r\n"
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
        self.assertFalse(os.path.exists(os.path.join(self.effect_folder, "big.png")))

    def test_requests_sent_after_a_request_are_never_read(self):
        set_width = json.dumps({"key": "viewWidth", "value": 4242})
        smuggled = ("POST /api/set HTTP/1.1\r\n%sContent-Type: application/json\r\n"
                    "Content-Length: %d\r\n\r\n%s" % (self.server.change_head, len(set_width),
                                                       set_width)).encode()
        host = self.server.host_line
        for head, declares_body in [
            # Another site's no-cors POST, refused for its origin.
            ("POST /api/set HTTP/1.1\r\n%sOrigin: http://evil.example\r\n"
             "Content-Type: text/plain\r\n" % host, True),
            # The page's own origin and secret, refused for its type.
            ("POST /api/set HTTP/1.1\r\n%sContent-Type: text/plain\r\n" % self.server.change_head,
             True),
            ("GET /main.js HTTP/1.1\r\n%s" % host, True),
            # One request after another on the same connection.
            ("GET / HTTP/1.1\r\n%s" % host, False),
        ]:
            for padding in (0, 1, 1000, 70000):
                body = b"x" * padding + smuggled
                opening = "%sContent-Length: %d\r\n\r\n" % (head, len(body) if declares_body else 0)
                for delay in (0, 0.05):
                    with self.server.connect() as connection:
                        connection.sendall(opening.encode())
                        time.sleep(delay)
                        try:
                            connection.sendall(body)
                        except (BrokenPipeError, ConnectionResetError):
                            pass
                        answer = read_until_closed(connection)
                    self.assertEqual(len(re.findall(rb"HTTP/1\.1 \d{3} ", answer)), 1, head)
                    self.assertIn(b"\r\nConnection: close\r\n", answer)
        with open(os.path.join(self.effect_folder, "fire.json")) as effect:
            self.assertNotIn("4242", effect.read())

    def test_held_and_slow_connections_do_not_hold_up_the_page(self):
        host = self.server.host_line
        for opening in [
            "GET /events HTTP/1.1\r\n%s\r\n" % host,
            "",
            "GET / HTTP/1.1\r\n" + host,
            "POST /api/undo HTTP/1.1\r\n%sContent-Type: application/json\r\n"
            "Content-Length: 100\r\n\r\n{" % self.server.change_head,
        ]:
            held = []
            try:
                for _ in range(100):
                    held.append(self.server.connect())
                    held[-1].sendall(opening.encode())
                started = time.monotonic()
                self.assertEqual(self.server.request("GET", "/", timeout=1)[0], 200, opening)
                status, _, _ = self.server.action("platform", {"platform": "macOS"})
                self.assertEqual(status, 200, opening)
                self.assertLess(time.monotonic() - started, 1, opening)
                if "/events" in opening:
                    self.assertIn(b"event: closed", read_until_closed(held[0]))
            finally:
                for connection in held:
                    connection.close()
        # A client that sends its head a byte at a time is let go within the head's time.
        started = time.monotonic()
        with self.server.connect() as connection:
            for byte in ("GET / HTTP/1.1\r\n" + host + "X-Slow: " + "x" * 40).encode():
                if select.select([connection], [], [], 0.25)[0]:
                    break
                connection.send(bytes([byte]))
            self.assertNotEqual(status_of(read_until_closed(connection)), 200)
        self.assertLess(time.monotonic() - started, 7)

    def test_a_second_server_on_a_taken_port_is_refused(self):
        result = subprocess.run(
            serve_arguments(self.program, "fire.json", self.server.port), cwd=self.effect_folder,
            capture_output=True, text=True, timeout=10)
        self.assertEqual((result.returncode, result.stderr),
                         (2, "tessary-code: port %d is in use; try --port 0\n" % self.server.port))

    def test_an_upload_goes_into_the_effect_folder_and_comes_back(self):
        status, _, body = self.server.upload(0, "star.png", PNG)
        self.assertEqual(status, 200, body)
        with open(os.path.join(self.effect_folder, "star.png"), "rb") as image:
            self.assertEqual(image.read(), PNG)
        status, headers, body = self.server.request("GET", "/api/texture/export?cell=0&download=1")
        self.assertEqual((status, body, headers.get("content-type"), headers.get("x-content-type-options")),
                         (200, PNG, "image/png", "nosniff"))
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
        self.assertNotRegex(snippet["css"], r"[<>]")
        state = self.server.first_event("state")
        self.assertEqual(state["cells"][0]["name"], HOSTILE_NAME)
        status, headers, body = self.server.request("GET", "/")
        self.assertEqual(status, 200)
        self.assertIn("script-src 'self'", headers.get("content-security-policy", ""))
        self.assertNotIn(b"<script>alert", body)

    def test_bad_arguments_are_answered_not_fatal(self):
        for action, arguments in [
            ("set", {"cell": 0, "key": "birthRate", "value": "1e999"}),
            ("set", {"cell": 4294967296, "key": "birthRate", "value": 31337}),
            ("nothing", {}),
        ]:
            status, _, _ = self.server.action(action, arguments)
            self.assertIn(status, (400, 404), "%s %r" % (action, arguments))
        for body in [b"{not json", b"[" * 100000 + b"]" * 100000]:
            status, _, _ = self.server.request("POST", "/api/set", dict(
                self.server.change_headers, **{"Content-Type": "application/json"}), body)
            self.assertEqual(status, 400)
        self.assertIn(self.server.action("code", {"text": "\ud800"})[0], (200, 400))
        with open(os.path.join(self.effect_folder, "fire.json")) as effect:
            self.assertNotIn("31337", effect.read())
        status, _, _ = self.server.request("GET", "/")
        self.assertEqual(status, 200)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    PlaygroundSecurityTest.program = os.path.abspath(sys.argv.pop())
    unittest.main(verbosity=2)
