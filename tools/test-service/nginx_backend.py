"""Stock nginx in place of the Python HTTPS port, serving the same release folder with the
repository's ready site configuration (tools/nginx/velko-download.conf).

The site file is used as it stands except for the lines that name this machine (address,
certificate, folder, log), which are rewritten; each rewrite must match exactly once, so the
configuration the maker ships and the one the tests run cannot drift apart unnoticed.

Faults are limited to what a real server can be made to do: "delayMs" becomes a rate limit,
"endAfter" a rate limit after about that many bytes (nginx counts the headers in) followed by
the end of the worker process that serves the request (nginx starts a new one), which closes
the connection in the middle of the file, once.
"""

import json
import os
import shutil
import signal
import subprocess
import sys
import threading
import time

NGINX = "/usr/sbin/nginx"
CHUNK = 16 * 1024


class NginxError(Exception):
    pass


def site_configuration(template, host, root, cert, key, log, overrides):
    rewrites = [
        ("    listen 443 ssl;\n", "    listen %s:443 ssl;\n" % host),
        ("    listen [::]:443 ssl;\n", ""),
        ("    ssl_certificate     /etc/ssl/velko/fullchain.pem;\n", "    ssl_certificate     %s;\n" % cert),
        ("    ssl_certificate_key /etc/ssl/velko/privkey.pem;\n", "    ssl_certificate_key %s;\n" % key),
        ("    root /srv/velko-release;\n", "    root %s;\n    include %s;\n" % (root, overrides)),
        ("    access_log /var/log/nginx/velko-download.log;\n", "    access_log %s velko;\n" % log),
    ]
    for old, new in rewrites:
        if template.count(old) != 1:
            raise NginxError("the site configuration no longer has the line %r exactly once" % old.strip())
        template = template.replace(old, new)
    return template


MAIN_CONFIGURATION = """\
# Written by the test service; the site below is the repository's ready configuration.
user root;
worker_processes 1;
pid {state}/nginx.pid;
error_log {state}/error.log info;
events {{ worker_connections 64; }}
http {{
    include /etc/nginx/mime.types;
    sendfile on;
    log_format velko escape=json
        '{{"method":"$request_method","target":"$request_uri","range":"$http_range","userAgent":"$http_user_agent","status":"$status"}}';
    client_body_temp_path {state}/body;
    proxy_temp_path {state}/proxy;
    fastcgi_temp_path {state}/fastcgi;
    uwsgi_temp_path {state}/uwsgi;
    scgi_temp_path {state}/scgi;
    include {state}/site.conf;
}}
"""


