#!/usr/bin/env python3
"""A scripted HTTP and HTTPS server on 127.0.0.1 for the upgrade tests and
benchmarks. It prints "http PORT https PORT cert FILE" and serves until its
standard input closes (the test program ended) or ten minutes have passed.

Paths:
  /file?size=N   N bytes of the pattern byte(i) = ((i % 65536) * 31 + 7) % 251,
                 with Range support (206, 416). Options: zeros=1 (all zero bytes),
                 chunked=1, nolength=1 (no length, ends by closing), break=K (close
                 after K body bytes), rst=1 (reset instead of closing), slow=MS (wait
                 before the body), trickle=MS (one body byte every MS ms),
                 badrange=1 (answer a range with another part),
                 ignorerange=1 (answer a range with the whole resource), bigtype=1
                 (a Content-Type over 4 KB), etag=, lastmod=.
  /status/CODE   that status with a small body
  /auth?user=U&pass=P   401 with realm "Upgrade area" until Basic credentials match
  /redirect?to=ADDRESS  302 to the address; /loop redirects to itself
  /echo          the request (line, headers, body) as the body
  /local/PATH    the file at the absolute PATH (404 when missing); ?nolength sends it
                 without a length, ?break only half of it, ?trickle one byte every 50 ms
  /raw/NAME      malformed answers: badstatus, garbage, neglength, nanlength,
                 hugelength, hugeheader, closeatonce, silent
"""
import base64
import os
import socket
import ssl
import subprocess
import sys
import threading
import time
from urllib.parse import parse_qs, urlsplit

BLOCK = bytes(((i * 31 + 7) % 251) for i in range(65536))
ZEROS = bytes(65536)


def pieces(offset, size, zeros=False):
    """The pattern's bytes from offset on, in views of at most 1 MiB."""
    src = ZEROS if zeros else BLOCK
    big = None
    while size > 0:
        at = offset % 65536
        if at == 0 and size >= 1 << 20:
            if big is None:
                big = memoryview(src * 16)
            n = 1 << 20
            yield big
        else:
            n = min(size, 65536 - at)
            yield memoryview(src)[at:at + n]
        offset += n
        size -= n


class Request:
    def __init__(self, method, target, headers, body):
        self.method = method
        self.target = target
        self.headers = headers
        self.body = body
        parts = urlsplit(target)
        self.path = parts.path
        self.query = {k: v[0] for k, v in parse_qs(parts.query).items()}


def read_request(conn, buf):
    while b"\r\n\r\n" not in buf:
        chunk = conn.recv(65536)
        if not chunk:
            return None, buf
        buf += chunk
    head, buf = buf.split(b"\r\n\r\n", 1)
    lines = head.decode("latin-1").split("\r\n")
    method, target, _ = (lines[0].split(" ") + ["", ""])[:3]
    headers = {}
    raw = [lines[0]]
    for line in lines[1:]:
        raw.append(line)
        if ":" in line:
            k, v = line.split(":", 1)
            headers[k.strip().lower()] = v.strip()
    length = int(headers.get("content-length", "0") or 0)
    while len(buf) < length:
        chunk = conn.recv(65536)
        if not chunk:
            break
        buf += chunk
    body, buf = buf[:length], buf[length:]
    req = Request(method, target, headers, body)
    req.raw = "\r\n".join(raw) + "\r\n\r\n"
    return req, buf


def respond(conn, status, reason, headers, body=b""):
    head = "HTTP/1.1 %d %s\r\n" % (status, reason)
    for k, v in headers:
        head += "%s: %s\r\n" % (k, v)
    conn.sendall(head.encode("latin-1") + b"\r\n" + body)


def parse_range(value, size):
    if not value or not value.startswith("bytes="):
        return None
    first, _, last = value[6:].partition("-")
    first = int(first)
    last = int(last) if last else size - 1
    return first, min(last, size - 1)


