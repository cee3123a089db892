#!/usr/bin/env python3
"""A scriptable HTTP/1.1 file server for testing the downloader against faults.

Python standard library only. It serves the files of one folder with
keep-alive and single byte ranges ("Range: bytes=N-" and "bytes=N-M"), and
injects faults chosen per path.

How tests use it
----------------
The programs under test run under Wine, so the server runs on the Linux side:
an end-to-end scenario (tests/e2e/test_download*.py) imports this module,
starts the server in a thread of its own process on a free loopback port,
sets faults through the Python API, runs the Windows probe program
(tests/tools/download_probe.exe) under Wine against it, and reads the
counters afterwards. Nothing outlives the scenario: `stop()` closes the
listener and every open connection. The same control is available over HTTP
for other clients, and the module runs stand-alone:

    python3 fault_server.py --root DIR [--port N] [--faults faults.json]

prints "port N" and serves until interrupted.

Control endpoint (JSON bodies and answers):
    POST /__control/faults   {"/path": {fault options}, ...}  replaces the faults
    POST /__control/reset    clears the faults and the counters
    GET  /__control/stats    {"max_in_flight", "in_flight", "max_connections",
                              "connections", "body_bytes", "requests": {"/path":
                              [{"range": "bytes=0-" or null, "status": 206}, ...]}}

Fault options (all optional; a path without faults is served normally):
    status          answer with this status code and a short text body
    no_length       send no Content-Length; the body ends when the
                    connection closes
    ignore_range    answer a Range request with 200 and the whole body
    content_length  the Content-Length to announce for a full (200) answer:
                    a smaller value cuts the body, a larger one sends the
                    real body and closes the connection
    drop_after      close the connection after this many body bytes
    drop_random     [low, high]: close each connection after a random number
                    of body bytes between the two, counted over all the
                    answers it carried
    close_each      close the connection after every answer, without saying
                    so beforehand (a kept-alive connection that the server ends)
    range_shift     answer a range with the bytes (and Content-Range) of the
                    range this many bytes further on
    size_delta      announce the file as this many bytes longer than it is
                    (Content-Range total), as when it changed on the server
    announce        serve the file as this many bytes long (its lengths, ranges
                    and Content-Range total), zeros after its real bytes: a
                    huge value streams without end until the client goes
    close_at_once   close the connection without answering
    location        with status: the Location header (a redirect)
    stall           {"after": bytes, "seconds": s}: pause once, mid-body
    latency         seconds to wait before answering
    rate            bytes per second, per connection
    link_rate       bytes per second shared by every answer with this fault,
                    as one slow link carries all of a client's connections
    send_buffer     the socket's send buffer in bytes, so that what the server
                    counts as sent is close to what the client has read
    proxy_auth      "user:password": act as a proxy that wants Basic credentials
                    (407 with Proxy-Authenticate until they are sent)
    raw_target      apply only to requests whose target is exactly this text
                    as sent (so "/a^b" and "/a%5Eb" can be told apart)
    times           how many requests get the fault; afterwards the path is
                    served normally (default: every request)
    when_range      which requests the fault applies to: "any" (default),
                    "none" (no Range header), "ranged", or a number (the
                    first byte asked for)

Counters: "body_bytes" is every body byte sent (`busiest_window(s)` gives the
most of them sent within any s seconds), a request is "in flight" from its arrival until its answer is sent
or its connection is found closed (a client that stops reading is noticed at
once: rate-limited and stalled answers watch the socket while they wait).
"""
import argparse
import json
import os
import random
import select
import socket
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

CHUNK = 16 * 1024


class _ClientGone(Exception):
    pass


