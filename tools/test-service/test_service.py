#!/usr/bin/python3
"""Loopback stand-in for the maker's download service, for the Windows tests and the demo.

Serves, from one release folder laid out as scripts/publish-release writes it:
  GET  /v1/bootstrap?version=0.0.0&target=windows&arch=x86_64   the policy set through the control port,
                                                                 else the folder's file v1/bootstrap
  GET  /v1/downloads/<percent-encoded UTF-8 file name>          the file, "Range: bytes=N-" gives 206
  HEAD /v1/downloads/<...>                                       status and Content-Length only
on HTTPS (the installer address rules pin port 443) and on a plain HTTP port. The HTTPS port can
be handed to stock nginx running the repository's site configuration on the same folder.

A third port (plain HTTP) is the control interface the tests use (scripts may use the
subcommands set-policy, put-file, set-fault, set-backend and requests instead):
  GET  /info                      {"releaseDir" (the downloads folder), "httpsPort", "httpPort", "host", "backend"}
  POST /reset                     forget policy, faults and records; empty the release folder; the
                                  HTTPS port goes back to the Python service
  POST /backend?name=nginx|python who answers on the HTTPS port
  POST /publish?version=V         the body is a workbench installer: scripts/publish-release puts it
                                  and its policy into the release folder (any set policy is forgotten)
  POST /policy?status=N           the body of this request becomes the policy answer
  PUT  /files/<encoded name>      store a file in the release folder
  POST /fault?path=<encoded path> the body is a JSON fault object for that request path
  GET  /requests                  JSON list of every request served on the HTTPS and HTTP ports

Fault object members (all optional):
  status          answer with this status code
  body            answer with this text as the body instead of the normal content
  bodyBytes       the body (normal or "body") cut or padded with spaces to exactly this many bytes
  cutAfter        announce the full length, send this many body bytes, then drop the connection (RST)
  endAfter        the same, but close the connection in order (FIN), as a server that goes away does
  ignoreRange     answer 200 with the whole file even when a Range was asked for
  unrequested206  answer 206 (bytes 0-) even without a Range header
  rangeStartsAt   answer 206 with a Content-Range (and the bytes) starting at this offset
  headNoLength    a HEAD answer without Content-Length
  headLength      a HEAD answer with this Content-Length
  extraBytes      send this many bytes more than the file has (Content-Length counts them)
  delayMs         wait this long before the headers and before every chunk of the body
  redirectTo      answer 302 (or "status", when given) with this Location and an empty body
  times           the fault applies to this many requests and then clears (absent: always)
"""

import argparse
import http.server
import json
import os
import shutil
import signal
import socket
import socketserver
import subprocess
import ssl
import sys
import tempfile
import threading
import time
import urllib.parse

import nginx_backend

POLICY_PATH = "/v1/bootstrap"
POLICY_QUERY = "version=0.0.0&target=windows&arch=x86_64"
DOWNLOADS_PREFIX = "/v1/downloads/"
CHUNK = 16 * 1024
SOURCE_DIR = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))


class ServiceState:
    def __init__(self, root):
        self.lock = threading.Lock()
        self.root = root
        self.release_dir = os.path.join(root, "v1", "downloads")
        self.policy_file = os.path.join(root, "v1", "bootstrap")
        os.makedirs(self.release_dir, exist_ok=True)
        self.policy_status = None  # None: serve the folder's policy file
        self.policy_body = b""
        self.faults = {}
        self.records = []
        self.https = None  # HttpsPort, set once the servers exist

    def reset(self):
        with self.lock:
            self.policy_status = None
            self.policy_body = b""
            self.faults = {}
            self.records = []
            for entry in os.listdir(self.root):
                full = os.path.join(self.root, entry)
                if os.path.isdir(full) and not os.path.islink(full):
                    shutil.rmtree(full)
                else:
                    os.remove(full)
            os.makedirs(self.release_dir, exist_ok=True)

    def policy_answer(self):
        with self.lock:
            if self.policy_status is not None:
                return self.policy_status, self.policy_body
        try:
            with open(self.policy_file, "rb") as f:
                return 200, f.read()
        except OSError:
            return 404, b""

    def record(self, port, method, target, range_header, user_agent):
        with self.lock:
            self.records.append({"port": port, "method": method, "target": target, "range": range_header or "",
                                 "userAgent": user_agent or ""})

    def take_fault(self, path):
        """The fault for a request path (compared after percent-decoding), counting down `times`."""
        key = urllib.parse.unquote(path)
        with self.lock:
            fault = self.faults.get(key)
            if fault is None:
                return {}
            if "times" in fault:
                fault["times"] -= 1
                if fault["times"] <= 0:
                    del self.faults[key]
            return dict(fault)