class NginxBackend:
    def __init__(self, state_dir, site_template, host, root, cert, key):
        self.state_dir = state_dir
        self.site_template = site_template
        self.host = host
        self.root = root
        self.cert = cert
        self.key = key
        self.lock = threading.Lock()
        self.cut_watchers = []

    @property
    def main_conf(self):
        return os.path.join(self.state_dir, "nginx.conf")

    @property
    def overrides(self):
        return os.path.join(self.state_dir, "overrides.conf")

    @property
    def access_log(self):
        return os.path.join(self.state_dir, "access.log")

    def command(self, *extra):
        return [NGINX, "-p", self.state_dir, "-c", self.main_conf, "-e", os.path.join(self.state_dir, "error.log")] + list(extra)

    def master_pid(self):
        try:
            with open(os.path.join(self.state_dir, "nginx.pid")) as f:
                pid = int(f.read().strip())
            os.kill(pid, 0)
            return pid
        except (OSError, ValueError):
            return None

    def worker_pids(self):
        master = self.master_pid()
        if master is None:
            return []
        pids = []
        for entry in os.listdir("/proc"):
            if not entry.isdigit():
                continue
            try:
                with open("/proc/%s/stat" % entry) as f:
                    fields = f.read().rsplit(")", 1)[1].split()
                if int(fields[1]) == master:
                    pids.append(int(entry))
            except (OSError, IndexError, ValueError):
                continue
        return pids

    def start(self):
        if not os.path.exists(NGINX):
            raise NginxError("nginx is not installed (scripts/deps installs it)")
        os.makedirs(self.state_dir, exist_ok=True)
        with open(self.site_template, encoding="utf-8") as f:
            template = f.read()
        with open(os.path.join(self.state_dir, "site.conf"), "w", encoding="utf-8") as f:
            f.write(site_configuration(template, self.host, self.root, self.cert, self.key, self.access_log, self.overrides))
        with open(self.main_conf, "w", encoding="utf-8") as f:
            f.write(MAIN_CONFIGURATION.format(state=self.state_dir))
        self.write_overrides("")
        open(self.access_log, "w").close()
        if self.master_pid() is None:
            result = subprocess.run(self.command(), capture_output=True, text=True)
            if result.returncode != 0:
                raise NginxError("nginx did not start: " + (result.stderr or result.stdout).strip())
        self.wait_for_workers()

    def stop(self):
        master = self.master_pid()
        if master is None:
            return
        subprocess.run(self.command("-s", "stop"), capture_output=True)
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            try:
                os.kill(master, 0)
            except OSError:
                return
            time.sleep(0.05)
        os.kill(master, signal.SIGKILL)

    def wait_for_workers(self, old=()):
        """Until only workers started after `old` run: an old worker still takes connections."""
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            workers = set(self.worker_pids())
            if workers and not workers & set(old):
                return
            time.sleep(0.02)
        raise NginxError("nginx has no fresh worker process")

    def write_overrides(self, text):
        with open(self.overrides, "w") as f:
            f.write(text)

    def reload(self, overrides, end_worker=None):
        """New directives for the server; returns once only workers with them run. `end_worker`
        is ended at once instead of finishing its requests."""
        old = self.worker_pids()
        self.write_overrides(overrides)
        result = subprocess.run(self.command("-s", "reload"), capture_output=True, text=True)
        if result.returncode != 0:
            raise NginxError("nginx did not reload: " + (result.stderr or result.stdout).strip())
        if end_worker is not None:
            try:
                os.kill(end_worker, signal.SIGTERM)
            except OSError:
                pass
        self.wait_for_workers(old)

    def reset(self):
        with self.lock:
            self.cut_watchers = []
        self.reload("")
        open(self.access_log, "w").close()

    def records(self):
        records = []
        try:
            with open(self.access_log, encoding="utf-8", errors="replace") as f:
                for line in f:
                    try:
                        entry = json.loads(line)
                    except ValueError:
                        continue
                    entry.pop("status", None)
                    records.append(entry)
        except OSError:
            pass
        return records

    def set_fault(self, path, fault):
        """Faults nginx can be made to show; anything else raises NginxError."""
        supported = {"delayMs", "endAfter", "times"}
        unknown = set(fault) - supported
        if unknown:
            raise NginxError("nginx cannot show the fault members " + ", ".join(sorted(unknown)))
        if not fault:
            self.reload("")
            return
        if not path.startswith("/v1/downloads/"):
            raise NginxError("nginx faults apply to downloads only")
        directives = []
        if "delayMs" in fault and int(fault["delayMs"]) > 0:
            directives.append("limit_rate %d;" % max(1, CHUNK * 1000 // int(fault["delayMs"])))
        if "endAfter" in fault:
            if fault.get("times", 1) != 1:
                raise NginxError("nginx ends exactly one download early")
            directives = ["limit_rate_after %d;" % int(fault["endAfter"]), "limit_rate 1;"]
        self.reload("\n".join(directives) + "\n")
        if "endAfter" in fault:
            file_name = os.path.join(self.root, path.lstrip("/"))
            watcher = threading.Thread(target=self.cut_when_served, args=(file_name,), daemon=True)
            with self.lock:
                self.cut_watchers.append(watcher)
            watcher.start()

    def serving_worker(self, file_name):
        for pid in self.worker_pids():
            try:
                for fd in os.listdir("/proc/%d/fd" % pid):
                    if os.readlink("/proc/%d/fd/%s" % (pid, fd)) == file_name:
                        return pid
            except OSError:
                continue
        return None

    def cut_when_served(self, file_name):
        """Once a worker has the file open, lets the unthrottled part arrive, then ends that worker."""
        deadline = time.monotonic() + 300
        while time.monotonic() < deadline:
            with self.lock:
                if threading.current_thread() not in self.cut_watchers:
                    return
            pid = self.serving_worker(file_name)
            if pid is not None:
                time.sleep(1.0)
                # Later requests get the whole file at full speed again.
                try:
                    self.reload("", end_worker=pid)
                except NginxError as error:
                    sys.stderr.write("nginx cut: %s\n" % error)
                return
            time.sleep(0.02)