class _State:
    def __init__(self):
        self.lock = threading.Lock()
        self.faults = {}
        self.applied = {}
        self.in_flight = 0
        self.connections = 0
        self.reset_counters()

    def reset_counters(self):
        # What is open now stays counted; the highs start again from it.
        self.max_in_flight = self.in_flight
        self.max_connections = self.connections
        self.requests = {}
        self.body_bytes = 0
        self.body_log = []  # (time, bytes) of every body write
        self.link_due = 0.0  # when the shared link has sent what it was given

    def stats(self):
        with self.lock:
            return {"in_flight": self.in_flight, "max_in_flight": self.max_in_flight,
                    "connections": self.connections, "max_connections": self.max_connections,
                    "body_bytes": self.body_bytes,
                    "requests": {p: list(r) for p, r in self.requests.items()}}


def _range_start(range_header):
    if not range_header:
        return None
    try:
        unit, spec = range_header.split("=", 1)
        if unit.strip().lower() != "bytes":
            return None
        first, last = spec.split(",")[0].split("-", 1)
        return (int(first), int(last) if last.strip() else None)
    except ValueError:
        return None


class _Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "FaultServer/1"

    def log_message(self, *args):
        pass

    def setup(self):
        super().setup()
        self.drop_budget = None  # body bytes this connection may still carry
        st = self.server.state
        with st.lock:
            st.connections += 1
            st.max_connections = max(st.max_connections, st.connections)

    def finish(self):
        try:
            super().finish()
        except OSError:
            pass
        st = self.server.state
        with st.lock:
            st.connections -= 1

    # Control --------------------------------------------------------------
    def _json(self, value, status=200):
        body = json.dumps(value).encode()
        self.send_response(status)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_POST(self):
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length) if length else b""
        path = urllib.parse.urlsplit(self.path).path
        if path == "/__control/faults":
            self.server.set_faults(json.loads(body or b"{}"))
            return self._json({"ok": True})
        if path == "/__control/reset":
            self.server.reset()
            return self._json({"ok": True})
        self._json({"error": "unknown control"}, 404)

    # Files ------------------------------------------------------------------
    def do_GET(self):
        path = urllib.parse.unquote(urllib.parse.urlsplit(self.path).path)
        if path == "/__control/stats":
            return self._json(self.server.state.stats())
        st = self.server.state
        with st.lock:
            st.in_flight += 1
            st.max_in_flight = max(st.max_in_flight, st.in_flight)
        record = {"range": self.headers.get("Range"), "status": None, "target": self.path,
                  "proxy_authorization": self.headers.get("Proxy-Authorization"),
                  "started": time.monotonic(), "ended": None}
        with st.lock:
            st.requests.setdefault(path, []).append(record)
        try:
            self._serve(path, record)
        except (_ClientGone, ConnectionError, BrokenPipeError, socket.timeout, OSError):
            self.close_connection = True
        finally:
            with st.lock:
                st.in_flight -= 1
                record["ended"] = time.monotonic()

    def _fault_for(self, path, range_start):
        st = self.server.state
        with st.lock:
            fault = st.faults.get(path)
            if not fault:
                return {}
            when = fault.get("when_range", "any")
            start = range_start[0] if range_start else None
            if when == "none" and range_start is not None:
                return {}
            if when == "ranged" and range_start is None:
                return {}
            if isinstance(when, int) and start != when:
                return {}
            if "raw_target" in fault and self.path != fault["raw_target"]:
                return {}
            times = fault.get("times")
            if times is not None:
                used = st.applied.get(path, 0)
                if used >= times:
                    return {}
                st.applied[path] = used + 1
            return fault

    def _client_closed(self, wait=0.0):
        """Waits up to `wait` seconds; True when the client has closed."""
        sock = self.connection
        readable, _, _ = select.select([sock], [], [], wait)
        if not readable:
            return False
        try:
            data = sock.recv(1, socket.MSG_PEEK)
        except OSError:
            return True
        return not data

    def _sleep(self, seconds):
        deadline = time.monotonic() + seconds
        while True:
            left = deadline - time.monotonic()
            if left <= 0:
                return
            if self._client_closed(min(left, 0.05)):
                raise _ClientGone()

    def _serve(self, path, record):
        range_start = _range_start(self.headers.get("Range"))
        fault = self._fault_for(path, range_start)
        if fault.get("proxy_auth"):
            import base64
            wanted = "Basic " + base64.b64encode(fault["proxy_auth"].encode()).decode()
            if self.headers.get("Proxy-Authorization") != wanted:
                body = b"proxy credentials needed\n"
                record["status"] = 407
                self.send_response(407)
                self.send_header("Proxy-Authenticate", 'Basic realm="fault-server"')
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)
                return
        if fault.get("latency"):
            self._sleep(float(fault["latency"]))
        if fault.get("close_at_once"):
            record["status"] = 0
            self.close_connection = True
            return
        if "status" in fault:
            body = f"status {fault['status']}\n".encode()
            record["status"] = int(fault["status"])
            self.send_response(int(fault["status"]))
            if "location" in fault:
                self.send_header("Location", fault["location"])
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)
            return
        file_path = os.path.join(self.server.root, path.lstrip("/"))
        if not os.path.isfile(file_path):
            body = b"not found\n"
            record["status"] = 404
            self.send_response(404)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)
            return
        size = int(fault.get("announce", os.path.getsize(file_path)))
        first, last = 0, size - 1
        status = 200
        if range_start is not None and not fault.get("ignore_range"):
            shift = int(fault.get("range_shift", 0))
            first = range_start[0] + shift
            if range_start[1] is not None:
                last = min(range_start[1] + shift, size - 1)
            if first >= size:
                record["status"] = 416
                self.send_response(416)
                self.send_header("Content-Range", f"bytes */{size}")
                self.send_header("Content-Length", "0")
                self.end_headers()
                return
            status = 206
        length = last - first + 1
        announced = length
        close_after = False
        if status == 200 and "content_length" in fault:
            announced = int(fault["content_length"])
            if announced < length:
                length = announced
            elif announced > length:
                close_after = True
        record["status"] = status
        self.send_response(status)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Accept-Ranges", "bytes")
        if status == 206:
            self.send_header("Content-Range", f"bytes {first}-{last}/{size + int(fault.get('size_delta', 0))}")
        if fault.get("no_length"):
            close_after = True
            self.send_header("Connection", "close")
        else:
            self.send_header("Content-Length", str(announced))
        self.end_headers()
        self.wfile.flush()
        self._send_body(file_path, first, length, fault)
        if close_after or fault.get("close_each"):
            self.close_connection = True

    def _send_body(self, file_path, first, length, fault):
        drop_after = fault.get("drop_after")
        if fault.get("drop_random"):
            if self.drop_budget is None:
                self.drop_budget = self.server.random.randint(*fault["drop_random"])
            drop_after = self.drop_budget
        stall = fault.get("stall")
        stalled = False
        rate = fault.get("rate")
        if fault.get("send_buffer"):
            self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_SNDBUF, int(fault["send_buffer"]))
        sent = 0
        started = time.monotonic()
        with open(file_path, "rb") as f:
            f.seek(first)
            while sent < length:
                limit = length - sent
                if drop_after is not None:
                    limit = min(limit, int(drop_after) - sent)
                if stall and not stalled:
                    if sent >= int(stall["after"]):
                        stalled = True
                        self._sleep(float(stall["seconds"]))
                        continue
                    limit = min(limit, int(stall["after"]) - sent)
                if limit <= 0:
                    break
                data = f.read(min(CHUNK, limit))
                if not data and "announce" in fault:
                    data = bytes(min(CHUNK, limit))
                if not data:
                    break
                if rate:
                    # Keep to the rate by waiting until this chunk is due.
                    self._sleep(started + (sent + len(data)) / float(rate) - time.monotonic())
                if fault.get("link_rate"):
                    with self.server.state.lock:
                        state = self.server.state
                        state.link_due = max(state.link_due, time.monotonic()) + len(data) / float(fault["link_rate"])
                        due = state.link_due
                    self._sleep(due - time.monotonic())
                elif not rate and self._client_closed(0):
                    raise _ClientGone()
                self.wfile.write(data)
                sent += len(data)
                with self.server.state.lock:
                    self.server.state.body_bytes += len(data)
                    self.server.state.body_log.append((time.monotonic(), len(data)))
        if self.drop_budget is not None:
            self.drop_budget -= sent
        if drop_after is not None and sent >= int(drop_after) and sent < length:
            self.wfile.flush()
            try:
                self.connection.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
            self.close_connection = True