def file_for(release_dir, encoded_name):
    """The file a download path names, or None. Only plain names inside the release folder."""
    try:
        name = urllib.parse.unquote(encoded_name, encoding="utf-8", errors="strict")
    except UnicodeDecodeError:
        return None
    if not name or "/" in name or "\\" in name or name in (".", "..") or "\0" in name:
        return None
    full = os.path.join(release_dir, name)
    return full if os.path.isfile(full) else None


def parse_range(header, size):
    """(start, end) inclusive for "bytes=N-" or "bytes=N-M"; "unsatisfiable"; or None to ignore."""
    if not header or not header.startswith("bytes=") or "," in header:
        return None
    first, _, last = header[len("bytes="):].partition("-")
    if not first.isdigit() or (last and not last.isdigit()):
        return None
    start = int(first)
    end = min(int(last), size - 1) if last else size - 1
    if start >= size or start > end:
        return "unsatisfiable"
    return (start, end)


class ServiceHandler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "VelkoTestService/1.0"

    def log_message(self, fmt, *args):
        sys.stderr.write("%s %s\n" % (self.server.label, fmt % args))

    @property
    def state(self):
        return self.server.state

    def do_GET(self):
        self.serve(head=False)

    def do_HEAD(self):
        self.serve(head=True)

    def serve(self, head):
        self.state.record(self.server.label, self.command, self.path, self.headers.get("Range"), self.headers.get("User-Agent"))
        path, _, query = self.path.partition("?")
        fault = self.state.take_fault(path)
        if path == POLICY_PATH:
            status, content = self.state.policy_answer()
            if query != POLICY_QUERY:
                status, content = 404, b""
            self.answer(head, fault, status, content)
            return
        if path.startswith(DOWNLOADS_PREFIX):
            full = file_for(self.state.release_dir, path[len(DOWNLOADS_PREFIX):])
            if full is None:
                self.answer(head, fault, 404, b"")
                return
            with open(full, "rb") as f:
                data = f.read()
            self.answer_file(head, fault, data)
            return
        self.answer(head, fault, 404, b"")

    def answer_file(self, head, fault, data):
        size = len(data)
        if head:
            self.answer(head, fault, 200, data)
            return
        requested = None if fault.get("ignoreRange") else parse_range(self.headers.get("Range"), size)
        if "rangeStartsAt" in fault:
            start = int(fault["rangeStartsAt"])
            requested = (start, size - 1)
        elif fault.get("unrequested206") and requested is None:
            requested = (0, size - 1)
        if requested == "unsatisfiable":
            self.answer(head, fault, 416, b"", {"Content-Range": "bytes */%d" % size})
            return
        if requested is None:
            self.answer(head, fault, 200, data)
            return
        start, end = requested
        content_range = "bytes %d-%d/%d" % (start, end, size)
        self.answer(head, fault, 206, data[start:end + 1], {"Content-Range": content_range})

    def answer(self, head, fault, status, content, extra_headers=None):
        delay = int(fault.get("delayMs", 0)) / 1000.0
        if "status" in fault:
            status = int(fault["status"])
        if "redirectTo" in fault:
            status = int(fault.get("status", 302))
            content = b""
            extra_headers = {"Location": fault["redirectTo"]}
        if "body" in fault:
            content = fault["body"].encode("utf-8")
        if "extraBytes" in fault:
            content = content + b"\xA5" * int(fault["extraBytes"])
        if "bodyBytes" in fault:
            wanted = int(fault["bodyBytes"])
            content = content[:wanted] + b" " * max(0, wanted - len(content))
        no_body_status = status in (204, 304) or status < 200
        if no_body_status:
            content = b""
        if delay:
            time.sleep(delay)
        self.send_response(status)
        for name, value in (extra_headers or {}).items():
            self.send_header(name, value)
        self.send_header("Content-Type", "application/json" if self.path.startswith(POLICY_PATH) else "application/octet-stream")
        if head:
            if fault.get("headNoLength"):
                pass
            elif "headLength" in fault:
                self.send_header("Content-Length", str(int(fault["headLength"])))
            elif not no_body_status:
                self.send_header("Content-Length", str(len(content)))
            self.end_headers()
            return
        if not no_body_status:
            self.send_header("Content-Length", str(len(content)))
        cut_after = int(fault["cutAfter"]) if "cutAfter" in fault else None
        end_after = int(fault["endAfter"]) if "endAfter" in fault else None
        if end_after is not None:
            cut_after = end_after
        if cut_after is not None:
            self.send_header("Connection", "close")
        self.end_headers()
        sent = 0
        limit = len(content) if cut_after is None else min(cut_after, len(content))
        while sent < limit:
            if delay and sent:
                time.sleep(delay)
            piece = content[sent:min(limit, sent + CHUNK)]
            self.wfile.write(piece)
            self.wfile.flush()
            sent += len(piece)
        if end_after is not None:
            self.close_connection = True
        elif cut_after is not None:
            self.close_connection = True
            self.drop_connection()

    def drop_connection(self):
        # An abortive close (RST), so the client sees the transfer broken, not finished.
        try:
            self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, b"\x01\x00\x00\x00\x00\x00\x00\x00")
        except OSError:
            pass


