#!/usr/bin/env python3
"""Long runs of a real controller against local peers.

  soak.py --build DIR [SECONDS]       requests of every kind at a steady rate for SECONDS
                                      (default 600), then checks the run
  soak.py --build DIR --load N        N copy-data requests sent as fast as txsend goes, then
                                      waits until every one has started

Each run has its own machine folder in a temporary directory. The steady run sends, one every
INTERVAL seconds, a cycle of: copy-data requests (type 7, numbered texts), the notice request
(a small image from the local HTTP server; no viewer is installed, so its start fails), the
update request (an address on a closed port), and every tenth turn the log upload (to a local
moto S3 server). The worker takes one job per 200 ms turn, so the rate stays well below that.

At the end: every request has its start record, in the order sent; the controller's resident
memory has not grown by more than RSS_BOUND_KIB since the warm-up; its open descriptors and
threads are back to their idle counts. Exit status 0 when all holds, 1 otherwise.
"""
import argparse
import os
import random
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

TOP = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
INTERVAL = 0.5
RSS_BOUND_KIB = 2048
START = re.compile(r"\[_ThreadProc\]Start Job\[(\d+)\] data\[(.*?)\]\r\n")
WM_USER = 0x400


def fail(message):
    print("soak: " + message, file=sys.stderr)
    sys.exit(1)


def closed_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def proc_status(pid, field):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    return -1


def fd_count(pid):
    return len(os.listdir("/proc/%d/fd" % pid))