def serve_file(conn, req):
    """Returns False when the connection is to be closed."""
    q = req.query
    size = int(q.get("size", "0"))
    zeros = q.get("zeros") == "1"
    status, reason, offset, count = 200, "OK", 0, size
    headers = []
    rng = None if q.get("ignorerange") == "1" else parse_range(req.headers.get("range"), size)
    if rng:
        first, last = rng
        if first >= size:
            respond(conn, 416, "Range Not Satisfiable",
                    [("Content-Range", "bytes */%d" % size), ("Content-Length", "0")])
            return True
        status, reason, offset, count = 206, "Partial Content", first, last - first + 1
        shown = 0 if q.get("badrange") == "1" else first
        headers.append(("Content-Range", "bytes %d-%d/%d" % (shown, shown + count - 1, size)))
    ctype = "x" * 5000 if q.get("bigtype") == "1" else "application/octet-stream"
    headers.append(("Content-Type", ctype))
    if "etag" in q:
        headers.append(("ETag", '"%s"' % q["etag"]))
    if "lastmod" in q:
        headers.append(("Last-Modified", q["lastmod"]))
    chunked = q.get("chunked") == "1"
    nolength = q.get("nolength") == "1"
    brk = int(q["break"]) if "break" in q else None
    if chunked:
        headers.append(("Transfer-Encoding", "chunked"))
    elif nolength:
        headers.append(("Connection", "close"))
    else:
        headers.append(("Content-Length", str(count)))
    respond(conn, status, reason, headers)
    if "slow" in q:
        time.sleep(int(q["slow"]) / 1000.0)
    send = count if brk is None else min(brk, count)
    if "trickle" in q:
        for piece in pieces(offset, send, zeros):
            for i in range(len(piece)):
                conn.sendall(piece[i:i + 1])
                time.sleep(int(q["trickle"]) / 1000.0)
    elif chunked:
        sent = 0
        while sent < send:
            n = min(4096, send - sent)
            conn.sendall(b"%x\r\n" % n + b"".join(pieces(offset + sent, n, zeros)) + b"\r\n")
            sent += n
        if brk is None:
            conn.sendall(b"0\r\n\r\n")
    else:
        for piece in pieces(offset, send, zeros):
            conn.sendall(piece)
    if brk is not None:
        if q.get("rst") == "1":
            conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, b"\x01\x00\x00\x00\x00\x00\x00\x00")
        return False
    return not nolength


RAW = {
    "badstatus": b"HTTP/1.1 abc Bad\r\nContent-Length: 2\r\n\r\nok",
    "garbage": b"garbage without any protocol\r\n\r\n",
    "neglength": b"HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\nhello",
    "nanlength": b"HTTP/1.1 200 OK\r\nContent-Length: abc\r\n\r\nhello",
    "hugelength": b"HTTP/1.1 200 OK\r\nContent-Length: 1000000000000000000\r\n\r\n" + b"x" * 10,
    "hugeheader": b"HTTP/1.1 200 OK\r\nX-Filler: " + b"f" * 300000 + b"\r\nContent-Length: 2\r\n\r\nok",
}


def serve_raw(conn, name):
    """One of the malformed answers, then the connection closes; "silent"
    reads the request and never answers, "closeatonce" sends nothing."""
    if name == "silent":
        conn.settimeout(30)
        try:
            while conn.recv(4096):
                pass
        except OSError:
            pass
    else:
        conn.sendall(RAW.get(name, b""))
    return False