class ControlHandler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, fmt, *args):
        sys.stderr.write("control %s\n" % (fmt % args))

    @property
    def state(self):
        return self.server.state

    def reply(self, status, payload=None):
        body = json.dumps(payload if payload is not None else {"ok": status == 200}).encode("utf-8")
        self.send_response(status)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def body(self):
        length = int(self.headers.get("Content-Length") or 0)
        return self.rfile.read(length) if length else b""

    def do_GET(self):
        path = urllib.parse.urlsplit(self.path).path
        if path == "/info":
            self.reply(200, {
                "releaseDir": self.state.release_dir,
                "httpsPort": self.server.https_port,
                "httpPort": self.server.http_port,
                "host": self.server.host,
                "backend": self.state.https.backend,
            })
        elif path == "/requests":
            with self.state.lock:
                records = list(self.state.records)
            if self.state.https.backend == "nginx":
                records = self.state.https.nginx.records() + [r for r in records if r.get("port") == "http"]
            self.reply(200, [{k: v for k, v in r.items() if k != "port"} for r in records])
        else:
            self.reply(404)

    def do_PUT(self):
        parts = urllib.parse.urlsplit(self.path)
        if not parts.path.startswith("/files/"):
            self.reply(404)
            return
        data = self.body()
        name = urllib.parse.unquote(parts.path[len("/files/"):], encoding="utf-8", errors="strict")
        if not name or "/" in name or name in (".", ".."):
            self.reply(400)
            return
        with open(os.path.join(self.state.release_dir, name), "wb") as f:
            f.write(data)
        self.reply(200)

    def do_POST(self):
        parts = urllib.parse.urlsplit(self.path)
        query = urllib.parse.parse_qs(parts.query)
        data = self.body()
        if parts.path == "/reset":
            try:
                self.state.https.use("python")
            except nginx_backend.NginxError as error:
                self.reply(500, {"error": str(error)})
                return
            self.state.reset()
            self.reply(200)
        elif parts.path == "/backend":
            try:
                self.state.https.use(query.get("name", [""])[0])
            except (nginx_backend.NginxError, ValueError) as error:
                self.reply(500, {"error": str(error)})
                return
            self.reply(200)
        elif parts.path == "/publish":
            self.publish(query.get("version", [""])[0], data)
        elif parts.path == "/policy":
            status = int(query.get("status", ["200"])[0])
            if self.state.https.backend == "nginx":
                if status != 200:
                    self.reply(400, {"error": "nginx serves the policy file with status 200 only"})
                    return
                write_atomically(self.state.policy_file, data)
            with self.state.lock:
                self.state.policy_status = status
                self.state.policy_body = data
            self.reply(200)
        elif parts.path == "/fault":
            path = query.get("path", [""])[0]
            try:
                fault = json.loads(data.decode("utf-8") or "{}")
            except ValueError:
                self.reply(400)
                return
            if not isinstance(fault, dict) or not path:
                self.reply(400)
                return
            if self.state.https.backend == "nginx":
                try:
                    self.state.https.nginx.set_fault(urllib.parse.unquote(path), fault)
                except nginx_backend.NginxError as error:
                    self.reply(400, {"error": str(error)})
                    return
                self.reply(200)
                return
            with self.state.lock:
                if fault:
                    self.state.faults[urllib.parse.unquote(path)] = fault
                else:
                    self.state.faults.pop(urllib.parse.unquote(path), None)
            self.reply(200)
        else:
            self.reply(404)

    def publish(self, version, installer):
        """Runs the maker's publishing command on the uploaded installer, into the release folder."""
        with tempfile.TemporaryDirectory() as scratch:
            source = os.path.join(scratch, "installer.exe")
            with open(source, "wb") as f:
                f.write(installer)
            result = subprocess.run(
                [os.path.join(SOURCE_DIR, "scripts", "publish-release"), source, version, self.state.root,
                 "--host", self.server.host],
                capture_output=True, text=True)
        if result.returncode != 0:
            self.reply(400, {"error": (result.stderr or result.stdout).strip()})
            return
        with self.state.lock:
            self.state.policy_status = None
            self.state.policy_body = b""
        self.reply(200)


