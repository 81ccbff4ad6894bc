"""A loopback HTTP server that hands out a runtime archive, well or badly, for the installer's
download under Wine (whose Internet client talks to it) and for the main job.

The server binds 127.0.0.1 on a free port, answers one request at a time on its own thread,
and stops after a bounded number of requests or when closed; every send has a time-out, so
nothing waits on a client that went away.

    with RuntimeServer(data, mode="cut") as server:
        ... server.url ... server.requests ...

Modes: "normal" (200 with the length), "no-length" (200, no Content-Length header), "cut" (the
length, half the bytes, then the connection closes), "not-found" (404 with a small page and its
length), "empty" (200 with length 0 and no bytes). delay: seconds between 16 KiB pieces of the
body (a slow line, for watching the status line).
"""
import http.server
import sys
import threading
import time

MODES = ("normal", "no-length", "cut", "not-found", "empty")
PIECE = 16384


class RuntimeServer:
    def __init__(self, data, mode="normal", delay=0.0, max_requests=40):
        if mode not in MODES:
            raise ValueError("unknown mode %r" % mode)
        self.data, self.mode, self.delay, self.max_requests = data, mode, delay, max_requests
        self.requests = []  # (monotonic time, request line) of every request served
        self._server = http.server.HTTPServer(("127.0.0.1", 0), self._handler())
        self._server.timeout = 0.2
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._serve, daemon=True)

    @property
    def url(self):
        return "http://127.0.0.1:%d/jre.tar.gz" % self._server.server_address[1]

    def __enter__(self):
        self._thread.start()
        return self

    def __exit__(self, *exc):
        self.close()

    def wait(self):
        """Waits until the server has stopped after its last request."""
        while self._thread.is_alive():
            self._thread.join(timeout=1)

    def close(self):
        self._stop.set()
        self._thread.join(timeout=10)
        self._server.server_close()

    def _serve(self):
        while not self._stop.is_set() and len(self.requests) < self.max_requests:
            self._server.handle_request()

    def _handler(self):
        server = self

        class Handler(http.server.BaseHTTPRequestHandler):
            timeout = 10  # per socket operation

            def do_GET(self):
                server.requests.append((time.monotonic(), self.requestline))
                if server.mode == "not-found":
                    page = b"<html><body>no runtime here</body></html>"
                    self._head(404, len(page))
                    self.wfile.write(page)
                    return
                body = b"" if server.mode == "empty" else server.data
                self._head(200, None if server.mode == "no-length" else len(body))
                if server.mode == "cut":
                    body = body[:len(body) // 2]
                for at in range(0, len(body), PIECE):
                    if server.delay and at:
                        time.sleep(server.delay)
                    self.wfile.write(body[at:at + PIECE])
                    self.wfile.flush()
                self.close_connection = True

            def _head(self, status, length):
                self.send_response(status)
                self.send_header("Content-Type", "application/gzip" if status == 200 else "text/html")
                if length is not None:
                    self.send_header("Content-Length", str(length))
                self.end_headers()

            def log_message(self, *args):
                pass

        return Handler


def main():
    """Serves a file until killed (at most max requests): runtime_server.py FILE [MODE [DELAY]];
    prints the URL on the first line of standard output."""
    with open(sys.argv[1], "rb") as f:
        data = f.read()
    mode = sys.argv[2] if len(sys.argv) > 2 else "normal"
    delay = float(sys.argv[3]) if len(sys.argv) > 3 else 0.0
    with RuntimeServer(data, mode, delay) as server:
        print(server.url, flush=True)
        server.wait()


if __name__ == "__main__":
    main()
