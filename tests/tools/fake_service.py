#!/usr/bin/env python3
"""A minimal stand-in for the statistics service, on a free loopback port.

Prints "listening on 127.0.0.1:PORT" and appends each request as one JSON line
(method, path, version, content type, body) to the file given as the first argument."""
import http.server
import json
import sys

NS = "http://tempuri.org/WriteLogWeb"
DECL = '<?xml version="1.0" encoding="utf-8"?>\r\n'


class Handler(http.server.BaseHTTPRequestHandler):
    log_path = None
    next_id = 100

    def do_POST(self):
        length = int(self.headers.get("Content-Length", "0"))
        body = self.rfile.read(length)
        method = self.path.rsplit("/", 1)[-1]
        with open(self.log_path, "a", encoding="utf-8") as log:
            log.write(json.dumps({"method": method, "path": self.path, "version": self.request_version,
                                  "type": self.headers.get("Content-Type"),
                                  "body": body.decode("utf-8", "replace")}) + "\n")
        if method == "GetAppInfo":
            text = "&lt;AppInfo&gt;&lt;WarningLevel&gt;2&lt;/WarningLevel&gt;&lt;FunName&gt;Print,Save&lt;/FunName&gt;&lt;/AppInfo&gt;"
            reply = f'{DECL}<string xmlns="{NS}">{text}</string>'
        elif method == "UserEnter":
            Handler.next_id += 1
            reply = f'{DECL}<int xmlns="{NS}">{Handler.next_id}</int>'
        else:
            reply = f'{DECL}<int xmlns="{NS}">1</int>'
        data = reply.encode("utf-8")
        self.send_response(200)
        self.send_header("Content-Type", "text/xml; charset=utf-8")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def log_message(self, *args):
        pass


def main():
    Handler.log_path = sys.argv[1]
    server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
    print(f"listening on 127.0.0.1:{server.server_address[1]}", flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
