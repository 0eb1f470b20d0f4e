#!/usr/bin/env python3
"""A scripted HTTP origin and SOCKS4/4a proxy for the download client's failure cases.

Listens on 127.0.0.1 at a free port and prints "PORT <n>" once ready. Each connection is
served on its own thread. A connection whose first byte is 4 is a SOCKS4 (or 4a) request: it
is granted (0x5A) and the same connection then carries the HTTP request to this server.
"""
import socket
import sys
import threading
import time

PATTERN = bytes(range(256)) * 64  # 16384 bytes


def read_request(conn, first=b""):
    data = first
    while b"\r\n\r\n" not in data:
        chunk = conn.recv(4096)
        if not chunk:
            break
        data += chunk
    return data


def reply(conn, status, headers, body=b""):
    head = "HTTP/1.0 %s\r\n" % status
    for name, value in headers:
        head += "%s: %s\r\n" % (name, value)
    conn.sendall(head.encode() + b"\r\n" + body)


def serve_http(conn, request):
    line = request.split(b"\r\n", 1)[0].decode("latin-1")
    parts = line.split(" ")
    path = parts[1] if len(parts) > 1 else "/"
    headers = {}
    for raw in request.split(b"\r\n")[1:]:
        if b":" in raw:
            name, value = raw.split(b":", 1)
            headers[name.strip().lower().decode("latin-1")] = value.strip().decode("latin-1")

    if path == "/nolength":
        reply(conn, "200 OK", [], PATTERN[:5000])
    elif path == "/early":
        reply(conn, "200 OK", [("Content-Length", 1000)], PATTERN[:400])
    elif path == "/reset":
        reply(conn, "200 OK", [("Content-Length", 1000)], PATTERN[:400])
        time.sleep(0.05)
        conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, b"\x01\x00\x00\x00\x00\x00\x00\x00")
    elif path in ("/resume", "/resume200"):
        body = PATTERN[:1000]
        wanted = headers.get("range", "")
        if path == "/resume" and wanted.startswith("bytes="):
            start = int(wanted[6:].rstrip("-"))
            reply(conn, "206 Partial Content", [("Content-Length", len(body) - start)], body[start:])
        else:
            reply(conn, "200 OK", [("Content-Length", len(body))], body)
    elif path.startswith("/moved-to/"):
        # /moved-to/<port>/<path>: to another port of this host, as an absolute address.
        reply(conn, "302 Found", [("Location", "http://127.0.0.1:" + path[len("/moved-to/"):])])
    elif path == "/target":
        reply(conn, "200 OK", [("Content-Length", 11)], b"target body")
    elif path == "/silent":
        time.sleep(20)
    else:
        reply(conn, "404 Not Found", [("Content-Length", 0)])


def recv_until(conn, data, done):
    while not done(data):
        chunk = conn.recv(1024)
        if not chunk:
            return None
        data += chunk
    return data


def serve_socks4(conn, first):
    # VN CD PORT(2) IP(4) USERID NUL, and for 4a (IP 0.0.0.x) HOST NUL.
    data = recv_until(conn, first, lambda d: len(d) > 8 and b"\0" in d[8:])
    if data is None:
        return
    if data[4:7] == b"\0\0\0" and data[7] != 0:
        data = recv_until(conn, data, lambda d: b"\0" in d[d.index(b"\0", 8) + 1:])
        if data is None:
            return
    conn.sendall(b"\x00\x5a" + b"\0" * 6)
    serve_http(conn, read_request(conn))


def handle(conn):
    try:
        first = conn.recv(1)
        if not first:
            return
        if first == b"\x04":
            serve_socks4(conn, first)
        else:
            serve_http(conn, read_request(conn, first))
    except OSError:
        pass
    finally:
        try:
            conn.close()
        except OSError:
            pass


def main():
    server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind(("127.0.0.1", 0))
    server.listen(64)
    port = server.getsockname()[1]
    print("PORT %d" % port, flush=True)
    while True:
        conn, _ = server.accept()
        threading.Thread(target=handle, args=(conn,), daemon=True).start()


if __name__ == "__main__":
    sys.exit(main())
