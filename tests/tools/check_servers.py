#!/usr/bin/env python3
"""Faulty servers for zandle-cli check, on a free loopback port.

Usage: check_servers.py MODE, MODE one of
  refused  prints "nothing listens on 127.0.0.1:PORT" (a port bound, then closed) and exits
  silent   accepts connections, reads the request and never answers
  404      answers every request with 404 Not Found and a small HTML body
  html     answers every request with 200 and an HTML page
  502      answers every request with 502 Bad Gateway, as a proxy that cannot reach the server
Prints "listening on 127.0.0.1:PORT", then each request line as "request LINE", and serves
until killed."""
import socket
import sys
import threading

HTML = (b"<!DOCTYPE html>\r\n<html><head><title>Portal maintenance</title></head>"
        b"<body><h1>Back soon</h1></body></html>\r\n")
NOT_FOUND = b"<html><head><title>404 Not Found</title></head><body>Not Found</body></html>\r\n"


def reply(status, body):
    head = (f"HTTP/1.1 {status}\r\nContent-Type: text/html; charset=utf-8\r\n"
            f"Content-Length: {len(body)}\r\nConnection: close\r\n\r\n")
    return head.encode("ascii") + body


def serve(conn, mode):
    with conn:
        data = b""
        while b"\r\n\r\n" not in data:
            chunk = conn.recv(4096)
            if not chunk:
                return
            data += chunk
        print("request " + data.split(b"\r\n", 1)[0].decode("latin-1"), flush=True)
        if mode == "silent":
            while conn.recv(4096):  # holds the connection until the client gives up
                pass
            return
        if mode == "404":
            conn.sendall(reply("404 Not Found", NOT_FOUND))
        elif mode == "502":
            conn.sendall(reply("502 Bad Gateway", b"<html><body>Bad Gateway</body></html>\r\n"))
        else:
            conn.sendall(reply("200 OK", HTML))


def main():
    mode = sys.argv[1]
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    port = listener.getsockname()[1]
    if mode == "refused":
        listener.close()
        print(f"nothing listens on 127.0.0.1:{port}", flush=True)
        return
    listener.listen(16)
    print(f"listening on 127.0.0.1:{port}", flush=True)
    held = []
    while True:
        conn, _ = listener.accept()
        held.append(conn)  # a silent server must not close what it accepted
        threading.Thread(target=serve, args=(conn, mode), daemon=True).start()


if __name__ == "__main__":
    main()