def write_atomically(path, data):
    """A reader of `path` sees the old content or the new one, never a part."""
    os.makedirs(os.path.dirname(path), exist_ok=True)
    descriptor, part = tempfile.mkstemp(dir=os.path.dirname(path), prefix=".policy-")
    try:
        with os.fdopen(descriptor, "wb") as f:
            f.write(data)
        os.replace(part, path)
    except BaseException:
        try:
            os.unlink(part)
        except OSError:
            pass
        raise


class HttpsPort:
    """The HTTPS port of the download host, answered by the Python service or by nginx."""

    def __init__(self, state, host, port, context, cert, key, state_dir):
        self.state = state
        self.host = host
        self.port = port
        self.context = context
        self.backend = None
        self.server = None
        self.thread = None
        self.nginx = nginx_backend.NginxBackend(
            os.path.join(state_dir, "nginx"), os.path.join(SOURCE_DIR, "tools", "nginx", "velko-download.conf"),
            host, state.root, cert, key)
        self.switch = threading.Lock()

    def use(self, backend):
        if backend not in ("python", "nginx"):
            raise ValueError("unknown backend %r" % backend)
        with self.switch:
            if backend == self.backend:
                if backend == "nginx":
                    self.nginx.reset()
                return
            self.stop()
            if backend == "python":
                self.start_python()
                return
            # nginx knows only the folder: a policy set through the control port becomes its file.
            with self.state.lock:
                status, body = self.state.policy_status, self.state.policy_body
            if status == 200:
                write_atomically(self.state.policy_file, body)
            try:
                self.nginx.start()
            except nginx_backend.NginxError:
                self.nginx.stop()
                self.start_python()
                raise
            self.backend = "nginx"

    def start_python(self):
        self.server = TlsServer((self.host, self.port), ServiceHandler, self.state, "https", self.context)
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)
        self.thread.start()
        self.backend = "python"

    def stop(self):
        if self.server is not None:
            self.server.shutdown()
            self.server.server_close()
            self.server = None
        self.nginx.stop()


class ThreadedServer(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, address, handler, state, label):
        super().__init__(address, handler)
        self.state = state
        self.label = label


class TlsServer(ThreadedServer):
    def __init__(self, address, handler, state, label, context):
        super().__init__(address, handler, state, label)
        self.context = context

    def finish_request(self, request, client_address):
        # The handshake runs on the request's own thread, so one stuck client blocks nobody.
        try:
            request.settimeout(60)
            tls = self.context.wrap_socket(request, server_side=True)
        except (OSError, ssl.SSLError) as error:
            sys.stderr.write("%s handshake failed: %s\n" % (self.label, error))
            return
        try:
            self.RequestHandlerClass(tls, client_address, self)
        finally:
            try:
                tls.close()
            except OSError:
                pass


def serve(args):
    release_dir = os.path.abspath(args.release_dir)
    os.makedirs(release_dir, exist_ok=True)
    state = ServiceState(release_dir)
    state_dir = os.path.dirname(release_dir)

    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.minimum_version = ssl.TLSVersion.TLSv1_2
    context.load_cert_chain(args.cert, args.key)

    state.https = HttpsPort(state, args.host, args.https_port, context, args.cert, args.key, state_dir)
    # An nginx left over from a killed service would hold the port.
    state.https.nginx.stop()
    state.https.use("python")
    servers = [
        ThreadedServer((args.host, args.http_port), ServiceHandler, state, "http"),
        ThreadedServer((args.host, args.control_port), ControlHandler, state, "control"),
    ]
    control = servers[1]
    control.https_port, control.http_port, control.host = args.https_port, args.http_port, args.host

    if args.pid_file:
        with open(args.pid_file, "w") as f:
            f.write("%d\n" % os.getpid())

    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())
    threads = [threading.Thread(target=s.serve_forever, daemon=True) for s in servers]
    for t in threads:
        t.start()
    sys.stderr.write("serving on %s: https %d, http %d, control %d, release folder %s\n"
                     % (args.host, args.https_port, args.http_port, args.control_port, release_dir))
    sys.stderr.flush()
    stop.wait()
    state.https.stop()
    for s in servers:
        s.shutdown()
        s.server_close()
    if args.pid_file:
        try:
            os.remove(args.pid_file)
        except OSError:
            pass