class Run:
    def __init__(self, build):
        self.build = build
        self.root = tempfile.mkdtemp(prefix="txsoak-")
        self.env = dict(os.environ, TX_MACHINE=self.root)
        self.children = []
        self.sent = []  # (type, text) in the order the window took them

    def path(self, windows_path):
        return os.path.join(self.root, "drive_c", windows_path[3:].replace("\\", "/"))

    def tool(self, *args, check=True):
        done = subprocess.run([os.path.join(self.build, "bin", args[0])] + list(args[1:]), env=self.env,
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        if check and done.returncode != 0:
            fail("%s: %s" % (" ".join(args), done.stdout))
        return done

    def start_peer(self, argv, env=None):
        child = subprocess.Popen(argv, env=env or self.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                 text=True)
        self.children.append(child)
        return child

    def setup(self, with_peers):
        self.tool("txmachine", "init")
        os.makedirs(self.path("C:\\talvex\\bin"), exist_ok=True)
        if not with_peers:
            return
        http = self.start_peer([sys.executable, os.path.join(TOP, "tests/support/http_peer.py")])
        port = int(http.stdout.readline())
        self.tool("txmachine", "ini", "set", "noticefilepath", "http://127.0.0.1:%d/bytes/20000" % port)
        self.tool("txmachine", "ini", "set", "updatefilepath", "http://127.0.0.1:%d/tx_updater.exe" % closed_port())
        self.tool("txmachine", "ini", "set", "hospitalid", "44440001")
        self.tool("txmachine", "ini", "set", "chartcode", "9")
        address = "127.%d.%d.%d" % tuple(random.randint(2, 254) for _ in range(3))
        moto = shutil.which("moto_server")
        if not moto:
            fail("moto_server is not installed (scripts/setup installs it)")
        self.start_peer([moto, "-H", address, "-p", "80"])
        endpoint = "http://%s:80" % address
        bucket = self.bucket()
        for _ in range(200):
            try:
                socket.create_connection((address, 80), 0.2).close()
                break
            except OSError:
                time.sleep(0.05)
        setup = subprocess.run([sys.executable, os.path.join(TOP, "tests/support/moto_s3.py"), "setup", endpoint,
                                bucket], stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        if setup.returncode != 0:
            fail("moto setup: " + setup.stdout)
        hosts = self.path("C:\\Windows\\System32\\drivers\\etc\\hosts")
        os.makedirs(os.path.dirname(hosts), exist_ok=True)
        with open(hosts, "w") as f:
            f.write("%s %s.s3.ap-northeast-2.amazonaws.com\n" % (address, bucket))

    def bucket(self):
        with open(os.path.join(self.build, "CMakeCache.txt")) as f:
            for line in f:
                if line.startswith("TX_LOG_UPLOAD_BUCKET:"):
                    return line.strip().split("=", 1)[1]
        fail("no TX_LOG_UPLOAD_BUCKET in the build's cache")

    def start_controller(self):
        self.controller = subprocess.Popen([os.path.join(self.build, "bin", "txcontroller")], env=self.env,
                                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(500):
            if self.tool("txsend", "send", "0", check=False).returncode == 0:
                return
            time.sleep(0.01)
        fail("the controller's window did not appear")

    def log(self):
        folder = self.path("C:\\talvex\\log\\conlog")
        text = ""
        for name in sorted(os.listdir(folder)) if os.path.isdir(folder) else []:
            with open(os.path.join(folder, name), "rb") as f:
                text += f.read().decode("latin-1")
        return text

    def starts(self):
        return [(int(t), d) for t, d in START.findall(self.log())]

    def copy_data(self, text):
        self.tool("txsend", "copydata", "7", text)
        self.sent.append((0, text))

    def request(self, message, job_type, setting):
        # SendMessageA, as copy-data goes: sent messages keep their order among themselves.
        self.tool("txsend", "send", str(WM_USER + message))
        self.sent.append((job_type, self.setting(setting)))

    def setting(self, key):
        with open(self.path("C:\\talvex\\bin\\txconfig.ini"), "rb") as f:
            for line in f.read().decode("latin-1").splitlines():
                if line.startswith(key + "="):
                    return line.split("=", 1)[1]
        return ""

    def wait_started(self, count, limit):
        deadline = time.time() + limit
        while time.time() < deadline:
            if len(self.starts()) >= count:
                return True
            if self.controller.poll() is not None:
                fail("the controller ended with %s" % self.controller.returncode)
            time.sleep(0.5)
        return False

    def check_order(self):
        got = self.starts()
        if got != self.sent:
            for i, (a, b) in enumerate(zip(got, self.sent)):
                if a != b:
                    fail("start record %d is %r, sent %r" % (i, a, b))
            fail("%d start records for %d requests" % (len(got), len(self.sent)))

    def close(self):
        for child in [getattr(self, "controller", None)] + self.children:
            if child and child.poll() is None:
                child.send_signal(signal.SIGKILL)
                child.wait()
        shutil.rmtree(self.root, ignore_errors=True)


def soak(run, seconds):
    run.setup(with_peers=True)
    run.start_controller()
    pid = run.controller.pid
    cycle = ["copy", "notice", "copy", "update", "copy", "sendlog"]
    turn = 0

    def send(kind):
        nonlocal turn
        if kind == "copy":
            run.copy_data("s%06d" % turn)
        elif kind == "notice":
            run.request(1402, 3, "noticefilepath")
        elif kind == "update":
            run.request(1400, 1, "updatefilepath")
        elif kind == "sendlog" and turn % 10 == 5:
            run.tool("txsend", "send", str(WM_USER + 1401))
            run.sent.append((2, ""))
        turn += 1

    # Warm-up: one of each kind, then the idle figures once the queue is empty.
    for kind in ["copy", "notice", "update", "sendlog"]:
        turn = 5 if kind == "sendlog" else turn
        send(kind)
    if not run.wait_started(len(run.sent), 60):
        fail("the warm-up requests did not start")
    time.sleep(2)
    idle_fds, idle_threads = fd_count(pid), proc_status(pid, "Threads")
    rss_start = proc_status(pid, "VmRSS")
    print("soak: idle fds %d threads %d rss %d KiB" % (idle_fds, idle_threads, rss_start), flush=True)

    end = time.time() + seconds
    next_send = time.time()
    while time.time() < end:
        send(cycle[turn % len(cycle)])
        next_send += INTERVAL
        time.sleep(max(0.0, next_send - time.time()))
    print("soak: %d requests sent" % len(run.sent), flush=True)
    if not run.wait_started(len(run.sent), 120):
        fail("the queue did not drain: %d of %d started" % (len(run.starts()), len(run.sent)))
    run.check_order()
    time.sleep(3)  # the last job's own work (an upload) ends after its start record
    fds, threads, rss = fd_count(pid), proc_status(pid, "Threads"), proc_status(pid, "VmRSS")
    print("soak: end fds %d threads %d rss %d KiB (grew %d KiB)" % (fds, threads, rss, rss - rss_start), flush=True)
    if fds != idle_fds:
        fail("open descriptors %d, idle %d" % (fds, idle_fds))
    if threads != idle_threads:
        fail("threads %d, idle %d" % (threads, idle_threads))
    if rss - rss_start > RSS_BOUND_KIB:
        fail("resident memory grew by %d KiB" % (rss - rss_start))
    print("soak: ok", flush=True)


def load(run, count):
    run.setup(with_peers=False)
    run.start_controller()
    began = time.time()
    for i in range(count):
        run.copy_data("l%06d" % i)
    sent = time.time() - began
    print("soak: %d requests sent in %.1f s" % (count, sent), flush=True)
    # One job per 200 ms turn, and a margin.
    if not run.wait_started(count, count * 0.25 + 60):
        fail("%d of %d started" % (len(run.starts()), count))
    run.check_order()
    print("soak: all %d started in order after %.1f s" % (count, time.time() - began), flush=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("seconds", nargs="?", type=float, default=600)
    parser.add_argument("--build", default=os.environ.get("TX_BUILD_DIR", os.path.join(TOP, "build")))
    parser.add_argument("--load", type=int)
    options = parser.parse_args()
    run = Run(os.path.abspath(options.build))
    try:
        if options.load:
            load(run, options.load)
        else:
            soak(run, options.seconds)
    finally:
        run.close()


if __name__ == "__main__":
    main()