def handle(conn):
    buf = b""
    try:
        while True:
            req, buf = read_request(conn, buf)
            if req is None:
                return
            path, q = req.path, req.query
            keep = True
            if path == "/file":
                keep = serve_file(conn, req)
            elif path.startswith("/status/"):
                code = int(path.split("/")[2])
                body = b"Error %d page" % code
                respond(conn, code, "Status", [("Content-Length", str(len(body)))], body)
            elif path == "/auth":
                expected = base64.b64encode(("%s:%s" % (q.get("user", ""), q.get("pass", ""))).encode()).decode()
                if req.headers.get("authorization") == "Basic " + expected:
                    respond(conn, 200, "OK", [("Content-Length", "6")], b"secret")
                else:
                    body = b"Who are you?"
                    respond(conn, 401, "Unauthorized", [("WWW-Authenticate", 'Basic realm="Upgrade area"'),
                                                        ("Content-Length", str(len(body)))], body)
            elif path == "/redirect":
                respond(conn, 302, "Found", [("Location", q.get("to", "/")), ("Content-Length", "0")])
            elif path == "/loop":
                respond(conn, 302, "Found", [("Location", "/loop"), ("Content-Length", "0")])
            elif path == "/echo":
                body = req.raw.encode("latin-1") + req.body
                respond(conn, 200, "OK", [("Content-Type", "text/plain"), ("Content-Length", str(len(body)))], body)
            elif path.startswith("/raw/"):
                keep = serve_raw(conn, path[5:])
            elif path.startswith("/local/"):
                # A file the test wrote, by its absolute path; "nolength" in
                # the query sends it without a length, ending by closing;
                # "break" announces its whole length and sends half of it.
                try:
                    with open(path[6:], "rb") as f:
                        body = f.read()
                except OSError:
                    respond(conn, 404, "Not Found", [("Content-Length", "0")])
                else:
                    keep = "break" not in req.target and "nolength" not in req.target
                    if "nolength" in req.target:
                        respond(conn, 200, "OK", [("Connection", "close")], body)
                    elif "trickle" in req.target:
                        respond(conn, 200, "OK", [("Content-Length", str(len(body)))])
                        for i in range(len(body)):
                            conn.sendall(body[i:i + 1])
                            time.sleep(0.05)
                    else:
                        sent = body[:len(body) // 2] if "break" in req.target else body
                        respond(conn, 200, "OK", [("Content-Length", str(len(body)))], sent)
            else:
                respond(conn, 404, "Not Found", [("Content-Length", "0")])
            if not keep or req.headers.get("connection", "").lower() == "close":
                return
    except (OSError, ssl.SSLError, ValueError):
        pass
    finally:
        try:
            conn.close()
        except OSError:
            pass


def accept_loop(listener, context):
    while True:
        try:
            conn, _ = listener.accept()
        except OSError:
            return
        conn.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)

        def run(c=conn):
            if context is not None:
                try:
                    c.settimeout(10)
                    c = context.wrap_socket(c, server_side=True)
                    c.settimeout(None)
                except (OSError, ssl.SSLError):
                    c.close()
                    return
            handle(c)

        threading.Thread(target=run, daemon=True).start()


def listen():
    s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    s.bind(("127.0.0.1", 0))
    s.listen(256)
    return s


def main():
    tls_dir = sys.argv[1] if len(sys.argv) > 1 else None
    plain = listen()
    threading.Thread(target=accept_loop, args=(plain, None), daemon=True).start()
    https_port, cert = 0, "-"
    if tls_dir:
        cert = os.path.join(tls_dir, "cert.pem")
        key = os.path.join(tls_dir, "key.pem")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                        "-nodes", "-keyout", key, "-out", cert, "-days", "1", "-subj", "/CN=127.0.0.1",
                        "-addext", "subjectAltName=IP:127.0.0.1"], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(cert, key)
        secure = listen()
        https_port = secure.getsockname()[1]
        threading.Thread(target=accept_loop, args=(secure, context), daemon=True).start()
    print("http %d https %d cert %s" % (plain.getsockname()[1], https_port, cert), flush=True)
    deadline = threading.Timer(600, lambda: os._exit(0))
    deadline.daemon = True
    deadline.start()
    sys.stdin.read()
    os._exit(0)


if __name__ == "__main__":
    main()