def ping(args):
    """Exit 0 when the control port answers /info within the wait."""
    import urllib.request
    deadline = time.monotonic() + args.wait
    while True:
        try:
            with urllib.request.urlopen("http://%s:%d/info" % (args.host, args.control_port), timeout=2) as r:
                json.load(r)
                return 0
        except (OSError, ValueError):
            if time.monotonic() >= deadline:
                return 1
            time.sleep(0.1)


def control_call(args, method, path, data):
    """One request to the control port of a running service (for scripts such as the demo)."""
    import urllib.request
    request = urllib.request.Request("http://%s:%d%s" % (args.host, args.control_port, path), data=data, method=method)
    with urllib.request.urlopen(request, timeout=10) as r:
        return r.status


def set_policy(args):
    with open(args.file, "rb") as f:
        data = f.read()
    return 0 if control_call(args, "POST", "/policy?status=%d" % args.status, data) == 200 else 1


def put_file(args):
    with open(args.file, "rb") as f:
        data = f.read()
    name = args.name or os.path.basename(args.file)
    return 0 if control_call(args, "PUT", "/files/" + urllib.parse.quote(name, safe=""), data) == 200 else 1


def set_fault(args):
    query = "/fault?path=" + urllib.parse.quote(args.path, safe="")
    return 0 if control_call(args, "POST", query, args.fault.encode("utf-8")) == 200 else 1


def set_backend(args):
    return 0 if control_call(args, "POST", "/backend?name=" + args.name, b"") == 200 else 1


def print_requests(args):
    """The requests recorded since the service's last reset, as JSON on standard output."""
    import urllib.request
    with urllib.request.urlopen("http://%s:%d/requests" % (args.host, args.control_port), timeout=10) as r:
        records = json.load(r)
    json.dump(records, sys.stdout, ensure_ascii=False, indent=1)
    sys.stdout.write("\n")
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = parser.add_subparsers(dest="command", required=True)
    run = sub.add_parser("serve")
    run.add_argument("--host", required=True)
    run.add_argument("--https-port", type=int, default=443)
    run.add_argument("--http-port", type=int, default=8080)
    run.add_argument("--control-port", type=int, default=8081)
    run.add_argument("--release-dir", required=True)
    run.add_argument("--cert", required=True)
    run.add_argument("--key", required=True)
    run.add_argument("--pid-file")
    check = sub.add_parser("ping")
    check.add_argument("--host", required=True)
    check.add_argument("--control-port", type=int, default=8081)
    check.add_argument("--wait", type=float, default=0)
    policy = sub.add_parser("set-policy", help="serve FILE as the policy of a running service")
    policy.add_argument("--host", required=True)
    policy.add_argument("--control-port", type=int, default=8081)
    policy.add_argument("--status", type=int, default=200)
    policy.add_argument("file")
    upload = sub.add_parser("put-file", help="put FILE into the release folder of a running service")
    upload.add_argument("--host", required=True)
    upload.add_argument("--control-port", type=int, default=8081)
    upload.add_argument("--name", help="file name to serve it under (default: the file's own name)")
    upload.add_argument("file")
    fault = sub.add_parser("set-fault", help="a fault (JSON object) for one request path of a running service")
    fault.add_argument("--host", required=True)
    fault.add_argument("--control-port", type=int, default=8081)
    fault.add_argument("path")
    fault.add_argument("fault")
    backend = sub.add_parser("set-backend", help="who answers on the HTTPS port: python or nginx")
    backend.add_argument("--host", required=True)
    backend.add_argument("--control-port", type=int, default=8081)
    backend.add_argument("name", choices=["python", "nginx"])
    recorded = sub.add_parser("requests", help="print the requests a running service recorded since its last reset")
    recorded.add_argument("--host", required=True)
    recorded.add_argument("--control-port", type=int, default=8081)
    args = parser.parse_args()
    if args.command == "serve":
        serve(args)
        return 0
    return {"ping": ping, "set-policy": set_policy, "put-file": put_file, "set-fault": set_fault,
            "set-backend": set_backend, "requests": print_requests}[args.command](args)


if __name__ == "__main__":
    sys.exit(main())