class FaultServer(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, root, port=0, host="127.0.0.1"):
        self.root = os.path.abspath(root)
        self.state = _State()
        self.random = random.Random(1974)
        self._open = set()
        self._open_lock = threading.Lock()
        super().__init__((host, port), _Handler)
        self.port = self.server_address[1]
        self._thread = None

    # Connections are tracked so that stop() can end them all.
    def process_request(self, request, client_address):
        with self._open_lock:
            self._open.add(request)
        super().process_request(request, client_address)

    def shutdown_request(self, request):
        with self._open_lock:
            self._open.discard(request)
        super().shutdown_request(request)

    def set_faults(self, faults):
        with self.state.lock:
            self.state.faults = dict(faults)
            self.state.applied = {}

    def set_fault(self, path, **options):
        with self.state.lock:
            self.state.faults[path] = options
            self.state.applied.pop(path, None)

    def reset(self):
        with self.state.lock:
            self.state.faults = {}
            self.state.applied = {}
            self.state.reset_counters()

    def stats(self):
        return self.state.stats()

    def requests(self, path):
        return self.stats()["requests"].get(path, [])

    def busiest_window(self, seconds):
        """The most body bytes sent within any `seconds`, and the seconds
        from the first body byte to the last."""
        with self.state.lock:
            log = list(self.state.body_log)
        most = in_window = 0
        first = 0
        for time_sent, count in log:
            in_window += count
            while log[first][0] <= time_sent - seconds:
                in_window -= log[first][1]
                first += 1
            most = max(most, in_window)
        return most, (log[-1][0] - log[0][0]) if log else 0.0

    @staticmethod
    def max_overlap(records, until=None):
        """The most of the given requests that were in flight at once.

        By default a request counts until the server was done with it, which
        can lag behind the client being done with it when threads are slow to
        be scheduled. `until(record)` can name an earlier end that is certain,
        such as the time before which no answer could have been complete."""
        events = []
        for r in records:
            end = until(r) if until else r["ended"]
            events.append((r["started"], 1))
            events.append((end if end is not None else float("inf"), -1))
        most = current = 0
        for _, step in sorted(events, key=lambda e: (e[0], e[1])):
            current += step
            most = max(most, current)
        return most

    def url(self, path=""):
        return f"http://127.0.0.1:{self.port}/{path.lstrip('/')}"

    def start(self):
        self._thread = threading.Thread(target=self.serve_forever, kwargs={"poll_interval": 0.05}, daemon=True)
        self._thread.start()
        return self

    def stop(self):
        self.shutdown()
        self.server_close()
        with self._open_lock:
            for sock in list(self._open):
                try:
                    sock.shutdown(socket.SHUT_RDWR)
                except OSError:
                    pass
        if self._thread:
            self._thread.join(timeout=5)

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--root", required=True)
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--faults", help="JSON file of faults per path")
    args = parser.parse_args()
    server = FaultServer(args.root, args.port)
    if args.faults:
        with open(args.faults) as f:
            server.set_faults(json.load(f))
    print(f"port {server.port}", flush=True)
    try:
        server.serve_forever(poll_interval=0.05)
    except KeyboardInterrupt:
        pass
    finally:
        server.server_close()


if __name__ == "__main__":
    main()
