"""A loopback HTTP server that hands out a runtime archive, well or badly: for the installer's
download under Wine (whose Internet client talks to it) and for the main job.

It binds 127.0.0.1 on a free port, answers one request at a time on its own thread, stops
after max_requests requests or when closed, and every socket operation has a time-out.
Modes: "normal" (200 with the length), "no-length" (no Content-Length header), "cut" (the
length, half the bytes, then the connection closes), "not-found" (a 404 page), "empty" (length
0). delay: seconds between 16 KiB pieces of the body.

    with RuntimeServer(data, mode="cut") as server: ... server.url ... server.requests ...
    python3 runtime_server.py FILE [MODE [DELAY]]   # prints the URL, serves until killed
"""
import http.server
import sys
import threading
import time

PIECE = 16384


class RuntimeServer:
    def __init__(self, data, mode="normal", delay=0.0, max_requests=40):
        assert mode in ("normal", "no-length", "cut", "not-found", "empty"), mode
        self.data, self.mode, self.delay, self.max_requests = data, mode, delay, max_requests
        self.requests = []  # (monotonic time, request line) of each request
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
        self._stop.set()
        self._thread.join(timeout=10)
        self._server.server_close()

    def _serve(self):
        while not self._stop.is_set() and len(self.requests) < self.max_requests:
            self._server.handle_request()

    def _handler(self):
        server = self

        class Handler(http.server.BaseHTTPRequestHandler):
            timeout = 10

            def do_GET(self):
                server.requests.append((time.monotonic(), self.requestline))
                body = {"not-found": b"<html>no runtime here</html>", "empty": b""}.get(server.mode, server.data)
                self.send_response(404 if server.mode == "not-found" else 200)
                if server.mode != "no-length":
                    self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                if server.mode == "cut":
                    body = body[:len(body) // 2]
                for at in range(0, len(body), PIECE):
                    time.sleep(server.delay if at else 0)
                    self.wfile.write(body[at:at + PIECE])

            def log_message(self, *args):
                pass

        return Handler


if __name__ == "__main__":
    with open(sys.argv[1], "rb") as f:
        archive = f.read()
    with RuntimeServer(archive, *sys.argv[2:3], *map(float, sys.argv[3:4])) as running:
        print(running.url, flush=True)
        running._thread.join()
